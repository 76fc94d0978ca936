#include "dbaware_fixture.h"

#include <QGroupBox>
#include <QLabel>

#include "dbaware/binding.h"
#include "dbaware/datasource.h"
#include "dbaware/dbcheckbox.h"
#include "dbaware/dbedit.h"
#include "dbaware/dbmemo.h"

using testing_support::DbAwareTest;

// A form names its columns through properties, as a .ui file sets them; one
// call binds them all, nested groups included, in the form's order.
TEST_F(DbAwareTest, BindFieldsTakesEveryNamedControlInFormOrder)
{
    auto* game = new dbaware::DBEdit(&window);
    auto* group = new QGroupBox(&window);
    auto* flag = new dbaware::DBCheckBox(group);
    auto* memo = new dbaware::DBMemo(group);
    auto* figure = new dbaware::DBEdit(&window);  // a computed box names no column
    new QLabel(&window);
    ASSERT_TRUE(game->setProperty("dataField", "Game_Name"));
    ASSERT_TRUE(flag->setProperty("dataField", "Warrior"));
    ASSERT_TRUE(memo->setProperty("dataField", "Vassals"));
    ASSERT_TRUE(figure->setProperty("access", QVariant::fromValue(dbaware::DBEdit::Access::ReadOnly)));
    EXPECT_EQ(figure->access(), dbaware::DBEdit::Access::ReadOnly);

    dbaware::DataSource source(*chars);
    dbaware::bindFields(window, source);

    std::vector<QWidget*> order;
    for (const dbaware::Binding& b : dbaware::boundFields(window))
        order.push_back(b.control);
    EXPECT_EQ(order, (std::vector<QWidget*>{game, flag, memo}));
    EXPECT_EQ(game->dataSource(), &source);
    EXPECT_EQ(flag->dataSource(), &source);
    EXPECT_EQ(memo->dataSource(), &source);
    EXPECT_EQ(figure->dataSource(), nullptr);

    chars->insert();
    chars->setText("Game_Name", "Anuire");
    chars->setText("Vassals", "Two");
    EXPECT_EQ(game->text(), "Anuire");
    EXPECT_EQ(memo->toPlainText(), "Two");
}
