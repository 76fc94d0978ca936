#include "store/known_places.h"

#include <algorithm>

namespace store {

namespace {

bool same(const SqlCondition& a, const SqlCondition& b) { return a.sql == b.sql && a.params == b.params; }

template <class Entry>
void keep(std::vector<Entry>& list, Entry entry, std::size_t most)
{
    list.insert(list.begin(), std::move(entry));
    if (list.size() > most)
        list.pop_back();
}

}  // namespace

std::optional<std::int64_t> KnownPlaces::count(const SqlCondition& where, std::uint64_t version) const
{
    for (const Count& c : counts_)
        if (c.version == version && same(c.where, where))
            return c.n;
    return std::nullopt;
}

std::optional<std::int64_t> KnownPlaces::place(const SqlCondition& where, std::uint64_t version,
                                               const Bookmark& mark) const
{
    for (const Place& p : places_)
        if (p.version == version && p.mark.rowid == mark.rowid && p.mark.key == mark.key && same(p.where, where))
            return p.before;
    return std::nullopt;
}

void KnownPlaces::setCount(const SqlCondition& where, std::uint64_t version, std::int64_t n)
{
    std::erase_if(counts_, [&](const Count& c) { return same(c.where, where); });
    keep(counts_, Count{where, version, n}, kept);
}

void KnownPlaces::setPlace(const SqlCondition& where, std::uint64_t version, const Bookmark& mark, std::int64_t before)
{
    if (!mark.valid)
        return;
    std::erase_if(places_, [&](const Place& p) { return p.version != version || (p.mark.rowid == mark.rowid && same(p.where, where)); });
    keep(places_, Place{where, version, mark, before}, kept);
}

}  // namespace store
