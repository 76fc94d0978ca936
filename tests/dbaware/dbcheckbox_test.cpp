#include "dbaware/dbcheckbox.h"
#include "dbaware_fixture.h"

using dbaware::DataSource;
using dbaware::DBCheckBox;

namespace {

class DBCheckBoxTest : public testing_support::DbAwareTest {
protected:
    DBCheckBoxTest()
    {
        addCharacter(*chars, "G", "A", {{"Thief", "True"}});
        addCharacter(*chars, "G", "B", {{"Thief", "False"}});
        addCharacter(*chars, "G", "C");  // Thief empty
        addCharacter(*chars, "G", "D");  // Thief empty
        chars->first();
    }
    DBCheckBox* thief(DataSource& ds)
    {
        auto* cb = new DBCheckBox(QStringLiteral("Thief"), &window);
        cb->setDataSource(&ds);
        cb->setFieldName("Thief");
        return cb;
    }
};

TEST_F(DBCheckBoxTest, TickedEmptyAndGreyForAnEmptyField)
{
    DataSource ds(*chars);
    DBCheckBox* cb = thief(ds);
    EXPECT_EQ(cb->checkState(), Qt::Checked);
    EXPECT_TRUE(cb->checked());
    chars->next();
    EXPECT_EQ(cb->checkState(), Qt::Unchecked);
    chars->next();
    EXPECT_EQ(cb->checkState(), Qt::PartiallyChecked);
    EXPECT_FALSE(cb->checked()) << "grey counts as not checked";
    EXPECT_TRUE(cb->isChecked()) << "unlike Qt's own reading";
}

TEST_F(DBCheckBoxTest, AClickTogglesTickedAndEmptyOnlyAndWritesTheField)
{
    DataSource ds(*chars);
    DBCheckBox* cb = thief(ds);
    chars->last();  // grey
    cb->click();
    EXPECT_EQ(cb->checkState(), Qt::Checked);
    EXPECT_EQ(chars->state(), store::State::Edit);
    EXPECT_TRUE(chars->asBool("Thief"));
    EXPECT_FALSE(chars->isNull("Thief"));
    cb->click();
    EXPECT_EQ(cb->checkState(), Qt::Unchecked);
    cb->click();
    EXPECT_EQ(cb->checkState(), Qt::Checked) << "never back to grey";
    chars->post();
    EXPECT_EQ(chars->text("Thief"), "True");
}

TEST_F(DBCheckBoxTest, ClickEventFiresAfterTheChangeAlsoWhenTheDataChangesIt)
{
    DataSource ds(*chars);
    DBCheckBox* cb = thief(ds);
    std::vector<Qt::CheckState> seen;
    QObject::connect(cb, &DBCheckBox::stateClick, [&] { seen.push_back(cb->checkState()); });
    chars->next();  // ticked -> empty
    chars->next();  // -> grey
    chars->next();  // grey again: no change, no event
    EXPECT_EQ(seen, (std::vector<Qt::CheckState>{Qt::Unchecked, Qt::PartiallyChecked}));
    cb->click();
    EXPECT_EQ(seen.back(), Qt::Checked);
    EXPECT_EQ(seen.size(), 3u);
    chars->cancel();  // the record's own value comes back
    EXPECT_EQ(seen.back(), Qt::PartiallyChecked);
}

}  // namespace
