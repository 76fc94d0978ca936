// Names a screen reader says of a window's boxes.
#pragma once

class QWidget;

namespace dbaware {

// Every box, list and check box of `window` without a name of its own is
// named after its label: the label whose buddy it is, else the label on its
// row of the layout (to its left, else to its right), else its group's
// title; a label that the window shows more than once ("Level:") is told
// apart by its group's title ("Temple 2 Level"), and a name still shared by
// the title of its page. Call it once the window's form is set up.
void nameInputs(QWidget& window);

}  // namespace dbaware
