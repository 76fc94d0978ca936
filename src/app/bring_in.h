// The shell's side of bringing old Paradox tables in: the progress window,
// the plain message that says what came in, and the error box.
#pragma once
#include <filesystem>

#include "app/context.h"

class QWidget;

namespace app {

// At the first open of the data folder of the alias VDDB, before any table
// opens: when the folder holds old tables and none of the program's files,
// they are brought in. A failure is shown and the program goes on as with
// missing tables.
void bringInAtFirstOpen(Context& context, QWidget* parent);

// Adds the old tables of `folder` to the campaign of the alias VDDB, all or
// nothing, after a backup of the campaign file. True when records came in.
bool bringInOldTables(Context& context, QWidget* parent, const std::filesystem::path& folder);

}  // namespace app
