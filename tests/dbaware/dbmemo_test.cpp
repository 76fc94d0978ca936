#include <QFontMetrics>

#include "dbaware/dbedit.h"
#include "dbaware/dbmemo.h"
#include "dbaware_fixture.h"
#include "store/layout.h"

using dbaware::DataSource;
using dbaware::DBMemo;

namespace {

class DBMemoTest : public testing_support::DbAwareTest {
protected:
    DBMemoTest() { addCharacter(*chars, "G", "Aric"); }

    // Stores a memo text in the current record without any control.
    void store(const std::string& text)
    {
        chars->edit();
        chars->setText("Vassals", text);
        chars->post();
    }
    DBMemo* memo(DataSource& ds, int width)
    {
        auto* m = new DBMemo(&window);
        m->setDataSource(&ds);
        m->setFieldName("Vassals");
        m->setFixedWidth(width);
        return m;
    }
};

TEST_F(DBMemoTest, CrLfLfAndCrEachShowAsOneLineBreak)
{
    DataSource ds(*chars);
    DBMemo* m = memo(ds, 300);
    store("one\r\ntwo\nthree\rfour\r\n\r\nsix");
    EXPECT_EQ(m->toPlainText(), "one\ntwo\nthree\nfour\n\nsix");
    EXPECT_EQ(m->document()->blockCount(), 6);
    EXPECT_FALSE(m->hasPendingText()) << "showing is no change";
}

TEST_F(DBMemoTest, WhatIsTypedIsStoredWithCrLf)
{
    DataSource ds(*chars);
    DBMemo* m = memo(ds, 300);
    store("old\nline");
    QTest::keyClicks(m, "x");
    QTest::keyClick(m, Qt::Key_Return);
    QTest::keyClicks(m, "y");
    EXPECT_EQ(chars->state(), store::State::Edit);
    chars->post();
    EXPECT_EQ(chars->text("Vassals"), "x\r\nyold\r\nline");
}

TEST_F(DBMemoTest, DisplayLinesFollowTheBreaksAndKeepAFinalEmptyLine)
{
    DataSource ds(*chars);
    DBMemo* m = memo(ds, 400);
    EXPECT_TRUE(m->displayLines().isEmpty()) << "an empty memo has no line";
    store("first\r\n\r\nthird\r\n");
    EXPECT_EQ(m->displayLines(), (QStringList{"first", "", "third", ""}));
    store("only");
    EXPECT_EQ(m->displayLines(), QStringList{"only"});
}

TEST_F(DBMemoTest, DisplayLinesWrapWordsAtTheControlsWidth)
{
    DataSource ds(*chars);
    const QString text = QStringLiteral("the quick brown fox jumps over the lazy dog and keeps on running far away");
    store(text.toStdString() + "\r\nshort");
    DBMemo* hidden = memo(ds, 120);  // never shown, as the sheet's helper window
    hidden->setScrollBars(DBMemo::ScrollBars::Vertical);
    const QStringList lines = hidden->displayLines();
    ASSERT_GT(lines.size(), 3);
    EXPECT_EQ(lines.back(), "short");
    EXPECT_EQ(lines.mid(0, lines.size() - 1).join(QString()), text) << "wrapping loses and adds nothing";
    const QFontMetrics fm(hidden->font());
    for (int i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_LE(fm.horizontalAdvance(lines[i].trimmed()), hidden->viewport()->width()) << lines[i].toStdString();
        if (i + 2 < lines.size()) {
            EXPECT_TRUE(lines[i].endsWith(u' ')) << "broken between words: " << lines[i].toStdString();
        }
    }

    // The same as a shown control counts, and more lines when narrower.
    DBMemo* shown = memo(ds, 120);
    shown->setScrollBars(DBMemo::ScrollBars::Vertical);
    window.show();
    EXPECT_EQ(shown->displayLines(), lines);
    shown->setFixedWidth(70);
    EXPECT_GT(shown->displayLines().size(), lines.size());
    shown->setWordWrap(false);
    EXPECT_EQ(shown->displayLines(), (QStringList{text, "short"}));
}

}  // namespace

namespace {

// A memo of `stored` characters as stored (a line break is two), in short
// lines so that laying it out stays cheap.
std::string memoOf(int stored)
{
    std::string s;
    while (stored >= 100) {
        s += std::string(98, 'a') + "\r\n";
        stored -= 100;
    }
    return s + std::string(static_cast<std::size_t>(stored), 'a');
}

}  // namespace

TEST_F(DBMemoTest, TypingAndPastingStopAtTheMemoLimit)
{
    DataSource ds(*chars);
    DBMemo* m = memo(ds, 300);
    store(memoOf(store::memoLimit - 2));
    m->moveCursor(QTextCursor::End);
    QTest::keyClicks(m, "b");
    QTest::keyClick(m, Qt::Key_Return);  // two characters stored: one too many
    EXPECT_EQ(boxes.beeps, 1);
    paste(m, "xy");
    EXPECT_EQ(errors(), QStringList{"Value is too long for field 'Vassals': at most 100000 characters."});
    QTest::keyClicks(m, "cd");
    EXPECT_EQ(boxes.beeps, 2);
    // Over a selection, only what replaces it counts.
    m->moveCursor(QTextCursor::Left, QTextCursor::KeepAnchor);
    m->moveCursor(QTextCursor::Left, QTextCursor::KeepAnchor);
    paste(m, "xy");
    EXPECT_EQ(errors().size(), 1);
    chars->post();
    EXPECT_TRUE(chars->text("Vassals") == memoOf(store::memoLimit - 2) + "xy");
}

// A memo over the limit, written by another program, would hang the text
// layout: its start shows read-only, and it is never written back cut.
TEST_F(DBMemoTest, AStoredMemoOverTheLimitShowsItsStartAndIsKeptWhole)
{
    const std::string huge = std::string(store::memoLimit, 'h') + "\r\nend";
    addCharacter(*chars, "G", "Bran", {{"Vassals", huge}});
    addCharacter(*chars, "G", "Cara", {{"Vassals", "short"}});
    ASSERT_TRUE(chars->findKey({"G", "Bran"}));
    DataSource ds(*chars);
    DBMemo* m = memo(ds, 300);
    auto* other = new dbaware::DBEdit(&window);
    other->setDataSource(&ds);
    other->setFieldName("Domain_Name");
    activate();

    EXPECT_TRUE(m->toPlainText().startsWith(QString(2000, u'h') + "\n\n[Only the first 2000 of its 100005 characters"));
    EXPECT_LT(m->toPlainText().size(), 2500);
    EXPECT_TRUE(m->isReadOnly());
    m->setFocus();
    QTest::keyClicks(m, "x");
    paste(m, "pasted");
    EXPECT_EQ(chars->state(), store::State::Browse);
    other->setFocus();
    QTest::keyClicks(other, "Branmark");
    chars->post();
    EXPECT_EQ(chars->text("Domain_Name"), "Branmark");
    EXPECT_TRUE(chars->text("Vassals") == huge);

    chars->next();
    EXPECT_EQ(m->toPlainText(), "short");
    EXPECT_FALSE(m->isReadOnly());
}
