// A handful of values by key, the least recently used one dropped first:
// the table objects' prepared statements and the grids' blocks of rows.
#pragma once
#include <cstddef>
#include <list>
#include <utility>

namespace store {

// Small on purpose: lookups are linear.
template <class Key, class Value>
class LruCache {
public:
    explicit LruCache(std::size_t capacity) : capacity_(capacity ? capacity : 1) {}

    // The value for `key`, made by `make()` when absent; it becomes the most
    // recently used. The reference stays valid until the entry is dropped.
    template <class Make>
    Value& get(const Key& key, Make&& make)
    {
        if (Value* v = use(key))
            return *v;
        return put(key, make());
    }

    // Stores or replaces the value, as the most recently used.
    Value& put(const Key& key, Value value)
    {
        if (Value* v = use(key)) {
            *v = std::move(value);
            return *v;
        }
        if (entries_.size() >= capacity_)
            entries_.pop_back();
        entries_.emplace_front(key, std::move(value));
        return entries_.front().second;
    }

    // The value, made the most recently used; nullptr when absent.
    Value* use(const Key& key)
    {
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->first == key) {
                entries_.splice(entries_.begin(), entries_, it);
                return &entries_.front().second;
            }
        }
        return nullptr;
    }

    // The value without changing its place; nullptr when absent.
    Value* find(const Key& key)
    {
        for (auto& e : entries_)
            if (e.first == key)
                return &e.second;
        return nullptr;
    }
    const Value* find(const Key& key) const { return const_cast<LruCache*>(this)->find(key); }

    void clear() { entries_.clear(); }
    std::size_t size() const { return entries_.size(); }
    std::size_t capacity() const { return capacity_; }
    // Entries from the most recently used on, as (key, value) pairs.
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

private:
    std::size_t capacity_;
    std::list<std::pair<Key, Value>> entries_;
};

}  // namespace store
