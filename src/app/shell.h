#pragma once
#include <QObject>
#include <QPixmap>
#include <QPointer>

#include <functional>
#include <initializer_list>

class QTabWidget;

class QIcon;
class QKeyEvent;
class QString;
class QTabWidget;
class QWidget;

// What the windows of the program share: the title, the icon, where they
// open, and the key preview that the F1 convention needs.
namespace app {

inline constexpr const char* applicationTitle = "Valdane Campaign Database";

// Makes the bundled resources (icon, help pages) available; start-up calls
// it, and so does everything that reads them.
void loadResources();

// The program's icon, 32 by 32 in 16 colours.
QPixmap programPixmap();
QIcon programIcon();

// The window opens centred on its screen each time it is shown, no larger
// than the screen's available area.
void openCentred(QWidget& window);
void centreOnScreen(QWidget& window);

// The window comes back where the user left it, kept in the settings under
// `key` when it is hidden; on a first run it opens centred as above. Either
// way it is moved and shrunk onto the screens there are now.
void openRemembered(QWidget& window, const QString& key);

// Each page of the tab widget scrolls when the window is smaller than the
// page (a small screen, a large scale); at its natural size nothing shows.
void scrollPages(QTabWidget& pages);

// The width a window may take on the screen it opens on: the available area
// less a window system's borders.
int roomAcross(const QWidget& window);
// Lowers the boxes' minimum widths, evenly and to no less than a few letters,
// until the panel that holds them fits the room: the boxes keep their width
// where the screen has room, and a small screen or a large scale narrows them.
void narrowToRoom(QWidget& panel, std::initializer_list<QWidget*> boxes);

// Lets a window see every key released in it before its controls do. The
// handler runs through the error guard and returns true to consume the key.
class KeyPreview final : public QObject {
public:
    using Handler = std::function<bool(QKeyEvent&)>;
    KeyPreview(QWidget& window, Handler keyUp);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    Handler keyUp_;
};

// Runs a window's activation handler when it becomes the active window
// coming from another window of the program (shown, or back from a window it
// opened). Coming back from another program does not count, nor does coming
// back from a message box, the save dialog or a help page: those must leave
// the focus where the command put it.
class ActivationWatch final : public QObject {
public:
    ActivationWatch(QWidget& window, std::function<void()> onActivate);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    std::function<void()> onActivate_;
    QPointer<QWidget> lastActivated_;
};

// Escape closes the window as its Close button does, through close(), so its
// close checks run; a window that holds records gives its own handler, which
// asks before anything pending is saved. Only a key that no control took gets
// here: a box or a grid cell being typed in takes the first Escape to undo
// that typing.
// Ctrl+Tab and Ctrl+Shift+Tab (and Ctrl+Page Down, Ctrl+Page Up) turn the
// pages of the window's tab widget from anywhere in the window, not only
// from inside a page, as a keyboard user expects.
void turnPagesByKeys(QWidget& window, QTabWidget& pages);

class EscapeCloses final : public QObject {
public:
    explicit EscapeCloses(QWidget& window, std::function<void()> onEscape = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    std::function<void()> onEscape_;
};

// The F1 convention of the main, realm and province windows: releasing F1,
// with or without Shift, Ctrl or Alt, opens help. True when the key was F1
// and is consumed.
bool helpOnF1(const QKeyEvent& key);

}  // namespace app
