// The store's connection to a real PostgreSQL server, which the test command
// starts for these tests (scripts/pg-server).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>

#include <libpq-fe.h>

#include "store/alias_registry.h"
#include "store/error.h"
#include "store/pg.h"
#include "support/test_server.h"

using store::pg::Connection;
using store::pg::PgError;

namespace {

class PgTest : public testing::Test {
protected:
    PgTest() : db(Connection::open(testing_support::testServer())) {}
    Connection db;
};

}  // namespace

TEST_F(PgTest, NamesSortByCodePointAndValuesTravelApartFromTheText)
{
    db.exec("DROP TABLE IF EXISTS names; CREATE TABLE names (name text COLLATE \"C\")");
    std::vector<std::string> names{"alf", "Zed", "\xC3\x86rwyn", "\xC3\x85ngel", "O'Brien'); DROP TABLE names; --"};
    for (const std::string& n : names)
        db.query("INSERT INTO names VALUES ($1)", {n});
    db.query("INSERT INTO names VALUES ($1)", {std::nullopt});
    const store::pg::Rows rows = db.query("SELECT name FROM names WHERE name IS NOT NULL ORDER BY name");
    std::sort(names.begin(), names.end());  // UTF-8 bytes sort as code points
    ASSERT_EQ(rows.rows.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(rows.rows[i][0], names[i]);
    EXPECT_EQ(db.query("SELECT count(*) FROM names WHERE name IS NULL").rows[0][0], "1");
}

TEST_F(PgTest, ErrorsSayWhetherTheServerCouldBeReached)
{
    try {
        db.exec("SELECT * FROM no_such_table");
        ADD_FAILURE() << "no error";
    } catch (const PgError& e) {
        EXPECT_EQ(e.sqlState(), "42P01");
        EXPECT_FALSE(e.unreachable());
    }
    // A connection the server ends, and a server that is not there.
    const std::string pid = *db.query("SELECT pg_backend_pid()::text").rows[0][0];
    // Waits until the connection has ended, so that the next statement finds it gone.
    Connection::open(testing_support::testServer()).query("SELECT pg_terminate_backend($1::int, 5000)", {pid});
    const std::string nobody = "host=127.0.0.1 port=1 dbname=postgres";  // a port no server takes
    for (auto attempt : std::vector<std::function<void()>>{[&] { db.exec("SELECT 1"); },
                                                            [&] { Connection::open(nobody); }}) {
        try {
            attempt();
            ADD_FAILURE() << "no error";
        } catch (const PgError& e) {
            EXPECT_TRUE(e.unreachable()) << e.what();
            EXPECT_TRUE(std::string(e.what()).starts_with("Cannot reach the server 127.0.0.1:")) << e.what();
        }
    }
}

TEST(PgAliasTest, AnAliasBecomesAConnectionStringNoValueCanAddTo)
{
    store::Alias alias{"VDDB", "POSTGRESQL", {{"HOST", "h password=x"}, {"USER", "O'Brien \\ gm"}, {"DATABASE", ""}}};
    ASSERT_TRUE(store::pg::onServer(alias));
    char* error = nullptr;
    std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> parsed(
        PQconninfoParse(store::pg::connInfo(alias).c_str(), &error), &PQconninfoFree);
    ASSERT_TRUE(parsed) << (error ? error : "");
    std::map<std::string, std::string> got;
    for (const PQconninfoOption* o = parsed.get(); o->keyword; ++o)
        if (o->val)
            got[o->keyword] = o->val;
    EXPECT_EQ(got, (std::map<std::string, std::string>{{"host", "h password=x"}, {"user", "O'Brien \\ gm"}, {"dbname", ""}}));
    for (const char* refused : {"Password", "PATH"}) {
        alias.params = {{refused, "x"}};
        EXPECT_THROW(store::pg::connInfo(alias), store::StoreError) << refused;
    }
}
