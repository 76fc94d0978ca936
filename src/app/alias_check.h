#pragma once
#include <filesystem>

#include "app/context.h"

namespace app {

// The alias check, the first half of the main window's creation handler:
// an alias VDDB known in any letter case is used as it stands; otherwise it
// is registered on the Data folder beside the program. An alias whose folder
// is missing, other than the program's own Data folder, is used only when the
// user agrees to have the folder made. A failed registration, or the user's
// No, sets the context's exit status and returns false.
bool checkAlias(Context& context);

// The folder that a new alias VDDB names: Data beside the program, or the
// user's data folder when the folder beside the program cannot be written.
std::filesystem::path dataFolderFor(const Context& context);
// The folder that holds the Save folder the save dialogs start in: the
// program's, or vddb in the user's documents by the same rule.
std::filesystem::path saveFolderParent(const Context& context);

}  // namespace app
