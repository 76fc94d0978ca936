#include "dbaware/dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>

#include <algorithm>
#include <vector>

namespace dbaware {

namespace {

class QtDialogs final : public Dialogs {
public:
    Answer ask(QWidget* parent, const QString& caption, const QString& text, Icon icon, Buttons buttons) override
    {
        const std::unique_ptr<QMessageBox> made = messageBox(parent, caption, text, icon, buttons);
        QMessageBox& box = *made;
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
        if (buttons == Buttons::YesNo || buttons == Buttons::YesNoDefaultNo)
            return Answer::No;
        if (buttons == Buttons::Ok)
            return Answer::Ok;
        return Answer::Cancel;
    }

    // Both file dialogs: the mode, and the first filter chosen.
    static void prepare(QFileDialog& dialog, QFileDialog::AcceptMode accept, QFileDialog::FileMode mode,
                        const QStringList& filters)
    {
        dialog.setAcceptMode(accept);
        dialog.setFileMode(mode);
        dialog.setNameFilters(filters);
        if (!filters.isEmpty())
            dialog.selectNameFilter(filters.front());
    }

    std::optional<QString> saveFileName(QWidget* parent, const SaveRequest& r) override
    {
        QFileDialog dialog(parent, r.title, r.folder);
        prepare(dialog, QFileDialog::AcceptSave, QFileDialog::AnyFile, r.filters);
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

    std::optional<QString> folderName(QWidget* parent, const QString& title, const QString& folder) override
    {
        const QString chosen = QFileDialog::getExistingDirectory(parent, title, folder, QFileDialog::ShowDirsOnly);
        if (chosen.isEmpty())
            return std::nullopt;
        return chosen;
    }

    std::optional<QString> openFileName(QWidget* parent, const OpenRequest& r) override
    {
        QFileDialog dialog(parent, r.title, r.folder);
        prepare(dialog, QFileDialog::AcceptOpen, QFileDialog::ExistingFile, r.filters);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().front();
    }

    std::optional<int> chooseItem(QWidget* parent, const QString& title, const QString& label,
                                  const QStringList& items) override
    {
        bool ok = false;
        const QString chosen = QInputDialog::getItem(parent, title, label, items, 0, false, &ok);
        if (!ok)
            return std::nullopt;
        const int row = static_cast<int>(items.indexOf(chosen));
        return row < 0 ? std::nullopt : std::optional<int>(row);
    }

    void beep() override { QApplication::beep(); }
};

class QtProgress final : public Progress {
public:
    QtProgress(QWidget* parent, const QString& title) : parent_(parent), title_(title) { clock_.start(); }
    ~QtProgress() override
    {
        dialog_.reset();
        for (const QPointer<QWidget>& w : frozen_)
            if (w)
                w->setUpdatesEnabled(true);  // and repainted, now that the work is over
    }

    void stage(int done, int total, const QString& text) override
    {
        done_ = done;
        total_ = total;
        text_ = text;
        if (dialog_) {
            dialog_->setMaximum(total_);
            dialog_->setLabelText(text_);
            dialog_->setValue(done_);
        }
    }

    bool keepGoing() override
    {
        constexpr qint64 showAfter = 500, answerEvery = 50;  // milliseconds
        if (cancelled_)
            return false;
        const qint64 now = clock_.elapsed();
        if (now < showAfter || (dialog_ && now - lastEvents_ < answerEvery))
            return true;
        lastEvents_ = now;
        if (!dialog_)
            open();
        // This may run inside a statement of the store: the other windows
        // take no input (the dialog is modal) and do not paint (frozen), so
        // no event handled here reads a table.
        QCoreApplication::processEvents();
        cancelled_ = dialog_->wasCanceled();
        return !cancelled_;
    }

private:
    void open()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->updatesEnabled()) {
                w->setUpdatesEnabled(false);
                frozen_.emplace_back(w);
            }
        dialog_ = std::make_unique<QProgressDialog>(text_, QStringLiteral("Cancel"), 0, total_, parent_);
        dialog_->setWindowTitle(title_);
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->setMinimumDuration(0);
        dialog_->setValue(done_);
        dialog_->show();
    }

    QPointer<QWidget> parent_;
    QString title_;
    QElapsedTimer clock_;
    qint64 lastEvents_ = 0;
    int done_ = 0, total_ = 0;
    QString text_;
    bool cancelled_ = false;
    std::unique_ptr<QProgressDialog> dialog_;
    std::vector<QPointer<QWidget>> frozen_;
};

// The room a title needs in the window's frame: its text in the title bar's
// type, which is often bold and larger than the box's own, plus the frame's
// icon and buttons. Qt allows only a little for them, and a title cut short
// in the frame is the first thing a user sees of the box.
int titleRoom(const QWidget& box, const QString& title)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    if (font.pointSizeF() < box.font().pointSizeF())
        font.setPointSizeF(box.font().pointSizeF());
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int bar = std::max(box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box), metrics.height());
    // An icon at the left, up to three buttons at the right, a margin each side.
    return metrics.horizontalAdvance(title) + 4 * bar + 2 * metrics.height();
}

// A path in a box reads whole: the lines never break at its separators
// (a word joiner follows each), and the box is made wide enough for the
// widest, as far as the screen allows.
QString unbrokenPaths(const QString& text)
{
    QString shown = text;
    shown.replace(QLatin1Char('/'), QStringLiteral("/\u2060"));
    shown.replace(QLatin1Char('\\'), QStringLiteral("\\\u2060"));
    return shown;
}

int pathRoom(const QWidget& box, const QString& text)
{
    int widest = 0;
    for (const QString& word : text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        if (word.contains(QLatin1Char('/')) || word.contains(QLatin1Char('\\')))
            widest = std::max(widest, box.fontMetrics().horizontalAdvance(word));
    // The icon's column and a margin each side.
    return widest == 0 ? 0 : widest + 4 * box.fontMetrics().height();
}

QtDialogs& qtDialogs()
{
    static QtDialogs d;
    return d;
}

Dialogs* current = nullptr;

}  // namespace

std::unique_ptr<QMessageBox> messageBox(QWidget* parent, const QString& caption, const QString& text, Icon icon,
                                        Buttons buttons)
{
    auto made = std::make_unique<QMessageBox>(parent);
    QMessageBox& box = *made;
    box.setWindowTitle(caption);
    box.setText(unbrokenPaths(text));
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
    case Buttons::YesNoDefaultNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    }
    // QMessageBox fixes its own size from its layout when shown; a strut
    // across the layout is what makes it keep a width.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        int room = std::max(titleRoom(box, caption), pathRoom(box, text));
        if (const QScreen* screen = box.screen())
            room = std::min(room, screen->availableGeometry().width() * 9 / 10);
        grid->addItem(new QSpacerItem(room, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    return made;
}

static QString& titleText()
{
    static QString title;
    return title;
}

std::optional<QString> Dialogs::openFileName(QWidget*, const OpenRequest&) { return std::nullopt; }

std::optional<int> Dialogs::chooseItem(QWidget*, const QString&, const QString&, const QStringList&)
{
    return std::nullopt;
}

std::unique_ptr<Progress> Dialogs::progress(QWidget* parent, const QString& title)
{
    return std::make_unique<QtProgress>(parent, title);
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
