// Putting a file and its name on the disk: the syncs a rename needs so that a
// power cut can undo neither the file's contents nor its new name.
#pragma once
#include <cstdint>
#include <filesystem>
#include <system_error>

namespace store {

// Syncs what the system holds of an open file (its descriptor) to the disk;
// false, with errno's reason in `ec`, when the disk refuses it.
bool syncDescriptor(int fd, std::error_code& ec);

// Syncs a file's contents to the disk; false (with errno's reason in `ec`)
// when it cannot be opened or synced.
bool syncFile(const std::filesystem::path& file, std::error_code& ec);

// Sets `length` bytes of a file from `offset` on their way to the disk and
// returns without waiting, so that a large file written bit by bit reaches
// the disk bit by bit instead of all at its sync, which would keep another
// file's sync waiting meanwhile. It makes nothing durable: syncFile does.
// Where the system cannot write part of a file out, this does nothing.
void startWritingOut(const std::filesystem::path& file, std::uint64_t offset, std::uint64_t length);

// Syncs a folder, so that the names created, renamed or removed in it last.
// Where folders cannot be synced (Windows) the rename itself is written
// through, and this does nothing.
bool syncFolder(const std::filesystem::path& folder, std::error_code& ec);

// Renames `from` over `to` durably: the file synced before, the folder (both
// folders, when they differ) synced after. A failure leaves `to` as it was
// unless the rename itself took place, and says why in `ec`.
bool renameDurably(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& ec);

}  // namespace store
