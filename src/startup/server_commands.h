// The game master's commands for a campaign shared on a PostgreSQL server,
// run from the command line without a display.
#pragma once
#include <cstdio>
#include <filesystem>

#include "startup/command_line.h"

namespace app {

// Runs the command with the aliases of `aliasFile`; what it did goes to
// `out`, a failure to `err`. Returns the exit status.
int runServerCommand(const CommandLine& line, const std::filesystem::path& aliasFile, std::FILE* out, std::FILE* err);
// The same with the user's own alias file, on the standard streams.
int runServerCommand(const CommandLine& line);

}  // namespace app
