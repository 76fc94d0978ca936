// The crash harness's judgement on its own: which states a kill during each
// operation may leave. A random run finds a half-done import only when a
// kill happens to land inside it; these cases show the checks refuse such
// states every time.
#include "crash/model.h"

#include <gtest/gtest.h>

using namespace crash;

namespace {

// Two characters in the campaign, 1 with two provinces; character 3 with one
// province waits in the transfer tables.
State sample()
{
    State s;
    for (const Op& op : {Op{Kind::PostCharacter, 1, 0}, Op{Kind::PostProvince, 1, 0}, Op{Kind::PostProvince, 1, 1},
                         Op{Kind::PostCharacter, 2, 0}})
        s = apply(s, op);
    s.transfer.chars[keyOf(3)] = charValues(3, 0);
    s.transfer.provs.insert(provValues(3, 0));
    return s;
}

const Op importOp{Kind::Import, 0, 0};

}  // namespace

TEST(CrashModel, NamesCarryQuotesAndAsterisksAndComeBackToTheirNumber)
{
    bool quote = false, star = false;
    for (int id = 0; id < 40; ++id) {
        const Key k = keyOf(id);
        EXPECT_EQ(idOf(k), id);
        EXPECT_LE(k.second.size(), 30u);
        quote = quote || k.first.find('\'') != std::string::npos || k.second.find('\'') != std::string::npos;
        star = star || k.first.find('*') != std::string::npos;
    }
    EXPECT_TRUE(quote && star);
    EXPECT_EQ(idOf({"Test", "Char 5"}), -1);  // 5 is D'Arc 5 of O'Brien
    EXPECT_GT(charValues(7, 3).vassals.size() + charValues(8, 1).vassals.size() + charValues(9, 2).vassals.size(), 240u);
}

TEST(CrashModel, ImportIsAllOrNothing)
{
    const State before = sample();
    ASSERT_FALSE(mustFail(before, importOp));
    const State after = apply(before, importOp);
    EXPECT_EQ(after.campaign.chars.count(keyOf(3)), 1u);
    EXPECT_TRUE(after.transfer.chars.empty() && after.transfer.provs.empty());
    EXPECT_TRUE(allowedInFlight(before, importOp, before, false));
    EXPECT_TRUE(allowedInFlight(before, importOp, after, false));

    // Copied but not emptied: the next import would copy it twice.
    State copiedOnly = after;
    copiedOnly.transfer = before.transfer;
    EXPECT_FALSE(allowedInFlight(before, importOp, copiedOnly, false));
    // The character without the provinces it was imported with.
    State noProvinces = after;
    noProvinces.campaign.provs.erase(provValues(3, 0));
    EXPECT_FALSE(allowedInFlight(before, importOp, noProvinces, false));
    // Emptied without the copy.
    State emptiedOnly = before;
    emptiedOnly.transfer = Side{};
    EXPECT_FALSE(allowedInFlight(before, importOp, emptiedOnly, false));
    EXPECT_NE(describeDifference(before, copiedOnly), "");
}

TEST(CrashModel, ARefusedImportChangesNothing)
{
    State before = sample();
    before.transfer.chars[keyOf(2)] = charValues(2, 0);  // already in the campaign
    ASSERT_TRUE(mustFail(before, importOp));
    EXPECT_TRUE(allowedInFlight(before, importOp, before, false));
    EXPECT_FALSE(allowedInFlight(before, importOp, apply(before, importOp), false));
}

TEST(CrashModel, PostsAndEditsAreThereOrNot)
{
    const State before = sample();
    const Op edit{Kind::Edit, 1, 9};
    const State after = apply(before, edit);
    EXPECT_EQ(after.campaign.chars.at(keyOf(1)), charValues(1, 9));
    EXPECT_TRUE(allowedInFlight(before, edit, after, true));
    State other = after;
    other.campaign.chars[keyOf(1)].gold += 1;
    EXPECT_FALSE(allowedInFlight(before, edit, other, false));

    const Op post{Kind::PostCharacter, 1, 0};
    EXPECT_TRUE(mustFail(before, post));  // the key is taken
    // An acknowledged post that is missing is a difference.
    const State posted = apply(before, Op{Kind::PostProvince, 2, 0});
    EXPECT_NE(describeDifference(posted, before).find("missing"), std::string::npos);
}

TEST(CrashModel, ADeleteMayStopBetweenProvincesButNeverLeavesThemBehind)
{
    const State before = sample();
    const Op del{Kind::Delete, 1, 0};
    const State after = apply(before, del);
    EXPECT_EQ(after.campaign.chars.count(keyOf(1)), 0u);
    EXPECT_EQ(after.campaign.provs.size(), 0u);

    State oneGone = before;
    oneGone.campaign.provs.erase(oneGone.campaign.provs.begin());
    EXPECT_TRUE(allowedInFlight(before, del, oneGone, false));
    EXPECT_TRUE(partialDelete(before, del, oneGone));
    EXPECT_FALSE(allowedInFlight(before, del, oneGone, true));  // in one transaction: never

    // The character gone, a province of it left.
    State leftBehind = after;
    leftBehind.campaign.provs.insert(provValues(1, 1));
    EXPECT_FALSE(allowedInFlight(before, del, leftBehind, false));
    // Another character's province touched.
    State wrong = before;
    wrong.campaign.chars.erase(keyOf(2));
    EXPECT_FALSE(allowedInFlight(before, del, wrong, false));
}

TEST(CrashModel, ExportAndEmptySteps)
{
    const State before = sample();
    const Op append{Kind::ExportAppend, 1, 0};
    const State after = apply(before, append);
    EXPECT_EQ(after.transfer.provs.size(), 3u);
    State charOnly = before;
    charOnly.transfer.chars[keyOf(1)] = before.campaign.chars.at(keyOf(1));
    EXPECT_TRUE(allowedInFlight(before, append, charOnly, false));
    EXPECT_FALSE(allowedInFlight(before, append, charOnly, true));
    // Provinces without their character, or copied twice.
    State provsOnly = before;
    provsOnly.transfer.provs.insert(provValues(1, 0));
    provsOnly.transfer.provs.insert(provValues(1, 1));
    EXPECT_FALSE(allowedInFlight(before, append, provsOnly, false));
    State twice = after;
    twice.transfer.provs.insert(provValues(1, 0));
    EXPECT_FALSE(allowedInFlight(before, append, twice, false));
    // Exporting what the transfer tables hold already is refused.
    EXPECT_TRUE(mustFail(after, append));

    const Op empty{Kind::Empty, 0, 0};
    State provincesGone = before;
    provincesGone.transfer.provs.clear();
    EXPECT_TRUE(allowedInFlight(before, empty, provincesGone, false));
    State characterFirst = before;
    characterFirst.transfer.chars.clear();  // its province still there
    EXPECT_FALSE(allowedInFlight(before, empty, characterFirst, false));

    const Op overwrite{Kind::ExportOverwrite, 2, 0};
    const State replaced = apply(before, overwrite);
    EXPECT_EQ(replaced.transfer.chars.size(), 1u);
    EXPECT_EQ(replaced.transfer.chars.count(keyOf(2)), 1u);
    EXPECT_TRUE(allowedInFlight(before, overwrite, provincesGone, false));
    EXPECT_FALSE(allowedInFlight(before, overwrite, characterFirst, false));
}

TEST(CrashModel, OperationsReadBackFromTheirText)
{
    for (const Op& op : {Op{Kind::PostProvince, 12, 3}, Op{Kind::Import, 0, 0}, Op{Kind::Edit, 7, 999},
                         Op{Kind::Backup, 0, 40}, Op{Kind::Sheet, 0, 5}}) {
        Op back;
        ASSERT_TRUE(Op::parse(op.text(), back));
        EXPECT_EQ(back.text(), op.text());
    }
    Op bad;
    EXPECT_FALSE(Op::parse("Q 1 2", bad));
    EXPECT_FALSE(Op::parse("C x", bad));
}

TEST(CrashModel, ARefusalForAFailingDiskIsToldFromAWrongAnswer)
{
    EXPECT_TRUE(storageFault("Cannot write table vddb.DB: database or disk is full"));
    EXPECT_TRUE(storageFault("Cannot save the changes: database is locked"));
    EXPECT_FALSE(storageFault("Key violation"));
    EXPECT_FALSE(storageFault("character not found: Test/Char 4"));
    // Files of their own: the tables stay as they were.
    const State before = sample();
    for (const Op& op : {Op{Kind::Backup, 0, 3}, Op{Kind::Sheet, 0, 9}}) {
        EXPECT_EQ(apply(before, op), before);
        EXPECT_FALSE(allowedInFlight(before, op, apply(before, Op{Kind::Delete, 2, 0}), true));
    }
}

TEST(CrashModel, DailyCopiesKeepTheLastSevenAndAKillMayLeaveTheOldestOneMore)
{
    std::set<std::string> copies;
    for (char d = '1'; d <= '7'; ++d)
        copies = withBackup(copies, std::string("c-0") + d);
    EXPECT_EQ(copies.size(), 7u);
    const std::set<std::string> eight = withBackup(copies, "c-08");
    EXPECT_EQ(eight.size(), 7u);
    EXPECT_EQ(eight.count("c-01"), 0u);
    EXPECT_EQ(eight.count("c-08"), 1u);
    // A copy whose name sorts first (a clock set back) is kept all the same.
    EXPECT_EQ(withBackup(copies, "c-00").count("c-00"), 1u);

    std::set<std::string> renamedNotPruned = copies;
    renamedNotPruned.insert("c-08");
    EXPECT_TRUE(backupsAllowedInFlight(copies, "c-08", copies));
    EXPECT_TRUE(backupsAllowedInFlight(copies, "c-08", renamedNotPruned));
    EXPECT_TRUE(backupsAllowedInFlight(copies, "c-08", eight));
    std::set<std::string> oldGoneNewMissing = copies;
    oldGoneNewMissing.erase("c-01");
    EXPECT_FALSE(backupsAllowedInFlight(copies, "c-08", oldGoneNewMissing));
}

TEST(CrashModel, APowerCutMayBringBackOnlyOlderCopies)
{
    const std::set<std::string> wanted{"c-03", "c-04"};
    const std::pair<std::set<std::string>, bool> cases[] = {
        {{"c-03", "c-04"}, true},         {{"c-01", "c-02", "c-03", "c-04"}, true},
        {{"c-03"}, false},                {{"c-03", "c-04", "c-05"}, false},
        {{"c-02", "c-03", "c-05"}, false}, {{}, false},
    };
    for (const auto& [actual, allowed] : cases)
        EXPECT_EQ(withStaleCopies(wanted, actual), allowed) << actual.size();
}
