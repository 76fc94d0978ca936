// The store on tables it was not written for: a catalogue of two small
// tables of its own, in two files, and nothing else.
#include <gtest/gtest.h>

#include "fixture.h"
#include "store/backup.h"
#include "store/database.h"
#include "store/error.h"
#include "store/session.h"
#include "store/table.h"
#include "store/value_check.h"

namespace {

namespace fs = std::filesystem;
using store::ColumnType;

store::Catalogue toyCatalogue()
{
    const std::vector<store::Column> people = {{"Name", ColumnType::Text, 20}, {"Age", ColumnType::Short, 0}};
    return {"people.sqlite",
            "guests.sqlite",
            {{"people", "people.DB", "people.sqlite", people, {0}, true, {}, {{0, "person"}}, {}},
             {"guests", "guests.DB", "guests.sqlite", people, {0}, true, {}, {{0, "guest"}}, {}}}};
}

TEST(ToyLayoutTest, TheStoreKeepsFindsCopiesAndBacksUpTablesItWasHanded)
{
    testing_support::TempFolder temp;
    const fs::path data = temp.path() / "Data";
    const store::Catalogue toy = toyCatalogue();
    store::Session session(store::AliasRegistry(temp.path() / "aliases.conf"), toy);
    session.aliases().add(store::Alias{"TOY", "STANDARD", {{"PATH", data.string() + "/"}}}, true);

    store::Table people(session), guests(session);
    people.open("TOY", "people.DB");
    guests.open("TOY", "GUESTS");
    EXPECT_TRUE(fs::exists(data / "people.sqlite"));
    EXPECT_TRUE(fs::exists(data / "guests.sqlite"));
    for (const auto& [name, age] : {std::pair{"Cy", "30"}, std::pair{"Ann", "7"}}) {
        people.insert();
        people.setText("Name", name);
        people.setText("Age", age);
        people.post();
    }

    // Key order, key lookup and the unique key.
    people.first();
    EXPECT_EQ(people.text("Name"), "Ann");
    people.next();
    EXPECT_EQ(people.text("Name"), "Cy");
    ASSERT_TRUE(people.findKey({"Ann"}));
    EXPECT_EQ(people.text("Age"), "7");
    people.insert();
    people.setText("Name", "Cy");
    EXPECT_THROW(people.post(), store::StoreError);
    people.cancel();

    // A batch append from one file into the other.
    guests.appendFrom(people);
    std::vector<std::string> copied;
    for (guests.first(); !guests.eof(); guests.next())
        copied.push_back(guests.text("Name") + "=" + guests.text("Age"));
    EXPECT_EQ(copied, (std::vector<std::string>{"Ann=7", "Cy=30"}));

    // A value that its column cannot hold is reported naming the record by
    // the layout's own label.
    people.database().connection().exec("PRAGMA ignore_check_constraints = ON; "
                                        "UPDATE people SET Age = 'old' WHERE Name = 'Cy'; "
                                        "PRAGMA ignore_check_constraints = OFF;");
    try {
        store::checkValues({&people});
        ADD_FAILURE() << "the value was not refused";
    } catch (const store::StoreError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Person 'Cy' in table people.DB: ", 0), 0u) << e.what();
    }

    // Only the handed tables exist for it.
    store::Table other(session);
    EXPECT_THROW(other.open("TOY", "vddb.DB"), store::StoreError);

    // Backups are named after the main file.
    const auto made = store::dailyBackup(people.database());
    ASSERT_TRUE(made);
    EXPECT_EQ(made->filename().string().rfind("people-", 0), 0u) << *made;
    EXPECT_EQ(store::dailyBackups(data / store::backupFolderName, toy), std::vector<fs::path>{*made});
}

}  // namespace
