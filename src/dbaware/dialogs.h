#pragma once
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace dbaware {

// Every modal box of the program goes through this one interface, so that
// tests can answer them (see tests/support/scripted_dialogs.h) and nothing
// ever blocks on a real modal window there.
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
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

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual Answer ask(QWidget* parent, const QString& caption, const QString& text, Icon icon, Buttons buttons) = 0;
    // The chosen file, or nothing when the dialog was cancelled.
    virtual std::optional<QString> saveFileName(QWidget* parent, const SaveRequest& request) = 0;
    virtual void beep() = 0;
};

// The implementation in use: real Qt boxes unless a test installed another.
Dialogs& dialogs();
// Installs `d` (not owned); nullptr restores the real boxes.
void setDialogs(Dialogs* d);

// The program's title, the caption of the plain and the error box. Kept here
// rather than as Qt's display name, which Qt appends to every window caption.
void setApplicationTitle(const QString& title);
QString applicationTitle();

// The three kinds of box.
void showMessage(QWidget* parent, const QString& text);
Answer confirm(QWidget* parent, const QString& text, Buttons buttons = Buttons::YesNo);
void showError(QWidget* parent, const QString& text);

// The error box's text: a full stop is added when the last character's code
// is above that of the full stop.
QString errorBoxText(const QString& text);

}  // namespace dbaware
