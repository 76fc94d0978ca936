#include "startup/startup.h"

#include "app/about.h"
#include "app/help.h"
#include "app/shell.h"
#include "app/splash.h"
#include "browser/vdsearch.h"
#include "campaign/catalogue.h"
#include "campaign/tables.h"
#include "dbaware/dialogs.h"
#include "dbaware/guard.h"
#include "province/vdprovince.h"
#include "realm/vddetails.h"
#include "store/background_count.h"
#include "store/backup.h"
#include "transfer/transfer.h"

#include "store/error.h"

#include <QAbstractEventDispatcher>
#include <QPointer>
#include <QTimer>

#include <cstdio>

namespace app {

namespace {

// Creates a window the way start-up does: the reference is set first, then
// the creation handler runs through the error guard.
template <class Window, class... Args>
void createWindow(Window*& reference, Args&&... args)
{
    reference = new Window(std::forward<Args>(args)...);
    if constexpr (requires { reference->FormCreate(); }) {
        Window* window = reference;
        dbaware::guarded(window, [window] { window->FormCreate(); });
    }
}

template <class Window>
void destroy(Window*& reference)
{
    delete reference;
    reference = nullptr;
}

}  // namespace

Program::Program(Context& context) : context(context), tables(std::make_unique<campaign::Tables>(context.session)) {}

bool Program::startUp()
{
    loadResources();
    dbaware::setApplicationTitle(QString::fromLatin1(applicationTitle));
    QApplication::setWindowIcon(programIcon());
    // The program ends when the main window closes, and only then.
    QApplication::setQuitOnLastWindowClosed(false);
    setHelpFile(QStringLiteral("vddb.hlp"));

    // An open read keeps its lock on the files; none may outlast the event
    // that started it, or a second program could not write meanwhile.
    idleHook_ = std::make_unique<QObject>();
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, idleHook_.get(),
                     [this] {
                         dbaware::guarded(nullptr, [this] { context.session.releaseCursors(); });
                         tellNotices();
                     });

    frmSplash = nullptr;
    createWindow(frmSplash);
    frmSplash->showPainted();

    createWindow(frmVDDBSearch, context, *tables);
    if (context.exitStatus)
        return false;
    createWindow(frmRealmDetails, context, *tables);
    createWindow(frmProvince, context);
    createWindow(AboutBox);
    createWindow(frmTransfer, *tables);
    // Each window reaches the ones it opens through the references it is
    // given here, and no other way.
    frmVDDBSearch->useWindows(*frmRealmDetails, *frmTransfer);
    frmRealmDetails->useWindows(*frmProvince, *frmTransfer);
    // Today's copy of the campaign file, once the tables are open, read
    // between events and written out on a thread of its own; a failure is
    // shown here, on the GUI thread, and the program goes on.
    TfrmVDDBSearch* browser = frmVDDBSearch;
    // The characters counted meanwhile as well, for the browser's grid: the
    // first Ctrl+End in a million of them need not wait for the count.
    dbaware::guarded(browser, [this, browser] {
        if (browser->tblVDDB.isOpen())
            characterCount = store::BackgroundCount::start(browser->tblVDDB, [browser](std::int64_t rows, std::uint32_t counter) {
                QMetaObject::invokeMethod(
                    browser, [browser, rows, counter] { dbaware::guarded(browser, [&] { browser->tblVDDB.adoptCount(rows, counter); }); },
                    Qt::QueuedConnection);
            });
    });
    dbaware::guarded(browser, [this, browser] {
        dailyBackup = store::DailyBackupJob::start(context.session, campaign::alias, [browser](std::exception_ptr failure) {
            if (failure)
                QMetaObject::invokeMethod(
                    browser, [browser, failure] { dbaware::guarded(browser, [failure] { std::rethrow_exception(failure); }); },
                    Qt::QueuedConnection);
        });
        if (!dailyBackup)
            return;
        // A few pages whenever the event loop has nothing else to do.
        auto* pump = new QTimer(browser);
        QObject::connect(pump, &QTimer::timeout, pump, [this, pump] {
            if (!dailyBackup || !dailyBackup->step())
                pump->deleteLater();
        });
        pump->start(0);
    });
    watchServers();
    return true;
}

void Program::watchServers()
{
    if (!context.session.hasServers())
        return;
    // The servers' announcements, looked for four times a second: a change
    // another program saved shows here within a second. Never while a box
    // is open, whose handler may stand in the middle of its work; and a
    // server gone is tried again every five seconds, silently: a save says
    // when it cannot be reached.
    auto* watch = new QTimer(frmVDDBSearch);
    QObject::connect(watch, &QTimer::timeout, watch, [this, ticks = 0]() mutable {
        if (QApplication::activeModalWidget())
            return;
        try {
            context.session.takeServerChanges(++ticks % 20 == 0);
        } catch (const store::StoreError&) {
        }
    });
    watch->start(250);
}

void Program::tellNotices()
{
    // Told once the handler that opened the file has ended, as a box of its
    // own: a box cannot open while the event loop is about to wait.
    for (const std::string& notice : context.session.takeNotices()) {
        QPointer<QWidget> over = frmVDDBSearch;
        QMetaObject::invokeMethod(
            idleHook_.get(), [over, text = QString::fromStdString(notice)] { dbaware::showMessage(over, text); },
            Qt::QueuedConnection);
    }
}

Program::~Program()
{
    // A copy still under way is given up, before the windows its report
    // would go to.
    dailyBackup.reset();
    characterCount.reset();
    closeHelp();
    destroy(frmTransfer);
    destroy(AboutBox);
    destroy(frmProvince);
    destroy(frmRealmDetails);
    destroy(frmVDDBSearch);
    destroy(frmSplash);
    idleHook_.reset();
    // A closed splash has only asked to be freed.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int Program::exec()
{
    frmVDDBSearch->show();
    return QApplication::exec();
}

bool openInstead(Context& context, const std::string& alias)
{
    std::optional<store::Alias> found = context.session.aliases().find(alias);
    if (!found) {
        std::fprintf(stderr, "vddb: %s\n", store::msg::unknownAlias(alias).c_str());
        return false;
    }
    found->name = campaign::alias;
    context.session.aliases().add(*found, false);
    return true;
}

int run(Context& context)
{
    Program program(context);
    if (program.startUp())
        return program.exec();
    return context.exitStatus.value_or(1);
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    bool result = false;
    const bool ok = dbaware::guarded(QApplication::activeWindow(), [&] { result = QApplication::notify(receiver, event); });
    return ok && result;
}

}  // namespace app
