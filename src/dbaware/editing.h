#pragma once
// Rules shared by the edit controls and the grid's cell editor.

class QFocusEvent;
class QKeyEvent;
class QPalette;
class QWidget;

namespace dbaware::keys {

// Whether the key types at least one printable character.
bool typesCharacter(const QKeyEvent* e);
// Whether the key would change the text of an edit control (typing,
// deleting, cutting, pasting, undoing; Enter too in a multi-line control).
bool changesText(const QKeyEvent* e, bool multiLine);
// A Short column takes only digits and the two signs from the keyboard.
bool fitsShortColumn(const QKeyEvent* e);

}  // namespace dbaware::keys

namespace dbaware {

// The silver background of controls the user cannot change.
void paintGrey(QWidget* w);
// Back to the style's own colours.
void paintNormal(QWidget* w);

// Whether the focus left `w` because the user moved it (Tab, Backtab, a
// click, an accelerator), and not because the program did: a page turned
// away hides the box and Qt hands its focus on, a window or a message box
// comes or goes, a handler puts the focus somewhere. Only the user's moves
// write a control's value or count as leaving it.
bool leftByUser(const QWidget* w, const QFocusEvent& e);

}  // namespace dbaware
