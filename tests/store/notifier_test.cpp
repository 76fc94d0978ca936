#include <gtest/gtest.h>

#include "fixture.h"
#include "store/notifier.h"

using testing_support::StoreTest;

namespace {

struct Heard : store::TableObserver {
    std::vector<std::string> log;
    store::Notifier* removeOnRecord = nullptr;
    store::TableObserver* toRemove = nullptr;
    void stateChanged(store::Table&) override { log.push_back("state"); }
    void recordChanged(store::Table&) override
    {
        log.push_back("record");
        if (removeOnRecord)
            removeOnRecord->remove(toRemove);
    }
    void fieldChanged(store::Table&, int c) override { log.push_back("field" + std::to_string(c)); }
    void updateRecord(store::Table&) override { log.push_back("update"); }
};

using Log = std::vector<std::string>;

}  // namespace

class NotifierTest : public StoreTest {
protected:
    store::Table table{session_};  // never opened: the notices only name it
    store::Notifier n{table};
};

TEST_F(NotifierTest, SuspendedNoticesAreHeldAndSentOnceOnTheLastResume)
{
    Heard a;
    n.add(&a);
    n.add(&a);  // once only
    n.suspend();
    n.suspend();
    n.recordChanged();
    n.fieldChanged(3);
    n.stateChanged();
    n.updateRecord();  // a post needs what controls hold, suspended or not
    EXPECT_EQ(a.log, Log{"update"});
    n.resume();
    EXPECT_EQ(a.log, Log{"update"});
    EXPECT_TRUE(n.suspended());
    n.resume();
    EXPECT_EQ(a.log, (Log{"update", "state", "record"}));
    n.resume();  // unbalanced: ignored
    EXPECT_FALSE(n.suspended());
    n.fieldChanged(3);
    EXPECT_EQ(a.log.back(), "field3");
}

TEST_F(NotifierTest, AnObserverRemovedWhileNoticesGoOutHearsNoMore)
{
    Heard a, b;
    a.removeOnRecord = &n;
    a.toRemove = &b;
    n.add(&a);
    n.add(&b);
    n.recordChanged();
    EXPECT_EQ(a.log, Log{"record"});
    EXPECT_TRUE(b.log.empty());
    n.remove(&a);
    n.stateChanged();
    EXPECT_EQ(a.log, Log{"record"});
}
