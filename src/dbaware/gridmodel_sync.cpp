// How the grid's rows follow its table: after every move, post, cancel or
// filter change the rows are counted or read afresh, the new row placed, and
// the view told what moved in the fewest signals.
#include "dbaware/gridmodel.h"

#include <algorithm>

namespace dbaware {

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

void GridModel::forgetRows()
{
    active_ = false;
    storedCount_ = 0;
    countKnown_ = true;
    insertRow_ = currentRow_ = -1;
    cache_.clear();
}

void GridModel::sync(bool recordShown)
{
    if (changing_) {
        syncAgain_ = true;
        againShown_ = againShown_ || recordShown;
        return;
    }
    changing_ = true;
    bool tell = false;
    try {
        do {
            syncAgain_ = false;
            tell = syncOnce(recordShown) || tell;
            recordShown = againShown_;
            againShown_ = false;
        } while (syncAgain_);
    } catch (...) {
        changing_ = syncAgain_ = againShown_ = false;
        throw;
    }
    changing_ = false;
    if (tell)
        emit currentRowChanged(currentRow_);
}

bool GridModel::syncOnce(bool recordShown)
{
    if (!source_ || !source_->table().isOpen())
        return syncClosed();
    store::Table& t = source_->table();
    if (t.state() != store::State::Insert && !inAppend_) {
        appending_ = false;
        touched_ = false;
    }
    if (deferred_ && !inAppend_) {
        behind_ = true;
        return false;
    }
    behind_ = false;
    const Version v = version();
    const bool layoutChanged = !active_ || v.layout != version_.layout;
    const bool stale = layoutChanged || !(v == version_);
    if (stale || cacheVersion_ != v.changes)
        cache_.clear();
    cacheVersion_ = v.changes;

    const Plan p = plan(stale);
    const int oldCurrent = currentRow_;
    version_ = v;
    // Thousands of rows gone (a search over a long list) cost the view's
    // row headers more one by one than a reset costs measuring the titles.
    const bool mostGone = storedCount_ - p.stored > resetBeyond;
    if (layoutChanged || mostGone) {
        beginResetModel();
        active_ = true;
        if (layoutChanged)
            resolveColumns();
        storedCount_ = p.stored;
        countKnown_ = p.known;
        lastShown_ = p.lastShown;
        insertRow_ = p.insertRow;
        currentRow_ = p.currentRow;
        endResetModel();
    } else {
        moveRows(p);
        announce(stale, recordShown, oldCurrent);
    }
    return true;
}

bool GridModel::syncClosed()
{
    if (!active_ && !storedCount_ && insertRow_ < 0)
        return false;
    beginResetModel();
    forgetRows();
    resolveColumns();
    endResetModel();
    return true;
}

GridModel::Plan GridModel::plan(bool stale)
{
    store::Table& t = source_->table();
    Plan p{storedCount_, countKnown_, lastShown_, -1, -1};
    if (stale) {
        // The first block: all the rows when they are few; more are read or
        // counted only when the grid needs them.
        BlockCache::Block first = t.readRows(nullptr, false, blockSize, false);
        rowsRead_ += static_cast<std::int64_t>(first.size());
        p.stored = static_cast<std::int64_t>(first.size());
        p.known = p.stored < blockSize;
        p.lastShown = first.empty() ? store::Bookmark{} : first.back().mark;
        cache_.put(0, std::move(first));
    }
    auto countEvery = [&] {
        if (!p.known) {
            p.stored = t.recordCount();
            p.known = true;
        }
    };
    // A count the table knows without counting (kept since it last changed,
    // or worked out past a delete) is taken at once.
    if (!p.known)
        if (const auto n = t.knownRecordCount()) {
            p.stored = *n;
            p.known = true;
        }

    if (t.state() == store::State::Insert) {
        if (appending_ || t.insertAtEnd()) {
            countEvery();
            p.insertRow = static_cast<int>(p.stored);
        } else if (insertRow_ >= 0) {
            p.insertRow = static_cast<int>(std::min<std::int64_t>(insertRow_, p.stored));
        } else {
            p.insertRow = static_cast<int>(std::clamp<std::int64_t>(currentRow_, 0, p.stored));
        }
        p.currentRow = p.insertRow;
    } else if (t.hasCurrentRecord()) {
        const store::Bookmark mark = t.bookmark();
        std::int64_t pos = cache_.positionOf(mark.rowid, blockSize);
        if (pos < 0)
            pos = t.rowsBefore(mark);
        if (pos >= p.stored)
            countEvery();
        p.currentRow = static_cast<int>(pos);
    }
    return p;
}

void GridModel::moveRows(const Plan& p)
{
    // The current row first: a view reading rows while they come and go
    // finds the block around it read from the table's current record.
    currentRow_ = p.currentRow;
    countKnown_ = p.known;
    lastShown_ = p.lastShown;
    auto removeInsertRow = [this] {
        if (insertRow_ >= 0) {
            beginRemoveRows({}, insertRow_, insertRow_);
            insertRow_ = -1;
            endRemoveRows();
        }
    };
    if (p.stored != storedCount_) {
        // Only the rows changed: the column headers stay as measured, where
        // a reset would have the view measure every title again.
        removeInsertRow();
        if (p.stored < storedCount_) {
            beginRemoveRows({}, static_cast<int>(p.stored), static_cast<int>(storedCount_ - 1));
            storedCount_ = p.stored;
            endRemoveRows();
        } else {
            beginInsertRows({}, static_cast<int>(storedCount_), static_cast<int>(p.stored - 1));
            storedCount_ = p.stored;
            endInsertRows();
        }
    }
    if (p.insertRow != insertRow_) {
        removeInsertRow();
        if (p.insertRow >= 0) {
            beginInsertRows({}, p.insertRow, p.insertRow);
            insertRow_ = p.insertRow;
            endInsertRows();
        }
    }
}

void GridModel::announce(bool stale, bool recordShown, int oldCurrent)
{
    const int last = columnCount() - 1;
    if (stale) {
        if (rowCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, last));
    } else if (recordShown || oldCurrent != currentRow_) {
        for (int r : {oldCurrent, currentRow_})
            if (r >= 0 && r < rowCount())
                emit dataChanged(index(r, 0), index(r, last));
    }
    for (int r : {oldCurrent, currentRow_})
        if (r >= 0 && r < rowCount())
            emit headerDataChanged(Qt::Vertical, r, r);
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

}  // namespace dbaware
