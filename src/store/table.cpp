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

Table::~Table() = default;

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

int Table::keyParamCount() const { return static_cast<int>(layout_->keyColumns.size()); }

std::string Table::orderBy(bool descending) const
{
    std::string s;
    for (std::size_t i = 0; i < layout_->keyColumns.size(); ++i)
        s += (i ? ", " : "") + sql::quoteIdentifier(layout_->columns[static_cast<std::size_t>(layout_->keyColumns[i])].name) +
             (descending ? " DESC" : "");
    return s;
}

std::string Table::selectSql(const std::string& extraWhere, const std::string& order, const std::string& limit) const
{
    std::string s = "SELECT rowid";
    for (const Column& c : layout_->columns)
        s += ", " + sql::quoteIdentifier(c.name);
    s += " FROM " + schema_ + "." + sql::quoteIdentifier(layout_->name) + " WHERE (" + where_.sql + ")";
    if (!extraWhere.empty())
        s += " AND " + extraWhere;
    if (!order.empty())
        s += " ORDER BY " + order;
    if (!limit.empty())
        s += " LIMIT " + limit;
    return s;
}

void Table::prepare()
{
    auto& conn = db_->connection();
    const int m = static_cast<int>(where_.params.size());
    std::string keyParams = "(";
    for (int i = 0; i < keyParamCount(); ++i)
        keyParams += (i ? ", ?" : "?") + std::to_string(m + 1 + i);
    keyParams += ")";
    stFirst_ = sql::Statement(conn, selectSql("", orderBy(false), "1"));
    stLast_ = sql::Statement(conn, selectSql("", orderBy(true), "1"));
    stNext_ = sql::Statement(conn, selectSql(keyTuple() + " > " + keyParams, orderBy(false), "1"));
    stPrior_ = sql::Statement(conn, selectSql(keyTuple() + " < " + keyParams, orderBy(true), "1"));
    stRowid_ = sql::Statement(conn, selectSql("rowid = ?" + std::to_string(m + 1), "", ""));
    {
        std::string cols;
        for (const Column& c : layout_->columns)
            cols += ", " + sql::quoteIdentifier(c.name);
        stById_ = sql::Statement(conn, "SELECT rowid" + cols + " FROM " + schema_ + "." +
                                           sql::quoteIdentifier(layout_->name) + " WHERE rowid = ?1");
    }
    stFind_ = sql::Statement(conn, selectSql("\"Game_Name\" = ?" + std::to_string(m + 1) + " AND \"Character_Name\" = ?" +
                                                 std::to_string(m + 2),
                                             orderBy(false), "1"));
    const std::string from = " FROM " + schema_ + "." + sql::quoteIdentifier(layout_->name) + " WHERE (" + where_.sql + ")";
    stCount_ = sql::Statement(conn, "SELECT count(*)" + from);
    stExists_ = sql::Statement(conn, "SELECT 1" + from + " LIMIT 1");
}

void Table::bindWhere(sql::Statement& st)
{
    st.reset();
    for (std::size_t i = 0; i < where_.params.size(); ++i)
        bindValue(st, static_cast<int>(i + 1), where_.params[i]);
}

void Table::bindKey(sql::Statement& st, int firstParam, const std::vector<Value>& key, std::int64_t)
{
    for (std::size_t i = 0; i < key.size(); ++i)
        bindValue(st, firstParam + static_cast<int>(i), key[i]);
}

bool Table::load(sql::Statement& st)
{
    bool found = st.step();
    if (found) {
        rowid_ = st.int64(0);
        for (std::size_t i = 0; i < layout_->columns.size(); ++i) {
            int c = static_cast<int>(i) + 1;
            const Column& col = layout_->columns[i];
            if (st.isNull(c)) {
                buf_[i] = std::monostate{};
            } else if (col.type == ColumnType::Text || col.type == ColumnType::Memo) {
                std::string s = st.text(c);
                buf_[i] = s.empty() ? Value{} : Value{std::move(s)};
            } else {
                buf_[i] = st.int64(c);
            }
        }
        key_.clear();
        for (int k : layout_->keyColumns) {
            int c = k + 1;
            if (st.isNull(c))
                key_.emplace_back(std::monostate{});
            else if (layout_->columns[static_cast<std::size_t>(k)].type == ColumnType::Text)
                key_.emplace_back(st.text(c));
            else
                key_.emplace_back(st.int64(c));
        }
        hasRecord_ = true;
    }
    st.reset();
    return found;
}

bool Table::seek(Seek how)
{
    const int m = static_cast<int>(where_.params.size());
    sql::Statement* st = nullptr;
    switch (how) {
    case Seek::First: st = &stFirst_; break;
    case Seek::Last: st = &stLast_; break;
    case Seek::Next: st = &stNext_; break;
    case Seek::Prior: st = &stPrior_; break;
    }
    bindWhere(*st);
    if (how == Seek::Next || how == Seek::Prior)
        bindKey(*st, m + 1, key_, rowid_);
    return load(*st);
}

bool Table::seekRowid(std::int64_t rowid)
{
    bindWhere(stRowid_);
    stRowid_.bind(static_cast<int>(where_.params.size()) + 1, rowid);
    return load(stRowid_);
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
    const TableLayout* layout = findLayout(tableName);
    if (!layout)
        throw StoreError("Table does not exist: " + tableName);
    auto db = session_.databaseForAlias(alias);
    std::string schema = db->schemaFor(*layout);
    Filter filter = parseFilter(filterText_);
    Where where = whereFor(*layout, filter, 1);
    db_ = std::move(db);
    layout_ = layout;
    schema_ = std::move(schema);
    tableName_ = tableName;
    filter_ = std::move(filter);
    where_ = filtered_ ? std::move(where) : Where{"1", {}};
    buf_.assign(layout_->columns.size(), Value{});
    try {
        prepare();
    } catch (const sql::SqlError& e) {
        db_.reset();
        throw StoreError(e.what());
    }
    setState(State::Browse);
    bool found = seek(Seek::First);
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
    modified_ = false;
    appending_ = false;
    for (sql::Statement* st : {&stFirst_, &stLast_, &stNext_, &stPrior_, &stRowid_, &stById_, &stCount_, &stExists_, &stFind_})
        *st = sql::Statement();
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
    bool found = seek(Seek::First);
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
    if (!hasRecord_) {
        if (!seek(Seek::First))
            bof_ = eof_ = true;
    } else if (seek(Seek::Next)) {
        bof_ = eof_ = false;
    } else {
        eof_ = true;
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
    if (!hasRecord_) {
        if (!seek(Seek::Last))
            bof_ = eof_ = true;
    } else if (seek(Seek::Prior)) {
        bof_ = eof_ = false;
    } else {
        bof_ = true;
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
    bindWhere(stExists_);
    bool any = stExists_.step();
    stExists_.reset();
    return !any;
}

std::int64_t Table::recordCount()
{
    requireOpen();
    bindWhere(stCount_);
    stCount_.step();
    std::int64_t n = stCount_.int64(0);
    stCount_.reset();
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
    where_ = std::move(where);
    prepare();
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
    where_ = std::move(where);
    prepare();
    first();
}

bool Table::findKey(const std::vector<std::string>& keyValues)
{
    requireOpen();
    if (keyValues.size() != 2)
        throw StoreError("A key lookup needs the game name and the character name");
    checkBrowseMode();
    const int m = static_cast<int>(where_.params.size());
    bindWhere(stFind_);
    stFind_.bind(m + 1, std::string_view(keyValues[0]));
    stFind_.bind(m + 2, std::string_view(keyValues[1]));
    if (!load(stFind_))
        return false;
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

void Table::insert()
{
    requireOpen();
    checkBrowseMode();
    beforeInsert_ = currentMark();
    clearBuffer();
    modified_ = false;
    appending_ = false;
    setState(State::Insert);
    notifyRecord();
    fire(afterInsert);
    fire(afterScroll);
}

void Table::append()
{
    insert();
    appending_ = true;
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
    // Re-read first, so that a change posted through another object is not
    // overwritten with this object's older copy.
    std::vector<Value> before = buf_;
    stById_.reset();
    stById_.bind(1, rowid_);
    if (!load(stById_))
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
    stById_.reset();
    stById_.bind(1, newRowid);
    load(stById_);
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
    const bool wasInsert = state_ == State::Insert;
    modified_ = false;
    appending_ = false;
    state_ = State::Browse;  // so that seeks below do not see a pending record
    bool found = wasInsert ? seekFrom(beforeInsert_) : (seekRowid(rowid_) || seekFrom(currentMark()));
    if (!found) {
        clearBuffer();
        bof_ = eof_ = true;
    }
    state_ = wasInsert ? State::Insert : State::Edit;
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
    if (seek(Seek::Next)) {
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
    bool found = hasRecord_ ? seekFrom(currentMark()) : seek(Seek::First);
    if (!found) {
        clearBuffer();
        bof_ = eof_ = true;
    } else if (eof_ && bof_) {
        bof_ = true;
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
    const int m = static_cast<int>(where_.params.size());
    std::string extra;
    if (from && from->valid) {
        std::string op = backwards ? (inclusive ? " <= " : " < ") : (inclusive ? " >= " : " > ");
        std::string params = "(";
        for (int i = 0; i < keyParamCount(); ++i)
            params += (i ? ", ?" : "?") + std::to_string(m + 1 + i);
        extra = keyTuple() + op + params + ")";
    }
    sql::Statement st(db_->connection(), selectSql(extra, orderBy(backwards), std::to_string(count)));
    bindWhere(st);
    if (!extra.empty())
        bindKey(st, m + 1, from->key, from->rowid);
    {
        while (st.step()) {
            Row r;
            r.mark.rowid = st.int64(0);
            r.mark.valid = true;
            r.values.resize(layout_->columns.size());
            for (std::size_t i = 0; i < layout_->columns.size(); ++i) {
                int c = static_cast<int>(i) + 1;
                const Column& col = layout_->columns[i];
                if (st.isNull(c))
                    continue;
                if (col.type == ColumnType::Text || col.type == ColumnType::Memo) {
                    std::string s = st.text(c);
                    if (!s.empty())
                        r.values[i] = std::move(s);
                } else {
                    r.values[i] = st.int64(c);
                }
            }
            for (int k : layout_->keyColumns) {
                int c = k + 1;
                if (layout_->columns[static_cast<std::size_t>(k)].type == ColumnType::Text)
                    r.mark.key.emplace_back(st.text(c));
                else
                    r.mark.key.emplace_back(st.int64(c));
            }
            rows.push_back(std::move(r));
        }
    }
    return rows;
}

std::int64_t Table::rowsBefore(const Bookmark& mark)
{
    requireOpen();
    if (!mark.valid)
        return 0;
    const int m = static_cast<int>(where_.params.size());
    std::string params = "(";
    for (int i = 0; i < keyParamCount(); ++i)
        params += (i ? ", ?" : "?") + std::to_string(m + 1 + i);
    params += ")";
    sql::Statement st(db_->connection(), "SELECT count(*) FROM " + schema_ + "." + sql::quoteIdentifier(layout_->name) +
                                             " WHERE (" + where_.sql + ") AND " + keyTuple() + " < " + params);
    bindWhere(st);
    bindKey(st, m + 1, mark.key, mark.rowid);
    st.step();
    return st.int64(0);
}

Bookmark Table::rowAt(std::int64_t position)
{
    requireOpen();
    Bookmark b;
    if (position < 0)
        return b;
    std::string cols = "rowid";
    for (int k : layout_->keyColumns)
        cols += ", " + sql::quoteIdentifier(layout_->columns[static_cast<std::size_t>(k)].name);
    const int m = static_cast<int>(where_.params.size());
    sql::Statement st(db_->connection(), "SELECT " + cols + " FROM " + schema_ + "." +
                                             sql::quoteIdentifier(layout_->name) + " WHERE (" + where_.sql +
                                             ") ORDER BY " + orderBy(false) + " LIMIT 1 OFFSET ?" +
                                             std::to_string(m + 1));
    bindWhere(st);
    st.bind(m + 1, position);
    if (!st.step())
        return b;
    b.rowid = st.int64(0);
    for (std::size_t i = 0; i < layout_->keyColumns.size(); ++i) {
        int c = static_cast<int>(i) + 1;
        if (layout_->columns[static_cast<std::size_t>(layout_->keyColumns[i])].type == ColumnType::Text)
            b.key.emplace_back(st.text(c));
        else
            b.key.emplace_back(st.int64(c));
    }
    b.valid = true;
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
