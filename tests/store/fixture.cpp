#include "fixture.h"

#include <random>

#include "campaign/catalogue.h"
#include "store/database.h"

namespace testing_support {

namespace fs = std::filesystem;

TempFolder::TempFolder()
{
    std::random_device rd;
    path_ = fs::temp_directory_path() / ("vddb-test-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(path_);
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

StoreTest::StoreTest()
    : session_(store::AliasRegistry(temp_.path() / "config" / "aliases.conf"), campaign::catalogue())
{
    session_.aliases().add(store::Alias{"VDDB", "STANDARD", {{"PATH", dataFolder().string() + "/"}}}, true);
}

std::unique_ptr<store::Table> StoreTest::openTable(const std::string& name)
{
    auto t = std::make_unique<store::Table>(session_);
    t->open("VDDB", name);
    return t;
}

void StoreTest::addCharacter(store::Table& t, const std::string& game, const std::string& name,
                             const std::vector<std::pair<std::string, std::string>>& fields)
{
    t.insert();
    t.setText("Game_Name", game);
    t.setText("Character_Name", name);
    for (const auto& [k, v] : fields)
        t.setText(k, v);
    t.post();
}

void StoreTest::addOwner(store::Table& t, const std::string& game, const std::string& name)
{
    // A province belongs to a stored character; tests of other things get
    // one made when it is missing.
    const std::string owner = t.database().schemaFor(t.layout()) + "." + t.layout().owner.table;
    store::sql::Statement st(t.database().connection(),
                             "INSERT OR IGNORE INTO " + owner + " (Game_Name, Character_Name) VALUES (?1, ?2)");
    st.bind(1, std::string_view(game));
    st.bind(2, std::string_view(name));
    st.run();
}

void StoreTest::addProvince(store::Table& t, const std::string& game, const std::string& name,
                            const std::string& province)
{
    addOwner(t, game, name);
    t.insert();
    t.setText("Game_Name", game);
    t.setText("Character_Name", name);
    t.setText("Province_Name", province);
    t.post();
}

std::vector<std::string> StoreTest::column(store::Table& t, const std::string& name)
{
    std::vector<std::string> out;
    t.first();
    while (!t.eof()) {
        out.push_back(t.text(name));
        t.next();
    }
    return out;
}

}  // namespace testing_support
