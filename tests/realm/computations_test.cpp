#include <gtest/gtest.h>

#include "realm/computations.h"

using namespace realm;

namespace {

// The error text a conversion raises, or "" when it converts.
std::string readError(const QString& text)
{
    try {
        readNumber(text);
    } catch (const ConversionError& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TEST(ReadingRule, BlankIsZeroWithoutConversion)
{
    for (const char* blank : {"", " ", "   ", "\t", " \r\n "})
        EXPECT_EQ(readNumber(QString::fromLatin1(blank)), 0) << '"' << blank << '"';
    EXPECT_EQ(readFigure(QStringLiteral("  ")), 0);
}

TEST(ReadingRule, DecimalAndHexForms)
{
    EXPECT_EQ(readNumber(QStringLiteral("   42")), 42);
    EXPECT_EQ(readNumber(QStringLiteral("+007")), 7);
    EXPECT_EQ(readNumber(QStringLiteral("-2147483647")), -2147483647);
    EXPECT_EQ(readNumber(QStringLiteral("$1F")), 31);
    EXPECT_EQ(readNumber(QStringLiteral(" $80000000")), -2147483648LL);
    EXPECT_EQ(readNumber(QStringLiteral("$FFFFFFFF")), -1);
}

TEST(ReadingRule, RefusedTextIsQuotedAsItStands)
{
    EXPECT_EQ(readError(QStringLiteral("5 ")), "'5 ' is not a valid integer value");
    EXPECT_EQ(readError(QStringLiteral("  -")), "'  -' is not a valid integer value");
    EXPECT_EQ(readError(QStringLiteral("1-")), "'1-' is not a valid integer value");
    // A tab is blank only when nothing else is there; before digits it is refused.
    EXPECT_EQ(readError(QStringLiteral("\t5")), "'\t5' is not a valid integer value");
    EXPECT_EQ(readError(QStringLiteral("2147483648")), "'2147483648' is not a valid integer value");
    EXPECT_EQ(readError(QStringLiteral("-2147483648")), "'-2147483648' is not a valid integer value");
    EXPECT_EQ(readError(QStringLiteral("$100000000")), "'$100000000' is not a valid integer value");
    EXPECT_EQ(readError(QStringLiteral("１２")), "'１２' is not a valid integer value");  // full-width digits
    // A pasted document is quoted by its first 40 characters only.
    EXPECT_EQ(readError(QString(100000, QChar('x')) + QStringLiteral("é")),
              "'" + std::string(40, 'x') + "...' is not a valid integer value");
}

TEST(ReadingRule, ComputedBoxesReadBackSumsBeyond32Bits)
{
    EXPECT_EQ(readFigure(QStringLiteral("4294967294")), 4294967294LL);
    EXPECT_EQ(readFigure(QStringLiteral("-4294967294")), -4294967294LL);
    EXPECT_EQ(readFigure(QStringLiteral("$FFFFFFFF")), -1);
    for (const char* bad : {"+-5", "5 ", "-", "99999999999999999999"})
        EXPECT_THROW(readFigure(QString::fromLatin1(bad)), ConversionError) << bad;
}

TEST(Palace, ContributionAndMaintenance)
{
    struct Case {
        const char* value;
        const char* contrib;
        const char* maint;
    };
    for (const Case& c : {Case{"5", "0", "1"}, Case{"6", "1", "1"}, Case{"11", "1", "1"}, Case{"12", "2", "1"},
                          Case{"0", "0", "0"}, Case{"", "0", "0"}, Case{"-5", "0", "0"}, Case{"-6", "-1", "0"},
                          Case{"-7", "-1", "0"}, Case{"-12", "-2", "0"}}) {
        const PalaceFigures f = palaceFigures(QString::fromLatin1(c.value));
        EXPECT_EQ(f.contrib, QString::fromLatin1(c.contrib)) << c.value;
        EXPECT_EQ(f.palaceMaint, QString::fromLatin1(c.maint)) << c.value;
    }
}

TEST(Diplomacy, BandsAndRoyalFacade)
{
    struct Case {
        int court;
        const char* caption;
        const char* plain;
        const char* facade;
    };
    for (const Case& c : {Case{1, "-4 to Diplomacy Actions", "-4", "-3"}, Case{2, "-4 to Diplomacy Actions", "-4", "-3"},
                          Case{3, "-2 to Diplomacy Actions", "-2", "-1"}, Case{5, "-2 to Diplomacy Actions", "-2", "-1"},
                          Case{6, "No Modifier to Diplomacy Actions", "0", "+1"},
                          Case{8, "No Modifier to Diplomacy Actions", "0", "+1"},
                          Case{9, "+3 to Diplomacy Actions", "+3", "+4"}, Case{400, "+3 to Diplomacy Actions", "+3", "+4"}}) {
        const Diplomacy without = diplomacy(c.court, Qt::Unchecked);
        const Diplomacy with = diplomacy(c.court, Qt::Checked);
        EXPECT_EQ(without.caption, QString::fromLatin1(c.caption)) << c.court;
        EXPECT_TRUE(without.controlsShown) << c.court;
        EXPECT_EQ(without.totalModifier, QString::fromLatin1(c.plain)) << c.court;
        EXPECT_EQ(with.caption, without.caption) << c.court;
        EXPECT_EQ(with.totalModifier, QString::fromLatin1(c.facade)) << c.court;
        // A grey Royal Facade (no value in the field) adds nothing.
        EXPECT_EQ(diplomacy(c.court, Qt::PartiallyChecked).totalModifier, QString::fromLatin1(c.plain)) << c.court;
    }
    for (Qt::CheckState facade : {Qt::Unchecked, Qt::Checked}) {
        const Diplomacy none = diplomacy(0, facade);
        EXPECT_EQ(none.caption, QStringLiteral("No Diplomacy Possible"));
        EXPECT_FALSE(none.controlsShown);
        EXPECT_EQ(none.totalModifier, QStringLiteral("N/A"));
    }
}

TEST(CourtValue, BlankAndNegativeAreResetToZero)
{
    const CourtValueCheck blank = checkCourtValue(QStringLiteral(" "));
    EXPECT_TRUE(blank.resetToZero);
    EXPECT_EQ(blank.value, 0);
    const CourtValueCheck negative = checkCourtValue(QStringLiteral("-2"));
    EXPECT_TRUE(negative.resetToZero);
    EXPECT_EQ(negative.value, 0);
    // The nested run that follows the reset sees "0" and leaves it alone.
    const CourtValueCheck zero = checkCourtValue(QStringLiteral("0"));
    EXPECT_FALSE(zero.resetToZero);
    EXPECT_EQ(zero.value, 0);
    const CourtValueCheck seven = checkCourtValue(QStringLiteral("7"));
    EXPECT_FALSE(seven.resetToZero);
    EXPECT_EQ(seven.value, 7);
}

// The cascade a change of Palace Value starts, step by step as the handlers
// pass texts from box to box.
TEST(CourtValue, PoorPalaceWithoutExpenditureLeavesNoDiplomacy)
{
    const PalaceFigures palace = palaceFigures(QStringLiteral("-12"));
    ASSERT_EQ(palace.contrib, QStringLiteral("-2"));
    const QString court = courtValue({.contrib = palace.contrib, .courtExpenditure = QStringLiteral("0")});
    EXPECT_EQ(court, QStringLiteral("-2"));
    const CourtValueCheck check = checkCourtValue(court);
    EXPECT_TRUE(check.resetToZero);
    const Diplomacy d = diplomacy(check.value, Qt::Checked);
    EXPECT_EQ(d.caption, QStringLiteral("No Diplomacy Possible"));
    EXPECT_FALSE(d.controlsShown);

    // Raising the expenditure brings the court back; a blank contribution
    // (the palace never computed) counts as 0.
    EXPECT_EQ(courtValue({.contrib = palace.contrib, .courtExpenditure = QStringLiteral("8")}), QStringLiteral("6"));
    EXPECT_EQ(courtValue({.contrib = QString(), .courtExpenditure = QString()}), QStringLiteral("0"));
}

TEST(CourtValue, HugeSumIsTrueAndStillADiplomacy)
{
    const QString court = courtValue({.contrib = QStringLiteral("357913941"), .courtExpenditure = QStringLiteral("2147483647")});
    EXPECT_EQ(court, QStringLiteral("2505397588"));
    const CourtValueCheck check = checkCourtValue(court);
    EXPECT_FALSE(check.resetToZero);
    EXPECT_EQ(diplomacy(check.value, Qt::Unchecked).totalModifier, QStringLiteral("+3"));
}

TEST(Maintenance, SumsTheEightIncludingCastles)
{
    MaintenanceInputs in;
    EXPECT_EQ(maintenanceTotal(in), QStringLiteral("0"));
    in.castles = QStringLiteral("3");
    EXPECT_EQ(maintenanceTotal(in), QStringLiteral("3"));
    in = {.ship = QStringLiteral("1"), .province = QStringLiteral("2"), .fort = QStringLiteral("4"),
          .palace = QStringLiteral("1"), .army = QStringLiteral("8"), .construction = QStringLiteral("16"),
          .castles = QStringLiteral("32"), .courtExpenditure = QStringLiteral(" 64")};
    EXPECT_EQ(maintenanceTotal(in), QStringLiteral("128"));
    in.construction = QStringLiteral("-116");
    EXPECT_EQ(maintenanceTotal(in), QStringLiteral("-4"));
}

TEST(Maintenance, FirstBadTextInReadingOrderIsReported)
{
    const QString none;
    const MaintenanceInputs in{QStringLiteral("2"), none, QStringLiteral("+"), none, QStringLiteral("x"),
                               none,                none, QStringLiteral("1 ")};
    try {
        maintenanceTotal(in);
        FAIL() << "no error";
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "'+' is not a valid integer value");
    }
}

TEST(Maintenance, NoOverflowAtTheLimits)
{
    const QString max = QStringLiteral("2147483647");
    const MaintenanceInputs in{max, max, max, QStringLiteral("1"), max, max, max, max};
    EXPECT_EQ(maintenanceTotal(in), QStringLiteral("15032385530"));
    const QString min = QStringLiteral("-2147483647");
    EXPECT_EQ(maintenanceTotal({min, min, min, QStringLiteral("0"), min, min, min, min}),
              QStringLiteral("-15032385529"));
}

TEST(TradeRoutes, ThiefCopiesTheTextsUnconverted)
{
    const TradeRoutes thief = tradeRoutes({.landGB = QStringLiteral("4"), .seaGB = QString(), .thief = Qt::Checked});
    EXPECT_EQ(thief.income, QStringLiteral("4"));
    EXPECT_EQ(thief.landRP, QStringLiteral("4"));
    EXPECT_TRUE(thief.seaRP.isEmpty());
    EXPECT_EQ(totalGB({QString(), QString(), QString(), QString(), thief.income}), QStringLiteral("4"));

    const TradeRoutes padded =
        tradeRoutes({.landGB = QStringLiteral("  +04"), .seaGB = QStringLiteral("$A"), .thief = Qt::Checked});
    EXPECT_EQ(padded.income, QStringLiteral("14"));
    EXPECT_EQ(padded.landRP, QStringLiteral("  +04"));
    EXPECT_EQ(padded.seaRP, QStringLiteral("$A"));
}

TEST(TradeRoutes, NoThiefOrGreyThiefEarnsNoRP)
{
    for (Qt::CheckState state : {Qt::Unchecked, Qt::PartiallyChecked}) {
        const TradeRoutes t = tradeRoutes({.landGB = QStringLiteral("4"), .seaGB = QString(), .thief = state});
        EXPECT_EQ(t.income, QStringLiteral("4"));
        EXPECT_EQ(t.landRP, QStringLiteral("0"));
        EXPECT_EQ(t.seaRP, QStringLiteral("0"));
    }
}

TEST(TradeRoutes, BadSeaTextFailsBeforeAnythingIsGiven)
{
    EXPECT_THROW(tradeRoutes({.landGB = QStringLiteral("4"), .seaGB = QStringLiteral("-"), .thief = Qt::Checked}),
                 ConversionError);
}

TEST(Income, TotalGBCarriesAWideTradeRouteIncome)
{
    const QString max = QStringLiteral("2147483647");
    const TradeRoutes t = tradeRoutes({.landGB = max, .seaGB = max, .thief = Qt::Unchecked});
    EXPECT_EQ(t.income, QStringLiteral("4294967294"));
    EXPECT_EQ(totalGB({.province = QStringLiteral("1"), .guild = QStringLiteral("2"), .temple = QStringLiteral("3"),
                       .law = QStringLiteral("4"), .tradeRoutes = t.income}),
              QStringLiteral("4294967304"));
}

TEST(Income, TotalRPTakesTheSmallerOfPossibleRPAndBloodline)
{
    RegencyInputs in{.possibleRP = QStringLiteral("10"), .bloodlineScore = QStringLiteral("25"),
                     .leyLineMaint = QStringLiteral("2"), .vassalRP = QStringLiteral("3")};
    EXPECT_EQ(totalRP(in), QStringLiteral("11"));
    in.possibleRP = QStringLiteral("30");
    EXPECT_EQ(totalRP(in), QStringLiteral("26"));
    EXPECT_EQ(totalRP({}), QStringLiteral("0"));
    // A blank bloodline is 0, so Possible RP counts for nothing.
    EXPECT_EQ(totalRP({QStringLiteral("30"), QString(), QString(), QStringLiteral("3")}), QStringLiteral("3"));
}

// Typing a negative number into an empty box: the lone minus fails, the
// finished number computes, and a bad text fails every run until corrected.
TEST(Typing, NegativeNumberKeystrokeByKeystroke)
{
    EXPECT_THROW(palaceFigures(QStringLiteral("-")), ConversionError);
    EXPECT_EQ(palaceFigures(QStringLiteral("-7")).contrib, QStringLiteral("-1"));

    RegencyInputs in{QStringLiteral("5-"), QStringLiteral("9"), QString(), QString()};
    EXPECT_THROW(totalRP(in), ConversionError);
    in.vassalRP = QStringLiteral("1");
    EXPECT_THROW(totalRP(in), ConversionError);
    in.possibleRP = QStringLiteral("5");
    EXPECT_EQ(totalRP(in), QStringLiteral("6"));
}
