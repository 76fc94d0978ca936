#include <QFontMetrics>

#include "dbaware/dbmemo.h"
#include "dbaware_fixture.h"

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
