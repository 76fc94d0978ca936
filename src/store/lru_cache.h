#pragma once
#include <cstddef>
#include <list>
#include <utility>

namespace store {

// A handful of values by key, the least recently used one dropped first.
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
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->first == key) {
                entries_.splice(entries_.begin(), entries_, it);
                return entries_.front().second;
            }
        }
        if (entries_.size() >= capacity_)
            entries_.pop_back();
        entries_.emplace_front(key, make());
        return entries_.front().second;
    }

    Value* find(const Key& key)
    {
        for (auto& e : entries_)
            if (e.first == key)
                return &e.second;
        return nullptr;
    }

    void clear() { entries_.clear(); }
    std::size_t size() const { return entries_.size(); }

private:
    std::size_t capacity_;
    std::list<std::pair<Key, Value>> entries_;
};

}  // namespace store
