#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(LruCache, PutReplacesAndUseMarksWhileFindDoesNot)
{
    store::LruCache<int, std::string> cache(2);
    cache.put(1, "one");
    cache.put(2, "two");
    cache.put(1, "uno");  // replaced, and now the most recent
    EXPECT_EQ(cache.size(), 2u);
    cache.put(3, "three");  // drops 2
    EXPECT_EQ(cache.find(2), nullptr);
    ASSERT_NE(cache.find(1), nullptr);
    EXPECT_EQ(*cache.find(1), "uno");
    cache.find(1);          // no use: 1 stays the older
    cache.put(4, "four");   // drops 1
    EXPECT_EQ(cache.find(1), nullptr);
    ASSERT_NE(cache.use(3), nullptr);  // use: 3 becomes the most recent
    cache.put(5, "five");  // drops 4
    EXPECT_NE(cache.find(3), nullptr);
    EXPECT_EQ(cache.find(4), nullptr);
    std::vector<int> order;
    for (const auto& [k, v] : cache)
        order.push_back(k);
    EXPECT_EQ(order, (std::vector<int>{5, 3}));
}
