#pragma once
#include <QString>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

// Everything that differs between Linux, Windows and macOS lives here.
namespace app::platform {

// The folder that holds the program file; the working folder plays no part.
std::filesystem::path programFolder();
// Whether files can be created in the folder (it must exist).
bool isWritableFolder(const std::filesystem::path& folder);
// Where the data goes when the folder beside the program cannot be written:
// $XDG_DATA_HOME/vddb/Data (~/.local/share/vddb/Data) on Linux, the user's
// application data folder on Windows and macOS.
std::filesystem::path userDataFolder();
// Where saved sheets go when the folder beside the program cannot be
// written: vddb in the user's documents folder.
std::filesystem::path userDocumentsFolder();
// A folder the system installs programs into (/usr/bin, /opt/...), which
// root could write but a package removal would leave the data behind in.
bool isSystemProgramFolder(const std::filesystem::path& folder);
// The table engine's alias file: $XDG_CONFIG_HOME/vddb/aliases.conf, with
// ~/.config in place of an unset or relative $XDG_CONFIG_HOME.
std::filesystem::path aliasFile();
// Where another program leaves a request to open a character.
std::filesystem::path requestFile();

// A small file that another program leaves for this one, read with care: a
// link is not followed, a FIFO or device is never opened for reading (so
// nothing blocks), and no more than `limit` bytes are ever read.
struct ForeignFile {
    enum class Status { Missing, Read, Refused };
    Status status = Status::Missing;
    std::string contents;          // when read
    std::string reason;            // when refused
    std::uintmax_t size = 0;       // what the file system said of it
    std::int64_t modified = 0;     // its modification time, in the system's units
};
ForeignFile readForeignFile(const std::filesystem::path& file, std::size_t limit);

// Writes what the system holds of an open file (its handle) to the disk;
// empty, or the system's reason when the disk refuses it.
QString syncToDisk(int handle);

// A name (a character's, a game's) made fit to suggest as a file name in a
// folder: no separator, no "..", no character the file system refuses, no
// leading dot or tilde; empty when nothing is left.
QString safeFileName(const QString& name);

std::filesystem::path toPath(const QString& text);
QString toQString(const std::filesystem::path& path);

}  // namespace app::platform
