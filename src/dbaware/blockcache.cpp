#include "dbaware/blockcache.h"

namespace dbaware {

std::int64_t BlockCache::positionOf(std::int64_t rowid, int blockSize) const
{
    for (const auto& [block, rows] : blocks_)
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].mark.rowid == rowid)
                return block * blockSize + static_cast<std::int64_t>(i);
    return -1;
}

}  // namespace dbaware
