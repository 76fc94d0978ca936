#include "app/help.h"

#include "app/shell.h"
#include "dbaware/dialogs.h"

#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWindow>

namespace app {

namespace {

QString applicationHelpFile;
HelpHandler handler;
QPointer<HelpWindow> window;

}  // namespace

void setHelpFile(const QString& file) { applicationHelpFile = file; }
QString helpFile() { return applicationHelpFile; }

void setHelpHandler(HelpHandler h) { handler = std::move(h); }

void openHelp() { openHelp(helpFile(), helpContents); }

void openHelp(const QString& file, unsigned command)
{
    if (handler) {
        handler(file, command);
        return;
    }
    if (command == helpQuit) {
        closeHelp();
        return;
    }
    // The pages bundled into the program are those of vddb.hlp; a help file
    // is named by its bare file name.
    if (QFileInfo(file).fileName().compare(QStringLiteral("vddb.hlp"), Qt::CaseInsensitive) != 0) {
        dbaware::showMessage(QApplication::activeWindow(), QStringLiteral("Cannot find the help file %1.").arg(file));
        return;
    }
    if (!window)
        window = new HelpWindow;
    window->showContents();
}

HelpWindow* helpWindow() { return window; }

void closeHelp() { delete window; }

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    loadResources();
    setWindowTitle(QStringLiteral("Valdane Campaign Database Help"));
    setAttribute(Qt::WA_QuitOnClose, false);
    btnContents = new QPushButton(QStringLiteral("&Contents"), this);
    btnBack = new QPushButton(QStringLiteral("&Back"), this);
    btnForward = new QPushButton(QStringLiteral("&Forward"), this);
    browser = new QTextBrowser(this);
    browser->setOpenExternalLinks(false);
    browser->setAccessibleName(QStringLiteral("Help text"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnContents);
    buttons->addWidget(btnBack);
    buttons->addWidget(btnForward);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser);

    btnBack->setEnabled(false);
    btnForward->setEnabled(false);
    connect(btnContents, &QPushButton::clicked, this, &HelpWindow::showContents);
    connect(btnBack, &QPushButton::clicked, browser, &QTextBrowser::backward);
    connect(btnForward, &QPushButton::clicked, browser, &QTextBrowser::forward);
    connect(browser, &QTextBrowser::backwardAvailable, btnBack, &QPushButton::setEnabled);
    connect(browser, &QTextBrowser::forwardAvailable, btnForward, &QPushButton::setEnabled);
    resize(760, 600);
    app::openRemembered(*this, QStringLiteral("Help"));
    new EscapeCloses(*this);
}

void HelpWindow::showContents()
{
    browser->setSource(QUrl(contentsPage()));
    // A window shown modally blocks every window outside its own family; the
    // old viewer ran beside the program, so help joins the modal window's
    // family and stays usable while that window is open.
    QWidget* modal = QApplication::activeModalWidget();
    winId();  // the native window must exist to be given a transient parent
    windowHandle()->setTransientParent(modal && modal != this ? modal->windowHandle() : nullptr);
    showNormal();
    raise();
    activateWindow();
}

}  // namespace app
