#pragma once
#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>
#include <utility>
#include <vector>

#include "store/table.h"

namespace dbaware {

// The rows a grid has read, in blocks of consecutive positions, keeping the
// blocks used last.
class BlockCache {
public:
    using Block = std::vector<store::Row>;

    explicit BlockCache(std::size_t capacity);

    // The block, marked as used last; nullptr when not held.
    const Block* find(std::int64_t block);
    // The block without marking it; nullptr when not held.
    const Block* peek(std::int64_t block) const;
    // Stores a block, dropping the one used longest ago when full.
    void put(std::int64_t block, Block rows);
    void clear();

    std::size_t size() const { return items_.size(); }
    std::size_t capacity() const { return capacity_; }
    // The position of a record among the held rows, or -1.
    std::int64_t positionOf(std::int64_t rowid, int blockSize) const;

private:
    using Item = std::pair<std::int64_t, Block>;
    std::size_t capacity_;
    std::list<Item> items_;  // used last first
    std::unordered_map<std::int64_t, std::list<Item>::iterator> index_;
};

}  // namespace dbaware
