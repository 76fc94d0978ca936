#include "dbaware/gridmodel.h"


#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "store/database.h"

namespace dbaware {

namespace {

constexpr std::size_t memoCellBytes = 1000;

QString cellText(const store::Value& v, store::ColumnType type)
{
    if (std::holds_alternative<std::int64_t>(v)) {
        const std::int64_t i = std::get<std::int64_t>(v);
        if (type == store::ColumnType::Logical)
            return i ? QStringLiteral("True") : QStringLiteral("False");
        return QString::number(i);
    }
    if (std::holds_alternative<std::string>(v)) {
        std::string_view s = std::get<std::string>(v);
        if (type == store::ColumnType::Memo) {
            // One line of a memo in a cell, and no more of it than a cell can
            // show: a memo written by another program may be huge.
            s = s.substr(0, s.find_first_of("\r\n"));
            if (s.size() > memoCellBytes) {
                std::size_t cut = memoCellBytes;
                while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80)
                    --cut;  // not inside a character
                s = s.substr(0, cut);
            }
        }
        return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    }
    return {};
}

}  // namespace

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {}

GridModel::~GridModel() = default;

void GridModel::setDataSource(DataSource* source)
{
    disconnect(onGone_);
    disconnect(onRecord_);
    disconnect(onState_);
    disconnect(onField_);
    beginResetModel();
    source_ = source;
    active_ = false;
    storedCount_ = 0;
    countKnown_ = true;
    insertRow_ = currentRow_ = -1;
    cache_.clear();
    endResetModel();
    if (source_) {
        // A data source going first leaves an empty grid behind.
        onGone_ = connect(source_, &QObject::destroyed, this, [this] {
            beginResetModel();
            active_ = false;
            storedCount_ = 0;
            countKnown_ = true;
            insertRow_ = currentRow_ = -1;
            cache_.clear();
            endResetModel();
        });
        onRecord_ = connect(source_, &DataSource::recordChanged, this, [this] { sync(true); });
        onState_ = connect(source_, &DataSource::stateChanged, this, [this] { sync(false); });
        onField_ = connect(source_, &DataSource::fieldChanged, this, &GridModel::onField);
    }
    sync(true);
}

void GridModel::setColumns(const QList<GridColumn>& columns)
{
    beginResetModel();
    columns_ = columns;
    version_.layout = nullptr;  // resolve again
    resolveColumns();
    endResetModel();
}

void GridModel::resolveColumns()
{
    shown_.clear();
    fields_.clear();
    if (!source_ || !source_->table().isOpen()) {
        shown_ = columns_;
        fields_.assign(static_cast<std::size_t>(shown_.size()), -1);
        return;
    }
    const store::TableLayout& layout = source_->table().layout();
    if (columns_.isEmpty()) {
        for (const store::Column& c : layout.columns)
            shown_.append({QString::fromStdString(c.name), QString(), -1});
    } else {
        shown_ = columns_;
    }
    for (const GridColumn& c : shown_)
        fields_.push_back(layout.columnIndex(c.fieldName.toStdString()));
}

int GridModel::fieldOf(int gridColumn) const
{
    if (gridColumn < 0 || static_cast<std::size_t>(gridColumn) >= fields_.size())
        return -1;
    return fields_[static_cast<std::size_t>(gridColumn)];
}

const store::Column* GridModel::fieldInfo(int gridColumn) const
{
    const int f = fieldOf(gridColumn);
    if (f < 0 || !active_ || !source_->table().isOpen())
        return nullptr;
    return &source_->table().layout().columns[static_cast<std::size_t>(f)];
}

QString GridModel::title(int gridColumn) const
{
    if (gridColumn < 0 || gridColumn >= shown_.size())
        return {};
    const GridColumn& c = shown_[gridColumn];
    return c.title.isEmpty() ? c.fieldName : c.title;
}

GridModel::Version GridModel::version() const
{
    const store::Table& t = source_->table();
    Version v;
    v.layout = &t.layout();
    // Every write through any table object on this database counts here, so
    // a post or delete anywhere makes the held rows stale, a plain move not.
    v.changes = t.dataVersion();
    v.filtered = t.filtered();
    // A filter's text selects nothing while it is off.
    if (v.filtered)
        v.filter = t.filter();
    return v;
}

void GridModel::sync(bool recordShown)
{
    const bool open = source_ && source_->table().isOpen();
    if (!open) {
        if (active_ || storedCount_ || insertRow_ >= 0) {
            beginResetModel();
            active_ = false;
            storedCount_ = 0;
            countKnown_ = true;
            insertRow_ = currentRow_ = -1;
            cache_.clear();
            resolveColumns();
            endResetModel();
            emit currentRowChanged(-1);
        }
        return;
    }
    store::Table& t = source_->table();
    const bool inserting = t.state() == store::State::Insert;
    if (!inserting && !inAppend_) {
        appending_ = false;
        touched_ = false;
    }
    if (deferred_ && !inAppend_) {
        behind_ = true;
        return;
    }
    behind_ = false;
    const Version v = version();
    const bool layoutChanged = !active_ || v.layout != version_.layout;
    const bool stale = layoutChanged || !(v == version_);
    if (stale || cacheVersion_ != v.changes)
        cache_.clear();
    cacheVersion_ = v.changes;

    std::int64_t stored = storedCount_;
    bool known = countKnown_;
    store::Bookmark lastShown = lastShown_;
    if (stale) {
        // The first block: all the rows when they are few; more are read or
        // counted only when the grid needs them.
        BlockCache::Block first = t.readRows(nullptr, false, blockSize, false);
        rowsRead_ += static_cast<std::int64_t>(first.size());
        stored = static_cast<std::int64_t>(first.size());
        known = stored < blockSize;
        lastShown = first.empty() ? store::Bookmark{} : first.back().mark;
        cache_.put(0, std::move(first));
    }
    auto countEvery = [&] {
        if (!known) {
            stored = t.recordCount();
            known = true;
        }
    };

    int newInsert = -1;
    if (inserting) {
        if (appending_ || t.insertAtEnd()) {
            countEvery();
            newInsert = static_cast<int>(stored);
        } else if (insertRow_ >= 0) {
            newInsert = static_cast<int>(std::min<std::int64_t>(insertRow_, stored));
        } else {
            newInsert = static_cast<int>(std::clamp<std::int64_t>(currentRow_, 0, stored));
        }
    }

    int newCurrent = -1;
    if (newInsert >= 0) {
        newCurrent = newInsert;
    } else if (t.hasCurrentRecord()) {
        const store::Bookmark mark = t.bookmark();
        std::int64_t pos = cache_.positionOf(mark.rowid, blockSize);
        if (pos < 0)
            pos = t.rowsBefore(mark);
        if (pos >= stored)
            countEvery();
        newCurrent = static_cast<int>(pos);
    }

    const int oldCurrent = currentRow_;
    version_ = v;
    // Thousands of rows gone (a search over a long list) cost the view's
    // row headers more one by one than a reset costs measuring the titles.
    const bool mostGone = storedCount_ - stored > resetBeyond;
    if (layoutChanged || mostGone) {
        beginResetModel();
        active_ = true;
        if (layoutChanged)
            resolveColumns();
        storedCount_ = stored;
        countKnown_ = known;
        lastShown_ = lastShown;
        insertRow_ = newInsert;
        currentRow_ = newCurrent;
        endResetModel();
    } else {
        countKnown_ = known;
        lastShown_ = lastShown;
        if (stored != storedCount_) {
            // Only the rows changed: the column headers stay as measured,
            // where a reset would have the view measure every title again.
            if (insertRow_ >= 0) {
                beginRemoveRows({}, insertRow_, insertRow_);
                insertRow_ = -1;
                endRemoveRows();
            }
            if (stored < storedCount_) {
                beginRemoveRows({}, static_cast<int>(stored), static_cast<int>(storedCount_ - 1));
                storedCount_ = stored;
                endRemoveRows();
            } else {
                beginInsertRows({}, static_cast<int>(storedCount_), static_cast<int>(stored - 1));
                storedCount_ = stored;
                endInsertRows();
            }
        }
        if (newInsert != insertRow_) {
            if (insertRow_ >= 0) {
                beginRemoveRows({}, insertRow_, insertRow_);
                insertRow_ = -1;
                endRemoveRows();
            }
            if (newInsert >= 0) {
                beginInsertRows({}, newInsert, newInsert);
                insertRow_ = newInsert;
                endInsertRows();
            }
        }
        currentRow_ = newCurrent;
        const int last = columnCount() - 1;
        if (stale) {
            if (rowCount() > 0)
                emit dataChanged(index(0, 0), index(rowCount() - 1, last));
        } else if (recordShown || oldCurrent != newCurrent) {
            for (int r : {oldCurrent, newCurrent})
                if (r >= 0 && r < rowCount())
                    emit dataChanged(index(r, 0), index(r, last));
        }
        for (int r : {oldCurrent, newCurrent})
            if (r >= 0 && r < rowCount())
                emit headerDataChanged(Qt::Vertical, r, r);
    }
    emit currentRowChanged(currentRow_);
}

void GridModel::setDeferred(bool on)
{
    deferred_ = on;
    if (!on)
        catchUp();
}

void GridModel::catchUp()
{
    if (!behind_)
        return;
    const bool was = deferred_;
    deferred_ = false;
    try {
        sync(true);
    } catch (...) {
        deferred_ = was;
        throw;
    }
    deferred_ = was;
}

void GridModel::onField(int column)
{
    if (!active_)
        return;
    if (source_->table().state() == store::State::Insert && !inAppend_)
        touched_ = true;
    if (deferred_)
        return;  // the row is read afresh when the grid catches up
    if (currentRow_ < 0 || currentRow_ >= rowCount())
        return;
    for (int c = 0; c < columnCount(); ++c)
        if (fieldOf(c) == column)
            emit dataChanged(index(currentRow_, c), index(currentRow_, c));
}

void GridModel::append()
{
    if (!active_)
        return;
    inAppend_ = true;
    appending_ = true;
    touched_ = false;
    try {
        source_->table().append();
    } catch (...) {
        inAppend_ = false;
        sync(false);
        throw;
    }
    inAppend_ = false;
}

bool GridModel::insertUntouched() const
{
    if (!active_ || source_->table().state() != store::State::Insert)
        return false;
    return appending_ ? !touched_ : !source_->table().modified();
}

int GridModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !active_)
        return 0;
    return static_cast<int>(storedCount_) + (insertRow_ >= 0 ? 1 : 0);
}

bool GridModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && active_ && !countKnown_;
}

void GridModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    store::Table& t = source_->table();
    if (t.dataVersion() != cacheVersion_ || insertRow_ >= 0) {
        // What was shown is stale, or a new row stands among them.
        countAll();
        return;
    }
    BlockCache::Block rows;
    try {
        rows = t.readRows(&lastShown_, false, blockSize, false);
    } catch (...) {
        countKnown_ = true;  // the view asks again at every scroll otherwise
        throw;
    }
    rowsRead_ += static_cast<std::int64_t>(rows.size());
    const auto n = static_cast<std::int64_t>(rows.size());
    if (n < blockSize)
        countKnown_ = true;
    if (n == 0)
        return;
    beginInsertRows({}, static_cast<int>(storedCount_), static_cast<int>(storedCount_ + n - 1));
    lastShown_ = rows.back().mark;
    cache_.put(storedCount_ / blockSize, std::move(rows));
    storedCount_ += n;
    endInsertRows();
}

void GridModel::countAll()
{
    if (!active_ || countKnown_)
        return;
    beginResetModel();
    storedCount_ = source_->table().recordCount();
    countKnown_ = true;
    // The rows read stay: they are dropped only when the table changes, and
    // without them the current record would be placed by counting the rows
    // before it, which under a wide filter walks every match.
    endResetModel();
    sync(false);
}

int GridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(fields_.size());
}

const BlockCache::Block* GridModel::loadBlock(std::int64_t block) const
{
    store::Table& t = source_->table();
    const std::int64_t first = block * blockSize;
    BlockCache::Block rows;
    bool done = false;
    // From the current record, when it lies in this block.
    if (currentRow_ >= 0 && insertRow_ < 0 && t.hasCurrentRecord() && currentRow_ >= first &&
        currentRow_ < first + blockSize) {
        const store::Bookmark cur = t.bookmark();
        const int before = static_cast<int>(currentRow_ - first);
        rows = t.readRows(&cur, false, before, true);
        std::reverse(rows.begin(), rows.end());
        if (static_cast<int>(rows.size()) == before) {
            auto after = t.readRows(&cur, true, blockSize - before, false);
            rows.insert(rows.end(), std::make_move_iterator(after.begin()), std::make_move_iterator(after.end()));
            done = true;
        }
        rowsRead_ += static_cast<std::int64_t>(rows.size());
    }
    if (!done && block == 0) {
        rows = t.readRows(nullptr, false, blockSize, false);
        rowsRead_ += static_cast<std::int64_t>(rows.size());
        done = true;
    }
    if (!done && currentRow_ >= 0 && insertRow_ < 0 && t.hasCurrentRecord()) {
        // A block near the current record's (the rows a view shows above or
        // below it) is read on from there, block by block, not by counting.
        const std::int64_t own = currentRow_ / blockSize;
        const std::int64_t toward = block < own ? block + 1 : block - 1;
        if (block != own && std::abs(block - own) <= nearBlocks && !cache_.peek(toward))
            loadBlock(toward);
    }
    if (!done) {
        if (const auto* prev = cache_.peek(block - 1); prev && prev->size() == blockSize) {
            rows = t.readRows(&prev->back().mark, false, blockSize, false);
            rowsRead_ += static_cast<std::int64_t>(rows.size());
            done = true;
        } else if (const auto* next = cache_.peek(block + 1); next && !next->empty()) {
            rows = t.readRows(&next->front().mark, false, blockSize, true);
            std::reverse(rows.begin(), rows.end());
            rowsRead_ += static_cast<std::int64_t>(rows.size());
            done = rows.size() == blockSize;
        }
    }
    if (!done) {
        // Far from every row known: count the way there.
        ++farJumps_;
        const store::Bookmark mark = t.rowAt(first);
        rows = mark.valid ? t.readRows(&mark, true, blockSize, false) : BlockCache::Block{};
        rowsRead_ += static_cast<std::int64_t>(rows.size());
    }
    cache_.put(block, std::move(rows));
    return cache_.peek(block);
}

const store::Row* GridModel::storedRow(std::int64_t position) const
{
    if (position < 0 || position >= storedCount_)
        return nullptr;
    const std::int64_t now = source_->table().dataVersion();
    if (now != cacheVersion_) {
        cache_.clear();
        cacheVersion_ = now;
        if (!recountQueued_) {
            recountQueued_ = true;
            auto* self = const_cast<GridModel*>(this);
            QMetaObject::invokeMethod(
                self,
                [self] {
                    self->recountQueued_ = false;
                    self->sync(false);
                },
                Qt::QueuedConnection);
        }
    }
    const std::int64_t block = position / blockSize;
    const BlockCache::Block* rows = cache_.find(block);
    if (!rows)
        rows = loadBlock(block);
    const auto i = static_cast<std::size_t>(position % blockSize);
    return rows && i < rows->size() ? &(*rows)[i] : nullptr;
}

bool GridModel::showsTableCopy(int row) const
{
    const store::Table& t = source_->table();
    if (row == insertRow_)
        return t.state() == store::State::Insert;
    if (row != currentRow_ || !t.hasCurrentRecord())
        return false;
    // Only while the row really is the current record (not while the
    // table's notifications are held back).
    const store::Row* r = storedRow(positionOfRow(row));
    return r && r->mark.rowid == t.bookmark().rowid;
}

store::Bookmark GridModel::bookmarkAt(int row) const
{
    if (!active_ || row < 0 || row == insertRow_)
        return {};
    try {
        const store::Row* r = storedRow(positionOfRow(row));
        return r ? r->mark : store::Bookmark{};
    } catch (const std::exception&) {
        return {};
    }
}

QVariant GridModel::data(const QModelIndex& index, int role) const
{
    if (!active_ || !index.isValid())
        return {};
    const int field = fieldOf(index.column());
    const store::Column* info = fieldInfo(index.column());
    if (!info)
        return {};
    const store::Column& col = *info;
    if (role == Qt::TextAlignmentRole) {
        const bool number = col.type == store::ColumnType::Short || col.type == store::ColumnType::AutoInc;
        return QVariant::fromValue(Qt::Alignment(number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    // Painting must never end in an exception; an unreadable row shows blank.
    try {
        if (showsTableCopy(index.row()))
            return cellText(source_->table().value(field), col.type);
        const store::Row* r = storedRow(positionOfRow(index.row()));
        if (!r)
            return {};
        return cellText(r->values[static_cast<std::size_t>(field)], col.type);
    } catch (const std::exception&) {
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (role == Qt::DisplayRole)
            return title(section);
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role == IndicatorRole) {
        if (!active_ || section != currentRow_)
            return int(NoIndicator);
        switch (source_->table().state()) {
        case store::State::Insert: return int(Inserting);
        case store::State::Edit: return int(Editing);
        default: return int(Current);
        }
    }
    if (role == Qt::DisplayRole)
        return QString();
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const store::Column* c = fieldInfo(index.column());
    if (!readOnly_ && c && c->type != store::ColumnType::Memo && c->type != store::ColumnType::AutoInc)
        f |= Qt::ItemIsEditable;
    return f;
}

void GridModel::writeCell(const QModelIndex& index, const QString& text)
{
    if (!active_ || index.row() != currentRow_)
        return;
    const int field = fieldOf(index.column());
    if (field < 0)
        return;
    store::Table& t = source_->table();
    if (!t.editing() && !source_->edit())
        return;
    t.setText(field, text.toStdString());
}

}  // namespace dbaware
