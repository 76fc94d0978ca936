#include "dbaware/blockcache.h"

namespace dbaware {

BlockCache::BlockCache(std::size_t capacity) : capacity_(capacity ? capacity : 1) {}

const BlockCache::Block* BlockCache::find(std::int64_t block)
{
    auto it = index_.find(block);
    if (it == index_.end())
        return nullptr;
    items_.splice(items_.begin(), items_, it->second);
    return &it->second->second;
}

const BlockCache::Block* BlockCache::peek(std::int64_t block) const
{
    auto it = index_.find(block);
    return it == index_.end() ? nullptr : &it->second->second;
}

void BlockCache::put(std::int64_t block, Block rows)
{
    if (auto it = index_.find(block); it != index_.end()) {
        it->second->second = std::move(rows);
        items_.splice(items_.begin(), items_, it->second);
        return;
    }
    if (items_.size() >= capacity_) {
        index_.erase(items_.back().first);
        items_.pop_back();
    }
    items_.emplace_front(block, std::move(rows));
    index_[block] = items_.begin();
}

void BlockCache::clear()
{
    items_.clear();
    index_.clear();
}

std::int64_t BlockCache::positionOf(std::int64_t rowid, int blockSize) const
{
    for (const auto& [block, rows] : items_)
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].mark.rowid == rowid)
                return block * blockSize + static_cast<std::int64_t>(i);
    return -1;
}

}  // namespace dbaware
