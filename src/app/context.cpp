#include "app/context.h"

#include "app/platform.h"
#include "campaign/catalogue.h"

namespace app {

Context::Context(store::AliasRegistry aliases, std::filesystem::path programFolder,
                 std::filesystem::path userDataFolder)
    : session(std::move(aliases), campaign::catalogue()),
      programFolder(std::move(programFolder)),
      userDataFolder(std::move(userDataFolder)),
      userDocumentsFolder(this->userDataFolder.parent_path() / "Documents"),
      folderWritable(platform::isWritableFolder)
{
    // The local copies of campaigns on servers, beside the user's own data.
    session.setServerCopies(this->userDataFolder.parent_path() / "Servers");
}

Context Context::forThisProgram()
{
    Context c(store::AliasRegistry(platform::aliasFile()), platform::programFolder(), platform::userDataFolder());
    c.requestFile = platform::requestFile();
    c.userDocumentsFolder = platform::userDocumentsFolder();
    c.installed = platform::isSystemProgramFolder(c.programFolder);
    return c;
}

}  // namespace app
