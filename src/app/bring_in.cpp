#include "app/bring_in.h"

#include "app/backup_first.h"

#include "app/platform.h"
#include "campaign/catalogue.h"
#include "dbaware/dialogs.h"
#include "legacy/bring_in.h"
#include "store/backup.h"
#include "store/error.h"
#include "store/paths.h"

#include <optional>

namespace app {

namespace {

const QString title = QStringLiteral("Bring In Old Tables");

// The progress window as the bring-in reports to it.
legacy::Steps stepsOf(dbaware::Progress& progress)
{
    legacy::Steps steps;
    steps.stage = [&progress](int done, int total, const std::string& what) {
        progress.stage(done, total, QString::fromStdString(what));
    };
    steps.keepGoing = [&progress] { return progress.keepGoing(); };
    return steps;
}

std::optional<std::filesystem::path> aliasFolder(Context& context)
{
    const std::optional<store::Alias> alias = context.session.aliases().find(campaign::alias);
    if (!alias || alias->path().empty())
        return std::nullopt;
    // The alias keeps a folder with a trailing separator; messages show it without.
    std::filesystem::path folder = store::pathFromUtf8(alias->path());
    return folder.has_filename() ? folder : folder.parent_path();
}

}  // namespace

void bringInAtFirstOpen(Context& context, QWidget* parent)
{
    const std::optional<std::filesystem::path> folder = aliasFolder(context);
    if (!folder || !legacy::needsFirstImport(*folder, campaign::catalogue()))
        return;
    QString failure;
    std::optional<legacy::Report> report;
    {
        const std::unique_ptr<dbaware::Progress> progress = dbaware::dialogs().progress(parent, title);
        try {
            report = legacy::bringInAtFirstOpen(*folder, campaign::catalogue(), stepsOf(*progress));
        } catch (const legacy::Cancelled&) {
            failure = QStringLiteral("The old tables in %1 were not brought in");
        } catch (const std::exception& e) {
            failure = QString::fromUtf8(e.what());
        }
    }
    if (report) {
        dbaware::showMessage(parent, QString::fromStdString(legacy::summary(*report, *folder)));
        return;
    }
    if (failure.contains(QLatin1String("%1")))
        failure = failure.arg(platform::toQString(*folder));
    dbaware::showError(parent, failure + QStringLiteral(". The tables start empty; File > Bring In Old Tables "
                                                        "can bring the old tables in later"));
}

bool bringInOldTables(Context& context, QWidget* parent, const std::filesystem::path& folder)
{
    std::shared_ptr<store::Database> db = context.session.databaseForAlias(campaign::alias);
    QString failure;
    std::optional<legacy::Report> report;
    {
        const std::unique_ptr<dbaware::Progress> progress = dbaware::dialogs().progress(parent, title);
        StopCheck stop{*progress};
        try {
            if (legacy::findOldTables(folder, campaign::catalogue()).empty())
                throw std::runtime_error("The folder " + store::utf8(folder) + " holds no Paradox tables of this program");
            progress->stage(0, 1, QStringLiteral("Making a backup of the campaign file"));
            // Going on without a copy is the user's choice, as for an import.
            if (!backupFirst(*db, stop, parent, QStringLiteral("Cannot make a backup before bringing in: "),
                             QStringLiteral("Bring in without a backup?")))
                return false;
            legacy::Steps steps = stepsOf(*progress);
            steps.keepGoing = [&stop] { return stop(); };
            report = legacy::bringInto(*db, folder, steps);
        } catch (const legacy::Cancelled&) {
            return false;
        } catch (const std::exception& e) {
            failure = QString::fromUtf8(e.what());
        }
    }
    if (!report) {
        dbaware::showError(parent, failure);
        return false;
    }
    dbaware::showMessage(parent, QString::fromStdString(legacy::summary(*report, folder)));
    return true;
}

}  // namespace app
