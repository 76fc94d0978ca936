#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "store/lru_cache.h"
#include "store/table.h"

namespace dbaware {

// The rows a grid has read, in blocks of consecutive positions, keeping the
// blocks used last.
class BlockCache {
public:
    using Block = std::vector<store::Row>;

    explicit BlockCache(std::size_t capacity) : blocks_(capacity) {}

    // The block, marked as used last; nullptr when not held.
    const Block* find(std::int64_t block) { return blocks_.use(block); }
    // The block without marking it; nullptr when not held.
    const Block* peek(std::int64_t block) const { return blocks_.find(block); }
    // Stores a block, dropping the one used longest ago when full.
    void put(std::int64_t block, Block rows) { blocks_.put(block, std::move(rows)); }
    void clear() { blocks_.clear(); }

    std::size_t size() const { return blocks_.size(); }
    std::size_t capacity() const { return blocks_.capacity(); }
    // The position of a record among the held rows, or -1.
    std::int64_t positionOf(std::int64_t rowid, int blockSize) const;

private:
    store::LruCache<std::int64_t, Block> blocks_;
};

}  // namespace dbaware
