#pragma once

class QWidget;

namespace app {

// How windows are shown modally over one another. The program shows them
// for real; tests install their own, so that nothing waits for a user.
class ModalShowing {
public:
    virtual ~ModalShowing() = default;
    // Returns when the window has been closed: a dialog's result, else 0.
    virtual int show(QWidget& window) = 0;
};

// Installs `m` (not owned); nullptr restores the real showing.
void setModalShowing(ModalShowing* m);

// Shows the window modally and waits until it is closed (hidden). A dialog
// returns its result; any other window returns 0.
int showModal(QWidget& window);

}  // namespace app
