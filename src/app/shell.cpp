#include "app/shell.h"

#include "app/help.h"
#include "dbaware/guard.h"

#include <QApplication>
#include <QFileDialog>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>

#include <algorithm>

// The resources live in a static library, so nothing would pull them into
// the program unless they are asked for by name; this must be outside any
// namespace.
static void initBundledResources() { Q_INIT_RESOURCE(vddb); }

namespace app {

void loadResources()
{
    static const bool loaded = (initBundledResources(), true);
    (void)loaded;
}

QPixmap programPixmap()
{
    loadResources();
    // The file is indexed; scaling such an image loses its transparency.
    return QPixmap::fromImage(QImage(QStringLiteral(":/vddb.png")).convertToFormat(QImage::Format_ARGB32));
}

QIcon programIcon() { return QIcon(programPixmap()); }

namespace {

class CentreOnShow final : public QObject {
public:
    explicit CentreOnShow(QWidget& window) : QObject(&window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Spontaneous shows come from the window system (a restore), not
        // from the program opening the window.
        if (event->type() == QEvent::Show && !event->spontaneous())
            centreOnScreen(*static_cast<QWidget*>(watched));
        return false;
    }
};

}  // namespace

void openCentred(QWidget& window) { window.installEventFilter(new CentreOnShow(window)); }

void centreOnScreen(QWidget& window)
{
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect room = screen->availableGeometry();
    const QSize size = window.frameGeometry().size();
    window.move(std::max(room.left(), room.left() + (room.width() - size.width()) / 2),
                std::max(room.top(), room.top() + (room.height() - size.height()) / 2));
}

ActivationWatch::ActivationWatch(QWidget& window, std::function<void()> onActivate)
    : QObject(&window), window_(window), onActivate_(std::move(onActivate))
{
    qApp->installEventFilter(this);
}

bool ActivationWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::WindowActivate || !watched->isWidgetType())
        return false;
    auto* w = static_cast<QWidget*>(watched);
    if (!w->isWindow())
        return false;
    if (w == &window_) {
        // Coming back from another program re-activates the window that was
        // active last; only a return from another window of ours counts.
        const bool fromOurs = lastActivated_ != &window_;
        lastActivated_ = &window_;
        if (fromOurs)
            dbaware::guarded(&window_, onActivate_);
        return false;
    }
    const bool box = qobject_cast<QMessageBox*>(w) || qobject_cast<QFileDialog*>(w) ||
                     qobject_cast<HelpWindow*>(w) || w->windowType() == Qt::Popup;
    if (!box)
        lastActivated_ = w;
    return false;
}

KeyPreview::KeyPreview(QWidget& window, Handler keyUp) : QObject(&window), window_(window), keyUp_(std::move(keyUp))
{
    // Keys go to the control with the focus; only the application sees them
    // first, whichever control that is.
    qApp->installEventFilter(this);
}

bool KeyPreview::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyRelease || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != &window_)
        return false;
    // A key that the control ignores travels on to its parents; it was seen
    // at the control already.
    if (QWidget* focus = widget->focusWidget(); focus && focus != widget && widget->isAncestorOf(focus))
        return false;
    bool consumed = false;
    dbaware::guarded(&window_, [&] { consumed = keyUp_(static_cast<QKeyEvent&>(*event)); });
    return consumed;
}

EscapeCloses::EscapeCloses(QWidget& window) : QObject(&window), window_(window)
{
    // On the window itself: a key reaches it only when the control with the
    // focus and every parent between them left it alone.
    window.installEventFilter(this);
}

bool EscapeCloses::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &window_ || event->type() != QEvent::KeyPress)
        return false;
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (key.key() != Qt::Key_Escape || key.modifiers() != Qt::NoModifier)
        return false;
    window_.close();
    return true;
}

bool helpOnF1(const QKeyEvent& key)
{
    if (key.key() != Qt::Key_F1)
        return false;
    // Holding the key repeats press and release; help opens once, at the
    // real release.
    if (!key.isAutoRepeat())
        openHelp();
    return true;
}

}  // namespace app
