#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QPalette>
#include <QToolButton>

#include <tuple>

#include "dbaware/dbedit.h"
#include "dbaware/dbnavigator.h"
#include "dbaware_fixture.h"

using dbaware::DataSource;
using dbaware::DBNavigator;
using dbaware::NavButton;
using store::State;

namespace {

const QList<NavButton> eight = {NavButton::First,  NavButton::Prior,  NavButton::Next, NavButton::Last,
                                NavButton::Insert, NavButton::Delete, NavButton::Post, NavButton::Cancel};

class DBNavigatorTest : public testing_support::DbAwareTest {
protected:
    DBNavigatorTest()
    {
        addCharacter(*chars, "G", "A");
        addCharacter(*chars, "G", "B");
        addCharacter(*chars, "G", "C");
        chars->first();
        nav = new DBNavigator(&window);
        nav->setVisibleButtons(eight);
        nav->setDataSource(&ds);
    }
    bool on(NavButton b) const { return nav->button(b)->isEnabled(); }

    DataSource ds{*chars};
    DBNavigator* nav;
};

TEST_F(DBNavigatorTest, ShowsTheButtonsInTheirOrderWithTheirTooltips)
{
    auto* layout = nav->findChild<QHBoxLayout*>();
    ASSERT_EQ(layout->count(), 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(layout->itemAt(i)->widget(), nav->button(eight[i])) << i;
    EXPECT_TRUE(nav->button(NavButton::Edit)->isHidden());
    EXPECT_TRUE(nav->button(NavButton::Refresh)->isHidden());
    EXPECT_EQ(nav->hint(NavButton::Prior), "Prior record");
    // The hint list names every kind in order, the hidden ones included.
    nav->setHints({"First Record", "Previous Record", "Next Record", "Last Record", "Insert New Province",
                   "Delete Current Province", "Edit", "Save Changes to Database"});
    EXPECT_EQ(nav->hint(NavButton::Post), "Save Changes to Database");
    EXPECT_EQ(nav->hint(NavButton::Cancel), "Cancel edit");
}

TEST_F(DBNavigatorTest, ButtonsAreEnabledAsPositionAndStateAllow)
{
    EXPECT_FALSE(on(NavButton::First));
    EXPECT_FALSE(on(NavButton::Prior));
    EXPECT_TRUE(on(NavButton::Next));
    EXPECT_TRUE(on(NavButton::Delete));
    EXPECT_FALSE(on(NavButton::Post));
    EXPECT_FALSE(on(NavButton::Cancel));
    EXPECT_TRUE(on(NavButton::Edit));

    nav->click(NavButton::Last);
    EXPECT_EQ(chars->text("Character_Name"), "C");
    EXPECT_TRUE(on(NavButton::First));
    EXPECT_FALSE(on(NavButton::Next));
    EXPECT_FALSE(on(NavButton::Last));

    nav->click(NavButton::Insert);
    EXPECT_EQ(chars->state(), State::Insert);
    EXPECT_TRUE(on(NavButton::Post));
    EXPECT_TRUE(on(NavButton::Cancel));
    EXPECT_FALSE(on(NavButton::Edit));
    nav->click(NavButton::Cancel);
    EXPECT_EQ(chars->state(), State::Browse);
    EXPECT_FALSE(on(NavButton::Post));

    nav->click(NavButton::Prior);
    EXPECT_EQ(chars->text("Character_Name"), "B");
    EXPECT_TRUE(on(NavButton::Next));

    chars->close();
    for (NavButton b : eight)
        EXPECT_FALSE(on(b));
}

TEST_F(DBNavigatorTest, DeleteAsksFirst)
{
    boxes.answer(dbaware::Answer::Cancel);
    nav->button(NavButton::Delete)->click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Delete record?");
    EXPECT_EQ(boxes.shown[0].buttons, dbaware::Buttons::OkCancel);
    EXPECT_EQ(chars->recordCount(), 3);
    boxes.answer(dbaware::Answer::Ok);
    nav->button(NavButton::Delete)->click();
    EXPECT_EQ(chars->recordCount(), 2);
    EXPECT_EQ(chars->text("Character_Name"), "B");

    nav->click(NavButton::Delete);
    nav->click(NavButton::Delete);
    EXPECT_TRUE(chars->isEmpty());
    EXPECT_FALSE(on(NavButton::Delete)) << "nothing left to delete";
}

TEST_F(DBNavigatorTest, PostWritesWhatABoundBoxHoldsAndShowsTheStoresError)
{
    auto* name = new dbaware::DBEdit(&window);
    name->setDataSource(&ds);
    name->setFieldName("Character_Name");
    auto* game = new dbaware::DBEdit(&window);
    game->setDataSource(&ds);
    game->setFieldName("Game_Name");

    nav->click(NavButton::Insert);
    game->setText("G");
    name->setText("D");
    nav->click(NavButton::Post);
    EXPECT_TRUE(errors().isEmpty());
    EXPECT_EQ(chars->state(), State::Browse);
    EXPECT_EQ(chars->recordCount(), 4);

    nav->click(NavButton::Insert);
    game->setText("G");
    name->setText("A");
    nav->click(NavButton::Post);
    EXPECT_EQ(errors(), QStringList{"Key violation."});
    EXPECT_EQ(chars->state(), State::Insert);
    EXPECT_EQ(name->text(), "A");
}

}  // namespace

TEST_F(DBNavigatorTest, GlyphsAreDrawnInThePalettesButtonText)
{
    // A light and a dark palette; each glyph's plain ink is its button text,
    // in the disabled state too.
    for (const auto& [button, text, disabledText] :
         {std::tuple{QColor(240, 240, 240), QColor(Qt::black), QColor(120, 120, 120)},
          std::tuple{QColor(53, 53, 53), QColor(Qt::white), QColor(127, 127, 127)}}) {
        QPalette palette = nav->palette();
        palette.setColor(QPalette::Button, button);
        palette.setColor(QPalette::ButtonText, text);
        palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabledText);
        nav->setPalette(palette);
        // The middle of the plus, in the icon as drawn for a dense screen.
        auto ink = [&](QIcon::Mode mode) {
            return nav->button(NavButton::Insert)->icon().pixmap(QSize(16, 16), 2.0, mode).toImage().pixelColor(16, 16);
        };
        EXPECT_EQ(ink(QIcon::Normal), text) << text.name().toStdString();
        EXPECT_EQ(ink(QIcon::Disabled), disabledText) << text.name().toStdString();
    }
}
