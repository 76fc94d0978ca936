// Table objects: the edit and insert states and the writes that end them
// (post, cancel, delete, batch append), and the writing of fields.
//
// A record is written only where it still holds the key it was read with,
// so that a record deleted through another object is never mistaken for the
// one that took its row number. Once a write is committed the object is in
// browse state, whatever fails after.
#include "store/table.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "store/database.h"
#include "store/error.h"
#include "store/keyset_reader.h"

namespace store {

namespace {

[[noreturn]] void rethrowWrite(const sql::SqlError& e, const std::string& table)
{
    const int ext = e.code();
    // SQLITE_CONSTRAINT_PRIMARYKEY (1555) and SQLITE_CONSTRAINT_UNIQUE (2067)
    if (ext == 1555 || ext == 2067)
        throw StoreError(msg::keyViolation, StoreError::Code::KeyViolation);
    throw StoreError(msg::cannotWrite(table, e.what()));
}

// The record as messages name it, most specific label first ("province 'P'
// of character 'C' of game 'G'"); only the owner's labels when `owner`.
std::string recordName(const TableLayout& layout, const RecordBuffer& record, bool owner)
{
    std::string name;
    for (auto label = layout.labels.rbegin(); label != layout.labels.rend(); ++label) {
        const auto& of = layout.owner.columns;
        if (owner && std::find(of.begin(), of.end(), label->column) == of.end())
            continue;
        name += (name.empty() ? "" : " of ") + label->noun + " '" + msg::excerpt(record.text(label->column)) + "'";
    }
    return name;
}

}  // namespace

void Table::insert() { startInsert(false); }

void Table::append() { startInsert(true); }

void Table::startInsert(bool atEnd)
{
    requireOpen();
    checkBrowseMode();
    beforeInsert_ = record_.mark();
    record_.clear();
    modified_ = false;
    appending_ = atEnd;
    setState(State::Insert);
    notifier_.recordChanged();
    fire(afterInsert);
    fire(afterScroll);
}

bool Table::mayChange() const
{
    return !db_ || !record_.hasRecord() || !db_->refusal(reader_->sql().schema(), layout_->name, record_.mark().rowid);
}

void Table::edit()
{
    requireOpen();
    if (editing())
        return;
    if (!record_.hasRecord()) {
        insert();
        return;
    }
    if (auto why = db_->refusal(reader_->sql().schema(), layout_->name, record_.mark().rowid))
        throw StoreError(*why);
    // Re-read first, so that a change posted through another object is not
    // overwritten with this object's older copy.
    const std::vector<Value> before = record_.values();
    auto row = reader_->same(record_.mark(), false);
    if (!row)
        throwRecordGone(*reader_, *layout_, record_.mark().rowid, before);
    record_.take(std::move(*row));
    modified_ = false;
    setState(State::Edit);
    if (before != record_.values())
        notifier_.recordChanged();
}

void Table::post()
{
    requireOpen();
    if (!editing())
        return;
    notifier_.updateRecord();
    if (!editing())
        return;
    const bool inserting = state_ == State::Insert;
    const Bookmark was = record_.mark();
    // The values last read, wanted only to tell a rename from a delete.
    auto read = [this] {
        std::vector<Value> v;
        for (int i = 0; i < record_.size(); ++i)
            v.push_back(record_.original(i));
        return v;
    };
    const TableSql& sql = reader_->sql();
    std::int64_t rowid = was.rowid;
    std::string conflicts;
    int conflicting = 0;
    try {
        // The write lock on this table's file only: a commit to one file
        // needs no super-journal, which costs several syncs more.
        Database::Transaction tx(*db_, {sql.lockForWrite()});
        std::vector<int> columns;
        if (inserting) {
            for (int i = 0; i < record_.size(); ++i)
                if (i != layout_->autoIncColumn())
                    columns.push_back(i);
        } else {
            // Only the fields changed here are written, so that another
            // program's change of any other field stays. The stored row is
            // read under the write lock: a field changed here that another
            // program changed too since editing began is not silently lost.
            columns = record_.changedColumns();
            auto stored = reader_->same(was, false);
            if (!stored)
                throwRecordGone(*reader_, *layout_, was.rowid, read());
            for (int i : columns) {
                const Value& now = stored->values[static_cast<std::size_t>(i)];
                if (now != record_.original(i) && now != record_.value(i)) {
                    conflicts += (conflicts.empty() ? "'" : ", '") + layout_->columns[static_cast<std::size_t>(i)].name + "'";
                    ++conflicting;
                }
            }
        }
        if (conflicting == 0) {
            if (!columns.empty()) {
                sql::Statement st(db_->connection(), inserting ? sql.insert() : sql.update(columns));
                int n = 1;
                for (int i : columns)
                    bindValue(st, n++, record_.stored(i));
                if (!inserting) {
                    st.bind(n++, was.rowid);
                    for (const Value& v : was.key)
                        bindValue(st, n++, v);
                }
                st.run();
                if (!inserting && db_->connection().changes() == 0)
                    throwRecordGone(*reader_, *layout_, was.rowid, read());
                if (inserting)
                    rowid = db_->connection().lastInsertRowid();
                requireOwner(columns);
            }
            if (!inserting && keyChanged) {
                std::vector<Value> key = record_.keyAsWritten(was.rowid);
                // A key field not changed here is as stored, whatever its
                // text shows (bytes that are no UTF-8 show replaced).
                for (std::size_t k = 0; k < key.size() && k < was.key.size(); ++k)
                    if (std::find(columns.begin(), columns.end(), layout_->keyColumns[k]) == columns.end())
                        key[k] = was.key[k];
                if (key != was.key)
                    keyChanged(*this, was.key, key);
            }
            tx.commit();
            if (inserting)
                rowid = db_->rowNumberAfterCommit(sql.schema(), layout_->name, rowid);
        }
    } catch (const sql::SqlError& e) {
        rethrowWrite(e, layout_->displayName);
    } catch (const StoreError& e) {
        // The same refusal from the store the database is a copy of.
        if (e.code() == StoreError::Code::ChangedElsewhere)
            cancel();
        throw;
    }
    if (conflicting > 0) {
        // Nothing was written. Typing on over the other program's values
        // and saving again would overwrite them after all, so the edit ends
        // and the record shows what is stored now.
        cancel();
        throw StoreError(msg::changedElsewhere(conflicts, conflicting > 1), StoreError::Code::ChangedElsewhere);
    }
    modified_ = false;
    appending_ = false;
    bof_ = eof_ = false;
    record_.storedAs(rowid);
    setState(State::Browse);
    storedAt(rowid);
    fire(afterPost);
}

void Table::requireOwner(const std::vector<int>& written)
{
    // The file refuses the row at the commit all the same; asked here, the
    // user is told which record and why.
    const std::vector<int>& key = layout_->owner.columns;
    if (key.empty() || std::none_of(key.begin(), key.end(), [&written](int k) {
            return std::find(written.begin(), written.end(), k) != written.end();
        }))
        return;
    sql::Statement st(db_->connection(), reader_->sql().ownerStored());
    int n = 1;
    for (int k : key)
        bindValue(st, n++, record_.stored(k));
    if (st.step())
        return;
    std::string record = recordName(*layout_, record_, false);
    record[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(record[0])));
    throw StoreError(msg::ownerMissing(layout_->displayName, record, recordName(*layout_, record_, true)));
}

void Table::storedAt(std::int64_t rowid)
{
    try {
        if (auto row = reader_->byRowNumber(rowid))
            record_.take(std::move(*row));
    } catch (...) {
        notifier_.recordChanged();  // the record as posted
        throw;
    }
    notifier_.recordChanged();
}

void Table::cancel()
{
    requireOpen();
    if (!editing())
        return;
    const State was = state_;
    modified_ = false;
    appending_ = false;
    std::optional<Row> row;
    try {
        if (was == State::Insert) {
            row = reader_->near(beforeInsert_);
        } else {
            row = reader_->same(record_.mark(), false);
            if (!row)
                row = reader_->near(record_.mark());
        }
    } catch (...) {
        record_.clear();
        bof_ = eof_ = true;
        setState(State::Browse);
        notifier_.recordChanged();
        throw;
    }
    show(std::move(row));
    if (!record_.hasRecord())
        bof_ = eof_ = true;
    setState(State::Browse);
    notifier_.recordChanged();
    fire(afterCancel);
}

void Table::checkBrowseMode()
{
    requireOpen();
    if (!editing())
        return;
    notifier_.updateRecord();
    if (!editing())
        return;
    if (modified_)
        post();
    else
        cancel();
}

void Table::removeAll()
{
    first();  // ends an edit as moving does
    if (beforeDelete || afterDelete) {
        while (!eof())
            remove();
        return;
    }
    if (!record_.hasRecord())
        return;
    try {
        Database::Transaction tx(*db_, {reader_->sql().lockForWrite()});
        sql::Statement st(db_->connection(), reader_->sql().removeWhere(reader_->where().sql));
        reader_->bindWhere(st);
        st.run();
        tx.commit();
    } catch (const sql::SqlError& e) {
        throw StoreError(msg::cannotWrite(layout_->displayName, e.what()));
    }
    refresh();
}

void Table::remove()
{
    requireOpen();
    if (state_ == State::Insert) {
        cancel();
        return;
    }
    // The record deleted is the record as stored: a pending change (a key
    // retyped and refused, say) must not steer the before-delete handler to
    // another record's rows.
    if (state_ == State::Edit)
        cancel();
    if (!record_.hasRecord())
        throw StoreError(msg::emptyDataset, StoreError::Code::EmptyDataset);
    Bookmark mark;
    KeysetReader::Known known;
    bool deleted = false;
    try {
        // The handler's writes (a character's provinces) and the delete are
        // one transaction: a failure or a kill anywhere keeps all of them.
        Database::Transaction tx(*db_, {reader_->sql().lockForWrite()});
        fire(beforeDelete);
        if (!record_.hasRecord())
            throw StoreError(msg::emptyDataset, StoreError::Code::EmptyDataset);
        mark = record_.mark();
        known = reader_->known(mark);
        sql::Statement st(db_->connection(), reader_->sql().remove());
        st.bind(1, mark.rowid);
        for (std::size_t i = 0; i < mark.key.size(); ++i)
            bindValue(st, static_cast<int>(i) + 2, mark.key[i]);
        st.run();  // no row: deleted elsewhere already, which is what was asked
        deleted = db_->connection().changes() == 1;
        tx.commit();
    } catch (const sql::SqlError& e) {
        throw StoreError(msg::cannotWrite(layout_->displayName, e.what()));
    }
    modified_ = false;
    setState(State::Browse);
    try {
        // The count and the place of the record that takes the deleted one's
        // follow from what was known of it, without counting a million rows.
        if (auto row = reader_->after(mark)) {
            record_.take(std::move(*row));
            bof_ = eof_ = false;
            if (deleted)
                reader_->carry(known, 1, -1, record_.mark(), known.place.value_or(-1));
        } else {
            show(reader_->before(mark));
            bof_ = !record_.hasRecord();
            eof_ = true;
            if (deleted)
                reader_->carry(known, 1, -1, record_.mark(), known.place ? *known.place - 1 : -1);
        }
    } catch (...) {
        record_.clear();
        bof_ = eof_ = true;
        notifier_.recordChanged();
        throw;
    }
    notifier_.recordChanged();
    fire(afterDelete);
    fire(afterScroll);
}

void Table::appendFrom(Table& source)
{
    requireOpen();
    source.requireOpen();
    if (source.db_ != db_)
        throw StoreError(msg::appendAcrossDatabases);
    if (source.layout_->columns.size() != layout_->columns.size())
        throw StoreError(msg::columnsDiffer(source.tableName_, tableName_));
    checkBrowseMode();
    source.checkBrowseMode();
    try {
        try {
            Database::Transaction tx(*db_, {reader_->sql().lockForWrite()});
            // The statement follows from the source table and its filter:
            // built and prepared again only when either changes.
            std::string from = source.tableName_ + '\n' + source.reader_->where().sql;
            if (!append_ || from != appendFrom_) {
                append_ = sql::Statement();
                append_ = sql::Statement(db_->connection(),
                                         reader_->sql().appendFrom(source.reader_->sql(), source.reader_->where().sql));
                appendFrom_ = std::move(from);
            }
            source.reader_->bindWhere(append_);
            try {
                append_.run();
            } catch (...) {
                append_.reset();
                throw;
            }
            append_.reset();
            tx.commit();
        } catch (const sql::SqlError& e) {
            rethrowWrite(e, layout_->displayName);
        }
    } catch (...) {
        first();
        throw;
    }
    first();
}

void Table::setValue(int column, Value v)
{
    requireOpen();
    if (!editing())
        throw StoreError(msg::notEditing, StoreError::Code::NotEditing);
    const Column& col = layout_->columns[static_cast<std::size_t>(column)];
    if (col.type == ColumnType::AutoInc)
        throw StoreError(msg::fieldReadOnly(col.name));
    record_.set(column, std::move(v));
    modified_ = true;
    notifier_.fieldChanged(column);
}

void Table::setText(int column, std::string_view text)
{
    requireOpen();
    record_.value(column);  // range check
    if (!editing())
        throw StoreError(msg::notEditing, StoreError::Code::NotEditing);
    setValue(column, valueFromText(layout_->columns[static_cast<std::size_t>(column)], text));
}

void Table::setBool(int column, bool value)
{
    requireOpen();
    record_.value(column);
    const Column& col = layout_->columns[static_cast<std::size_t>(column)];
    if (col.type != ColumnType::Logical)
        throw StoreError(msg::notLogical(col.name));
    setValue(column, std::int64_t(value ? 1 : 0));
}

void Table::clear(int column)
{
    requireOpen();
    record_.value(column);
    setValue(column, Value{});
}

void Table::replaceValues(const std::vector<std::string>& columns, const std::vector<Value>& from,
                          const std::vector<Value>& to)
{
    requireOpen();
    if (from.size() != columns.size() || to.size() != columns.size() || columns.empty())
        throw std::invalid_argument("replaceValues: one old and one new value per column");
    std::vector<int> indexes;
    for (const std::string& c : columns)
        indexes.push_back(fieldIndex(c));
    try {
        Database::Transaction tx(*db_, {reader_->sql().lockForWrite()});
        sql::Statement st(db_->connection(), reader_->sql().replaceValues(indexes));
        int n = 1;
        for (const Value& v : from)
            bindValue(st, n++, v);
        for (const Value& v : to)
            bindValue(st, n++, v);
        st.run();
        tx.commit();
    } catch (const sql::SqlError& e) {
        rethrowWrite(e, layout_->displayName);
    }
}

}  // namespace store
