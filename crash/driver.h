#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

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

// The operations the fault sweep runs one at a time, each in a process of
// its own: "save", "import", "export", "backup", "sheet", "csv", "pdf".
// `folder` holds Data/, Save/sheet.txt, Out/ (the CSV and PDF files) and the
// alias file, as prepareFolder lays them out.
bool knownOperation(const std::string& name);
// Lays out `folder` with characters 1 to 4 in the campaign file, character 5
// in the transfer file, sheet 1 and stand-ins for the CSV and PDF files.
int prepareFolder(const std::filesystem::path& folder);
// Runs one operation on `folder` as the windows do and prints "A ok" or
// "A fail <message>". With `stop` the process stops itself (SIGSTOP) once
// the files are open, so that a tracer can take it from there.
int runOperation(const std::filesystem::path& folder, const std::string& name, bool stop);

}  // namespace crash
