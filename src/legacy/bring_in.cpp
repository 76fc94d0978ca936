#include "legacy/bring_in.h"

#include <algorithm>
#include <numeric>
#include <set>

#include "campaign/catalogue.h"
#include "paradox/table.h"
#include "store/database.h"
#include "store/durable.h"
#include "store/error.h"
#include "store/load.h"
#include "store/paths.h"
#include "store/value.h"

namespace fs = std::filesystem;

namespace legacy {

using store::ColumnType;
using store::TableLayout;

namespace {

// Rows between two questions to the user whether to go on.
constexpr std::size_t rowsPerTick = 500;

// Which old field types each column type takes. A formatted memo carries
// formatting codes in its text, and wider text could not be held whole.
bool fits(const paradox::Field& field, const store::Column& column)
{
    using paradox::FieldType;
    switch (column.type) {
    case ColumnType::Text:
        return field.type == FieldType::Alpha && field.size <= column.size;
    case ColumnType::Short:
        return field.type == FieldType::Short;
    case ColumnType::Logical:
        return field.type == FieldType::Logical;
    case ColumnType::Memo:
        return field.type == FieldType::Memo;
    case ColumnType::AutoInc:
        return field.type == FieldType::AutoInc;
    }
    return false;
}

char letterOf(const store::Column& column)
{
    switch (column.type) {
    case ColumnType::Text: return 'A';
    case ColumnType::Short: return 'S';
    case ColumnType::Logical: return 'L';
    case ColumnType::Memo: return 'M';
    case ColumnType::AutoInc: return '+';
    }
    return '?';
}

std::string typeText(char letter, int size, bool sized)
{
    return sized ? std::string(1, letter) + std::to_string(size) : std::string(1, letter);
}

// One old table opened and matched to its layout; its records are read as
// they are brought in.
struct Mapped {
    OldTable old;
    paradox::TableReader reader;
    std::vector<int> source;                // per layout column: the old field, or -1
    paradox::TableReader::Wanted wanted;    // the old fields brought in
    std::vector<std::uint32_t> order;       // the records in the order they go in; empty: the table's own
};

// The column's value as the store keeps it: empty stays empty, but a key
// column of text holds '' so that its unique key refuses a second record.
store::Value valueOf(const Mapped& m, const paradox::Row& row, int column)
{
    const int field = m.source[static_cast<std::size_t>(column)];
    const paradox::Cell* cell = field < 0 ? nullptr : &row[static_cast<std::size_t>(field)];
    if (!cell || !*cell)
        return m.old.layout->isKeyText(column) ? store::Value(std::string()) : store::Value();
    return std::visit(
        [](const auto& v) -> store::Value {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>)
                return v;
            else if constexpr (std::is_same_v<T, std::int32_t> || std::is_same_v<T, bool>)
                return std::int64_t(v);
            else
                return store::Value();  // no type that fits() lets through
        },
        **cell);
}

// "character 'Aric' of game 'Test'", most specific first.
std::string recordName(const Mapped& m, const paradox::Row& row)
{
    const auto& labels = m.old.layout->labels;
    std::string name;
    for (auto it = labels.rbegin(); it != labels.rend(); ++it) {
        const store::Value v = valueOf(m, row, it->column);
        const std::string* text = std::get_if<std::string>(&v);
        name += (name.empty() ? "" : " of ") + it->noun + " '" + (text ? *text : std::string()) + "'";
    }
    return name;
}

Mapped readOne(const OldTable& old, Report& report)
{
    Mapped m{old, paradox::TableReader(store::utf8(old.file)), {}, {}, {}};
    const TableLayout& layout = *old.layout;
    const std::vector<paradox::Field>& fields = m.reader.fields();
    const std::string where = layout.displayName + " ";
    std::vector<bool> used(fields.size(), false);
    m.wanted.assign(fields.size(), false);
    for (const store::Column& column : layout.columns) {
        const int field = m.reader.fieldIndex(column.name);
        if (field < 0) {
            m.source.push_back(-1);
            report.leftEmpty.push_back(where + column.name);
            continue;
        }
        const paradox::Field& f = fields[static_cast<std::size_t>(field)];
        used[static_cast<std::size_t>(field)] = true;
        if (fits(f, column)) {
            m.source.push_back(field);
            m.wanted[static_cast<std::size_t>(field)] = true;
            continue;
        }
        m.source.push_back(-1);
        const char letter = paradox::typeLetter(f.type);
        report.leftOut.push_back(where + f.name + " (" + typeText(letter, f.size, letter == 'A') + " where " +
                                 typeText(letterOf(column), column.size, column.type == ColumnType::Text) +
                                 " is expected)");
    }
    for (std::size_t i = 0; i < used.size(); ++i)
        if (!used[i])
            report.leftOut.push_back(where + fields[i].name + " (no such column)");

    // The order in which the records were added, where the table numbered
    // them, so that a character's provinces keep their order; the numbers
    // themselves are given anew. Only the numbers are read for it, a few
    // bytes a record, and nothing is kept when the table is in order.
    const int autoInc = layout.autoIncColumn();
    const int numbered = autoInc < 0 ? -1 : m.source[static_cast<std::size_t>(autoInc)];
    if (numbered >= 0) {
        paradox::TableReader::Wanted number(fields.size(), false);
        number[static_cast<std::size_t>(numbered)] = true;
        std::vector<std::pair<std::int64_t, std::uint32_t>> numbers;
        bool inOrder = true;
        m.reader.forEach(
            [&](std::uint32_t record, const paradox::Row& row) {
                const paradox::Cell& c = row[static_cast<std::size_t>(numbered)];
                const auto* n = c ? std::get_if<std::int32_t>(&*c) : nullptr;
                numbers.emplace_back(n ? *n : INT64_MAX, record);
                inOrder = inOrder && (numbers.size() < 2 || numbers[numbers.size() - 2].first <= numbers.back().first);
            },
            number);
        if (!inOrder) {
            std::stable_sort(numbers.begin(), numbers.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            m.order.reserve(numbers.size());
            for (const auto& [n, record] : numbers)
                m.order.push_back(record);
        }
    }
    return m;
}

// Each record to bring in, in the order it goes in, its wanted fields read.
void eachRecord(Mapped& m, const std::function<void(const paradox::Row&)>& each)
{
    if (m.order.empty()) {
        m.reader.forEach([&](std::uint32_t, const paradox::Row& row) { each(row); }, m.wanted);
        return;
    }
    for (std::uint32_t record : m.order)
        each(m.reader.row(record, m.wanted));
}

// Every old table there, read and matched; stages 0 to n-1 of `total`.
std::vector<Mapped> readAll(const std::vector<OldTable>& found, Report& report, const Steps& steps, int total)
{
    std::vector<Mapped> all;
    for (const OldTable& old : found) {
        steps.stage(static_cast<int>(all.size()), total, "Reading " + store::utf8(old.file.filename()));
        if (!steps.keepGoing())
            throw Cancelled();
        all.push_back(readOne(old, report));
    }
    return all;
}

void checkGoingOn(const Steps& steps)
{
    if (!steps.keepGoing())
        throw Cancelled();
}

// Whether the table already holds a record of the row's key, as the store
// keeps it.
bool keyHeld(store::Load::Records& records, const Mapped& m, const paradox::Row& row)
{
    std::vector<store::Value> key;
    for (int k : m.old.layout->keyColumns) {
        const store::Value v = valueOf(m, row, k);
        const std::string* text = std::get_if<std::string>(&v);
        key.push_back(text ? store::Value(*text) : store::Value());
    }
    return records.holds(key);
}

// Inserts the table's records; the load is the transaction. A key the old
// table holds twice: the first record counts, and the table being filled
// tells which came first.
void write(store::Load& load, Mapped& m, Report& report, const Steps& steps)
{
    const TableLayout& layout = *m.old.layout;
    const int autoInc = layout.autoIncColumn();
    int written = 0;
    try {
        store::Load::Records records = load.records(layout, true, layout.uniqueKey);
        std::size_t done = 0;
        std::vector<store::Value> values;
        eachRecord(m, [&](const paradox::Row& row) {
            if (++done % rowsPerTick == 0)
                checkGoingOn(steps);
            if (layout.uniqueKey && keyHeld(records, m, row)) {
                report.duplicates.push_back(recordName(m, row) + " in " + m.old.file.filename().string());
                return;
            }
            values.clear();
            for (int c = 0; c < static_cast<int>(layout.columns.size()); ++c)
                if (c != autoInc)
                    values.push_back(valueOf(m, row, c));
            records.insert(values);
            ++written;
        });
    } catch (const store::LoadError& e) {
        throw store::StoreError(store::msg::cannotWrite(layout.displayName, e.what()));
    }
    // A memo too long to show, a NUL inside a text: the record is named.
    load.checkValues(layout, [&steps] {
        checkGoingOn(steps);
        return true;
    });
    report.rows[layout.name] += written;
}

// The old tables never refused a province without its character; the
// files do, and rather than lose such provinces they get one.
void keepRowsWithoutOwner(store::Load& load, const TableLayout& layout, Report& report)
{
    if (!layout.owner.table.empty())
        report.ownersMade += static_cast<int>(load.addMissingOwners(layout));
}

std::string plural(int n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The first few items and how many more: a table without its key columns
// makes every record after the first a duplicate, and a list of them all
// made a box taller than any screen.
std::string joined(const std::vector<std::string>& items)
{
    constexpr std::size_t shown = 10;
    std::string out;
    for (std::size_t i = 0; i < items.size() && i < shown; ++i)
        out += (out.empty() ? "" : ", ") + items[i];
    if (items.size() > shown)
        out += " and " + std::to_string(items.size() - shown) + " more";
    return out;
}

}  // namespace

int Report::count(const std::string& table) const
{
    const auto it = rows.find(table);
    return it == rows.end() ? 0 : it->second;
}

AlreadyThere::AlreadyThere(std::vector<std::string> names)
    : std::runtime_error("Nothing was brought in: the database already holds " + joined(names)),
      names_(std::move(names))
{
}

std::vector<OldTable> findOldTables(const fs::path& folder, const store::Catalogue& catalogue)
{
    // A folder that cannot be listed whole is never taken as one without old
    // tables, nor is an entry that cannot be looked at taken as no table:
    // that would build empty files over the old ones, for good.
    std::vector<fs::path> files;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        std::error_code entry;
        if (it->is_regular_file(entry))
            files.push_back(it->path());
        else if (entry && entry != std::errc::no_such_file_or_directory)  // gone, or a dangling link
            throw paradox::Error(store::utf8(it->path()), "cannot be read: " + entry.message());
    }
    if (ec == std::errc::no_such_file_or_directory)
        return {};  // no folder yet: a first start
    if (ec)
        throw paradox::Error(store::utf8(folder), "the folder cannot be listed: " + ec.message());
    // Two names that differ only in letter case: the first in name order.
    std::sort(files.begin(), files.end());
    std::vector<OldTable> found;
    for (const TableLayout& layout : catalogue.tables)
        for (const fs::path& f : files)
            if (store::equalsNoCase(store::utf8(f.filename()), layout.displayName)) {
                found.push_back({&layout, f});
                break;
            }
    return found;
}

bool needsFirstImport(const fs::path& folder, const store::Catalogue& catalogue)
{
    std::error_code ec;
    if (fs::exists(folder / catalogue.mainFile, ec) || fs::exists(folder / catalogue.sideFile, ec))
        return false;
    try {
        return !findOldTables(folder, catalogue).empty();
    } catch (const paradox::Error&) {
        return true;  // the bring-in names what cannot be read
    }
}

Report bringInAtFirstOpen(const fs::path& folder, const store::Catalogue& catalogue, const Steps& steps)
{
    Report report;
    const std::vector<OldTable> found = findOldTables(folder, catalogue);
    const int total = 2 * static_cast<int>(found.size()) + 1;
    const fs::path files[] = {folder / catalogue.mainFile, folder / catalogue.sideFile};
    const std::string which[] = {catalogue.mainFile, catalogue.sideFile};
    bool keepWaiting = false;  // the campaign file is in place and its partner waits
    try {
        std::vector<Mapped> all = readAll(found, report, steps, total);
        int stage = static_cast<int>(all.size());
        for (int i = 0; i < 2; ++i) {
            store::removePending(files[i]);
            store::Load load(catalogue, store::pendingName(files[i]), which[i]);
            for (Mapped& m : all) {
                if (m.old.layout->file != which[i])
                    continue;
                steps.stage(stage++, total, "Bringing in " + m.old.layout->displayName);
                write(load, m, report, steps);
                keepRowsWithoutOwner(load, *m.old.layout, report);
            }
            load.commit();
        }
        steps.stage(stage, total, "Putting the files in place");
        // Both files appear or neither. The campaign file first: should its
        // partner's rename fail and the campaign file not go back, a start
        // that finds only the transfer file still waiting finishes it, and
        // the characters are safe.
        for (const fs::path& file : files) {
            std::error_code ec;
            if (fs::exists(file, ec) || ec)
                throw store::StoreError(store::msg::cannotCreateFile(
                    store::utf8(file), ec ? ec.message() : std::string("the file already exists")));
        }
        std::error_code ec;
        if (!store::renameDurably(store::pendingName(files[0]), files[0], ec))
            throw store::StoreError(store::msg::cannotCreateFile(store::utf8(files[0]), ec.message()));
        if (!store::renameDurably(store::pendingName(files[1]), files[1], ec)) {
            const std::string why = ec.message();
            keepWaiting = !store::renameDurably(files[0], store::pendingName(files[0]), ec);
            throw store::StoreError(store::msg::cannotCreateFile(store::utf8(files[1]), why));
        }
    } catch (const store::LoadError& e) {
        for (const fs::path& file : files)
            store::removePending(file);
        throw store::StoreError(store::msg::cannotCreateFile(store::utf8(folder), e.what()));
    } catch (...) {
        if (!keepWaiting)
            for (const fs::path& file : files)
                store::removePending(file);
        throw;
    }
    return report;
}

Report bringInto(store::Database& db, const fs::path& folder, const Steps& steps)
{
    Report report;
    const std::vector<OldTable> found = findOldTables(folder, db.catalogue());
    const int total = 2 * static_cast<int>(found.size());
    std::vector<Mapped> all = readAll(found, report, steps, total);
    std::vector<const TableLayout*> layouts;
    for (const Mapped& m : all)
        layouts.push_back(m.old.layout);
    store::Load load(db, layouts);
    // Records already there are named, all of them, before anything is
    // written: the user renames or deletes them and tries again.
    std::vector<std::string> there;
    try {
        for (Mapped& m : all) {
            const TableLayout& layout = *m.old.layout;
            if (!layout.uniqueKey)
                continue;
            store::Load::Records find = load.records(layout, false, true);
            // Only the key is read; a key the old table holds twice is named once.
            paradox::TableReader::Wanted key(m.wanted.size(), false);
            std::vector<int> columns = layout.keyColumns;
            for (const store::RecordLabel& label : layout.labels)
                columns.push_back(label.column);
            for (int c : columns)
                if (const int field = m.source[static_cast<std::size_t>(c)]; field >= 0)
                    key[static_cast<std::size_t>(field)] = true;
            std::set<std::string> named;
            m.reader.forEach(
                [&](std::uint32_t, const paradox::Row& row) {
                    if (!keyHeld(find, m, row))
                        return;
                    std::string name = recordName(m, row) + " in " + layout.displayName;
                    if (named.insert(name).second)
                        there.push_back(std::move(name));
                },
                key);
        }
    } catch (const store::LoadError& e) {
        throw store::StoreError(store::msg::cannotRead(db.catalogue().mainFile, e.what()));
    }
    if (!there.empty())
        throw AlreadyThere(std::move(there));
    int stage = static_cast<int>(all.size());
    for (Mapped& m : all) {
        steps.stage(stage++, total, "Bringing in " + m.old.layout->displayName);
        write(load, m, report, steps);
    }
    try {
        for (const Mapped& m : all)
            keepRowsWithoutOwner(load, *m.old.layout, report);
    } catch (const store::LoadError& e) {
        throw store::StoreError(store::msg::cannotWrite(db.catalogue().mainFile, e.what()));
    }
    load.commit();
    return report;
}

std::string summary(const Report& report, const fs::path& folder)
{
    const auto rowsOf = [&](const char* table) {
        const TableLayout* layout = campaign::findLayout(table);
        return layout ? report.count(layout->name) : 0;
    };
    std::string text = "Imported " + plural(rowsOf(campaign::table::characters), "character", "characters") +
                       " and " + plural(rowsOf(campaign::table::provinces), "province", "provinces") +
                       " from the Paradox tables in " + store::utf8(folder) + ".";
    const int xc = rowsOf(campaign::table::transferCharacters), xp = rowsOf(campaign::table::transferProvinces);
    if (xc + xp > 0)
        text += " The transfer tables took " + plural(xc, "character", "characters") + " and " +
                plural(xp, "province", "provinces") + ".";
    if (!report.leftOut.empty())
        text += "\n\nColumns skipped: " + joined(report.leftOut) + ".";
    if (!report.leftEmpty.empty())
        text += "\n\nColumns the old tables lack, left empty: " + joined(report.leftEmpty) + ".";
    if (!report.duplicates.empty())
        text += "\n\nLeft out as duplicates (the first record of each key was kept): " +
                joined(report.duplicates) + ".";
    if (report.ownersMade > 0)
        text += "\n\nProvinces whose character the old tables lack were kept: " +
                plural(report.ownersMade, "character holding only its names was", "characters holding only their names were") +
                " made for them.";
    return text;
}

}  // namespace legacy
