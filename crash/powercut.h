#pragma once
#include <filesystem>
#include <vector>

// What a power cut would leave of some folders. Linked into crashtest, this
// file's fsync and fdatasync take the place of the C library's for every
// library of the process (the store, SQLite, Qt). Once `watch` has been
// called, each sync of a file in a watched folder records the file's bytes
// as they are then, and each sync of a watched folder its names as they are
// then: what the disk holds for sure. Writes and renames between syncs
// leave no record, so `restore` drops them all.
//
// The records live in a folder of their own, each one written whole to a
// temporary name and renamed into place, so that a SIGKILL at any moment
// leaves the last complete record of every file and folder.
namespace crash::powercut {

// Only where every library's syncs can be taken over and a descriptor's file
// found (Linux); elsewhere these do nothing and crashtest refuses --power-loss.
#ifdef __linux__
inline constexpr bool supported = true;
#else
inline constexpr bool supported = false;
#endif

// Records the folders as they are now as their synced state (the parent
// does this before each child starts; they are on the disk by then).
// `folders` must be absolute, a parent folder before those inside it.
void baseline(const std::filesystem::path& records, const std::vector<std::filesystem::path>& folders);

// From now on this process records the syncs of those folders and files.
void watch(const std::filesystem::path& records, const std::vector<std::filesystem::path>& folders);

// Lays the folders out as a power cut would have left them: the names of
// each folder's last synced listing, each file with its last synced bytes
// (empty when they never were). A watched folder missing from its parent's
// listing goes whole.
void restore(const std::filesystem::path& records, const std::vector<std::filesystem::path>& folders);

}  // namespace crash::powercut
