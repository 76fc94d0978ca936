#pragma once
#include <cstdint>
#include <filesystem>

namespace crash {

struct DriverOptions {
    std::filesystem::path dataFolder;
    std::uint32_t seed = 1;
    // Deliberately wrong: the import's copies and the emptying of the
    // transfer tables in separate transactions. Used to show that the
    // harness catches a half-done import.
    bool splitImport = false;
    // Each delete, export and empty in one transaction, as the windows would
    // need for them to be all or nothing too.
    bool wholeCommands = false;
    // Also take daily copies of the campaign file, and write realm sheets
    // to `sheetFile`.
    bool backups = false;
    bool sheets = false;
    std::filesystem::path sheetFile;
    // Now and then let the files grow no further during an operation, as a
    // full disk would.
    bool fullDisk = false;
};

// The child process: opens the data folder through the store as the program
// does and carries out operations until it is killed. Before each one it
// writes "B <op>" to `fd`, after it returned "A ok" or "A fail <message>";
// "R" once the tables are open, "F <message>" when it cannot go on.
// Returns only on such a fatal error.
int runDriver(const DriverOptions& options, int fd);

}  // namespace crash
