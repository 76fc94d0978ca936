// The grid's rows as they are read: in blocks, from the current record or a
// neighbouring block's edge where one is known, by counting only when far
// from every known row; and more of them as the view scrolls on.
#include "dbaware/gridmodel.h"

#include <algorithm>
#include <cstdlib>

namespace dbaware {

bool GridModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && active_ && !countKnown_;
}

void GridModel::fetchMore(const QModelIndex& parent)
{
    // Never while rows come and go: a view asks from inside their signals.
    if (!canFetchMore(parent) || changing_)
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
    changing_ = true;
    beginInsertRows({}, static_cast<int>(storedCount_), static_cast<int>(storedCount_ + n - 1));
    lastShown_ = rows.back().mark;
    cache_.put(storedCount_ / blockSize, std::move(rows));
    storedCount_ += n;
    endInsertRows();
    changing_ = false;
    if (syncAgain_)
        sync(againShown_);
}

void GridModel::countAll()
{
    if (!active_ || countKnown_ || changing_)
        return;
    const std::int64_t count = source_->table().recordCount();
    changing_ = true;
    beginResetModel();
    storedCount_ = count;
    countKnown_ = true;
    // The rows read stay: they are dropped only when the table changes, and
    // without them the current record would be placed by counting the rows
    // before it, which under a wide filter walks every match.
    endResetModel();
    changing_ = false;
    sync(false);
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
    if (!done && countKnown_ && insertRow_ < 0 && first + blockSize >= storedCount_) {
        // The last block (Ctrl+End) is read back from the end, not counted to.
        const auto n = static_cast<int>(storedCount_ - first);
        rows = t.readRows(nullptr, false, n, true);
        std::reverse(rows.begin(), rows.end());
        rowsRead_ += static_cast<std::int64_t>(rows.size());
        done = static_cast<int>(rows.size()) == n;
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

void GridModel::notePlace(int row, const store::Bookmark& mark)
{
    if (active_ && source_ && (insertRow_ < 0 || row < insertRow_))
        source_->table().notePosition(mark, row, cacheVersion_);
}

}  // namespace dbaware
