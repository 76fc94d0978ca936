// Records of imports: a page copy of the file imported from, and the
// take-back as one transaction across the campaign and the file that keeps
// what it deleted, so that the deletion and its keeping commit together.
#include "store/import_record.h"

#include "store/backup.h"
#include "store/database.h"
#include "store/durable.h"
#include "store/error.h"
#include "store/journal.h"
#include "store/layout.h"
#include "store/paths.h"
#include "store/schema.h"
#include "store/sqlite.h"
#include "store/value_check.h"

#include <algorithm>
#include <cstdio>
#include <regex>
#include <system_error>

namespace store {

namespace fs = std::filesystem;

namespace {

constexpr const char* recordSuffix = "-imported";
constexpr const char* takenSuffix = "-taken-back";

std::string escapeRegex(const std::string& text)
{
    static const std::regex special(R"([\\^$.|?*+()\[\]{}])");
    return std::regex_replace(text, special, R"(\$&)");
}

struct RecordNames {
    std::string stem, extension;
    std::regex record, part;
    explicit RecordNames(const Catalogue& catalogue)
    {
        const fs::path file = pathFromUtf8(catalogue.mainFile);
        stem = utf8(file.stem());
        extension = utf8(file.extension());
        const std::string stamped = escapeRegex(stem) + R"(-(\d{4}-\d{2}-\d{2})-(\d{2})(\d{2})(\d{2})-\d{3})";
        record = std::regex(stamped + recordSuffix + escapeRegex(extension));
        // Only a record's: a take-back's holds what it deleted once it has
        // committed, and is finished by its next run (takeBackImport).
        part = std::regex(stamped + recordSuffix + escapeRegex(extension) + R"(\.part)");
    }
};

fs::path withPart(const fs::path& file)
{
    fs::path part = file;
    part += ".part";
    return part;
}

// The file that keeps what the take-back of `record` deleted; its being
// there marks the record as taken back.
fs::path takenFileOf(const fs::path& record)
{
    std::string name = utf8(record.filename());
    name.replace(name.rfind(recordSuffix), std::char_traits<char>::length(recordSuffix), takenSuffix);
    return record.parent_path() / pathFromUtf8(name);
}

// Half-written files that runs ended part way left; one younger than an hour
// may be another program's, still being written.
void removeTornFiles(const fs::path& folder, const std::regex& part)
{
    const auto now = fs::file_time_type::clock::now();
    std::error_code ec;
    for (const fs::path& file : filesMatching(folder, part)) {
        const auto written = fs::last_write_time(file, ec);
        if (!ec && (now > written ? now - written : written - now) > std::chrono::hours(1))
            fs::remove(file, ec);
    }
}

std::string stampOf(std::chrono::system_clock::time_point now)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    char part[8];
    std::snprintf(part, sizeof part, "-%03d", static_cast<int>(ms));
    return localStamp(now, "%Y-%m-%d-%H%M%S") + part;
}

std::string tableIn(const std::string& schema, const TableLayout& layout)
{
    return sql::quoteIdentifier(schema) + "." + sql::quoteIdentifier(layout.name);
}

std::string columnOf(const char* alias, const TableLayout& layout, int column)
{
    return std::string(alias) + "." + sql::quoteIdentifier(layout.columns[static_cast<std::size_t>(column)].name);
}

std::string columnList(const char* alias, const TableLayout& layout)
{
    std::string out;
    for (std::size_t i = 0; i < layout.columns.size(); ++i)
        out += (i ? ", " : "") + columnOf(alias, layout, static_cast<int>(i));
    return out;
}

std::string keyList(const char* alias, const TableLayout& layout, const std::vector<int>& columns)
{
    std::string out;
    for (int c : columns)
        out += (out.empty() ? "" : ", ") + columnOf(alias, layout, c);
    return out;
}

// "a.k1 = b.k1 AND ...": columns `left` of `a` against `right` of `b`, by position.
std::string sameKey(const char* a, const TableLayout& la, const std::vector<int>& left, const char* b,
                    const TableLayout& lb, const std::vector<int>& right)
{
    std::string out;
    for (std::size_t i = 0; i < left.size(); ++i)
        out += (i ? " AND " : "") + columnOf(a, la, left[i]) + " = " + columnOf(b, lb, right[i]);
    return out;
}

std::int64_t countOf(sql::Connection& conn, const std::string& table)
{
    sql::Statement count(conn, "SELECT count(*) FROM " + table);
    count.step();
    return count.int64(0);
}

constexpr const char* recordSchema = "record";
constexpr const char* takenSchema = "taken";

std::string literal(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

// Files attached to the database's connection for one command, detached
// however it ends (after its transaction, which they outlive).
class Attached {
public:
    explicit Attached(Database& db) : db_(db) {}
    ~Attached()
    {
        for (const std::string& schema : schemas_) {
            try {
                db_.releaseCursors();
                db_.connection().exec("DETACH DATABASE " + schema);
            } catch (const sql::SqlError&) {
            }
        }
    }
    void attach(const fs::path& file, const char* mode, const std::string& schema)
    {
        try {
            db_.releaseCursors();  // ATTACH needs no read in progress
            db_.connection().exec("ATTACH DATABASE " + literal(fileUri(file, mode)) + " AS " + schema);
        } catch (const sql::SqlError& e) {
            throw StoreError("Cannot open " + utf8(file) + ": " + e.what());
        }
        schemas_.push_back(schema);
    }
    Attached(const Attached&) = delete;
    Attached& operator=(const Attached&) = delete;

private:
    Database& db_;
    std::vector<std::string> schemas_;
};

// The record attached and checked as any file from elsewhere: nothing the
// program does not create, its tables exactly as made, every value one the
// columns can hold. Returns the rows per pair.
std::vector<std::int64_t> attachRecord(Attached& attached, Database& db, const fs::path& file,
                                       const std::vector<ImportPair>& pairs)
{
    attached.attach(file, "ro", recordSchema);
    sql::Connection& conn = db.connection();
    std::vector<std::int64_t> rows;
    try {
        for (const ImportPair& pair : pairs)
            checkTable(conn, recordSchema, pair.from, utf8(file));
        checkObjects(conn, recordSchema, db.catalogue(), pairs.front().from.file, utf8(file));
        for (const ImportPair& pair : pairs) {
            checkValues(conn, recordSchema, pair.from);
            rows.push_back(countOf(conn, tableIn(recordSchema, pair.from)));
        }
    } catch (const sql::SqlError& e) {
        throw StoreError("Cannot read " + utf8(file) + ": " + e.what());
    }
    return rows;
}

std::string whenOf(const fs::path& file, const std::regex& pattern)
{
    std::smatch m;
    const std::string name = utf8(file.filename());
    if (!std::regex_match(name, m, pattern))
        return {};
    return m[1].str() + " " + m[2].str() + ":" + m[3].str() + ":" + m[4].str();
}

}  // namespace

ImportRecordDraft::ImportRecordDraft(fs::path part, fs::path target, const Catalogue& catalogue)
    : part_(std::move(part)), target_(std::move(target)), catalogue_(&catalogue)
{
}

ImportRecordDraft::ImportRecordDraft(ImportRecordDraft&& other) noexcept
    : part_(std::move(other.part_)), target_(std::move(other.target_)), catalogue_(other.catalogue_)
{
    other.part_.clear();
}

ImportRecordDraft& ImportRecordDraft::operator=(ImportRecordDraft&& other) noexcept
{
    if (this != &other) {
        std::error_code ec;
        if (!part_.empty())
            fs::remove(part_, ec);
        part_ = std::move(other.part_);
        target_ = std::move(other.target_);
        catalogue_ = other.catalogue_;
        other.part_.clear();
    }
    return *this;
}

ImportRecordDraft::~ImportRecordDraft()
{
    std::error_code ec;
    if (!part_.empty())
        fs::remove(part_, ec);
}

std::optional<ImportRecordDraft> ImportRecordDraft::write(Database& db, const std::string& which,
                                                          std::chrono::system_clock::time_point now)
{
    std::vector<const TableLayout*> layouts;
    for (const TableLayout& layout : db.catalogue().tables)
        if (layout.file == which)
            layouts.push_back(&layout);
    if (layouts.empty())
        throw StoreError("Cannot keep a record of the import: no tables");
    const std::string schema = db.schemaFor(*layouts.front());
    std::int64_t rows = 0;
    for (const TableLayout* layout : layouts)
        rows += countOf(db.connection(), tableIn(schema, *layout));
    if (rows == 0)
        return std::nullopt;

    const RecordNames names(db.catalogue());
    const fs::path folder = db.folder() / backupFolderName;
    const fs::path target = folder / pathFromUtf8(names.stem + "-" + stampOf(now) + recordSuffix + names.extension);
    const fs::path part = withPart(target);
    std::error_code ec;
    // A new folder's name must last as its first file does.
    if (fs::create_directories(folder, ec))
        syncFolder(db.folder(), ec);
    if (ec || !fs::is_directory(folder))
        throw StoreError("Cannot make the backup folder " + utf8(folder) + (ec ? ": " + ec.message() : ": a file has its name"));
    if (fs::exists(target, ec))
        throw StoreError("Cannot write " + utf8(target) + ": the file exists");
    removeTornFiles(folder, names.part);
    fs::remove(part, ec);
    ImportRecordDraft draft(part, target, db.catalogue());  // removes the part however this ends
    try {
        copyOf(db, schema, part);
        // A file of its own: no journal of the live file may be played into it.
        if (!giveNewIdentity(part, ec) || !syncFile(part, ec))
            throw std::system_error(ec);
    } catch (const std::exception& e) {
        throw StoreError("Cannot write " + utf8(target) + ": " + e.what());
    }
    return draft;
}

fs::path ImportRecordDraft::keep()
{
    std::error_code ec;
    if (!renameDurably(part_, target_, ec))
        throw StoreError("Cannot write " + utf8(target_) + ": " + ec.message());
    part_.clear();
    // The oldest beyond the number kept, never the one just made (a clock
    // set back gives it an older name); what a take-back kept stays.
    std::vector<fs::path> records = filesMatching(target_.parent_path(), RecordNames(*catalogue_).record);
    std::erase(records, target_);
    for (std::size_t i = 0; i + importRecordsKept < records.size() + 1; ++i)
        fs::remove(records[i], ec);
    return target_;
}

std::optional<ImportRecord> lastImport(Database& db, const std::vector<ImportPair>& pairs)
{
    const RecordNames names(db.catalogue());
    std::vector<fs::path> records = filesMatching(db.folder() / backupFolderName, names.record);
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        std::error_code ec;
        if (fs::exists(takenFileOf(*it), ec))
            continue;
        Attached attached(db);
        return ImportRecord{*it, whenOf(*it, names.record), attachRecord(attached, db, *it, pairs)};
    }
    return std::nullopt;
}

std::vector<std::vector<std::string>> changedSinceImport(Database& db, const ImportRecord& record,
                                                         const std::vector<ImportPair>& pairs)
{
    Attached attached(db);
    attachRecord(attached, db, record.file, pairs);
    const TableLayout& ownerFrom = pairs.front().from;
    const TableLayout& owner = pairs.front().into;
    const std::string live = db.schemaFor(owner);
    // A column of its own that differs, AutoInc numbers apart (given anew).
    std::string differs;
    for (std::size_t c = 0; c < owner.columns.size(); ++c)
        if (owner.columns[c].type != ColumnType::AutoInc)
            differs += (differs.empty() ? "" : " OR ") + columnOf("l", owner, static_cast<int>(c)) + " IS NOT " +
                       columnOf("r", ownerFrom, static_cast<int>(c));
    // Its rows of another table: a different number, or one not recorded.
    for (std::size_t j = 1; j < pairs.size(); ++j) {
        const TableLayout& from = pairs[j].from;
        const TableLayout& into = pairs[j].into;
        const std::string rowsLive = tableIn(db.schemaFor(into), into) + " AS p WHERE " +
                                     sameKey("p", into, into.owner.columns, "l", owner, owner.keyColumns);
        const std::string rowsRecorded = tableIn(recordSchema, from) + " AS q WHERE " +
                                         sameKey("q", from, into.owner.columns, "r", ownerFrom, owner.keyColumns);
        std::string compared[2];
        for (std::size_t c = 0; c < into.columns.size(); ++c) {
            const int column = static_cast<int>(c);
            if (into.columns[c].type == ColumnType::AutoInc ||
                std::find(into.owner.columns.begin(), into.owner.columns.end(), column) != into.owner.columns.end())
                continue;
            compared[0] += (compared[0].empty() ? "" : ", ") + columnOf("p", into, column);
            compared[1] += (compared[1].empty() ? "" : ", ") + columnOf("q", from, column);
        }
        differs += " OR (SELECT count(*) FROM " + rowsLive + ") <> (SELECT count(*) FROM " + rowsRecorded + ")";
        if (!compared[0].empty())
            differs += " OR EXISTS (SELECT " + compared[0] + " FROM " + rowsLive + " EXCEPT SELECT " + compared[1] +
                       " FROM " + rowsRecorded + ")";
    }
    const std::string keys = keyList("l", owner, owner.keyColumns);
    // The record drives the join: its size, not the campaign's, sets the cost.
    sql::Statement changed(db.connection(), "SELECT " + keys + " FROM " + tableIn(recordSchema, ownerFrom) +
                                                " AS r CROSS JOIN " + tableIn(live, owner) + " AS l ON " +
                                                sameKey("l", owner, owner.keyColumns, "r", ownerFrom, owner.keyColumns) +
                                                " WHERE " + differs + " ORDER BY " + keys);
    std::vector<std::vector<std::string>> out;
    try {
        while (changed.step()) {
            std::vector<std::string> key;
            for (int i = 0; i < changed.columnCount(); ++i)
                key.push_back(changed.text(i));
            out.push_back(std::move(key));
        }
    } catch (const sql::SqlError& e) {
        throw StoreError("Cannot compare " + utf8(record.file) + " with the campaign: " + e.what());
    }
    return out;
}

TakenBack takeBackImport(Database& db, const ImportRecord& record, const std::vector<ImportPair>& pairs,
                         const std::vector<std::vector<std::string>>& keep)
{
    const fs::path taken = takenFileOf(record.file);
    const fs::path part = withPart(taken);
    std::error_code ec;
    if (fs::exists(taken, ec))
        throw StoreError("The import of " + record.when + " is taken back already: " + utf8(taken));
    const std::string which = pairs.front().from.file;
    TakenBack result{taken, {}};
    {
        Attached attached(db);
        attachRecord(attached, db, record.file, pairs);
        // A part that a run left holds rows only if its deletion committed
        // with them: that take-back is finished by its rename.
        if (fs::exists(part, ec)) {
            std::int64_t rows = 0;
            try {
                sql::Connection left = sql::Connection::open(fileUri(part, "ro"), false);
                rows = countOf(left, tableIn("main", pairs.front().from));
            } catch (const sql::SqlError&) {
            }
            if (rows > 0 && renameDurably(part, taken, ec))
                throw StoreError("The import of " + record.when + " is taken back already: " + utf8(taken));
            fs::remove(part, ec);
        }
        struct RemovePart {
            const fs::path& part;
            bool done = false;
            ~RemovePart()
            {
                std::error_code ec;
                if (!done)
                    fs::remove(part, ec);
            }
        } removePart{part};
        try {
            Database::createFile(db.catalogue(), part, which);
        } catch (const sql::SqlError& e) {
            throw StoreError("Cannot write " + utf8(part) + ": " + e.what());
        }
        attached.attach(part, "rw", takenSchema);
        sql::Connection& conn = db.connection();
        try {
            conn.exec(std::string("PRAGMA ") + takenSchema + ".journal_mode=DELETE; PRAGMA " + takenSchema +
                      ".synchronous=EXTRA;");
            Database::Transaction transaction(db);
            const ImportPair& first = pairs.front();
            const std::string owner = tableIn(db.schemaFor(first.into), first.into);
            const std::string ownerTaken = tableIn(takenSchema, first.from);
            // The record drives each join: its size, not the campaign's, sets the cost.
            conn.exec("INSERT INTO " + ownerTaken + " SELECT " + columnList("l", first.into) + " FROM " +
                      tableIn(recordSchema, first.from) + " AS r CROSS JOIN " + owner + " AS l ON " +
                      sameKey("l", first.into, first.into.keyColumns, "r", first.from, first.into.keyColumns));
            std::string keyMatch;
            for (std::size_t k = 0; k < first.into.keyColumns.size(); ++k)
                keyMatch += (k ? " AND " : "") +
                            sql::quoteIdentifier(first.from.columns[static_cast<std::size_t>(first.into.keyColumns[k])].name) +
                            " = ?" + std::to_string(k + 1);
            sql::Statement spare(conn, "DELETE FROM " + ownerTaken + " WHERE " + keyMatch);
            for (const std::vector<std::string>& key : keep) {
                for (std::size_t k = 0; k < key.size() && k < first.into.keyColumns.size(); ++k)
                    spare.bind(static_cast<int>(k + 1), std::string_view(key[k]));
                spare.run();
                spare.reset();
            }
            for (std::size_t j = 1; j < pairs.size(); ++j)
                conn.exec("INSERT INTO " + tableIn(takenSchema, pairs[j].from) + " SELECT " +
                          columnList("p", pairs[j].into) + " FROM " + ownerTaken + " AS t CROSS JOIN " +
                          tableIn(db.schemaFor(pairs[j].into), pairs[j].into) + " AS p ON " +
                          sameKey("p", pairs[j].into, pairs[j].into.owner.columns, "t", first.from,
                                  first.into.keyColumns));
            // Their rows of the other tables go with them (the owner rule).
            sql::Statement remove(conn, "DELETE FROM " + owner + " WHERE " + keyMatch);
            sql::Statement each(conn, "SELECT " + keyList("t", first.from, first.into.keyColumns) + " FROM " +
                                          ownerTaken + " AS t");
            while (each.step()) {
                for (int k = 0; k < each.columnCount(); ++k)
                    remove.bind(k + 1, each.bytes(k));
                remove.run();
                remove.reset();
            }
            for (const ImportPair& pair : pairs)
                result.deleted.push_back(countOf(conn, tableIn(takenSchema, pair.from)));
            // Whatever the rule did, no recorded row may be left without its owner.
            for (std::size_t j = 1; j < pairs.size(); ++j) {
                const TableLayout& into = pairs[j].into;
                if (countOf(conn, ownerTaken + " AS t CROSS JOIN " + tableIn(db.schemaFor(into), into) + " AS p ON " +
                                      sameKey("p", into, into.owner.columns, "t", first.from, first.into.keyColumns)) != 0)
                    throw StoreError("Cannot take back the import: rows of " + into.displayName + " stay behind");
            }
            transaction.commit();
        } catch (const sql::SqlError& e) {
            throw StoreError("Cannot take back the import of " + record.when + ": " + e.what());
        }
        removePart.done = true;
    }
    // Committed with the deletion; its name now marks the record.
    if (!renameDurably(part, taken, ec))
        throw StoreError("The import is taken back, but " + utf8(part) + " cannot be renamed to " + utf8(taken) +
                         ": " + ec.message());
    return result;
}

}  // namespace store
