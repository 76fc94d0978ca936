#include <gtest/gtest.h>

#include <string>

#include "store/lru_cache.h"

TEST(LruCache, MakesOnceKeepsRecentDropsOldest)
{
    store::LruCache<std::string, int> cache(2);
    int made = 0;
    auto make = [&] { return ++made; };
    EXPECT_EQ(cache.get("a", make), 1);
    EXPECT_EQ(cache.get("b", make), 2);
    EXPECT_EQ(cache.get("a", make), 1);  // hit: a is now the most recent
    EXPECT_EQ(made, 2);
    EXPECT_EQ(cache.get("c", make), 3);  // drops b, the least recently used
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_NE(cache.find("a"), nullptr);
    EXPECT_EQ(cache.find("b"), nullptr);
    EXPECT_EQ(cache.get("b", make), 4);
    EXPECT_EQ(cache.find("a"), nullptr);
    cache.clear();
    EXPECT_EQ(cache.size(), 0u);
}

TEST(LruCache, ReferencesSurviveOtherHits)
{
    store::LruCache<int, std::string> cache(3);
    std::string& one = cache.get(1, [] { return std::string("one"); });
    cache.get(2, [] { return std::string("two"); });
    cache.get(1, [] { return std::string("again"); });
    EXPECT_EQ(one, "one");
}
