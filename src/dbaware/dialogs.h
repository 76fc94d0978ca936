#pragma once
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QMessageBox;
class QWidget;

namespace dbaware {

// Every modal box of the program goes through this one interface, so that
// tests can answer them (see tests/support/scripted_dialogs.h) and nothing
// ever blocks on a real modal window there.
// YesNoDefaultNo: a question whose safe answer is No, which Enter gives.
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, YesNoDefaultNo };
enum class Icon { None, Question, Error };
enum class Answer { Ok, Cancel, Yes, No };

struct SaveRequest {
    QString title;
    QStringList filters;     // "Text Files (*.txt)", ...; the first is selected
    QString defaultSuffix;   // "txt"
    QString folder;
    QString fileName;
    bool confirmOverwrite = true;  // ask before an existing file is replaced
    bool refuseReadOnly = false;   // a read-only file is not accepted; the dialog stays
};

struct OpenRequest {
    QString title;
    QStringList filters;  // the first is selected
    QString folder;
};

// Long work that the user can follow and stop. Nothing is shown while the
// work is short; after about half a second a window with its stage and a
// Cancel button appears over the others.
class Progress {
public:
    virtual ~Progress() = default;
    // The stage now under way: `done` of `total` stages are finished.
    virtual void stage(int done, int total, const QString& text) = 0;
    // Called often while the work runs, also from inside a statement of the
    // store: false once the user has asked to stop. It lets no other window
    // handle events meanwhile, so nothing reads the tables under the work.
    virtual bool keepGoing() = 0;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual Answer ask(QWidget* parent, const QString& caption, const QString& text, Icon icon, Buttons buttons) = 0;
    // The chosen file, or nothing when the dialog was cancelled.
    virtual std::optional<QString> saveFileName(QWidget* parent, const SaveRequest& request) = 0;
    // An existing folder chosen from `folder` on, or nothing when cancelled.
    virtual std::optional<QString> folderName(QWidget* parent, const QString& title, const QString& folder) = 0;
    // An existing file chosen, or nothing when the dialog was cancelled.
    // The base answers as a cancelled dialog, for boxes that never open one.
    virtual std::optional<QString> openFileName(QWidget* parent, const OpenRequest& request);
    // The row of `items` chosen from a list, or nothing when cancelled; the
    // base answers as cancelled, as above.
    virtual std::optional<int> chooseItem(QWidget* parent, const QString& title, const QString& label,
                                          const QStringList& items);
    virtual void beep() = 0;
    // Progress of long work, shown over `parent`; a window of Qt's unless
    // overridden.
    virtual std::unique_ptr<Progress> progress(QWidget* parent, const QString& title);
};

// The implementation in use: real Qt boxes unless a test installed another.
Dialogs& dialogs();
// Installs `d` (not owned); nullptr restores the real boxes.
void setDialogs(Dialogs* d);

// The program's title, the caption of the plain and the error box. Kept here
// rather than as Qt's display name, which Qt appends to every window caption.
void setApplicationTitle(const QString& title);
QString applicationTitle();

// The box that ask() shows, made but not shown: its caption, text, icon and
// buttons, and wide enough for its caption to show whole in the frame.
std::unique_ptr<QMessageBox> messageBox(QWidget* parent, const QString& caption, const QString& text, Icon icon,
                                        Buttons buttons);

// The three kinds of box.
void showMessage(QWidget* parent, const QString& text);
Answer confirm(QWidget* parent, const QString& text, Buttons buttons = Buttons::YesNo);
void showError(QWidget* parent, const QString& text);

// The error box's text: a full stop is added when the last character's code
// is above that of the full stop.
QString errorBoxText(const QString& text);

}  // namespace dbaware
