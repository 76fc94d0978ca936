// Which file a left-over rollback journal belongs to. SQLite plays a journal
// named after a file into that file, whatever wrote it: a file copied into the
// folder (another folder's transfer file, a backup put back by hand) would take
// the journal a killed run left beside the file it replaced. Each file the
// program writes carries an identity of its own, which every journal holds in
// its copy of the file's first page; a journal that holds another is set aside
// before SQLite sees it.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "store/sqlite.h"

namespace store {

// The identity lives in the header's user version, which nothing else of the
// program uses and which the schema check does not see; 0 means none (a file
// of an earlier version, or a foreign one). Never 0.
std::uint32_t newFileIdentity();

// The SQL that gives the file behind `schema` a new identity, for use inside
// the transaction that creates it.
std::string identityPragma(const std::string& schema);

// Gives a closed file just written (a snapshot under its temporary name) an
// identity of its own: a copy made with VACUUM INTO carries its source's.
bool giveNewIdentity(const std::filesystem::path& file, std::error_code& ec);

// Gives the file behind `schema` an identity when it has none yet. Best
// effort and without waiting: a read-only file, or one another program is
// writing, simply stays without one until a later open.
void ensureFileIdentity(sql::Connection& conn, const std::string& schema);

enum class JournalVerdict {
    None,     // no journal SQLite would play into the file
    Belongs,  // the file's own, or one that cannot be told apart
    Foreign,  // written for another file
};

// Reads `<file>-journal` and the file's first page; only reads.
JournalVerdict judgeJournal(const std::filesystem::path& file);

// Renames a journal beside `file` that does not belong to it to
// `<file>-journal.set-aside-<date and time>` (never removing it) and returns
// the message the user is shown; empty when there was nothing to set aside.
// A journal that cannot be renamed throws a StoreError: the file is then not
// opened rather than damaged.
std::string setAsideForeignJournal(const std::filesystem::path& file);

}  // namespace store
