#pragma once
#include <QApplication>

#include <memory>

#include "app/alias_check.h"
#include "app/context.h"

class TfrmProvince;
class TfrmRealmDetails;
class TfrmTransfer;
class TfrmVDDBSearch;
namespace campaign {
class Tables;
}
namespace store {
class BackgroundCount;
class DailyBackupJob;
}

namespace app {

// One run of the program: the tables the windows share and the windows,
// created by startUp in their order and freed together when it ends.
class Program {
public:
    explicit Program(Context& context);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Start-up up to the event loop: title, help file, the splash painted,
    // then the five windows in their order, each created and then given its
    // creation handler. False when the program has to end
    // (context.exitStatus); the windows made until then stay until the end.
    bool startUp();
    // Shows the main window and runs the event loop until it closes.
    int exec();

    Context& context;
    std::unique_ptr<campaign::Tables> tables;
    // Empty until created.
    TfrmVDDBSearch* frmVDDBSearch = nullptr;
    TfrmRealmDetails* frmRealmDetails = nullptr;
    TfrmProvince* frmProvince = nullptr;
    TfrmTransfer* frmTransfer = nullptr;
    // Today's copy of the campaign file while it is made and after; empty
    // when none was needed.
    std::unique_ptr<store::DailyBackupJob> dailyBackup;
    // The browser's characters counted meanwhile, while it counts and after;
    // empty when the table did not open.
    std::unique_ptr<store::BackgroundCount> characterCount;

private:
    void tellNotices();
    void watchServers();
    std::unique_ptr<QObject> idleHook_;
};

// The campaign of another alias (a folder, or a server) opened as VDDB for
// this run, the alias file unchanged; false, told on the error stream, for an
// alias the file does not have.
bool openInstead(Context& context, const std::string& alias);

// The whole run: start-up, the event loop until the main window closes,
// shut-down. Returns the exit status.
int run(Context& context);

// The program's QApplication: a last net for an error that escaped a
// handler's guard, so that it is shown and never ends the program.
class Application final : public QApplication {
public:
    Application(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace app
