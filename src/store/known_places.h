// Counts and places in key order, kept while the table's version stays the
// same: counting a million rows, or the rows before one of them, costs in
// proportion to them, and a grid asks again after every move and write.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "store/filter.h"
#include "store/record_buffer.h"

namespace store {

class KnownPlaces {
public:
    std::optional<std::int64_t> count(const SqlCondition& where, std::uint64_t version) const;
    // How many rows under the filter come before the record.
    std::optional<std::int64_t> place(const SqlCondition& where, std::uint64_t version, const Bookmark& mark) const;
    void setCount(const SqlCondition& where, std::uint64_t version, std::int64_t n);
    void setPlace(const SqlCondition& where, std::uint64_t version, const Bookmark& mark, std::int64_t before);

private:
    struct Count {
        SqlCondition where;
        std::uint64_t version;
        std::int64_t n;
    };
    struct Place {
        SqlCondition where;
        std::uint64_t version;
        Bookmark mark;
        std::int64_t before;
    };
    // The newest first; a few filters are in use at once (a grid's own and
    // the whole table's, which a search comes back to).
    static constexpr std::size_t kept = 4;
    std::vector<Count> counts_;
    std::vector<Place> places_;
};

}  // namespace store
