#include "app/modal.h"

#include <QDialog>
#include <QEvent>
#include <QEventLoop>
#include <QWidget>

namespace app {

namespace {

// Ends the waiting when the program hides the window; a hide by the
// window system (minimising) is spontaneous and does not count.
class HideWatcher final : public QObject {
public:
    HideWatcher(QWidget& window, QEventLoop& loop) : window_(window), loop_(loop) { window.installEventFilter(this); }
    ~HideWatcher() override { window_.removeEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && !event->spontaneous())
            loop_.quit();
        return false;
    }

private:
    QWidget& window_;
    QEventLoop& loop_;
};

class QtModalShowing final : public ModalShowing {
public:
    int show(QWidget& window) override
    {
        if (auto* dialog = qobject_cast<QDialog*>(&window))
            return dialog->exec();
        // Main windows and plain windows have no exec() of their own.
        const Qt::WindowModality before = window.windowModality();
        window.setWindowModality(Qt::ApplicationModal);
        QEventLoop loop;
        HideWatcher watcher(window, loop);
        window.show();
        window.raise();
        window.activateWindow();
        if (window.isVisible())
            loop.exec(QEventLoop::DialogExec);
        window.setWindowModality(before);
        return 0;
    }
};

ModalShowing* current = nullptr;

}  // namespace

void setModalShowing(ModalShowing* m) { current = m; }

int showModal(QWidget& window)
{
    static QtModalShowing real;
    return (current ? *current : static_cast<ModalShowing&>(real)).show(window);
}

}  // namespace app
