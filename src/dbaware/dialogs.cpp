#include "dbaware/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace dbaware {

namespace {

class QtDialogs final : public Dialogs {
public:
    Answer ask(QWidget* parent, const QString& caption, const QString& text, Icon icon, Buttons buttons) override
    {
        QMessageBox box(parent);
        box.setWindowTitle(caption);
        box.setText(text);
        box.setIcon(icon == Icon::Question ? QMessageBox::Question
                    : icon == Icon::Error  ? QMessageBox::Critical
                                           : QMessageBox::NoIcon);
        switch (buttons) {
        case Buttons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            box.setDefaultButton(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Ok);
            break;
        case Buttons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case Buttons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
            break;
        case Buttons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        }
        box.exec();
        auto* clicked = box.clickedButton();
        auto role = clicked ? box.standardButton(clicked) : QMessageBox::NoButton;
        switch (role) {
        case QMessageBox::Ok: return Answer::Ok;
        case QMessageBox::Yes: return Answer::Yes;
        case QMessageBox::No: return Answer::No;
        default: break;
        }
        // Closed by the title bar: Cancel where there is one, else No.
        if (buttons == Buttons::YesNo)
            return Answer::No;
        if (buttons == Buttons::Ok)
            return Answer::Ok;
        return Answer::Cancel;
    }

    std::optional<QString> saveFileName(QWidget* parent, const SaveRequest& r) override
    {
        QFileDialog dialog(parent, r.title, r.folder);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilters(r.filters);
        if (!r.filters.isEmpty())
            dialog.selectNameFilter(r.filters.front());
        dialog.setDefaultSuffix(r.defaultSuffix);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !r.confirmOverwrite);
        dialog.selectFile(r.fileName);
        for (;;) {
            if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
                return std::nullopt;
            const QString file = dialog.selectedFiles().front();
            const QFileInfo info(file);
            if (!r.refuseReadOnly || !info.exists() || info.isWritable())
                return file;
            // As the system dialogs do: say why, and let the user choose again.
            ask(&dialog, r.title,
                info.fileName() + QStringLiteral("\nThis file is set to read-only.\nTry again with a different file name."),
                Icon::Error, Buttons::Ok);
            dialog.selectFile(info.fileName());
        }
    }

    void beep() override { QApplication::beep(); }
};

QtDialogs& qtDialogs()
{
    static QtDialogs d;
    return d;
}

Dialogs* current = nullptr;

}  // namespace

static QString& titleText()
{
    static QString title;
    return title;
}

Dialogs& dialogs() { return current ? *current : qtDialogs(); }
void setDialogs(Dialogs* d) { current = d; }

void setApplicationTitle(const QString& title) { titleText() = title; }
QString applicationTitle() { return titleText(); }

void showMessage(QWidget* parent, const QString& text)
{
    dialogs().ask(parent, applicationTitle(), text, Icon::None, Buttons::Ok);
}

Answer confirm(QWidget* parent, const QString& text, Buttons buttons)
{
    return dialogs().ask(parent, QStringLiteral("Confirm"), text, Icon::Question, buttons);
}

void showError(QWidget* parent, const QString& text)
{
    dialogs().ask(parent, applicationTitle(), errorBoxText(text), Icon::Error, Buttons::Ok);
}

QString errorBoxText(const QString& text)
{
    if (!text.isEmpty() && text.back().unicode() > u'.')
        return text + u'.';
    return text;
}

}  // namespace dbaware
