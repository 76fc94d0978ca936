#pragma once
#include <filesystem>
#include <functional>
#include <optional>

#include "store/session.h"

namespace app {

// What the windows share for the whole run: the table engine with its
// aliases, and where the program stands. Tests build one on scratch folders.
struct Context {
    Context(store::AliasRegistry aliases, std::filesystem::path programFolder,
            std::filesystem::path userDataFolder);
    // The program as installed on this computer.
    static Context forThisProgram();

    store::Session session;
    std::filesystem::path programFolder;
    std::filesystem::path userDataFolder;
    // Where saved sheets go when they cannot go beside the program.
    std::filesystem::path userDocumentsFolder;
    // The program file is in a folder the system installs programs into.
    bool installed = false;
    // Whether a folder can be written; tests stand in for a read-only install.
    std::function<bool(const std::filesystem::path&)> folderWritable;
    // The open-request file the main window serves; none when empty.
    std::filesystem::path requestFile;
    // Set when start-up has to end the program, with its exit status.
    std::optional<int> exitStatus;
};

}  // namespace app
