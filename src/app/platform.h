#pragma once
#include <QString>

#include <filesystem>

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
// The table engine's alias file, in the user's config folder.
std::filesystem::path aliasFile();
// Where another program leaves a request to open a character.
std::filesystem::path requestFile();

std::filesystem::path toPath(const QString& text);
QString toQString(const std::filesystem::path& path);

}  // namespace app::platform
