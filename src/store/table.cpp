#include "store/table.h"

#include "store/database.h"
#include "store/error.h"
#include "store/int_text.h"
#include "store/session.h"

#include <algorithm>
#include <cctype>

namespace store {

namespace {

bool isKeyText(const TableLayout& layout, int column)
{
    if (layout.columns[static_cast<std::size_t>(column)].type != ColumnType::Text)
        return false;
    return std::find(layout.keyColumns.begin(), layout.keyColumns.end(), column) != layout.keyColumns.end();
}

std::size_t codePoints(std::string_view s)
{
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

// The smallest text above every text that begins with `prefix`, in byte order;
// empty when there is none.
std::string successor(std::string prefix)
{
    while (!prefix.empty()) {
        unsigned char last = static_cast<unsigned char>(prefix.back());
        if (last < 0xFF) {
            prefix.back() = static_cast<char>(last + 1);
            return prefix;
        }
        prefix.pop_back();
    }
    return prefix;
}

void bindValue(sql::Statement& st, int index, const Value& v)
{
    if (std::holds_alternative<std::int64_t>(v))
        st.bind(index, std::get<std::int64_t>(v));
    else if (std::holds_alternative<std::string>(v))
        st.bind(index, std::string_view(std::get<std::string>(v)));
    else
        st.bindNull(index);
}

[[noreturn]] void rethrowWrite(const sql::SqlError& e)
{
    int ext = e.code();
    // SQLITE_CONSTRAINT_PRIMARYKEY (1555) and SQLITE_CONSTRAINT_UNIQUE (2067)
    if (ext == 1555 || ext == 2067)
        throw StoreError(msg::keyViolation);
    throw StoreError(e.what());
}

}  // namespace

Table::Table(Session& session) : session_(session) {}

Table::~Table()
{
    endStream();
    if (db_)
        db_->removeCursor(this);
}

const TableLayout& Table::layout() const
{
    requireOpen();
    return *layout_;
}

void Table::requireOpen() const
{
    if (state_ == State::Inactive)
        throw StoreError(msg::notOpen);
}

Table::Where Table::whereFor(const TableLayout& layout, const Filter& filter, int firstParam)
{
    Where w;
    int n = firstParam;
    auto param = [&](Value v) {
        w.params.push_back(std::move(v));
        return "?" + std::to_string(n++);
    };
    std::vector<std::string> parts;
    for (const Condition& c : filter.conditions) {
        int col = layout.columnIndex(c.column);
        if (col < 0)
            throw StoreError("Field '" + c.column + "' not found");
        const Column& column = layout.columns[static_cast<std::size_t>(col)];
        std::string q = sql::quoteIdentifier(column.name);
        bool textual = column.type == ColumnType::Text || column.type == ColumnType::Memo;
        if (c.prefix && !textual)
            throw StoreError("A prefix match needs a text field: " + column.name);
        if (textual) {
            if (c.prefix) {
                if (c.value.empty())
                    continue;
                std::string hi = successor(c.value);
                std::string part = q + " >= " + param(c.value);
                if (!hi.empty())
                    part += " AND " + q + " < " + param(hi);
                parts.push_back(part);
            } else if (c.value.empty()) {
                parts.push_back(isKeyText(layout, col) ? q + " = ''" : "(" + q + " IS NULL OR " + q + " = '')");
            } else {
                parts.push_back(q + " = " + param(c.value));
            }
            continue;
        }
        if (c.value.empty()) {
            parts.push_back(q + " IS NULL");
            continue;
        }
        if (column.type == ColumnType::Logical) {
            std::string v = c.value;
            std::transform(v.begin(), v.end(), v.begin(), [](unsigned char ch) { return std::tolower(ch); });
            if (v != "true" && v != "false")
                throw StoreError("'" + c.value + "' is not a valid boolean value for field '" + column.name + "'");
            parts.push_back(q + " = " + param(std::int64_t(v == "true" ? 1 : 0)));
            continue;
        }
        auto i = parseInteger(c.value);
        if (!i)
            throw StoreError("'" + c.value + "' is not a valid integer value for field '" + column.name + "'");
        parts.push_back(q + " = " + param(std::int64_t(*i)));
    }
    if (parts.empty()) {
        w.sql = "1";
        return w;
    }
    for (std::size_t i = 0; i < parts.size(); ++i)
        w.sql += (i ? " AND " : "") + parts[i];
    return w;
}

std::string Table::keyTuple() const
{
    std::string s = "(";
    for (std::size_t i = 0; i < layout_->keyColumns.size(); ++i)
        s += (i ? ", " : "") + sql::quoteIdentifier(layout_->columns[static_cast<std::size_t>(layout_->keyColumns[i])].name);
    return s + ")";
}

std::string Table::keyParams(int first) const
{
    std::string s = "(";
    for (std::size_t i = 0; i < layout_->keyColumns.size(); ++i)
        s += (i ? ", ?" : "?") + std::to_string(first + static_cast<int>(i));
    return s + ")";
}

std::string Table::orderBy(bool descending) const
{
    std::string s;
    for (std::size_t i = 0; i < layout_->keyColumns.size(); ++i)
        s += (i ? ", " : "") + sql::quoteIdentifier(layout_->columns[static_cast<std::size_t>(layout_->keyColumns[i])].name) +
             (descending ? " DESC" : "");
    return s;
}

std::string Table::selectList() const
{
    std::string s = "SELECT rowid";
    for (const Column& c : layout_->columns)
        s += ", " + sql::quoteIdentifier(c.name);
    return s;
}

std::string Table::fromWhere() const
{
    return " FROM " + schema_ + "." + sql::quoteIdentifier(layout_->name) + " WHERE (" + where_.sql + ")";
}

// Filter parameters come first (?1..?m); the statement's own follow.
std::string Table::sqlFor(Kind kind) const
{
    const int m = static_cast<int>(where_.params.size());
    const std::string p1 = "?" + std::to_string(m + 1), p2 = "?" + std::to_string(m + 2);
    const std::string rows = selectList() + fromWhere();
    const std::string asc = " ORDER BY " + orderBy(false), desc = " ORDER BY " + orderBy(true);
    const std::string key = keyTuple(), params = keyParams(m + 1);
    const std::string limitAfterKey = " LIMIT ?" + std::to_string(m + 1 + static_cast<int>(layout_->keyColumns.size()));
    switch (kind) {
    case kFirst: return rows + asc + " LIMIT 1";
    case kLast: return rows + desc + " LIMIT 1";
    case kNextOne: return rows + " AND " + key + " > " + params + asc + " LIMIT 1";
    case kPriorOne: return rows + " AND " + key + " < " + params + desc + " LIMIT 1";
    case kRowid: return rows + " AND rowid = " + p1;
    case kFind: return rows + " AND \"Game_Name\" = " + p1 + " AND \"Character_Name\" = " + p2 + asc + " LIMIT 1";
    case kCount: return "SELECT count(*)" + fromWhere();
    case kExists: return "SELECT 1" + fromWhere() + " LIMIT 1";
    case kStreamFirst: return rows + asc;
    case kStreamNext: return rows + " AND " + key + " > " + params + asc;
    case kReadStart: return rows + asc + " LIMIT " + p1;
    case kReadStartBack: return rows + desc + " LIMIT " + p1;
    case kReadAfter: return rows + " AND " + key + " > " + params + asc + limitAfterKey;
    case kReadFrom: return rows + " AND " + key + " >= " + params + asc + limitAfterKey;
    case kReadBefore: return rows + " AND " + key + " < " + params + desc + limitAfterKey;
    case kReadUpTo: return rows + " AND " + key + " <= " + params + desc + limitAfterKey;
    case kRowsBefore: return "SELECT count(*)" + fromWhere() + " AND " + key + " < " + params;
    case kRowAt: {
        std::string cols = "SELECT rowid";
        for (int k : layout_->keyColumns)
            cols += ", " + sql::quoteIdentifier(layout_->columns[static_cast<std::size_t>(k)].name);
        return cols + fromWhere() + asc + " LIMIT 1 OFFSET " + p1;
    }
    case kKinds: break;
    }
    return {};
}

sql::Statement& Table::stmt(Kind kind)
{
    sql::Statement& st = set_->st[kind];
    if (!st) {
        try {
            st = sql::Statement(db_->connection(), sqlFor(kind));
        } catch (const sql::SqlError& e) {
            throw StoreError(e.what());
        }
    }
    return st;
}

void Table::useWhere(Where where)
{
    endStream();
    where_ = std::move(where);
    set_ = statements_.get(where_.sql, [] { return std::make_unique<Statements>(); }).get();
}

void Table::bindWhere(sql::Statement& st)
{
    st.reset();
    for (std::size_t i = 0; i < where_.params.size(); ++i)
        bindValue(st, static_cast<int>(i + 1), where_.params[i]);
}

void Table::bindKey(sql::Statement& st, int firstParam, const std::vector<Value>& key)
{
    for (std::size_t i = 0; i < key.size(); ++i)
        bindValue(st, firstParam + static_cast<int>(i), key[i]);
}

void Table::readRow(sql::Statement& st, Row& r) const
{
    r.mark.rowid = st.int64(0);
    r.mark.valid = true;
    r.values.assign(layout_->columns.size(), Value{});
    for (std::size_t i = 0; i < layout_->columns.size(); ++i) {
        int c = static_cast<int>(i) + 1;
        if (st.isNull(c))
            continue;
        const Column& col = layout_->columns[i];
        if (col.type == ColumnType::Text || col.type == ColumnType::Memo) {
            std::string s = st.text(c);
            if (!s.empty())
                r.values[i] = std::move(s);
        } else {
            r.values[i] = st.int64(c);
        }
    }
    // The key as stored ('' rather than empty), for seeking from this row.
    r.mark.key.clear();
    for (int k : layout_->keyColumns) {
        int c = k + 1;
        if (st.isNull(c))
            r.mark.key.emplace_back(std::monostate{});
        else if (layout_->columns[static_cast<std::size_t>(k)].type == ColumnType::Text)
            r.mark.key.emplace_back(st.text(c));
        else
            r.mark.key.emplace_back(st.int64(c));
    }
}

void Table::take(Row&& row)
{
    buf_ = std::move(row.values);
    rowid_ = row.mark.rowid;
    key_ = std::move(row.mark.key);
    hasRecord_ = true;
}

bool Table::load(sql::Statement& st)
{
    bool found = st.step();
    if (found) {
        Row r;
        readRow(st, r);
        take(std::move(r));
    }
    st.reset();
    return found;
}

bool Table::seek(Seek how)
{
    const int m = static_cast<int>(where_.params.size());
    Kind kind = how == Seek::First ? kFirst : how == Seek::Last ? kLast : how == Seek::Next ? kNextOne : kPriorOne;
    sql::Statement& st = stmt(kind);
    bindWhere(st);
    if (how == Seek::Next || how == Seek::Prior)
        bindKey(st, m + 1, key_);
    return load(st);
}

bool Table::seekRowid(std::int64_t rowid)
{
    sql::Statement& st = stmt(kRowid);
    bindWhere(st);
    st.bind(static_cast<int>(where_.params.size()) + 1, rowid);
    return load(st);
}

bool Table::seekFrom(const Bookmark& mark)
{
    if (!mark.valid)
        return seek(Seek::First);
    if (seekRowid(mark.rowid))
        return true;
    key_ = mark.key;
    rowid_ = mark.rowid;
    return seek(Seek::Next) || seek(Seek::Prior);
}

bool Table::reloadUnfiltered(std::int64_t rowid)
{
    if (!byRowid_) {
        try {
            byRowid_ = sql::Statement(db_->connection(), selectList() + " FROM " + schema_ + "." +
                                                             sql::quoteIdentifier(layout_->name) + " WHERE rowid = ?1");
        } catch (const sql::SqlError& e) {
            throw StoreError(e.what());
        }
    }
    byRowid_.reset();
    byRowid_.bind(1, rowid);
    return load(byRowid_);
}

bool Table::startStream(Kind kind)
{
    endStream();
    sql::Statement& st = stmt(kind);
    bindWhere(st);
    if (kind == kStreamNext)
        bindKey(st, static_cast<int>(where_.params.size()) + 1, key_);
    stream_ = &st;
    streamChanges_ = db_->connection().totalChanges();
    streamAtStart_ = kind == kStreamFirst;
    Row r;
    if (!stepStream(r)) {
        endStream();
        return false;
    }
    take(std::move(r));
    return true;
}

bool Table::stepStream(Row& row)
{
    try {
        if (!stream_->step())
            return false;
    } catch (const sql::SqlError& e) {
        stream_ = nullptr;
        ahead_.clear();
        throw StoreError(e.what());
    }
    readRow(*stream_, row);
    return true;
}

bool Table::streamValid() const
{
    return stream_ && streamChanges_ == db_->connection().totalChanges();
}

void Table::endStream()
{
    if (stream_)
        stream_->reset();
    stream_ = nullptr;
    streamAtStart_ = false;
    ahead_.clear();
}

void Table::releaseCursor() { endStream(); }

void Table::clearBuffer()
{
    std::fill(buf_.begin(), buf_.end(), Value{});
    hasRecord_ = false;
}

Bookmark Table::currentMark() const
{
    Bookmark b;
    if (!hasRecord_)
        return b;
    b.rowid = rowid_;
    b.key = key_;
    b.valid = true;
    return b;
}

void Table::open(const std::string& alias, const std::string& tableName)
{
    if (isOpen())
        close();
    auto [db, layout, schema] = session_.findTable(alias, tableName);
    Filter filter = parseFilter(filterText_);
    Where where = whereFor(*layout, filter, 1);
    db_ = std::move(db);
    layout_ = layout;
    schema_ = std::move(schema);
    tableName_ = tableName;
    filter_ = std::move(filter);
    statements_.clear();
    useWhere(filtered_ ? std::move(where) : Where{"1", {}});
    buf_.assign(layout_->columns.size(), Value{});
    db_->addCursor(this);
    setState(State::Browse);
    bool found = startStream(kStreamFirst);
    bof_ = true;
    eof_ = !found;
    if (!found)
        clearBuffer();
    notifyRecord();
    fire(afterScroll);
}

void Table::close()
{
    if (!isOpen())
        return;
    endStream();
    modified_ = false;
    appending_ = false;
    set_ = nullptr;
    statements_.clear();
    byRowid_ = sql::Statement();
    db_->removeCursor(this);
    db_.reset();
    clearBuffer();
    bof_ = eof_ = true;
    setState(State::Inactive);
    notifyRecord();
}

void Table::first()
{
    requireOpen();
    checkBrowseMode();
    bool found = startStream(kStreamFirst);
    bof_ = true;
    eof_ = !found;
    if (!found)
        clearBuffer();
    notifyRecord();
    fire(afterScroll);
}

void Table::last()
{
    requireOpen();
    checkBrowseMode();
    endStream();
    bool found = seek(Seek::Last);
    eof_ = true;
    bof_ = !found;
    if (!found)
        clearBuffer();
    notifyRecord();
    fire(afterScroll);
}

void Table::next()
{
    requireOpen();
    checkBrowseMode();
    bool moved = false;
    if (!hasRecord_) {
        moved = startStream(kStreamFirst);
        if (!moved)
            bof_ = eof_ = true;
    } else if (streamValid()) {
        Row r;
        if (!ahead_.empty()) {
            take(std::move(ahead_.front()));
            ahead_.pop_front();
            moved = true;
        } else if (stepStream(r)) {
            take(std::move(r));
            moved = true;
        } else {
            endStream();
        }
        streamAtStart_ = false;
        bof_ = false;
        eof_ = !moved;
    } else if (startStream(kStreamNext)) {
        bof_ = eof_ = false;
        moved = true;
    } else {
        eof_ = true;
        bof_ = false;
        // Stay where we are, unless another object deleted this record.
        if (!seekRowid(rowid_) && !seek(Seek::Last)) {
            clearBuffer();
            bof_ = true;
        }
    }
    notifyRecord();
    fire(afterScroll);
}

void Table::prior()
{
    requireOpen();
    checkBrowseMode();
    endStream();
    if (!hasRecord_) {
        if (!seek(Seek::Last))
            bof_ = eof_ = true;
    } else if (seek(Seek::Prior)) {
        bof_ = eof_ = false;
    } else {
        bof_ = true;
        eof_ = false;
        if (!seekRowid(rowid_) && !seek(Seek::First)) {
            clearBuffer();
            eof_ = true;
        }
    }
    notifyRecord();
    fire(afterScroll);
}

bool Table::isEmpty()
{
    requireOpen();
    sql::Statement& st = stmt(kExists);
    bindWhere(st);
    bool any = st.step();
    st.reset();
    return !any;
}

std::int64_t Table::recordCount()
{
    requireOpen();
    sql::Statement& st = stmt(kCount);
    bindWhere(st);
    st.step();
    std::int64_t n = st.int64(0);
    st.reset();
    return n;
}

void Table::setFilter(const std::string& text)
{
    Filter filter = parseFilter(text);
    if (!isOpen()) {
        filterText_ = text;
        filter_ = std::move(filter);
        return;
    }
    Where where = whereFor(*layout_, filter, 1);
    if (!filtered_) {
        filterText_ = text;
        filter_ = std::move(filter);
        return;
    }
    checkBrowseMode();
    filterText_ = text;
    filter_ = std::move(filter);
    useWhere(std::move(where));
    first();
}

void Table::setFiltered(bool on)
{
    if (!isOpen()) {
        filtered_ = on;
        return;
    }
    Where where = on ? whereFor(*layout_, filter_, 1) : Where{"1", {}};
    checkBrowseMode();
    if (on == filtered_)
        return;
    filtered_ = on;
    useWhere(std::move(where));
    first();
}

bool Table::findKey(const std::vector<std::string>& keyValues)
{
    requireOpen();
    if (keyValues.size() != 2)
        throw StoreError("A key lookup needs the game name and the character name");
    checkBrowseMode();
    const int m = static_cast<int>(where_.params.size());
    sql::Statement& st = stmt(kFind);
    bindWhere(st);
    st.bind(m + 1, std::string_view(keyValues[0]));
    st.bind(m + 2, std::string_view(keyValues[1]));
    if (!st.step()) {
        st.reset();
        return false;
    }
    endStream();
    Row r;
    readRow(st, r);
    st.reset();
    take(std::move(r));
    bof_ = eof_ = false;
    notifyRecord();
    fire(afterScroll);
    return true;
}

void Table::gotoCurrent(const Table& other)
{
    requireOpen();
    other.requireOpen();
    if (other.layout_ != layout_ || other.db_ != db_)
        throw StoreError("Cannot synchronise with a table object on another table");
    if (!other.hasRecord_ || other.state_ == State::Insert)
        throw StoreError(msg::emptyDataset);
    checkBrowseMode();
    endStream();
    Bookmark keep = currentMark();
    if (!seekRowid(other.rowid_)) {
        if (keep.valid)
            seekFrom(keep);
        throw StoreError(msg::recordNotFound);
    }
    bof_ = eof_ = false;
    notifyRecord();
    fire(afterScroll);
}

void Table::insert() { startInsert(false); }

void Table::append() { startInsert(true); }

void Table::startInsert(bool atEnd)
{
    requireOpen();
    checkBrowseMode();
    endStream();
    beforeInsert_ = currentMark();
    clearBuffer();
    modified_ = false;
    appending_ = atEnd;
    setState(State::Insert);
    notifyRecord();
    fire(afterInsert);
    fire(afterScroll);
}

void Table::edit()
{
    requireOpen();
    if (editing())
        return;
    if (!hasRecord_) {
        insert();
        return;
    }
    endStream();
    // Re-read first, so that a change posted through another object is not
    // overwritten with this object's older copy.
    std::vector<Value> before = buf_;
    if (!reloadUnfiltered(rowid_))
        throw StoreError("Record/Key deleted");
    modified_ = false;
    setState(State::Edit);
    if (before != buf_)
        notifyRecord();
}

void Table::post()
{
    requireOpen();
    if (!editing())
        return;
    notifyUpdateRecord();
    if (!editing())
        return;
    endStream();
    const auto& cols = layout_->columns;
    const int autoCol = layout_->autoIncColumn();
    auto writable = [&](std::size_t i) { return static_cast<int>(i) != autoCol; };
    std::string table = schema_ + "." + sql::quoteIdentifier(layout_->name);
    std::string sqlText;
    if (state_ == State::Insert) {
        std::string names, params;
        int n = 1;
        for (std::size_t i = 0; i < cols.size(); ++i) {
            if (!writable(i))
                continue;
            names += (names.empty() ? "" : ", ") + sql::quoteIdentifier(cols[i].name);
            params += (params.empty() ? "?" : ", ?") + std::to_string(n++);
        }
        sqlText = "INSERT INTO " + table + " (" + names + ") VALUES (" + params + ")";
    } else {
        std::string sets;
        int n = 1;
        for (std::size_t i = 0; i < cols.size(); ++i) {
            if (!writable(i))
                continue;
            sets += (sets.empty() ? "" : ", ") + sql::quoteIdentifier(cols[i].name) + " = ?" + std::to_string(n++);
        }
        sqlText = "UPDATE " + table + " SET " + sets + " WHERE rowid = ?" + std::to_string(n);
    }
    std::int64_t newRowid = rowid_;
    try {
        Database::Transaction tx(*db_);
        sql::Statement st(db_->connection(), sqlText);
        int n = 1;
        for (std::size_t i = 0; i < cols.size(); ++i) {
            if (!writable(i))
                continue;
            const Value& v = buf_[i];
            if (store::isEmpty(v) && isKeyText(*layout_, static_cast<int>(i)))
                st.bind(n++, std::string_view(""));
            else
                bindValue(st, n++, v);
        }
        if (state_ == State::Edit)
            st.bind(n, rowid_);
        st.run();
        if (state_ == State::Edit && db_->connection().changes() == 0)
            throw StoreError("Record/Key deleted");
        if (state_ == State::Insert)
            newRowid = db_->connection().lastInsertRowid();
        tx.commit();
    } catch (const sql::SqlError& e) {
        rethrowWrite(e);
    }
    reloadUnfiltered(newRowid);
    bof_ = eof_ = false;
    modified_ = false;
    appending_ = false;
    setState(State::Browse);
    notifyRecord();
    fire(afterPost);
}

void Table::cancel()
{
    requireOpen();
    if (!editing())
        return;
    endStream();
    const State was = state_;
    modified_ = false;
    appending_ = false;
    bool found = was == State::Insert ? seekFrom(beforeInsert_) : (reloadUnfiltered(rowid_) || seekFrom(currentMark()));
    if (!found) {
        clearBuffer();
        bof_ = eof_ = true;
    }
    setState(State::Browse);
    notifyRecord();
    fire(afterCancel);
}

void Table::checkBrowseMode()
{
    requireOpen();
    if (!editing())
        return;
    notifyUpdateRecord();
    if (!editing())
        return;
    if (modified_)
        post();
    else
        cancel();
}

void Table::remove()
{
    requireOpen();
    if (state_ == State::Insert) {
        cancel();
        return;
    }
    if (!hasRecord_)
        throw StoreError(msg::emptyDataset);
    fire(beforeDelete);
    if (!hasRecord_)
        throw StoreError(msg::emptyDataset);
    endStream();
    Bookmark mark = currentMark();
    try {
        Database::Transaction tx(*db_);
        sql::Statement st(db_->connection(),
                          "DELETE FROM " + schema_ + "." + sql::quoteIdentifier(layout_->name) + " WHERE rowid = ?1");
        st.bind(1, mark.rowid);
        st.run();
        tx.commit();
    } catch (const sql::SqlError& e) {
        throw StoreError(e.what());
    }
    modified_ = false;
    key_ = mark.key;
    rowid_ = mark.rowid;
    if (startStream(kStreamNext)) {
        bof_ = eof_ = false;
    } else if (seek(Seek::Prior)) {
        bof_ = false;
        eof_ = true;
    } else {
        clearBuffer();
        bof_ = eof_ = true;
    }
    setState(State::Browse);
    notifyRecord();
    fire(afterDelete);
    fire(afterScroll);
}

void Table::refresh()
{
    requireOpen();
    checkBrowseMode();
    endStream();
    bool found = hasRecord_ ? seekFrom(currentMark()) : seek(Seek::First);
    if (!found) {
        clearBuffer();
        bof_ = eof_ = true;
    } else if (eof_ && bof_) {
        eof_ = false;
    }
    notifyRecord();
}

Bookmark Table::bookmark() const { return currentMark(); }

void Table::gotoBookmark(const Bookmark& mark)
{
    requireOpen();
    if (!mark.valid)
        throw StoreError(msg::recordNotFound);
    checkBrowseMode();
    endStream();
    Bookmark keep = currentMark();
    if (!seekRowid(mark.rowid)) {
        if (keep.valid)
            seekFrom(keep);
        throw StoreError("Record/Key deleted");
    }
    bof_ = eof_ = false;
    notifyRecord();
    fire(afterScroll);
}

void Table::disableControls() { ++disabled_; }

void Table::enableControls()
{
    if (disabled_ == 0)
        return;
    if (--disabled_ > 0)
        return;
    bool state = heldState_, record = heldRecord_;
    heldState_ = heldRecord_ = false;
    auto copy = observers_;
    if (state)
        for (auto* o : copy)
            o->stateChanged(*this);
    if (record)
        for (auto* o : copy)
            o->recordChanged(*this);
}

int Table::fieldIndex(std::string_view name) const
{
    requireOpen();
    int i = layout_->columnIndex(name);
    if (i < 0)
        throw StoreError("Field '" + std::string(name) + "' not found");
    return i;
}

int Table::fieldCount() const { return layout_ ? static_cast<int>(layout_->columns.size()) : 0; }

const Value& Table::value(int column) const
{
    requireOpen();
    if (column < 0 || static_cast<std::size_t>(column) >= buf_.size())
        throw StoreError("Field index out of range");
    return buf_[static_cast<std::size_t>(column)];
}

std::string Table::text(int column) const
{
    const Value& v = value(column);
    if (std::holds_alternative<std::string>(v))
        return std::get<std::string>(v);
    if (std::holds_alternative<std::int64_t>(v)) {
        std::int64_t i = std::get<std::int64_t>(v);
        if (layout_->columns[static_cast<std::size_t>(column)].type == ColumnType::Logical)
            return i ? "True" : "False";
        return std::to_string(i);
    }
    return {};
}

bool Table::asBool(int column) const
{
    const Value& v = value(column);
    if (std::holds_alternative<std::int64_t>(v))
        return std::get<std::int64_t>(v) != 0;
    if (std::holds_alternative<std::string>(v))
        return equalsNoCase(std::get<std::string>(v), "True");
    return false;
}

bool Table::isNull(int column) const { return store::isEmpty(value(column)); }

void Table::setValue(int column, Value v)
{
    requireOpen();
    if (!editing())
        throw StoreError(msg::notEditing);
    const Column& col = layout_->columns.at(static_cast<std::size_t>(column));
    if (col.type == ColumnType::AutoInc)
        throw StoreError("Field '" + col.name + "' cannot be modified");
    buf_[static_cast<std::size_t>(column)] = std::move(v);
    modified_ = true;
    notifyField(column);
}

void Table::setText(int column, std::string_view text)
{
    requireOpen();
    const Column& col = layout_->columns.at(static_cast<std::size_t>(column));
    if (!editing())
        throw StoreError(msg::notEditing);
    if (text.empty()) {
        setValue(column, Value{});
        return;
    }
    switch (col.type) {
    case ColumnType::Text:
        if (codePoints(text) > static_cast<std::size_t>(col.size))
            throw StoreError("Value is too long for field '" + col.name + "': at most " + std::to_string(col.size) +
                             " characters");
        setValue(column, std::string(text));
        return;
    case ColumnType::Memo:
        setValue(column, std::string(text));
        return;
    case ColumnType::Short: {
        auto i = parseInteger(text);
        if (!i)
            throw StoreError("'" + std::string(text) + "' is not a valid integer value for field '" + col.name + "'");
        if (*i < -32768 || *i > 32767)
            throw StoreError(formatG(*i) + " is not a valid value for field '" + col.name + "'. The allowed range is " +
                             formatG(-32768) + " to " + formatG(32767));
        setValue(column, std::int64_t(*i));
        return;
    }
    case ColumnType::Logical:
        if (equalsNoCase(text, "True"))
            setValue(column, std::int64_t(1));
        else if (equalsNoCase(text, "False"))
            setValue(column, std::int64_t(0));
        else
            throw StoreError("'" + std::string(text) + "' is not a valid boolean value for field '" + col.name + "'");
        return;
    case ColumnType::AutoInc:
        throw StoreError("Field '" + col.name + "' cannot be modified");
    }
}

void Table::setBool(int column, bool value)
{
    requireOpen();
    const Column& col = layout_->columns.at(static_cast<std::size_t>(column));
    if (col.type != ColumnType::Logical)
        throw StoreError("Field '" + col.name + "' is not a logical field");
    setValue(column, std::int64_t(value ? 1 : 0));
}

void Table::clear(int column) { setValue(column, Value{}); }

std::vector<Row> Table::readRows(const Bookmark* from, bool inclusive, int count, bool backwards)
{
    requireOpen();
    std::vector<Row> rows;
    if (count <= 0)
        return rows;
    const bool fromStart = !from || !from->valid;
    // Rows right after the current record come from the forward read in
    // progress, so that a grid showing the list after a move reads it once.
    if (!backwards && hasRecord_ && state_ == State::Browse && streamValid() &&
        (fromStart ? streamAtStart_ : from->rowid == rowid_)) {
        if (fromStart || inclusive) {
            Row cur;
            cur.mark = currentMark();
            cur.values = buf_;
            rows.push_back(std::move(cur));
        }
        for (std::size_t i = 0; i < ahead_.size() && static_cast<int>(rows.size()) < count; ++i)
            rows.push_back(ahead_[i]);
        Row r;
        while (static_cast<int>(rows.size()) < count && stepStream(r)) {
            ahead_.push_back(r);
            rows.push_back(std::move(r));
        }
        return rows;
    }
    const int m = static_cast<int>(where_.params.size());
    Kind kind = fromStart ? (backwards ? kReadStartBack : kReadStart)
                          : backwards ? (inclusive ? kReadUpTo : kReadBefore)
                                      : (inclusive ? kReadFrom : kReadAfter);
    sql::Statement& st = stmt(kind);
    bindWhere(st);
    int next = m + 1;
    if (!fromStart) {
        bindKey(st, next, from->key);
        next += static_cast<int>(from->key.size());
    }
    st.bind(next, std::int64_t(count));
    try {
        while (st.step()) {
            Row r;
            readRow(st, r);
            rows.push_back(std::move(r));
        }
    } catch (...) {
        st.reset();
        throw;
    }
    st.reset();
    return rows;
}

std::int64_t Table::rowsBefore(const Bookmark& mark)
{
    requireOpen();
    if (!mark.valid)
        return 0;
    sql::Statement& st = stmt(kRowsBefore);
    bindWhere(st);
    bindKey(st, static_cast<int>(where_.params.size()) + 1, mark.key);
    st.step();
    std::int64_t n = st.int64(0);
    st.reset();
    return n;
}

std::int64_t Table::dataVersion() const
{
    requireOpen();
    return db_->connection().totalChanges();
}

Bookmark Table::rowAt(std::int64_t position)
{
    requireOpen();
    Bookmark b;
    if (position < 0)
        return b;
    sql::Statement& st = stmt(kRowAt);
    bindWhere(st);
    st.bind(static_cast<int>(where_.params.size()) + 1, position);
    if (st.step()) {
        b.rowid = st.int64(0);
        for (std::size_t i = 0; i < layout_->keyColumns.size(); ++i) {
            int c = static_cast<int>(i) + 1;
            if (layout_->columns[static_cast<std::size_t>(layout_->keyColumns[i])].type == ColumnType::Text)
                b.key.emplace_back(st.text(c));
            else
                b.key.emplace_back(st.int64(c));
        }
        b.valid = true;
    }
    st.reset();
    return b;
}

void Table::appendFrom(Table& source)
{
    requireOpen();
    source.requireOpen();
    if (source.db_ != db_)
        throw StoreError("A batch append needs both tables in one database");
    if (source.layout_->columns.size() != layout_->columns.size())
        throw StoreError("The tables " + source.tableName_ + " and " + tableName_ + " do not have matching columns");
    checkBrowseMode();
    source.checkBrowseMode();
    endStream();
    source.endStream();
    try {
        std::string names, exprs;
        const int autoCol = layout_->autoIncColumn();
        for (std::size_t i = 0; i < layout_->columns.size(); ++i) {
            std::string src = sql::quoteIdentifier(source.layout_->columns[i].name);
            names += (i ? ", " : "") + sql::quoteIdentifier(layout_->columns[i].name);
            std::string e = static_cast<int>(i) == autoCol ? std::string("NULL")
                            : isKeyText(*layout_, static_cast<int>(i)) ? "coalesce(" + src + ", '')"
                                                                        : src;
            exprs += (i ? ", " : "") + e;
        }
        std::string sqlText = "INSERT INTO " + schema_ + "." + sql::quoteIdentifier(layout_->name) + " (" + names +
                              ") SELECT " + exprs + " FROM " + source.schema_ + "." +
                              sql::quoteIdentifier(source.layout_->name) + " WHERE (" + source.where_.sql +
                              ") ORDER BY " + source.orderBy(false);
        try {
            Database::Transaction tx(*db_);
            sql::Statement st(db_->connection(), sqlText);
            source.bindWhere(st);
            st.run();
            tx.commit();
        } catch (const sql::SqlError& e) {
            rethrowWrite(e);
        }
    } catch (...) {
        first();
        throw;
    }
    first();
}

void Table::addObserver(TableObserver* observer)
{
    if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void Table::removeObserver(TableObserver* observer) { std::erase(observers_, observer); }

void Table::setState(State s)
{
    if (s == state_)
        return;
    state_ = s;
    if (disabled_) {
        heldState_ = true;
        return;
    }
    auto copy = observers_;
    for (auto* o : copy)
        o->stateChanged(*this);
}

void Table::notifyRecord()
{
    if (disabled_) {
        heldRecord_ = true;
        return;
    }
    auto copy = observers_;
    for (auto* o : copy)
        o->recordChanged(*this);
}

void Table::notifyField(int column)
{
    if (disabled_) {
        heldRecord_ = true;
        return;
    }
    auto copy = observers_;
    for (auto* o : copy)
        o->fieldChanged(*this, column);
}

void Table::notifyUpdateRecord()
{
    auto copy = observers_;
    for (auto* o : copy)
        o->updateRecord(*this);
}

void Table::fire(const std::function<void(Table&)>& handler)
{
    if (handler)
        handler(*this);
}

}  // namespace store
