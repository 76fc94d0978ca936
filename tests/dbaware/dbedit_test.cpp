#include <QLineEdit>
#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>

#include "dbaware/dbedit.h"
#include "dbaware_fixture.h"
#include "store/error.h"

using dbaware::DataSource;
using dbaware::DBEdit;
using store::State;

namespace {

class DBEditTest : public testing_support::DbAwareTest {
protected:
    DBEditTest()
    {
        addCharacter(*chars, "G", "Aric", {{"Palace_Value", "5"}, {"Diplomacy_Check", "2"}});
        addCharacter(*chars, "G", "Brand", {{"Palace_Value", "5"}, {"Diplomacy_Check", "3"}});
        chars->first();
    }
    DBEdit* bound(DataSource& ds, const char* field)
    {
        auto* e = new DBEdit(&window);
        e->setDataSource(&ds);
        e->setFieldName(QString::fromLatin1(field));
        e->show();
        return e;
    }
};

TEST_F(DBEditTest, ShowsTheFieldAndSignalsOnlyRealChanges)
{
    DataSource ds(*chars);
    DBEdit* name = bound(ds, "Character_Name");
    DBEdit* palace = bound(ds, "Palace_Value");
    QSignalSpy nameChanged(name, &DBEdit::changed), palaceChanged(palace, &DBEdit::changed);
    EXPECT_EQ(name->text(), "Aric");
    EXPECT_EQ(palace->text(), "5");

    chars->next();
    EXPECT_EQ(name->text(), "Brand");
    EXPECT_EQ(nameChanged.count(), 1);
    EXPECT_EQ(palaceChanged.count(), 0) << "both records hold 5";
    chars->insert();  // an empty record shows empty boxes
    EXPECT_EQ(palace->text(), "");
    EXPECT_EQ(palaceChanged.count(), 1);
}

TEST_F(DBEditTest, ATextLimitCountsCharactersAndNeverCutsOneInHalf)
{
    activate();
    DataSource ds(*chars);
    DBEdit* name = bound(ds, "Character_Name");
    const QString dragon = QString::fromUtf8("\U0001F409");  // one character, two UTF-16 units
    QString dragons;
    for (int i = 0; i < 31; ++i)
        dragons += dragon;
    auto pasteOver = [name](const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        name->setFocus();
        name->selectAll();
        name->paste();
    };
    pasteOver(QString(31, QChar('n')));
    EXPECT_EQ(name->text(), QString(30, QChar('n')));
    pasteOver(dragons);
    EXPECT_EQ(name->text(), dragons.left(60)) << "thirty dragons fit a thirty-character name";
    pasteOver(QStringLiteral("x") + dragons);
    EXPECT_EQ(name->text(), QStringLiteral("x") + dragons.left(58)) << "cut before the 31st character, not inside it";
    chars->post();
    EXPECT_EQ(chars->text("Character_Name"), (QStringLiteral("x") + dragons.left(58)).toStdString());
}

TEST_F(DBEditTest, TypingPutsTheRecordIntoEditStateBeforeTheKeyAndWritesOnExit)
{
    activate();
    DataSource ds(*chars);
    DBEdit* palace = bound(ds, "Palace_Value");
    DBEdit* other = bound(ds, "Character_Name");
    std::vector<State> stateAtChange;
    QObject::connect(palace, &DBEdit::changed, [&] { stateAtChange.push_back(chars->state()); });
    palace->setFocus();
    palace->selectAll();
    QTest::keyClicks(palace, "12");
    EXPECT_EQ(stateAtChange, (std::vector<State>{State::Edit, State::Edit}));
    EXPECT_EQ(palace->text(), "12");
    EXPECT_EQ(chars->text("Palace_Value"), "5") << "not written before leaving the box";
    other->setFocus(Qt::MouseFocusReason);  // a click
    EXPECT_EQ(chars->text("Palace_Value"), "12");
    EXPECT_EQ(chars->state(), State::Edit);
}

TEST_F(DBEditTest, WithAutomaticEditingOffTypingChangesNothing)
{
    DataSource ds(*chars);
    ds.setAutoEdit(false);
    DBEdit* name = bound(ds, "Character_Name");
    QTest::keyClicks(name, "xy");
    paste(name, "pasted");
    EXPECT_EQ(name->text(), "Aric");
    EXPECT_EQ(chars->state(), State::Browse);
    EXPECT_FALSE(name->hasPendingText());

    chars->edit();  // editing started elsewhere: now typing is taken
    name->end(false);
    QTest::keyClicks(name, "!");
    EXPECT_EQ(name->text(), "Aric!");
}

TEST_F(DBEditTest, ShortColumnTakesDigitsAndSignsFromTheKeyboardAndBeepsOtherwise)
{
    DataSource ds(*chars);
    DBEdit* palace = bound(ds, "Palace_Value");
    palace->clear();
    QTest::keyClicks(palace, "a1.2 b");
    EXPECT_EQ(palace->text(), "12");
    EXPECT_EQ(boxes.beeps, 4);
    QTest::keyClicks(palace, "+-");
    QTest::keyClick(palace, Qt::Key_Backspace);
    EXPECT_EQ(palace->text(), "12+");
    EXPECT_EQ(boxes.beeps, 4);
}

TEST_F(DBEditTest, ConversionErrorOnExitIsShownAndKeepsTheTypedTextAndTheFocus)
{
    activate();
    DataSource ds(*chars);
    DBEdit* palace = bound(ds, "Palace_Value");
    DBEdit* other = bound(ds, "Character_Name");
    palace->setFocus();
    palace->clear();
    QTest::keyClicks(palace, "1-");
    other->setFocus(Qt::MouseFocusReason);  // a click
    EXPECT_EQ(errors(), QStringList{"'1-' is not a valid integer value for field 'Palace_Value'"});
    EXPECT_EQ(palace->text(), "1-");
    EXPECT_TRUE(palace->hasFocus());
    EXPECT_EQ(chars->state(), State::Edit);
    EXPECT_EQ(chars->text("Palace_Value"), "5");
}

TEST_F(DBEditTest, PastedTextIsNotFilteredButReachesTheStoresConversion)
{
    DataSource ds(*chars);
    DBEdit* palace = bound(ds, "Palace_Value");
    palace->selectAll();
    paste(palace, "abc");
    EXPECT_EQ(palace->text(), "abc");
    EXPECT_EQ(boxes.beeps, 0);
    EXPECT_EQ(chars->state(), State::Edit) << "a paste is a change like a key";
    // The post asks the box to write first; its error refuses the post.
    try {
        chars->post();
        FAIL() << "the post must be refused";
    } catch (const store::StoreError& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value for field 'Palace_Value'");
    }
    EXPECT_EQ(chars->state(), State::Edit);
    EXPECT_EQ(palace->text(), "abc");
    // So is a move, which would post.
    EXPECT_THROW(chars->next(), store::StoreError);
    EXPECT_EQ(chars->text("Character_Name"), "Aric");

    palace->selectAll();
    paste(palace, "40000");
    try {
        palace->updateRecord();
        FAIL() << "out of range";
    } catch (const store::StoreError& e) {
        EXPECT_STREQ(e.what(), "40000 is not a valid value for field 'Palace_Value'. The allowed range is -32768 to 32767");
    }
}

TEST_F(DBEditTest, TextColumnTakesAtMostItsSize)
{
    DataSource ds(*chars);
    DBEdit* domain = bound(ds, "Bloodline_Derivation");  // Text 10
    QTest::keyClicks(domain, "abcdefghijklmn");
    EXPECT_EQ(domain->text(), "abcdefghij");
    domain->clear();
    paste(domain, "0123456789ABCDEF");
    EXPECT_EQ(domain->text(), "0123456789");
    chars->post();
    EXPECT_EQ(chars->text("Bloodline_Derivation"), "0123456789");
}

TEST_F(DBEditTest, MirrorsShowTheWrittenValueAndCannotBeChanged)
{
    activate();
    DataSource ds(*chars);
    DBEdit* check = bound(ds, "Diplomacy_Check");
    DBEdit* disabledMirror = bound(ds, "Diplomacy_Check");
    DBEdit* readOnlyMirror = bound(ds, "Diplomacy_Check");
    disabledMirror->setAccess(DBEdit::Access::Disabled);
    readOnlyMirror->setAccess(DBEdit::Access::ReadOnly);
    EXPECT_FALSE(disabledMirror->isEnabled());
    EXPECT_EQ(disabledMirror->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(readOnlyMirror->isEnabled());
    EXPECT_EQ(readOnlyMirror->focusPolicy(), Qt::ClickFocus) << "takes a click, not a Tab";
    EXPECT_NE(readOnlyMirror->palette().color(QPalette::Base), check->palette().color(QPalette::Base));

    QSignalSpy mirrorChanged(disabledMirror, &DBEdit::changed);
    check->setFocus();
    check->selectAll();
    QTest::keyClicks(check, "9");
    EXPECT_EQ(disabledMirror->text(), "2") << "the field is not written yet";
    readOnlyMirror->setFocus(Qt::MouseFocusReason);  // a click
    EXPECT_EQ(disabledMirror->text(), "9");
    EXPECT_EQ(readOnlyMirror->text(), "9");
    EXPECT_EQ(mirrorChanged.count(), 1);

    QTest::keyClicks(readOnlyMirror, "5");
    EXPECT_EQ(readOnlyMirror->text(), "9");
    EXPECT_FALSE(readOnlyMirror->hasPendingText());
}

TEST_F(DBEditTest, TextSetByTheProgramIsWrittenLikeTypedText)
{
    DataSource ds(*chars);
    DBEdit* game = bound(ds, "Game_Name");
    DBEdit* name = bound(ds, "Character_Name");
    game->setAccess(DBEdit::Access::ReadOnly);
    chars->insert();
    game->setText("H");
    name->setText("Cora");
    chars->post();
    ASSERT_TRUE(chars->findKey({"H", "Cora"}));
}

TEST_F(DBEditTest, SuspendedControlsCatchUpOnTheLastResume)
{
    DataSource ds(*chars);
    DBEdit* name = bound(ds, "Character_Name");
    chars->disableControls();
    chars->disableControls();
    chars->next();
    EXPECT_EQ(name->text(), "Aric");
    chars->enableControls();
    EXPECT_EQ(name->text(), "Aric");
    chars->enableControls();
    EXPECT_EQ(name->text(), "Brand");
    chars->close();
    EXPECT_EQ(name->text(), "");
}

}  // namespace

TEST_F(DBEditTest, ExitIsSignalledAfterTheWriteAndOnlyWhenTheFocusMovesOnInTheWindow)
{
    activate();
    DataSource ds(*chars);
    DBEdit* palace = bound(ds, "Palace_Value");
    DBEdit* other = bound(ds, "Character_Name");
    std::vector<std::string> fieldAtExit;
    QObject::connect(palace, &DBEdit::exited, [&] { fieldAtExit.push_back(chars->text("Palace_Value")); });

    palace->setFocus();
    palace->selectAll();
    QTest::keyClicks(palace, "9");
    other->setFocus(Qt::MouseFocusReason);  // a click
    EXPECT_EQ(fieldAtExit, std::vector<std::string>{"9"}) << "the handler sees the written value";

    palace->setFocus();
    QTest::keyClicks(palace, "-");  // "9-" is refused by the field
    other->setFocus(Qt::MouseFocusReason);  // a click
    EXPECT_TRUE(palace->hasFocus());
    EXPECT_EQ(fieldAtExit.size(), 1u) << "a refused leave is no exit";

    palace->setText("7");
    QFocusEvent toAnotherWindow(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(palace, &toAnotherWindow);
    EXPECT_EQ(fieldAtExit.size(), 1u);
    other->setFocus(Qt::MouseFocusReason);  // a click
    EXPECT_EQ(fieldAtExit, (std::vector<std::string>{"9", "7"}));
}

TEST_F(DBEditTest, TheDataSourceHasEveryPendingBoxWrittenOnRequest)
{
    DataSource ds(*chars);
    DBEdit* palace = bound(ds, "Palace_Value");
    DBEdit* name = bound(ds, "Character_Name");
    DBEdit* check = bound(ds, "Diplomacy_Check");
    chars->edit();
    palace->setText("8");
    name->setText("Arik");
    ds.updateRecord();
    EXPECT_EQ(chars->text("Palace_Value"), "8");
    EXPECT_EQ(chars->text("Character_Name"), "Arik");
    EXPECT_EQ(chars->text("Diplomacy_Check"), "2") << "an untouched box writes nothing";
    EXPECT_FALSE(palace->hasPendingText());
    EXPECT_EQ(chars->state(), State::Edit) << "written, not posted";

    check->setText("x");
    EXPECT_THROW(ds.updateRecord(), store::StoreError);
    EXPECT_TRUE(check->hasPendingText());
}
