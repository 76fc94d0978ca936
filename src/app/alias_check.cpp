#include "app/alias_check.h"

#include "app/platform.h"
#include "campaign/catalogue.h"
#include "dbaware/dialogs.h"
#include "store/alias_registry.h"
#include "store/paths.h"

namespace app {

namespace fs = std::filesystem;

namespace {

const char* const aliasName = campaign::alias;

// The engine's folder form: the folder with a trailing separator.
std::string folderText(fs::path folder)
{
    std::string text = store::utf8(folder.make_preferred());
    if (text.empty() || (text.back() != '/' && text.back() != static_cast<char>(fs::path::preferred_separator)))
        text += static_cast<char>(fs::path::preferred_separator);
    return text;
}

}  // namespace

namespace {

// Installed for all users the program's folder is read-only, and a folder
// of its own there could never be made; run by root it could, but would
// outlive the package. A folder that already exists beside the program and
// can be written is used all the same.
bool besideTheProgram(const Context& context, const fs::path& folder)
{
    std::error_code ec;
    return fs::is_directory(folder, ec) ? context.folderWritable(folder)
                                        : !context.installed && context.folderWritable(context.programFolder);
}

}  // namespace

fs::path dataFolderFor(const Context& context)
{
    const fs::path beside = context.programFolder / "Data";
    return besideTheProgram(context, beside) ? beside : context.userDataFolder;
}

fs::path saveFolderParent(const Context& context)
{
    return besideTheProgram(context, context.programFolder / "Save") ? context.programFolder
                                                                     : context.userDocumentsFolder;
}

namespace {

// The folder as a path without a trailing separator, for comparing.
fs::path folderKey(fs::path folder)
{
    folder = folder.lexically_normal();
    return folder.has_filename() ? folder : folder.parent_path();
}

// An alias whose folder is missing would get a new empty database there: on
// a first start that is wanted for the program's own Data folder, but
// another folder may be on a drive that is not mounted, so the user decides.
bool confirmAliasFolder(Context& context, const store::Alias& alias)
{
    if (alias.path().empty())
        return true;  // the tables say so when they fail to open
    const fs::path folder = store::pathFromUtf8(alias.path());
    std::error_code ec;
    if (fs::exists(folder, ec) || ec)
        return true;  // there, or the tables report why it cannot be used
    const fs::path key = folderKey(folder);
    if (key == folderKey(context.programFolder / "Data") || key == folderKey(context.userDataFolder))
        return true;
    const QString text =
        QStringLiteral("The data folder %1 of the database alias VDDB does not exist. "
                       "It may be on a drive that is not connected.\n\n"
                       "Create the folder now, with new empty tables? "
                       "Choose No to end the program, so that you can connect the drive and start again.")
            .arg(platform::toQString(folder));
    if (dbaware::confirm(nullptr, text) == dbaware::Answer::Yes)
        return true;
    context.exitStatus = 1;
    return false;
}

}  // namespace

bool checkAlias(Context& context)
{
    if (const std::optional<store::Alias> known = context.session.aliases().find(aliasName))
        return confirmAliasFolder(context, *known);
    const store::Alias alias{aliasName, "STANDARD",
                             {{"PATH", folderText(dataFolderFor(context))}, {"DEFAULT DRIVER", "Paradox"}}};
    try {
        context.session.aliases().add(alias, true);
        return true;
    } catch (const std::exception&) {
        // Whatever the cause, the program cannot work without its alias.
        dbaware::showMessage(nullptr, QStringLiteral("Error Creating Paradox Alias - Terminating"));
        context.exitStatus = 1;
        return false;
    }
}

}  // namespace app
