// The keyset reader: statements per filter shape, seeks, grid reads and
// the window of rows read ahead while it is certainly current.
#include "store/keyset_reader.h"

#include "store/database.h"
#include "store/error.h"
#include "store/utf8.h"

#include <algorithm>

namespace store {

void bindValue(sql::Statement& st, int index, const Value& v)
{
    if (std::holds_alternative<std::int64_t>(v))
        st.bind(index, std::get<std::int64_t>(v));
    else if (std::holds_alternative<std::string>(v))
        st.bind(index, std::string_view(std::get<std::string>(v)));
    else
        st.bindNull(index);
}

KeysetReader::KeysetReader(Database& db, const TableLayout& layout, std::string schema, std::string tableName)
    : db_(db), sql_(layout, schema), schema_(std::move(schema)), tableName_(std::move(tableName))
{
}

template <class Read>
auto KeysetReader::guarded(Read read) -> decltype(read())
{
    try {
        reading_ = db_.keepReading(schema_);
        return read();
    } catch (const sql::SqlError& e) {
        throw StoreError(msg::cannotRead(tableName_, e.what()));
    }
}

void KeysetReader::setWhere(SqlCondition where)
{
    if (where.sql != where_.sql || where.params != where_.params)
        byKey_ = -1;
    where_ = std::move(where);
}

std::string KeysetReader::textOf(Kind kind, const SqlCondition& where) const
{
    const int m = static_cast<int>(where.params.size());
    using R = TableSql::Range;
    switch (kind) {
    case kStart: return sql_.read(where.sql, m, R::Start);
    case kStartBack: return sql_.read(where.sql, m, R::StartBack);
    case kAfter: return sql_.read(where.sql, m, R::After);
    case kFrom: return sql_.read(where.sql, m, R::From);
    case kBefore: return sql_.read(where.sql, m, R::Before);
    case kUpTo: return sql_.read(where.sql, m, R::UpTo);
    case kSame: return sql_.sameRecord(where.sql, m);
    case kFind: return sql_.find(where.sql, m);
    case kCount: return sql_.count(where.sql);
    case kExists: return sql_.exists(where.sql);
    case kRowsBefore: return sql_.rowsBefore(where.sql, m);
    case kRowAt: return sql_.rowAt(where.sql, m);
    case kKinds: break;
    }
    return {};
}

KeysetReader::Statements& KeysetReader::statements(const SqlCondition& where)
{
    return where.sql == everything_.sql ? unfiltered_
                                        : *filtered_.get(where.sql, [] { return std::make_unique<Statements>(); });
}

// Binds the condition's parameters, ready for the statement's own.
sql::Statement& KeysetReader::statement(Kind kind, bool filtered)
{
    const SqlCondition& where = filtered ? where_ : everything_;
    if (kind < kReads && filtered && readsByKey()) {
        sql::Statement& st = statements(where).byKey[kind];
        if (!st) {
            const int m = static_cast<int>(where.params.size());
            using R = TableSql::Range;
            static constexpr R ranges[kReads] = {R::Start, R::StartBack, R::After, R::From, R::Before, R::UpTo};
            st = sql::Statement(db_.connection(), sql_.read(where.sql, m, ranges[kind], true));
        }
        bindWhere(st, where);
        return st;
    }
    Statements& set = statements(where);
    sql::Statement& st = set.st[kind];
    if (!st)
        st = sql::Statement(db_.connection(), textOf(kind, where));
    bindWhere(st, where);
    return st;
}

bool KeysetReader::planSorts(const std::string& text)
{
    sql::Statement plan(db_.connection(), "EXPLAIN QUERY PLAN " + text);
    while (plan.step())
        if (plan.text(3).find("TEMP B-TREE FOR ORDER BY") != std::string::npos)
            return true;
    return false;
}

bool KeysetReader::readsByKey()
{
    if (byKey_ >= 0)
        return byKey_ != 0;
    byKey_ = 0;
    if (sql_.layout().keyColumns.empty())
        return false;
    Statements& set = statements(where_);
    if (set.sorts < 0)
        set.sorts = planSorts(textOf(kStart, where_)) ? 1 : 0;
    if (!set.sorts)
        return false;
    sql::Statement probe(db_.connection(), sql_.countUpTo(where_.sql, static_cast<int>(where_.params.size())));
    bindWhere(probe, where_);
    probe.bind(static_cast<int>(where_.params.size()) + 1, manyMatches);
    probe.step();
    if (probe.int64(0) < manyMatches)
        return false;
    try {
        // A file made elsewhere may lack the key index: then SQLite sorts.
        sql::Statement(db_.connection(), sql_.read(where_.sql, static_cast<int>(where_.params.size()),
                                                   TableSql::Range::Start, true));
    } catch (const sql::SqlError&) {
        return false;
    }
    byKey_ = 1;
    return true;
}

void KeysetReader::bindWhere(sql::Statement& st) const { bindWhere(st, where_); }

void KeysetReader::bindWhere(sql::Statement& st, const SqlCondition& where) const
{
    st.reset();
    for (std::size_t i = 0; i < where.params.size(); ++i)
        bindValue(st, static_cast<int>(i) + 1, where.params[i]);
}

int KeysetReader::bindPlace(sql::Statement& st, int first, const Bookmark& mark) const
{
    for (const Value& v : mark.key)
        bindValue(st, first++, v);
    if (sql_.rowNumberBreaksTies())
        st.bind(first++, mark.rowid);
    return first;
}

void KeysetReader::readRow(sql::Statement& st, Row& r) const
{
    const TableLayout& layout = sql_.layout();
    r.mark.rowid = st.int64(0);
    r.mark.valid = true;
    r.values.assign(layout.columns.size(), Value{});
    for (std::size_t i = 0; i < layout.columns.size(); ++i) {
        const int c = static_cast<int>(i) + 1;
        if (st.isNull(c))
            continue;
        const ColumnType type = layout.columns[i].type;
        if (type == ColumnType::Text || type == ColumnType::Memo) {
            // Text another program left that is no UTF-8 is shown with each
            // bad run as one U+FFFD: the record stays to be read, mended or
            // deleted, and a save writes only the fields changed here, so the
            // stored bytes stay unless retyped. The key below keeps them as
            // stored, to find the row by.
            std::string s = st.text(c);
            if (!isValidUtf8(s))
                s = withInvalidUtf8Replaced(s);
            if (!s.empty())
                r.values[i] = std::move(s);
        } else {
            r.values[i] = st.int64(c);
        }
    }
    // The key as stored ('' rather than empty), for seeking from this row.
    r.mark.key.clear();
    for (int k : layout.keyColumns) {
        const int c = k + 1;
        if (st.isNull(c))
            r.mark.key.emplace_back(std::monostate{});
        else if (layout.columns[static_cast<std::size_t>(k)].type == ColumnType::Text)
            r.mark.key.emplace_back(st.text(c));
        else
            r.mark.key.emplace_back(st.int64(c));
    }
}

std::vector<Row> KeysetReader::all(sql::Statement& st)
{
    std::vector<Row> rows;
    try {
        while (st.step()) {
            rows.emplace_back();
            readRow(st, rows.back());
        }
    } catch (...) {
        st.reset();
        throw;
    }
    st.reset();
    return rows;
}

std::optional<Row> KeysetReader::one(sql::Statement& st)
{
    std::vector<Row> rows = all(st);
    if (rows.empty())
        return std::nullopt;
    return std::move(rows.front());
}

std::vector<Row> KeysetReader::range(Kind kind, const Bookmark* from, int count)
{
    sql::Statement& st = statement(kind);
    int next = static_cast<int>(where_.params.size()) + 1;
    if (from)
        next = bindPlace(st, next, *from);
    st.bind(next, std::int64_t(count));
    return all(st);
}

namespace {

std::optional<Row> front(std::vector<Row> rows)
{
    if (rows.empty())
        return std::nullopt;
    return std::move(rows.front());
}

}  // namespace

int KeysetReader::inWindow(const Bookmark& mark)
{
    if (window_.rows.empty() || !mark.valid || window_.epoch != db_.readEpoch() ||
        window_.changes != db_.connection().totalChanges() || window_.where.sql != where_.sql ||
        window_.where.params != where_.params) {
        return -1;
    }
    auto same = [&](std::size_t i) {
        const Bookmark& m = window_.rows[i].mark;
        return m.rowid == mark.rowid && m.key == mark.key;
    };
    const std::size_t n = window_.rows.size();
    for (std::size_t i : {windowAt_, windowAt_ + 1})
        if (i < n && same(i))
            return static_cast<int>(windowAt_ = i);
    for (std::size_t i = 0; i < n; ++i)
        if (same(i))
            return static_cast<int>(windowAt_ = i);
    return -1;
}

std::optional<Row> KeysetReader::readWindow(Kind kind, const Bookmark* from, int count)
{
    return guarded([&]() -> std::optional<Row> {
        window_ = Window{};
        std::vector<Row> rows = range(kind, from, count);
        if (rows.empty())
            return std::nullopt;
        Row first = rows.front();
        if (reading_) {
            window_.toEnd = rows.size() < static_cast<std::size_t>(count);
            window_.fromStart = kind == kStart;
            window_.rows = std::move(rows);
            window_.where = where_;
            window_.changes = db_.connection().totalChanges();
            window_.epoch = db_.readEpoch();
            windowAt_ = 0;
        }
        return first;
    });
}

std::optional<std::vector<Row>> KeysetReader::fromWindow(const Bookmark* from, bool inclusive, int count)
{
    std::size_t start = 0;
    if (from && from->valid) {
        const int i = inWindow(*from);
        if (i < 0)
            return std::nullopt;
        start = static_cast<std::size_t>(i) + (inclusive ? 0 : 1);
    } else if (!window_.fromStart || window_.rows.empty() || inWindow(window_.rows.front().mark) != 0) {
        return std::nullopt;
    }
    const std::size_t n = window_.rows.size();
    const std::size_t end = std::min(n, start + static_cast<std::size_t>(count));
    if (end - start < static_cast<std::size_t>(count) && !window_.toEnd)
        return std::nullopt;
    return std::vector<Row>(window_.rows.begin() + static_cast<std::ptrdiff_t>(start),
                            window_.rows.begin() + static_cast<std::ptrdiff_t>(end));
}

// Without a filter the key index hands rows out in order for nothing, and
// one row is all a move needs.
std::optional<Row> KeysetReader::first() { return readWindow(kStart, nullptr, where_.sql == everything_.sql ? 1 : windowRows); }

std::optional<Row> KeysetReader::last()
{
    return guarded([&] { return front(range(kStartBack, nullptr, 1)); });
}

std::optional<Row> KeysetReader::after(const Bookmark& mark)
{
    const int i = inWindow(mark);
    if (i >= 0 && static_cast<std::size_t>(i) + 1 < window_.rows.size())
        return window_.rows[++windowAt_];
    if (i >= 0 && window_.toEnd)
        return std::nullopt;
    return readWindow(kAfter, &mark, windowRows);
}

std::optional<Row> KeysetReader::before(const Bookmark& mark)
{
    return guarded([&] { return front(range(kBefore, &mark, 1)); });
}

std::optional<Row> KeysetReader::same(const Bookmark& mark, bool filtered)
{
    if (!mark.valid)
        return std::nullopt;
    return guarded([&] {
        sql::Statement& st = statement(kSame, filtered);
        int next = static_cast<int>((filtered ? where_ : everything_).params.size()) + 1;
        st.bind(next++, mark.rowid);
        for (const Value& v : mark.key)
            bindValue(st, next++, v);
        return one(st);
    });
}

std::optional<Row> KeysetReader::byRowNumber(std::int64_t rowid)
{
    return guarded([&] {
        if (!byRowNumber_)
            byRowNumber_ = sql::Statement(db_.connection(), sql_.byRowNumber());
        byRowNumber_.reset();
        byRowNumber_.bind(1, rowid);
        return one(byRowNumber_);
    });
}

std::optional<Row> KeysetReader::near(const Bookmark& mark)
{
    if (!mark.valid)
        return first();
    if (auto row = same(mark, true))
        return row;
    if (auto row = after(mark))
        return row;
    return before(mark);
}

std::optional<Row> KeysetReader::find(const std::vector<std::string>& key)
{
    return guarded([&] {
        sql::Statement& st = statement(kFind);
        int next = static_cast<int>(where_.params.size()) + 1;
        for (const std::string& v : key)
            st.bind(next++, std::string_view(v));
        return one(st);
    });
}

std::vector<Row> KeysetReader::read(const Bookmark* from, bool inclusive, int count, bool backwards)
{
    if (count <= 0)
        return {};
    const bool fromEnd = !from || !from->valid;
    if (!backwards)
        if (auto rows = fromWindow(from, inclusive, count))
            return std::move(*rows);
    const Kind kind = fromEnd ? (backwards ? kStartBack : kStart)
                      : backwards ? (inclusive ? kUpTo : kBefore)
                                  : (inclusive ? kFrom : kAfter);
    return guarded([&] { return range(kind, fromEnd ? nullptr : from, count); });
}

std::int64_t KeysetReader::count()
{
    return guarded([&] {
        const std::uint64_t v = version();
        if (auto n = known_.count(where_, v))
            return *n;
        sql::Statement& st = statement(kCount);
        st.step();
        const std::int64_t n = st.int64(0);
        st.reset();
        known_.setCount(where_, v, n);
        return n;
    });
}

bool KeysetReader::any()
{
    return guarded([&] {
        sql::Statement& st = statement(kExists);
        const bool found = st.step();
        st.reset();
        return found;
    });
}

std::int64_t KeysetReader::rowsBefore(const Bookmark& mark)
{
    if (!mark.valid)
        return 0;
    return guarded([&] {
        const std::uint64_t v = version();
        if (auto n = known_.place(where_, v, mark))
            return *n;
        sql::Statement& st = statement(kRowsBefore);
        bindPlace(st, static_cast<int>(where_.params.size()) + 1, mark);
        st.step();
        const std::int64_t n = st.int64(0);
        st.reset();
        known_.setPlace(where_, v, mark, n);
        return n;
    });
}

std::uint64_t KeysetReader::version() { return db_.tableVersion(schema_, sql_.layout().name); }

// Asked within a read of the file, so that another program's commit since
// the last read is seen.
std::optional<std::int64_t> KeysetReader::knownCount()
{
    return guarded([&] { return known_.count(where_, version()); });
}

void KeysetReader::notePlace(const Bookmark& mark, std::int64_t before, std::uint64_t at)
{
    guarded([&] {
        if (version() == at)
            known_.setPlace(where_, at, mark, before);
    });
}

void KeysetReader::adoptCount(std::int64_t rows, std::uint32_t changeCounter, const std::string& file)
{
    // Within a read of the file no other program can commit, so a counter
    // unchanged now means rows unchanged since the count.
    guarded([&] {
        if (fileChangeCounter(file) == changeCounter)
            known_.setCount(everything_, version(), rows);
    });
}

KeysetReader::Known KeysetReader::known(const Bookmark& mark)
{
    const std::uint64_t v = version();
    Known k{known_.count(where_, v), known_.place(where_, v, mark), v, db_.rowWrites(schema_, sql_.layout().name)};
    // A record the filter does not show (changed since it was read) leaves
    // the count under the filter as it is.
    if ((k.count || k.place) && where_.sql != everything_.sql && !same(mark, true))
        k.count = k.place = std::nullopt;
    return k;
}

void KeysetReader::carry(const Known& before, int rowsChanged, std::int64_t countChange, const Bookmark& mark,
                         std::int64_t place)
{
    // Nothing else may have moved the table: neither another program nor a
    // write the connection cannot name the table of, nor more rows than these.
    const std::uint64_t writes = db_.rowWrites(schema_, sql_.layout().name);
    if (writes != before.rowWrites + static_cast<std::uint64_t>(rowsChanged) ||
        !db_.onlyRowWritesSince(schema_, before.version))
        return;
    const std::uint64_t v = version();
    if (before.count)
        known_.setCount(where_, v, *before.count + countChange);
    if (place >= 0)
        known_.setPlace(where_, v, mark, place);
}

Bookmark KeysetReader::rowAt(std::int64_t position)
{
    if (position < 0)
        return {};
    return guarded([&] {
        sql::Statement& st = statement(kRowAt);
        st.bind(static_cast<int>(where_.params.size()) + 1, position);
        Bookmark b;
        if (st.step()) {
            const TableLayout& layout = sql_.layout();
            b.rowid = st.int64(0);
            for (std::size_t i = 0; i < layout.keyColumns.size(); ++i) {
                const int c = static_cast<int>(i) + 1;
                if (st.isNull(c))
                    b.key.emplace_back(std::monostate{});
                else if (layout.columns[static_cast<std::size_t>(layout.keyColumns[i])].type == ColumnType::Text)
                    b.key.emplace_back(st.text(c));
                else
                    b.key.emplace_back(st.int64(c));
            }
            b.valid = true;
        }
        st.reset();
        return b;
    });
}

void throwRecordGone(KeysetReader& reader, const TableLayout& layout, std::int64_t rowid,
                     const std::vector<Value>& known)
{
    // Renamed: the row is there under another key with every other field as
    // known. A new record that took a deleted one's row number differs.
    const std::optional<Row> row = reader.byRowNumber(rowid);
    bool renamed = row.has_value();
    for (std::size_t c = 0; renamed && c < known.size() && c < row->values.size(); ++c) {
        const bool key = std::find(layout.keyColumns.begin(), layout.keyColumns.end(), static_cast<int>(c)) !=
                         layout.keyColumns.end();
        renamed = key || row->values[c] == known[c];
    }
    if (!renamed)
        throw StoreError(msg::recordKeyDeleted, StoreError::Code::RecordKeyDeleted);
    std::string key;
    for (int k : layout.keyColumns) {
        const auto column = static_cast<std::size_t>(k);
        key += (key.empty() ? "'" : ", '") + textOf(row->values[column], layout.columns[column].type) + "'";
    }
    throw StoreError(msg::recordKeyChanged(key), StoreError::Code::RecordKeyChanged);
}

}  // namespace store
