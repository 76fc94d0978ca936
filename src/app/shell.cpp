#include "app/shell.h"

#include "app/help.h"
#include "app/window_place.h"
#include "dbaware/guard.h"

#include <QApplication>
#include <QFileDialog>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QShortcut>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <limits>

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

// The available areas of the screens there are, the primary first.
QList<QRect> availableAreas()
{
    QList<QRect> areas;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        areas << primary->availableGeometry();
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != primary)
            areas << screen->availableGeometry();
    return areas;
}

// What the window system's frame adds to the window's own size. Some
// systems (X11) tell it only once the window has been shown: until then a
// title bar and borders of the style's size are assumed, so that a window
// made as large as the screen keeps its frame on it.
QSize frameExtra(const QWidget& window)
{
    const QSize known = (window.frameGeometry().size() - window.size()).expandedTo(QSize(0, 0));
    if (!known.isNull() || (window.windowFlags() & Qt::FramelessWindowHint))
        return known;
    const QStyle* style = window.style();
    const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, &window);
    return {2 * border, style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window) + 2 * border};
}

QScreen* screenOf(const QWidget& window)
{
    return window.screen() ? window.screen() : QGuiApplication::primaryScreen();
}

// A window larger than its screen (a small screen, a large scale) is made
// as large as the screen's available area.
void shrinkOntoScreen(QWidget& window)
{
    QScreen* screen = screenOf(window);
    if (!screen)
        return;
    const QSize extra = frameExtra(window);
    const QRect frame(window.frameGeometry().topLeft(), window.size() + extra);
    const QRect fitted = fitIntoAreas(frame, {screen->availableGeometry()});
    if (fitted.size() != frame.size())
        window.resize(fitted.size() - extra);
}

QString settingsGroup(const QString& key) { return QStringLiteral("Windows/") + key; }

void savePlace(const QWidget& window, const QString& key)
{
    // A minimised window keeps the place it had before.
    if (window.windowState() & Qt::WindowMinimized)
        return;
    QSettings settings;
    settings.beginGroup(settingsGroup(key));
    const bool maximized = window.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
    settings.setValue(QStringLiteral("maximized"), maximized);
    // Qt's own record of a maximised window: its screen and the normal place
    // it returns to, which the window system keeps while it is maximised.
    settings.setValue(QStringLiteral("geometry"), window.saveGeometry());
    // The normal place, where the window comes back onto the screens there
    // are then.
    if (!maximized) {
        settings.setValue(QStringLiteral("frame"), window.frameGeometry());
        settings.setValue(QStringLiteral("size"), window.size());
        settings.setValue(QStringLiteral("client"), window.geometry());
    }
}

// False when nothing was kept (a first run).
bool restorePlace(QWidget& window, const QString& key)
{
    QSettings settings;
    settings.beginGroup(settingsGroup(key));
    const QRect frame = settings.value(QStringLiteral("frame")).toRect();
    const QSize size = settings.value(QStringLiteral("size")).toSize();
    if (!frame.isValid() || !size.isValid() || size.width() > frame.width() || size.height() > frame.height())
        return false;
    // The frame's width as it was then; the frame is what must fit.
    const QSize extra = frame.size() - size;
    const QRect fitted = fitIntoAreas(frame, availableAreas());
    window.resize(fitted.size() - extra);
    // The window may not go as small as it was kept (a smaller minimum size
    // then); what it came to must fit as well.
    const QPoint framePlace = fitIntoAreas(QRect(fitted.topLeft(), window.size() + extra), availableAreas()).topLeft();
    // The window is placed by its inside, where it sat in the frame then: a
    // window system frames a window only once it is on the screen, so while
    // it is being shown its frame is not known yet, and a frame position
    // would be taken for the inside's. Qt's restoreGeometry() places by a
    // guessed title bar instead, a window's height off on some systems.
    const QRect client = settings.value(QStringLiteral("client")).toRect();
    if (client.size() == size)
        window.setGeometry(QRect(framePlace + (client.topLeft() - frame.topLeft()), window.size()));
    else
        window.move(framePlace);  // kept by an earlier version: no inside known
    if (settings.value(QStringLiteral("maximized")).toBool()) {
        // Maximised on the screen it was on, over the normal place it had,
        // as Qt kept them; over the fitted place when Qt refuses its record
        // (a screen whose size has changed much).
        const QRect normal = window.geometry();
        if (!window.restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray()) ||
            !(window.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
            window.setGeometry(normal);
            window.setWindowState(window.windowState() | Qt::WindowMaximized);
        }
    }
    return true;
}

class CentreOnShow final : public QObject {
public:
    explicit CentreOnShow(QWidget& window) : QObject(&window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Spontaneous shows come from the window system (a restore), not
        // from the program opening the window.
        if (event->type() == QEvent::Show && !event->spontaneous()) {
            auto& window = *static_cast<QWidget*>(watched);
            shrinkOntoScreen(window);
            centreOnScreen(window);
        }
        return false;
    }
};

class RememberPlace final : public QObject {
public:
    RememberPlace(QWidget& window, QString key) : QObject(&window), key_(std::move(key)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->spontaneous())
            return false;
        auto& window = *static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show && !restorePlace(window, key_)) {
            shrinkOntoScreen(window);
            centreOnScreen(window);
        } else if (event->type() == QEvent::Hide) {
            savePlace(window, key_);
        }
        return false;
    }

private:
    QString key_;
};

// A page's natural size is its contents' size, not the few lines a scroll
// area asks for, so the windows keep their size where the screen has room.
class PageScroller final : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override
    {
        if (!widget())
            return QScrollArea::sizeHint();
        const int f = 2 * frameWidth();
        return widget()->sizeHint() + QSize(f, f);
    }
};

}  // namespace

void openCentred(QWidget& window) { window.installEventFilter(new CentreOnShow(window)); }

void openRemembered(QWidget& window, const QString& key) { window.installEventFilter(new RememberPlace(window, key)); }

int roomAcross(const QWidget& window)
{
    const QScreen* screen = screenOf(window);
    return screen ? screen->availableGeometry().width() - 24 : std::numeric_limits<int>::max();
}

void narrowToRoom(QWidget& panel, std::initializer_list<QWidget*> boxes)
{
    // Beside the panel, the margins of the layout that holds it.
    const QLayout* around = panel.parentWidget() ? panel.parentWidget()->layout() : nullptr;
    const QMargins margins = around ? around->contentsMargins() : QMargins();
    const int room = roomAcross(*panel.window()) - margins.left() - margins.right();
    // A grid's spans take what a box gives up unevenly: measured again.
    for (int pass = 0; pass < 8 && boxes.size() != 0; ++pass) {
        const int excess = panel.minimumSizeHint().width() - room;
        if (excess <= 0)
            break;
        const int each = (excess + static_cast<int>(boxes.size()) - 1) / static_cast<int>(boxes.size());
        for (QWidget* box : boxes)
            box->setMinimumWidth(std::max(box->fontMetrics().averageCharWidth() * 8, box->minimumWidth() - each));
    }
    panel.updateGeometry();
}

void scrollPages(QTabWidget& pages)
{
    for (int i = 0; i < pages.count(); ++i) {
        QWidget* page = pages.widget(i);
        QLayout* layout = page->layout();
        if (!layout)
            continue;
        // Made inside the window, so that its controls keep their place in
        // the window's Tab order when the layout hands them over.
        auto* contents = new QWidget(page);
        contents->setObjectName(page->objectName() + QStringLiteral("Contents"));
        contents->setLayout(layout);  // takes the layout, and its controls, from the page
        auto* scroller = new PageScroller(page);
        scroller->setObjectName(page->objectName() + QStringLiteral("Scroller"));
        scroller->setFrameShape(QFrame::NoFrame);
        scroller->setFocusPolicy(Qt::NoFocus);
        scroller->setWidgetResizable(true);
        scroller->setWidget(contents);
        // The tab's pane shows through, as it did behind the page.
        scroller->viewport()->setAutoFillBackground(false);
        contents->setAutoFillBackground(false);
        auto* column = new QVBoxLayout(page);
        column->setContentsMargins(0, 0, 0, 0);
        column->addWidget(scroller);
    }
}

void centreOnScreen(QWidget& window)
{
    QScreen* screen = screenOf(window);
    if (!screen)
        return;
    const QRect room = screen->availableGeometry();
    const QSize size = window.size() + frameExtra(window);
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

void turnPagesByKeys(QWidget& window, QTabWidget& pages)
{
    const std::pair<QKeySequence, int> keys[] = {{QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
                                                 {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
                                                 {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
                                                 {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1}};
    for (const auto& [key, step] : keys) {
        auto* shortcut = new QShortcut(key, &window);
        QObject::connect(shortcut, &QShortcut::activated, &pages, [&pages, step = step] {
            const int n = pages.count();
            if (n > 0)
                pages.setCurrentIndex((pages.currentIndex() + step + n) % n);
        });
    }
}

EscapeCloses::EscapeCloses(QWidget& window, std::function<void()> onEscape)
    : QObject(&window), window_(window), onEscape_(std::move(onEscape))
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
    if (onEscape_)
        dbaware::guarded(&window_, onEscape_);
    else
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
