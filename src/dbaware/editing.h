#pragma once
// Rules shared by the edit controls and the grid's cell editor.

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

}  // namespace dbaware
