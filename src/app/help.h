#pragma once
#include <QString>
#include <QWidget>

#include <functional>

class QPushButton;
class QTextBrowser;

namespace app {

// The commands of the old help viewer that the program gives.
inline constexpr unsigned helpQuit = 2;
inline constexpr unsigned helpContents = 3;

// The application's help file, set once at start-up ("vddb.hlp").
void setHelpFile(const QString& file);
QString helpFile();

// Opens help as the windows ask for it: the application's help file at its
// contents. The old help viewer is gone from today's systems, so the program
// shows its own pages, bundled into it, in a help window of its own.
void openHelp();
void openHelp(const QString& file, unsigned command);

// Tests observe the requests instead; an empty handler restores the window.
using HelpHandler = std::function<void(const QString& file, unsigned command)>;
void setHelpHandler(HelpHandler handler);

class HelpWindow final : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    static QString contentsPage() { return QStringLiteral("qrc:/help/index.html"); }
    void showContents();

    QPushButton* btnContents;
    QPushButton* btnBack;
    QPushButton* btnForward;
    QTextBrowser* browser;
};

// The one help window; nullptr until help is first opened.
HelpWindow* helpWindow();
// Frees it (at the end of the program).
void closeHelp();

}  // namespace app
