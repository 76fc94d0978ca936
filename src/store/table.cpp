// Table objects: opening, moving, filtering, looking up, returning to marks,
// reading for grids and reading fields. Editing, posting and deleting are in
// table_edit.cpp.
#include "store/table.h"

#include "store/database.h"
#include "store/error.h"
#include "store/keyset_reader.h"
#include "store/session.h"

namespace store {

Table::Table(Session& session) : session_(session) { session_.enroll(this); }

// The shared read of the file ends with any object that closes, so that no
// lock outlives the objects that took it.
Table::~Table()
{
    session_.leave(this);
    if (db_)
        db_->releaseCursors();
}

const TableLayout& Table::layout() const
{
    requireOpen();
    return *layout_;
}

void Table::requireOpen() const
{
    if (state_ == State::Inactive)
        throw StoreError(msg::notOpen, StoreError::Code::NotOpen);
}

Database& Table::database() const
{
    requireOpen();
    return *db_;
}

void Table::open(const std::string& alias, const std::string& tableName)
{
    if (isOpen())
        close();
    auto [db, layout, schema] = session_.findTable(alias, tableName);
    Filter filter = parseFilter(filterText_);
    SqlCondition where = store::whereFor(*layout, filter, 1);
    db_ = std::move(db);
    layout_ = layout;
    tableName_ = tableName;
    filter_ = std::move(filter);
    reader_ = std::make_unique<KeysetReader>(*db_, *layout_, schema, layout_->displayName);
    reader_->setWhere(filtered_ ? std::move(where) : SqlCondition{"1", {}});
    record_.reset(layout_);
    std::optional<Row> row;
    try {
        row = reader_->first();
    } catch (...) {
        reader_.reset();
        db_.reset();
        throw;
    }
    setState(State::Browse);
    show(std::move(row));
    arrive(true, !record_.hasRecord());
}

void Table::close()
{
    if (!isOpen())
        return;
    modified_ = false;
    appending_ = false;
    reader_.reset();
    append_ = sql::Statement();
    appendFrom_.clear();
    db_->releaseCursors();
    db_.reset();
    record_.clear();
    bof_ = eof_ = true;
    setState(State::Inactive);
    notifier_.recordChanged();
}

void Table::show(std::optional<Row> row)
{
    if (row)
        record_.take(std::move(*row));
    else
        record_.clear();
}

void Table::arrive(bool atStart, bool atEnd)
{
    bof_ = atStart;
    eof_ = atEnd;
    notifier_.recordChanged();
    fire(afterScroll);
}

void Table::first()
{
    requireOpen();
    checkBrowseMode();
    show(reader_->first());
    if (record_.hasRecord())
        reader_->notePlace(record_.mark(), 0, reader_->version());
    arrive(true, !record_.hasRecord());
}

void Table::last()
{
    requireOpen();
    checkBrowseMode();
    show(reader_->last());
    if (record_.hasRecord())
        if (auto n = reader_->knownCount())
            reader_->notePlace(record_.mark(), *n - 1, reader_->version());
    arrive(!record_.hasRecord(), true);
}

void Table::next()
{
    requireOpen();
    checkBrowseMode();
    if (!record_.hasRecord()) {
        show(reader_->first());
        arrive(!record_.hasRecord(), !record_.hasRecord());
        return;
    }
    const Bookmark here = record_.mark();
    if (auto row = reader_->after(here)) {
        record_.take(std::move(*row));
        arrive(false, false);
        return;
    }
    // At the end: stay, unless another object deleted this record.
    auto row = reader_->same(here, true);
    show(row ? std::move(row) : reader_->last());
    arrive(!record_.hasRecord(), true);
}

void Table::prior()
{
    requireOpen();
    checkBrowseMode();
    if (!record_.hasRecord()) {
        show(reader_->last());
        arrive(!record_.hasRecord(), !record_.hasRecord());
        return;
    }
    const Bookmark here = record_.mark();
    if (auto row = reader_->before(here)) {
        record_.take(std::move(*row));
        arrive(false, false);
        return;
    }
    auto row = reader_->same(here, true);
    show(row ? std::move(row) : reader_->first());
    arrive(true, !record_.hasRecord());
}

bool Table::isEmpty()
{
    requireOpen();
    return !reader_->any();
}

std::string Table::lockForWrite() const
{
    requireOpen();
    return reader_->sql().lockForWrite();
}

std::int64_t Table::recordCount()
{
    requireOpen();
    return reader_->count();
}

void Table::useWhere(SqlCondition where)
{
    reader_->setWhere(std::move(where));
    first();
}

void Table::setFilter(const std::string& text)
{
    Filter filter = parseFilter(text);
    if (!isOpen() || !filtered_) {
        if (isOpen())
            store::whereFor(*layout_, filter, 1);  // refused before anything changes
        filterText_ = text;
        filter_ = std::move(filter);
        return;
    }
    SqlCondition where = store::whereFor(*layout_, filter, 1);
    checkBrowseMode();
    filterText_ = text;
    filter_ = std::move(filter);
    useWhere(std::move(where));
}

// Switching, even to the state the filter is in, leaves the first row shown:
// Show All and a blank search rely on it.
void Table::setFiltered(bool on)
{
    if (!isOpen()) {
        filtered_ = on;
        return;
    }
    SqlCondition where = on ? store::whereFor(*layout_, filter_, 1) : SqlCondition{"1", {}};
    checkBrowseMode();
    filtered_ = on;
    useWhere(std::move(where));
}

bool Table::findKey(const std::vector<std::string>& keyValues)
{
    requireOpen();
    if (!layout_->uniqueKey)
        throw StoreError(msg::noKeyLookup(layout_->displayName));
    if (keyValues.size() != layout_->keyColumns.size())
        throw StoreError(msg::keyLookupValues(layout_->displayName, layout_->keyColumns.size()));
    checkBrowseMode();
    auto row = reader_->find(keyValues);
    if (!row)
        return false;
    record_.take(std::move(*row));
    arrive(false, false);
    return true;
}

void Table::gotoCurrent(const Table& other)
{
    requireOpen();
    other.requireOpen();
    if (other.layout_ != layout_ || other.db_ != db_)
        throw StoreError(msg::otherTable);
    if (!other.hasCurrentRecord() || other.state_ == State::Insert)
        throw StoreError(msg::emptyDataset, StoreError::Code::EmptyDataset);
    checkBrowseMode();
    auto row = reader_->same(other.bookmark(), true);
    if (!row)
        throw StoreError(msg::recordNotFound, StoreError::Code::RecordNotFound);
    record_.take(std::move(*row));
    arrive(false, false);
}

void Table::refresh()
{
    requireOpen();
    checkBrowseMode();
    // The same record if it is still there, else its neighbour in key order.
    show(record_.hasRecord() ? reader_->near(record_.mark()) : reader_->first());
    if (!record_.hasRecord())
        bof_ = eof_ = true;
    else if (eof_ && bof_)
        eof_ = false;
    notifier_.recordChanged();
}

Bookmark Table::bookmark() const { return record_.mark(); }

void Table::gotoBookmark(const Bookmark& mark)
{
    requireOpen();
    if (!mark.valid)
        throw StoreError(msg::recordNotFound, StoreError::Code::RecordNotFound);
    checkBrowseMode();
    auto row = reader_->same(mark, true);
    if (!row)
        throw StoreError(msg::recordKeyDeleted, StoreError::Code::RecordKeyDeleted);
    record_.take(std::move(*row));
    arrive(false, false);
}

std::vector<Row> Table::readRows(const Bookmark* from, bool inclusive, int count, bool backwards)
{
    requireOpen();
    return reader_->read(from, inclusive, count, backwards);
}

std::int64_t Table::rowsBefore(const Bookmark& mark)
{
    requireOpen();
    return reader_->rowsBefore(mark);
}

Bookmark Table::rowAt(std::int64_t position)
{
    requireOpen();
    return reader_->rowAt(position);
}

std::int64_t Table::dataVersion() const
{
    requireOpen();
    return static_cast<std::int64_t>(reader_->version());
}

std::optional<std::int64_t> Table::knownRecordCount()
{
    requireOpen();
    return reader_->knownCount();
}

std::string Table::fileName() const
{
    requireOpen();
    return db_->connection().fileName(reader_->schema());
}

void Table::adoptCount(std::int64_t rows, std::uint32_t changeCounter)
{
    requireOpen();
    if (db_->connection().autocommit())
        reader_->adoptCount(rows, changeCounter, fileName());
}

void Table::notePosition(const Bookmark& mark, std::int64_t rowsBefore, std::int64_t version)
{
    requireOpen();
    reader_->notePlace(mark, rowsBefore, static_cast<std::uint64_t>(version));
}

int Table::fieldIndex(std::string_view name) const
{
    requireOpen();
    const int i = layout_->columnIndex(name);
    if (i < 0)
        throw StoreError(msg::fieldNotFound(name));
    return i;
}

const Value& Table::value(int column) const
{
    requireOpen();
    return record_.value(column);
}

std::string Table::text(int column) const
{
    requireOpen();
    return record_.text(column);
}

bool Table::asBool(int column) const
{
    requireOpen();
    return record_.asBool(column);
}

bool Table::isNull(int column) const { return store::isEmpty(value(column)); }

void Table::disableControls() { notifier_.suspend(); }

void Table::enableControls() { notifier_.resume(); }

void Table::addObserver(TableObserver* observer) { notifier_.add(observer); }

void Table::removeObserver(TableObserver* observer) { notifier_.remove(observer); }

void Table::setState(State s)
{
    if (s == state_)
        return;
    state_ = s;
    notifier_.stateChanged();
}

void Table::fire(const std::function<void(Table&)>& handler)
{
    if (handler)
        handler(*this);
}

}  // namespace store
