// The server's tables, the copy's pull from them and the push of each commit
// to them. All the SQL the store sends to a server is here and in pg.cpp.
#include "store/server_campaign.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <random>
#include <optional>
#include <set>

#include "store/durable.h"
#include "store/error.h"
#include "store/keyset_reader.h"
#include "store/paths.h"
#include "store/sqlite.h"

namespace store {

namespace {

namespace fs = std::filesystem;

// The server's own columns beside the catalogue's, and its own objects.
constexpr const char* rowColumn = "store_row";
constexpr const char* versionColumn = "store_version";
constexpr const char* channel = "store_changed";
// Every writer of the server's tables holds this lock from its first row
// to its commit, so that versions become visible in the order they were
// given and a pull that has seen version n has seen all before it.
constexpr const char* writersLock = "SELECT pg_advisory_xact_lock(7406271)";
constexpr const char* stateFile = "server.state";
constexpr const char* pendingFile = "server.pending";

// Each push leaves a receipt in its own transaction, so that a program that
// lost the server's answer to its commit can ask whether it was stored. A
// player sees and removes only its own.
constexpr const char* receiptsDdl =
    "CREATE TABLE store_receipts (token text PRIMARY KEY, role text NOT NULL DEFAULT current_user);\n"
    "ALTER TABLE store_receipts ENABLE ROW LEVEL SECURITY;\n"
    "CREATE POLICY store_change ON store_receipts FOR ALL USING (role = current_user) "
    "WITH CHECK (role = current_user);\n"
    "DO $$ BEGIN EXECUTE format('GRANT SELECT, INSERT, DELETE ON store_receipts TO %I', "
    "current_database() || '_players'); END $$;\n";

std::string newToken()
{
    std::random_device random;
    char text[33];
    for (int i = 0; i < 4; ++i)
        std::snprintf(text + 8 * i, 9, "%08x", static_cast<unsigned>(random()));
    return text;
}

std::string q(std::string_view name) { return sql::quoteIdentifier(name); }

// Sets a flag for as long as it lives, whatever way the scope is left.
class FlagOn {
public:
    explicit FlagOn(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagOn() { flag_ = false; }
    FlagOn(const FlagOn&) = delete;
    FlagOn& operator=(const FlagOn&) = delete;

private:
    bool& flag_;
};

std::string serverType(const TableLayout& layout, std::size_t i)
{
    const Column& c = layout.columns[i];
    const std::string name = q(c.name);
    switch (c.type) {
    case ColumnType::Text:
        return "varchar(" + std::to_string(c.size) + ") COLLATE \"C\"" +
               (layout.isKeyText(static_cast<int>(i)) ? " NOT NULL DEFAULT ''" : "");
    case ColumnType::Memo: return "text COLLATE \"C\"";
    case ColumnType::Short: return "smallint";
    case ColumnType::Logical: return "smallint CHECK (" + name + " IN (0, 1))";
    case ColumnType::AutoInc: return "bigint NOT NULL CHECK (" + name + " = " + rowColumn + ")";
    }
    return "text";
}

std::string columnList(const TableLayout& layout, const std::vector<int>& columns)
{
    std::string s;
    for (int k : columns)
        s += (s.empty() ? "" : ", ") + q(layout.columns[static_cast<std::size_t>(k)].name);
    return s;
}

std::string allColumns(const TableLayout& layout)
{
    std::string s;
    for (const Column& c : layout.columns)
        s += ", " + q(c.name);
    return s;
}

bool isNumber(ColumnType t) { return t == ColumnType::Short || t == ColumnType::Logical || t == ColumnType::AutoInc; }

pg::Value toServer(const Value& v)
{
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return std::to_string(*i);
    if (const auto* s = std::get_if<std::string>(&v))
        return *s;
    return std::nullopt;
}

// A value the server sent, as the copy's column holds it; the server is
// another program's data, so a number that is none is refused.
// A whole number as the server sent it; nothing for text that is none.
std::optional<std::int64_t> wholeNumber(const std::string& text)
{
    std::int64_t n = 0;
    const char* end = text.data() + text.size();
    if (text.empty() || std::from_chars(text.data(), end, n).ptr != end)
        return std::nullopt;
    return n;
}

Value fromServer(const pg::Value& v, const TableLayout& layout, std::size_t column)
{
    if (!v)
        return {};
    if (!isNumber(layout.columns[column].type))
        return *v;
    if (auto n = wholeNumber(*v))
        return *n;
    throw StoreError(msg::cannotRead(layout.displayName, "the server sent '" + msg::excerpt(*v) + "' for the number " +
                                                             layout.columns[column].name));
}

// A row number or version the server sent.
std::int64_t serverNumber(const pg::Value& v, std::string_view table)
{
    const std::optional<std::int64_t> n = v ? wholeNumber(*v) : std::nullopt;
    if (!n || *n <= 0)
        throw StoreError(msg::cannotRead(table, "the server sent '" + msg::excerpt(v.value_or("")) +
                                                    "' for a row number"));
    return *n;
}

// Ends the connection's transaction, if it still can: the failure that
// came first is the one to report.
void rollBack(pg::Connection& server)
{
    if (server.connected())
        try {
            server.exec("ROLLBACK");
        } catch (const pg::PgError&) {
        }
}

std::vector<Value> readLocalRow(sql::Statement& st, std::size_t columns)
{
    std::vector<Value> v;
    v.reserve(columns);
    for (std::size_t i = 0; i < columns; ++i) {
        const int c = static_cast<int>(i) + 1;  // after the row number
        switch (st.type(c)) {
        case sql::Statement::Type::Null: v.emplace_back(); break;
        case sql::Statement::Type::Integer: v.emplace_back(st.int64(c)); break;
        default: v.emplace_back(st.text(c)); break;
        }
    }
    return v;
}

std::string params(int first, int count)
{
    std::string s;
    for (int i = 0; i < count; ++i)
        s += (i ? ", $" : "$") + std::to_string(first + i);
    return s;
}

// A row put into the copy by its number, which binds first unless the
// AutoInc column is the number itself.
std::string putRow(const std::string& schema, const TableLayout& layout)
{
    const int autoInc = layout.autoIncColumn();
    std::string put = "INSERT OR REPLACE INTO " + schema + "." + q(layout.name) + " (" + (autoInc < 0 ? "rowid" : "") +
                      allColumns(layout).substr(autoInc < 0 ? 0 : 2) + ") VALUES (" +
                      params(1, static_cast<int>(layout.columns.size()) + (autoInc < 0 ? 1 : 0)) + ")";
    for (char& c : put)
        if (c == '$')
            c = '?';
    return put;
}

// A row the server shows this role but does not let it change: its
// policies keep it for the game master or another player.
StoreError notYours(pg::Connection& server, const TableLayout& layout)
{
    const pg::Rows who = server.query("SELECT current_user");
    return StoreError(msg::notYours(layout.displayName, who.rows.empty() ? "" : who.rows[0][0].value_or("")));
}

StoreError saveRefused(const pg::PgError& e)
{
    if (e.sqlState() == "23505")
        return StoreError(msg::keyViolation, StoreError::Code::KeyViolation);
    if (e.sqlState() == "23503")
        return StoreError(msg::transactionFailed("the record it belongs to is not stored on the server (not saved yet, "
                                                 "or renamed or deleted by another program)"));
    if (e.sqlState() == "42501")
        return StoreError(msg::transactionFailed("the server does not let your role make this change: " +
                                                 std::string(e.what())));
    if (e.sqlState() == "55P03")
        return StoreError(msg::transactionFailed("the record is in use by another program; save again in a moment"));
    return StoreError(msg::transactionFailed(e.what()));
}

// The server's own functions, as create() makes them and the check on each
// connection finds them: their bodies compared whole, as a file's tables are.
struct ServerFunction {
    std::string name, head, body;
    bool definer;
};

// The table whose records are granted, and those that belong to it.
const TableLayout* grantedLayout(const Catalogue& catalogue)
{
    for (const TableLayout& layout : catalogue.tables)
        if (layout.file == catalogue.mainFile && layout.owner.table.empty())
            return &layout;
    return nullptr;
}

std::string sameOwner(const TableLayout& child, const std::string& a, const std::string& b)
{
    std::string same;
    for (int k : child.owner.columns) {
        const std::string c = q(child.columns[static_cast<std::size_t>(k)].name);
        same += (same.empty() ? "" : " AND ") + (a + "." + c) + " = " + b + "." + c;
    }
    return same;
}

std::vector<ServerFunction> serverFunctions(const Catalogue& catalogue)
{
    std::vector<ServerFunction> f{
        {"store_stamp", "() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER",
         "\nBEGIN\n"
         "  PERFORM pg_advisory_xact_lock(7406271);\n"
         "  IF TG_OP = 'DELETE' THEN\n"
         "    INSERT INTO store_gone VALUES (TG_TABLE_NAME, OLD.store_row, nextval('store_versions'));\n"
         "    RETURN OLD;\n"
         "  END IF;\n"
         "  IF TG_OP = 'UPDATE' AND NEW.store_row <> OLD.store_row THEN\n"
         "    RAISE EXCEPTION 'a row keeps its number';\n"
         "  END IF;\n"
         "  NEW.store_version := nextval('store_versions');\n"
         "  RETURN NEW;\n"
         "END ",
         true},
        {"store_announce", "() RETURNS trigger LANGUAGE plpgsql",
         " BEGIN PERFORM pg_notify('store_changed', ''); RETURN NULL; END ", false},
        {"store_free_row", "(tbl text) RETURNS bigint LANGUAGE plpgsql SECURITY DEFINER SET search_path = public",
         " DECLARE n bigint; BEGIN EXECUTE format('SELECT coalesce(max(store_row), 0) + 1 FROM %I', tbl) INTO n; "
         "RETURN n; END ",
         true},
    };
    const TableLayout* granted = grantedLayout(catalogue);
    if (!granted)
        return f;
    // Hidden from the players: gone from their copies, and what belongs to
    // it as well; the game master's copy takes it all again, since its
    // versions come after.
    std::string children, bump;
    for (const TableLayout& child : catalogue.tables) {
        if (child.file != catalogue.mainFile || child.owner.table != granted->name)
            continue;
        const std::string same = sameOwner(child, "c", "OLD");
        children += "    INSERT INTO store_gone SELECT '" + child.name + "', c.store_row, nextval('store_versions') FROM " +
                    q(child.name) + " c WHERE " + same + ";\n";
        bump += "    UPDATE " + q(child.name) + " c SET store_row = c.store_row WHERE " + same + ";\n";
    }
    f.push_back({"store_granted", "(n bigint) RETURNS boolean LANGUAGE sql STABLE",
                 " SELECT EXISTS (SELECT 1 FROM store_grants WHERE store_row = n AND role = current_user) ", false});
    f.push_back({"store_hide", "() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER",
                 "\nBEGIN\n"
                 "  IF NEW.store_hidden IS DISTINCT FROM OLD.store_hidden THEN\n"
                 "    INSERT INTO store_gone VALUES (TG_TABLE_NAME, OLD.store_row, nextval('store_versions'));\n" +
                     children + bump +
                     "  END IF;\n"
                     "  RETURN NEW;\n"
                     "END ",
                 true});
    return f;
}

}  // namespace

void ServerCampaign::create(pg::Connection& server, const Catalogue& catalogue)
{
    std::string ddl = "BEGIN;\n"
                      "CREATE SEQUENCE store_versions;\n"
                      "CREATE TABLE store_identity (id text NOT NULL);\n"
                      "INSERT INTO store_identity VALUES (gen_random_uuid()::text);\n"
                      "CREATE TABLE store_gone (tbl text NOT NULL, store_row bigint NOT NULL, "
                      "store_version bigint NOT NULL);\n"
                      "CREATE INDEX store_gone_version ON store_gone (store_version);\n"
                      "CREATE TABLE store_grants (role text NOT NULL, store_row bigint NOT NULL, "
                      "PRIMARY KEY (role, store_row));\n";
    for (const ServerFunction& f : serverFunctions(catalogue))
        ddl += "CREATE FUNCTION " + f.name + f.head + " AS $$" + f.body + "$$;\n";
    // The game master owns the tables and so passes every policy; a player
    // is a member of the campaign's players' role, and its rows of the
    // tables without an owner (and what belongs to them) are those granted
    // to it. The trigger functions write the server's own records as their
    // owner, whoever writes the row.
    ddl += "DO $$ BEGIN\n"
           "  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = current_database() || '_players') THEN\n"
           "    EXECUTE format('CREATE ROLE %I NOLOGIN', current_database() || '_players');\n"
           "  END IF;\n"
           "  EXECUTE format('GRANT CONNECT ON DATABASE %I TO %I', current_database(), current_database() || '_players');\n"
           "  EXECUTE format('GRANT SELECT ON store_identity, store_gone TO %I', current_database() || '_players');\n"
           "END $$;\n";
    ddl += receiptsDdl;
    std::string foreign, policies;
    auto toPlayers = [](const std::string& what) {
        return "DO $$ BEGIN EXECUTE format('GRANT " + what + " TO %I', current_database() || '_players'); END $$;\n";
    };
    for (const TableLayout& layout : catalogue.tables) {
        if (layout.file != catalogue.mainFile || !layout.owner.table.empty())
            continue;
        const std::string t = q(layout.name);
        for (const TableLayout& child : catalogue.tables) {
            if (child.file != catalogue.mainFile || child.owner.table != layout.name)
                continue;
            const std::string owned = "EXISTS (SELECT 1 FROM " + t + " o WHERE " + sameOwner(child, "o", q(child.name));
            policies += "ALTER TABLE " + q(child.name) + " ENABLE ROW LEVEL SECURITY;\n"
                        "CREATE POLICY store_see ON " + q(child.name) + " FOR SELECT USING (" + owned + "));\n"
                        "CREATE POLICY store_change ON " + q(child.name) + " FOR ALL USING (" + owned +
                        " AND store_granted(o.store_row))) WITH CHECK (" + owned + " AND store_granted(o.store_row)));\n" +
                        toPlayers("SELECT, INSERT, UPDATE, DELETE ON " + q(child.name));
        }
        ddl += toPlayers("SELECT ON store_grants") +
               "CREATE TRIGGER store_announce AFTER INSERT OR UPDATE OR DELETE ON store_grants FOR EACH STATEMENT "
               "EXECUTE FUNCTION store_announce();\n";
        policies += "ALTER TABLE " + t + " ADD store_hidden boolean NOT NULL DEFAULT false;\n"
                    "ALTER TABLE store_grants ADD FOREIGN KEY (store_row) REFERENCES " + t + " (store_row) ON DELETE CASCADE;\n"
                    "CREATE TRIGGER store_hide BEFORE UPDATE ON " + t + " FOR EACH ROW EXECUTE FUNCTION store_hide();\n"
                    "ALTER TABLE " + t + " ENABLE ROW LEVEL SECURITY;\n"
                    "CREATE POLICY store_see ON " + t + " FOR SELECT USING (NOT store_hidden);\n"
                    "CREATE POLICY store_change ON " + t + " FOR UPDATE USING (store_granted(store_row)) "
                    "WITH CHECK (store_granted(store_row));\n" +
                    toPlayers("SELECT, UPDATE ON " + t);
        break;  // one table without an owner: the one that is granted
    }
    for (const TableLayout& layout : catalogue.tables) {
        if (layout.file != catalogue.mainFile)
            continue;
        const std::string t = q(layout.name);
        ddl += "CREATE TABLE " + t + " (\n  store_row bigint PRIMARY KEY CHECK (store_row > 0),\n"
               "  store_version bigint NOT NULL";
        for (std::size_t i = 0; i < layout.columns.size(); ++i)
            ddl += ",\n  " + q(layout.columns[i].name) + " " + serverType(layout, i);
        if (layout.uniqueKey)
            ddl += ",\n  UNIQUE (" + columnList(layout, layout.keyColumns) + ")";
        ddl += "\n);\n";
        if (!layout.uniqueKey)
            ddl += "CREATE INDEX " + q(layout.keyIndexName()) + " ON " + t + " (" +
                   columnList(layout, layout.keyColumns) + ");\n";
        ddl += "CREATE INDEX " + q(layout.name + "_store_version") + " ON " + t + " (store_version);\n"
               "CREATE TRIGGER store_stamp BEFORE INSERT OR UPDATE OR DELETE ON " + t +
               " FOR EACH ROW EXECUTE FUNCTION store_stamp();\n"
               "CREATE TRIGGER store_announce AFTER INSERT OR UPDATE OR DELETE ON " + t +
               " FOR EACH STATEMENT EXECUTE FUNCTION store_announce();\n";
        if (!layout.owner.table.empty()) {
            const std::string key = columnList(layout, layout.owner.columns);
            foreign += "ALTER TABLE " + t + " ADD FOREIGN KEY (" + key + ") REFERENCES " + q(layout.owner.table) +
                       " (" + key + ") ON UPDATE CASCADE ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED;\n";
        }
    }
    try {
        server.exec(ddl + foreign + policies + "COMMIT;");
    } catch (const pg::PgError& e) {
        rollBack(server);
        throw StoreError("Cannot make the campaign on the server " + server.server() + ": " + e.what());
    }
}

void ServerCampaign::copyOnto(Database& local, pg::Connection& server)
{
    const Catalogue& catalogue = local.catalogue();
    try {
        server.exec("BEGIN");
        for (const TableLayout& layout : catalogue.tables) {
            if (layout.file != catalogue.mainFile)
                continue;
            const std::string schema = local.schemaFor(layout);
            if (server.query("SELECT 1 FROM " + q(layout.name) + " LIMIT 1").rows.size() != 0)
                throw StoreError("The table " + layout.name + " on the server " + server.server() +
                                 " already holds rows");
            const std::size_t n = layout.columns.size();
            sql::Statement st(local.connection(), "SELECT rowid, * FROM " + schema + "." + q(layout.name));
            // Rows go in batches: one statement per row would take a round
            // trip each.
            const std::size_t perBatch = 60000 / (n + 1);
            std::vector<pg::Value> values;
            std::size_t rows = 0;
            auto flush = [&] {
                if (rows == 0)
                    return;
                std::string text = "INSERT INTO " + q(layout.name) + " (store_row" + allColumns(layout) + ") VALUES ";
                for (std::size_t r = 0; r < rows; ++r)
                    text += (r ? ", (" : "(") + params(static_cast<int>(r * (n + 1) + 1), static_cast<int>(n + 1)) + ")";
                server.query(text, values);
                values.clear();
                rows = 0;
            };
            while (st.step()) {
                values.push_back(std::to_string(st.int64(0)));
                for (Value& v : readLocalRow(st, n))
                    values.push_back(toServer(v));
                if (++rows == perBatch)
                    flush();
            }
            flush();
        }
        server.exec("COMMIT");
        // Statistics at once, so that a copy's pull of what is new is an
        // index scan from the first start on, not a scan of every row.
        server.exec("ANALYZE");
    } catch (const pg::PgError& e) {
        rollBack(server);
        throw StoreError("Cannot copy the campaign onto the server " + server.server() + ": " + e.what());
    } catch (...) {
        rollBack(server);
        throw;
    }
}

namespace {

// The granted table, which the commands need.
const TableLayout& grantedTable(const Catalogue& catalogue)
{
    if (const TableLayout* layout = grantedLayout(catalogue))
        return *layout;
    throw StoreError("The catalogue has no table to grant");
}

// The granted table's record with these key values, by its row number.
std::string rowOf(pg::Connection& server, const TableLayout& layout, const std::vector<std::string>& key)
{
    if (key.size() != layout.keyColumns.size())
        throw StoreError(msg::keyLookupValues(layout.displayName, layout.keyColumns.size()));
    std::string where;
    std::vector<pg::Value> values;
    for (std::size_t k = 0; k < key.size(); ++k) {
        values.push_back(key[k]);
        where += (k ? " AND " : "") + q(layout.columns[static_cast<std::size_t>(layout.keyColumns[k])].name) + " = $" +
                 std::to_string(k + 1);
    }
    const pg::Rows found = server.query("SELECT store_row FROM " + q(layout.name) + " WHERE " + where, values);
    if (found.rows.empty()) {
        std::string named;
        for (const std::string& k : key)
            named += (named.empty() ? "'" : ", '") + k + "'";
        throw StoreError("The table " + layout.displayName + " on the server " + server.server() +
                             " holds no record " + named,
                         StoreError::Code::RecordNotFound);
    }
    return found.rows[0][0].value_or("");
}

template <class Work>
void onServer(pg::Connection& server, Work work)
{
    try {
        work();
    } catch (const pg::PgError& e) {
        throw StoreError("The server " + server.server() + " refused: " + e.what());
    }
}

}  // namespace

void ServerCampaign::addPlayer(pg::Connection& server, const std::string& role)
{
    onServer(server, [&] {
        // The name travels as a value; the server quotes it into the text.
        const pg::Rows make = server.query(
            "SELECT CASE WHEN EXISTS (SELECT FROM pg_roles WHERE rolname = $1) "
            "THEN format('GRANT %I TO %I', current_database() || '_players', $1) "
            "ELSE format('CREATE ROLE %I LOGIN IN ROLE %I', $1, current_database() || '_players') END",
            {role});
        server.exec(make.rows.at(0).at(0).value_or(""));
    });
}

void ServerCampaign::grant(pg::Connection& server, const Catalogue& catalogue, const std::string& role,
                           const std::vector<std::string>& key)
{
    onServer(server, [&] {
        const std::string row = rowOf(server, grantedTable(catalogue), key);
        server.query("INSERT INTO store_grants VALUES ($1, $2) ON CONFLICT DO NOTHING", {role, row});
    });
}

void ServerCampaign::hide(pg::Connection& server, const Catalogue& catalogue, const std::vector<std::string>& key,
                          bool hidden)
{
    onServer(server, [&] {
        const TableLayout& layout = grantedTable(catalogue);
        const std::string row = rowOf(server, layout, key);
        server.query("UPDATE " + q(layout.name) + " SET store_hidden = $1 WHERE store_row = $2",
                     {std::string(hidden ? "true" : "false"), row});
    });
}

ServerCampaign::ServerCampaign(Database& copy, const std::string& conninfo) : copy_(copy), conninfo_(conninfo)
{
    for (const TableLayout& layout : copy_.catalogue().tables)
        if (layout.file == copy_.catalogue().mainFile) {
            copy_.schemaFor(layout);  // its table is there, as the program made it
            tables_.push_back(&layout);
        } else {
            localTables_.push_back(&layout);
        }
    readState();
    pending_ = readPending();
    pull();
    copy_.setRemote(this);
    copy_.connection().watchRowsBefore([this](const sql::RowChange& change, const sql::ValueBefore& old) {
        touch(change, old);
    });
    // A write to the copy outside the database's transactions would never
    // reach the server: it is refused.
    copy_.connection().checkCommits([this] {
        if (touched_.empty() || committing_ || applying_)
            return true;
        touched_.clear();
        return false;
    });
}

ServerCampaign::~ServerCampaign()
{
    copy_.connection().checkCommits({});
    copy_.connection().watchRowsBefore({});
    copy_.setRemote(nullptr);
}

void ServerCampaign::connect()
{
    server_.reset();
    auto c = std::make_unique<pg::Connection>(pg::Connection::open(conninfo_));
    c->exec(std::string("LISTEN ") + channel);
    if (c->query("SELECT to_regclass('store_receipts') IS NULL").rows.at(0).at(0) == "t") {
        // A campaign made before receipts: its owner adds them.
        try {
            c->exec(std::string("BEGIN;\n") + receiptsDdl + "COMMIT;");
        } catch (const pg::PgError& e) {
            rollBack(*c);
            throw StoreError("The campaign on the server " + c->server() +
                             " was made by an earlier version of the program: the game master opens it once first (" +
                             e.what() + ")");
        }
    }
    server_ = std::move(c);
    try {
        checkServer();
        readGrants();
    } catch (...) {
        server_.reset();  // refused: it is asked again, not used
        throw;
    }
}

void ServerCampaign::readGrants()
{
    const TableLayout* granted = grantedLayout(copy_.catalogue());
    const pg::Rows who = server_->query(
        "SELECT current_user::text, (SELECT rolsuper FROM pg_roles WHERE rolname = current_user) OR EXISTS "
        "(SELECT 1 FROM pg_tables WHERE schemaname = 'public' AND tablename = $1 AND tableowner = current_user)",
        {granted ? granted->name : std::string()});
    role_ = who.rows.at(0)[0].value_or("");
    gameMaster_ = who.rows.at(0)[1] == "t";
    granted_.clear();
    for (const auto& r : server_->query("SELECT store_row FROM store_grants WHERE role = current_user").rows)
        granted_.insert(serverNumber(r[0], "store_grants"));
}

std::optional<std::string> ServerCampaign::refusal(const std::string& table, std::int64_t rowid)
{
    const TableLayout* granted = grantedLayout(copy_.catalogue());
    if (gameMaster_ || !granted)
        return std::nullopt;
    const TableLayout* layout = nullptr;
    for (const TableLayout* t : tables_)
        if (equalsNoCase(t->name, table))
            layout = t;
    if (!layout || (layout != granted && layout->owner.table != granted->name))
        return std::nullopt;
    if (layout != granted) {
        // A row that belongs to a granted one: its owner's number.
        std::string columns, same;
        for (int k : layout->owner.columns) {
            const std::string c = q(layout->columns[static_cast<std::size_t>(k)].name);
            same += (same.empty() ? "" : " AND ") + ("o." + c) + " = c." + c;
        }
        sql::Statement owner(copy_.connection(), "SELECT o.rowid FROM " + copy_.mainSchema() + "." + q(granted->name) +
                                                     " o JOIN " + copy_.mainSchema() + "." + q(layout->name) +
                                                     " c ON " + same + " WHERE c.rowid = ?1");
        owner.bind(1, rowid);
        rowid = owner.step() ? owner.int64(0) : 0;
    }
    if (granted_.count(rowid))
        return std::nullopt;
    return msg::notYours(layout->displayName, role_);
}

void ServerCampaign::rollBackServer()
{
    if (server_)
        rollBack(*server_);
}

int ServerCampaign::socket() const { return server_ && server_->connected() ? server_->socket() : -1; }

bool ServerCampaign::changesAnnounced()
{
    try {
        return server_ && server_->connected() && server_->takeNotifications();
    } catch (const pg::PgError&) {
        return false;  // lost: the next pull or save says so
    }
}

void ServerCampaign::readState()
{
    std::ifstream in(copy_.folder() / stateFile);
    std::string version;
    // A state that cannot be read is none: the next pull brings everything.
    const bool read = std::getline(in, identity_) && std::getline(in, version);
    pulled_ = read ? std::max<std::int64_t>(wholeNumber(version).value_or(0), 0) : 0;
    if (!read)
        identity_.clear();
}

void ServerCampaign::writeState() const
{
    // Behind the copy's own commit, never ahead: a state lost or left
    // behind only makes the next pull bring some rows again.
    const fs::path file = copy_.folder() / stateFile;
    const fs::path part = copy_.folder() / (std::string(stateFile) + ".new");
    {
        std::ofstream out(part, std::ios::trunc);
        out << identity_ << '\n' << pulled_ << '\n';
        if (!out.flush())
            return;
    }
    std::error_code ec;
    renameDurably(part, file, ec);
}

bool ServerCampaign::pull()
{
    try {
        try {
            return pullNow();
        } catch (const pg::PgError& e) {
            // A connection the server ended since it was last used is made
            // again once, as for a save.
            if (!e.unreachable() || !server_ || server_->connected())
                throw;
            rollBackServer();
            return pullNow();
        }
    } catch (const pg::PgError& e) {
        rollBackServer();
        readState();
        throw StoreError(e.unreachable() ? std::string(e.what())
                                         : msg::serverRefusedRead(server_ ? server_->server() : conninfo_, e.what()));
    } catch (const sql::SqlError& e) {
        rollBackServer();
        readState();
        throw StoreError(msg::serverRefusedRead(server_->server(), std::string("the copy does not take a row: ") + e.what()));
    } catch (...) {
        rollBackServer();
        readState();
        throw;
    }
}

void ServerCampaign::checkServer()
{
    // As a file is refused for what the program does not create there, the
    // server's database is refused for a table, function, trigger, policy
    // or rule of another's: such code would run with every save.
    pg::Connection& server = *server_;
    const Catalogue& catalogue = copy_.catalogue();
    const std::string where = server.server();
    const std::string ours = " n.nspname NOT IN ('pg_catalog', 'information_schema') AND n.nspname NOT LIKE 'pg_toast%' "
                             "AND n.nspname NOT LIKE 'pg_temp%'";
    auto refuse = [&](const std::string& type, const pg::Value& name) {
        throw StoreError(msg::foreignServerObject(where, type, name.value_or("")));
    };
    std::vector<std::string> tables{"store_identity", "store_gone", "store_grants", "store_receipts"};
    for (const TableLayout* layout : tables_)
        tables.push_back(layout->name);
    auto isTable = [&](const pg::Value& name) {
        return name && std::find(tables.begin(), tables.end(), *name) != tables.end();
    };
    for (const auto& r : server.query("SELECT c.relname, c.relkind::text, t.relname FROM pg_class c JOIN pg_namespace n "
                                      "ON n.oid = c.relnamespace LEFT JOIN pg_index i ON i.indexrelid = c.oid LEFT JOIN "
                                      "pg_class t ON t.oid = i.indrelid WHERE" + ours).rows) {
        const std::string kind = r[1].value_or("");
        const bool own = (kind == "r" && isTable(r[0])) || (kind == "S" && r[0] == "store_versions") ||
                         (kind == "i" && isTable(r[2]));
        if (!own)
            refuse(kind == "r" ? "table" : kind == "v" ? "view" : kind == "i" ? "index" : "relation", r[0]);
    }
    const std::vector<ServerFunction> functions = serverFunctions(catalogue);
    for (const auto& r : server.query("SELECT p.proname, p.prosrc, p.prosecdef::text FROM pg_proc p JOIN pg_namespace n "
                                      "ON n.oid = p.pronamespace WHERE" + ours).rows) {
        const bool own = std::any_of(functions.begin(), functions.end(), [&](const ServerFunction& f) {
            return r[0] == f.name && r[1] == f.body && r[2] == std::string(f.definer ? "true" : "false");
        });
        if (!own)
            refuse("function", r[0]);
    }
    const TableLayout* granted = grantedLayout(catalogue);
    for (const auto& r : server.query("SELECT tg.tgname, c.relname, p.proname FROM pg_trigger tg JOIN pg_class c ON "
                                      "c.oid = tg.tgrelid JOIN pg_namespace n ON n.oid = c.relnamespace JOIN pg_proc p ON "
                                      "p.oid = tg.tgfoid WHERE NOT tg.tgisinternal AND" + ours).rows) {
        const bool own = r[0] == r[2] && isTable(r[1]) &&
                         (r[0] == "store_stamp" || r[0] == "store_announce" ||
                          (r[0] == "store_hide" && granted && r[1] == granted->name));
        if (!own)
            refuse("trigger", r[0]);
    }
    for (const auto& r : server.query("SELECT pol.polname, c.relname FROM pg_policy pol JOIN pg_class c ON c.oid = "
                                      "pol.polrelid JOIN pg_namespace n ON n.oid = c.relnamespace WHERE" + ours).rows)
        if ((r[0] != "store_see" && r[0] != "store_change") || !isTable(r[1]))
            refuse("policy", r[0]);
    for (const auto& r : server.query("SELECT r.rulename FROM pg_rewrite r JOIN pg_class c ON c.oid = r.ev_class JOIN "
                                      "pg_namespace n ON n.oid = c.relnamespace WHERE" + ours).rows)
        refuse("rule", r[0]);
    for (const auto& r : server.query("SELECT evtname FROM pg_event_trigger").rows)
        refuse("event trigger", r[0]);
}

bool ServerCampaign::pullNow()
{
    if (!server_ || !server_->connected())
        connect();
    else
        readGrants();  // a grant announced, or the changes of a grant's record
    const bool settled = settle();
    sql::Connection& local = copy_.connection();
    // The copy takes the server's rows as they stand, whatever order they
    // come in; the server's own keys held them together, and the copy's
    // are checked once all are in.
    local.exec("PRAGMA foreign_keys=OFF");
    struct KeysBack {
        sql::Connection& c;
        ~KeysBack() { c.exec("PRAGMA foreign_keys=ON"); }
    } keysBack{local};
    const FlagOn applying(applying_);
    pg::Connection& server = *server_;
    bool any = settled;
    std::int64_t newest = pulled_;
    {
        Database::Transaction tx(copy_);
        server.exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
        const pg::Rows id = server.query("SELECT id FROM store_identity");
        if (id.rows.size() != 1 || !id.rows[0][0])
            throw StoreError("The server " + server.server() + " holds no campaign");
        if (*id.rows[0][0] != identity_) {
            // Another campaign, or one made again: nothing of the copy is its.
            for (const TableLayout* layout : tables_)
                local.exec("DELETE FROM " + copy_.mainSchema() + "." + q(layout->name));
            identity_ = *id.rows[0][0];
            pulled_ = newest = 0;
            any = true;
        }
        // The rows that came in must belong to rows of their owners, and an
        // owner's row that went or changed must leave none behind: checked for
        // those rows alone, not by a scan of whole tables.
        struct OwnerCheck {
            std::size_t child, owner;
            std::vector<int> columns;  // the child's, naming the owner's key
            std::set<std::vector<Value>> came, left;
        };
        std::vector<OwnerCheck> checks;
        for (std::size_t c = 0; c < tables_.size(); ++c)
            for (std::size_t o = 0; o < tables_.size(); ++o)
                if (tables_[c]->owner.table == tables_[o]->name)
                    checks.push_back({c, o, tables_[c]->owner.columns, {}, {}});
        auto keyWhere = [&](const OwnerCheck& check) {
            std::string where;
            for (std::size_t k = 0; k < check.columns.size(); ++k)
                where += (k ? " AND " : "") +
                         q(tables_[check.child]->columns[static_cast<std::size_t>(check.columns[k])].name) + " = ?" +
                         std::to_string(k + 1);
            return where;
        };
        // Before an owner's row goes or is replaced: its key as it was.
        auto leaving = [&](std::size_t table, std::int64_t row) {
            for (OwnerCheck& check : checks) {
                if (check.owner != table)
                    continue;
                std::string columns;
                for (int k : check.columns)
                    columns += (columns.empty() ? "" : ", ") + q(tables_[check.child]->columns[static_cast<std::size_t>(k)].name);
                sql::Statement st(local, "SELECT " + columns + " FROM " + copy_.mainSchema() + "." +
                                             q(tables_[table]->name) + " WHERE rowid = ?1");
                st.bind(1, row);
                if (st.step()) {
                    std::vector<Value> key;
                    for (int k = 0; k < st.columnCount(); ++k)
                        key.push_back(st.type(k) == sql::Statement::Type::Integer ? Value(st.int64(k))
                                      : st.isNull(k)                              ? Value()
                                                                                  : Value(st.text(k)));
                    check.left.insert(std::move(key));
                }
            }
        };
        const pg::Value since = std::to_string(pulled_);
        const pg::Rows gone =
            server.query("SELECT tbl, store_row, store_version FROM store_gone WHERE store_version > $1", {since});
        for (const auto& row : gone.rows) {
            for (std::size_t t = 0; t < tables_.size(); ++t)
                if (const TableLayout* layout = tables_[t]; row[0] == layout->name) {
                    const std::int64_t number = serverNumber(row[1], layout->displayName);
                    leaving(t, number);
                    sql::Statement del(local, "DELETE FROM " + copy_.mainSchema() + "." + q(layout->name) +
                                                  " WHERE rowid = ?1");
                    del.bind(1, number);
                    del.run();
                }
            newest = std::max(newest, serverNumber(row[2], "store_gone"));
            any = true;
        }
        for (std::size_t t = 0; t < tables_.size(); ++t) {
            const TableLayout* layout = tables_[t];
            const std::size_t n = layout->columns.size();
            const int autoInc = layout->autoIncColumn();
            sql::Statement put(local, putRow(copy_.mainSchema(), *layout));
            server.exec("DECLARE pulled NO SCROLL CURSOR FOR SELECT store_row, store_version" + allColumns(*layout) +
                        " FROM " + q(layout->name) + " WHERE store_version > " + std::to_string(pulled_));
            for (;;) {
                const pg::Rows batch = server.query("FETCH 2000 FROM pulled");
                if (batch.rows.empty())
                    break;
                for (const auto& row : batch.rows) {
                    if (row.size() != n + 2)
                        throw StoreError(msg::cannotRead(layout->displayName, "the server's table has other columns"));
                    const Value number = serverNumber(row[0], layout->displayName);
                    leaving(t, std::get<std::int64_t>(number));
                    put.reset();
                    int p = 1;
                    if (autoInc < 0)
                        put.bind(p++, std::get<std::int64_t>(number));
                    std::vector<Value> values;
                    for (std::size_t i = 0; i < n; ++i) {
                        values.push_back(fromServer(row[i + 2], *layout, i));
                        if (static_cast<int>(i) == autoInc && values.back() != number)
                            throw StoreError(
                                msg::cannotRead(layout->displayName, "the server sent a row whose number differs"));
                        bindValue(put, p++, values.back());
                    }
                    put.run();
                    for (OwnerCheck& check : checks)
                        if (check.child == t) {
                            std::vector<Value> key;
                            for (int k : check.columns)
                                key.push_back(values[static_cast<std::size_t>(k)]);
                            check.came.insert(std::move(key));
                        }
                    newest = std::max(newest, serverNumber(row[1], layout->displayName));
                    any = true;
                }
            }
            server.exec("CLOSE pulled");
        }
        server.exec("COMMIT");
        for (const OwnerCheck& check : checks) {
            const std::string where = keyWhere(check);
            sql::Statement owner(local, "SELECT 1 FROM " + copy_.mainSchema() + "." + q(tables_[check.owner]->name) +
                                            " WHERE " + where);
            sql::Statement child(local, "SELECT 1 FROM " + copy_.mainSchema() + "." + q(tables_[check.child]->name) +
                                            " WHERE " + where + " LIMIT 1");
            auto has = [](sql::Statement& st, const std::vector<Value>& key) {
                st.reset();
                for (std::size_t k = 0; k < key.size(); ++k)
                    bindValue(st, static_cast<int>(k) + 1, key[k]);
                const bool found = st.step();
                st.reset();
                return found;
            };
            for (const auto& key : check.came)
                if (!has(owner, key))
                    throw StoreError(msg::cannotRead(tables_[check.child]->displayName,
                                                     "the server holds rows that belong to no row of " +
                                                         tables_[check.owner]->name));
            for (const auto& key : check.left)
                if (!has(owner, key) && has(child, key))
                    throw StoreError(msg::cannotRead(tables_[check.child]->displayName,
                                                     "the server holds rows that belong to no row of " +
                                                         tables_[check.owner]->name));
        }
        tx.commit();
    }
    pulled_ = newest;
    if (any)
        writeState();
    return any;
}

void ServerCampaign::touch(const sql::RowChange& change, const sql::ValueBefore& old)
{
    if (applying_)
        return;
    if (change.schema != copy_.mainSchema()) {
        for (const TableLayout* layout : localTables_)
            if (equalsNoCase(change.table, layout->name)) {
                if (change.kind != sql::RowChange::Kind::Insert)
                    localTouched_.insert({layout, change.before});
                if (change.kind != sql::RowChange::Kind::Delete)
                    localTouched_.insert({layout, change.after});
            }
        return;
    }
    for (std::size_t t = 0; t < tables_.size(); ++t) {
        if (!equalsNoCase(change.table, tables_[t]->name))
            continue;
        if (change.kind != sql::RowChange::Kind::Insert) {
            auto [it, fresh] = touched_.try_emplace({t, change.before});
            if (fresh) {
                it->second.existed = true;
                for (std::size_t i = 0; i < tables_[t]->columns.size(); ++i)
                    it->second.before.push_back(old(static_cast<int>(i)));
            }
        }
        if (change.kind != sql::RowChange::Kind::Delete && change.after != change.before)
            touched_.try_emplace({t, change.after});
        return;
    }
}

void ServerCampaign::beforeCommit()
{
    if (applying_)
        return;
    // Until the server says whether an earlier commit of the copy's own
    // tables was stored, they could be finished over this one.
    if (pending_ && (!touched_.empty() || !localTouched_.empty()))
        throw StoreError(msg::transactionFailed("the server has not yet said whether the last import was stored; "
                                                "save again once the server can be reached"));
    if (touched_.empty())
        return;
    committing_ = true;
    try {
        push();
    } catch (const pg::PgError& e) {
        rollBackServer();
        throw saveRefused(e);
    } catch (...) {
        rollBackServer();
        throw;
    }
}

void ServerCampaign::ended(bool committed)
{
    if (applying_)
        return;  // the copy's own transactions of a pull
    touched_.clear();
    localTouched_.clear();
    committing_ = false;
    const bool sent = std::exchange(sentCommit_, false), stored = std::exchange(serverCommitted_, false);
    const bool wrote = std::exchange(wrotePending_, false);
    if (committed) {
        unsure_.reset();
        lastToken_ = token_.empty() ? lastToken_ : token_;
        if (wrote)
            removePending();
    } else if (sent) {
        // The server may hold the push, or does: a save made again must
        // find its rows there rather than store them twice.
        Unsure unsure{stored ? std::string() : token_, {}, unsure_ ? unsure_->known : std::vector<Sent>{}};
        (stored ? unsure.known : unsure.inserts) = std::move(sent_);
        unsure_ = std::move(unsure);
    } else if (wrote) {
        removePending();  // never sent: nothing to finish
    }
    sent_.clear();
    token_.clear();
    // A save refused for another program's change of the same field: the
    // record shows what is stored now, as after such a refusal here. An
    // import the server may hold is finished as soon as it answers.
    if (!committed && (std::exchange(conflict_, false) || pending_))
        try {
            pull();
        } catch (...) {
            // The next pull tries again.
        }
}

void ServerCampaign::push()
{
    token_ = newToken();
    try {
        if (!server_ || !server_->connected())
            connect();
        server_->exec("BEGIN");
    } catch (const pg::PgError& e) {
        // A connection that the server ended since it was last used is
        // made again once; a server that is not there says so.
        if (!e.unreachable())
            throw;
        connect();
        server_->exec("BEGIN");
    }
    pg::Connection& server = *server_;
    // The tokens are the program's own hexadecimal digits.
    server.exec(std::string("SET LOCAL lock_timeout = '3s'; ") + writersLock + "; " +
                (lastToken_.empty() ? "" : "DELETE FROM store_receipts WHERE token = '" + lastToken_ + "'; ") +
                "INSERT INTO store_receipts (token) VALUES ('" + token_ + "')");
    // The inserts of an earlier save that the server stored, though the
    // copy never heard so or did not commit them.
    std::vector<Sent> stored;
    if (unsure_) {
        if (!unsure_->token.empty()) {
            if (!server.query("DELETE FROM store_receipts WHERE token = $1 RETURNING 1", {unsure_->token}).rows.empty())
                unsure_->known.insert(unsure_->known.end(), unsure_->inserts.begin(), unsure_->inserts.end());
            unsure_->token.clear();
            unsure_->inserts.clear();
        }
        stored = unsure_->known;
    }

    struct Insert {
        std::size_t table;
        std::int64_t row;
        std::vector<Value> values;
    };
    std::vector<Insert> inserts;
    sql::Connection& local = copy_.connection();
    const std::string schema = copy_.mainSchema();
    std::vector<sql::Statement> readers;
    for (const TableLayout* layout : tables_)
        readers.emplace_back(local, "SELECT rowid, * FROM " + schema + "." + q(layout->name) + " WHERE rowid = ?1");

    // Deletes first, then updates, inserts last: a key freed by one is free
    // for the next.
    for (int pass = 0; pass < 2; ++pass)
        for (const auto& [where, touched] : touched_) {
            const auto& [t, row] = where;
            const TableLayout& layout = *tables_[t];
            sql::Statement& read = readers[t];
            read.reset();
            read.bind(1, row);
            std::optional<std::vector<Value>> now;
            if (read.step())
                now = readLocalRow(read, layout.columns.size());
            read.reset();
            const pg::Value number = std::to_string(row);
            const std::string table = q(layout.name);
            if (pass == 0 && touched.existed && !now) {
                // Gone already (another program's delete, or the owner's
                // cascade on the server) is as good as deleted here.
                if (server.query("DELETE FROM " + table + " WHERE store_row = $1 RETURNING 1", {number}).rows.empty() &&
                    !server.query("SELECT 1 FROM " + table + " WHERE store_row = $1", {number}).rows.empty())
                    throw notYours(server, layout);
            } else if (pass == 1 && touched.existed && now) {
                std::vector<std::size_t> changed;
                for (std::size_t i = 0; i < now->size(); ++i)
                    if ((*now)[i] != touched.before[i])
                        changed.push_back(i);
                if (changed.empty())
                    continue;
                // Only the fields changed here are written, each only where
                // the server still holds what this copy held (or already
                // holds what it writes: a save repeated after an answer lost).
                std::string set, same;
                std::vector<pg::Value> values{number};
                for (std::size_t i : changed) {
                    const std::string c = q(layout.columns[i].name);
                    values.push_back(toServer((*now)[i]));
                    const std::string fresh = "$" + std::to_string(values.size());
                    values.push_back(toServer(touched.before[i]));
                    const std::string was = "$" + std::to_string(values.size());
                    set += (set.empty() ? "" : ", ") + c + " = " + fresh;
                    same += " AND (" + c + " IS NOT DISTINCT FROM " + was + " OR " + c + " IS NOT DISTINCT FROM " +
                            fresh + ")";
                }
                if (!server.query("UPDATE " + table + " SET " + set + " WHERE store_row = $1" + same + " RETURNING 1",
                                  values)
                         .rows.empty())
                    continue;
                const pg::Rows stored =
                    server.query("SELECT store_row" + allColumns(layout) + " FROM " + table + " WHERE store_row = $1",
                                 {number});
                if (stored.rows.empty())
                    throw StoreError(msg::recordKeyDeleted, StoreError::Code::RecordKeyDeleted);
                std::string fields;
                int conflicting = 0;
                for (std::size_t i : changed) {
                    const Value there = fromServer(stored.rows[0][i + 1], layout, i);
                    if (there != touched.before[i] && there != (*now)[i]) {
                        fields += (fields.empty() ? "'" : ", '") + layout.columns[i].name + "'";
                        ++conflicting;
                    }
                }
                if (conflicting == 0)
                    throw notYours(server, layout);
                conflict_ = true;
                throw StoreError(msg::changedElsewhere(fields, conflicting > 1), StoreError::Code::ChangedElsewhere);
            } else if (pass == 1 && !touched.existed && now) {
                inserts.push_back({t, row, std::move(*now)});
            }
        }

    std::vector<std::pair<std::size_t, std::pair<std::int64_t, std::int64_t>>> moved;  // table, from, to
    for (Insert& ins : inserts) {
        Sent sent{ins.table, ins.row, std::move(ins.values)};
        if (matchStored(stored, sent, moved))
            continue;
        const TableLayout& layout = *tables_[ins.table];
        const std::string table = q(layout.name);
        const int autoInc = layout.autoIncColumn();
        auto tryAt = [&](std::int64_t number) {
            std::vector<pg::Value> values{std::to_string(number)};
            for (std::size_t i = 0; i < sent.values.size(); ++i)
                values.push_back(static_cast<int>(i) == autoInc ? std::to_string(number) : toServer(sent.values[i]));
            return !server
                        .query("INSERT INTO " + table + " (store_row" + allColumns(layout) + ") VALUES (" +
                                   params(1, static_cast<int>(values.size())) +
                                   ") ON CONFLICT (store_row) DO NOTHING RETURNING 1",
                               values)
                        .rows.empty();
        };
        if (!tryAt(ins.row)) {
            // Another program's row has the number.
            const pg::Rows free = server.query("SELECT store_free_row($1)", {layout.name});
            const std::int64_t to = serverNumber(free.rows.empty() ? pg::Value() : free.rows[0][0], layout.displayName);
            if (!tryAt(to))
                throw StoreError(msg::cannotWrite(layout.displayName, "the server gave a row number already taken"));
            moved.push_back({ins.table, {ins.row, to}});
            sent.row = to;
        }
        sent_.push_back(std::move(sent));
    }
    if (!localTouched_.empty()) {
        Pending pending{token_, {}};
        for (const auto& [layout, row] : localTouched_) {
            sql::Statement read(local, "SELECT rowid, * FROM " + copy_.schemaFor(*layout) + "." + q(layout->name) +
                                           " WHERE rowid = ?1");
            read.bind(1, row);
            pending.rows.push_back({layout, row, std::nullopt});
            if (read.step())
                pending.rows.back().values = readLocalRow(read, layout->columns.size());
        }
        writePending(pending);
        pending_ = std::move(pending);
        wrotePending_ = true;
    }
    sentCommit_ = true;
    server.exec("COMMIT");
    serverCommitted_ = true;

    // The rows the server numbered otherwise take its numbers here, through
    // numbers no row has, since one's new number may be another's old one.
    const FlagOn applying(applying_);
    for (int step = 0; step < 2; ++step)
        for (const auto& [t, fromTo] : moved) {
            sql::Statement move(local, "UPDATE " + schema + "." + q(tables_[t]->name) + " SET rowid = ?1 WHERE rowid = ?2");
            move.bind(1, step == 0 ? -fromTo.first : fromTo.second);
            move.bind(2, step == 0 ? fromTo.first : -fromTo.first);
            move.run();
            if (step == 1)
                copy_.renumbered(tables_[t]->name, fromTo.first, fromTo.second);
        }
}

}  // namespace store

namespace store {

bool ServerCampaign::matchStored(std::vector<Sent>& stored, Sent& insert,
                                 std::vector<std::pair<std::size_t, std::pair<std::int64_t, std::int64_t>>>& moved)
{
    const TableLayout& layout = *tables_[insert.table];
    const int autoInc = layout.autoIncColumn();
    const auto it = std::find_if(stored.begin(), stored.end(), [&](const Sent& s) {
        if (s.table != insert.table)
            return false;
        for (std::size_t i = 0; i < s.values.size(); ++i)
            if (static_cast<int>(i) != autoInc && s.values[i] != insert.values[i])
                return false;
        return true;
    });
    if (it == stored.end())
        return false;
    const std::int64_t there = it->row;
    stored.erase(it);
    if (there == insert.row)
        return true;
    const std::string table = copy_.mainSchema() + "." + q(layout.name);
    sql::Statement held(copy_.connection(), "SELECT 1 FROM " + table + " WHERE rowid = ?1");
    held.bind(1, there);
    if (!held.step()) {
        moved.push_back({insert.table, {insert.row, there}});
        return true;
    }
    // A pull brought the stored row already: this one is a second of it.
    held.reset();
    const FlagOn applying(applying_);
    sql::Statement drop(copy_.connection(), "DELETE FROM " + table + " WHERE rowid = ?1");
    drop.bind(1, insert.row);
    drop.run();
    copy_.renumbered(layout.name, insert.row, there);
    return true;
}

bool ServerCampaign::settle()
{
    if (!pending_)
        return false;
    // Behind the writers' lock: a commit of that push still under way on
    // the server has ended, one way or the other.
    pg::Connection& server = *server_;
    server.exec(std::string("BEGIN; SET LOCAL lock_timeout = '3s'; ") + writersLock);
    const bool stored = !server.query("SELECT 1 FROM store_receipts WHERE token = $1", {pending_->token}).rows.empty();
    server.exec("COMMIT");
    if (stored) {
        const FlagOn applying(applying_);
        // Their files are attached before the transaction, which cannot.
        std::map<const TableLayout*, std::string> schemas;
        for (const LocalRow& r : pending_->rows)
            schemas.try_emplace(r.table, copy_.schemaFor(*r.table));
        Database::Transaction tx(copy_);
        sql::Connection& local = copy_.connection();
        for (const LocalRow& r : pending_->rows) {
            sql::Statement drop(local, "DELETE FROM " + schemas[r.table] + "." + q(r.table->name) + " WHERE rowid = ?1");
            drop.bind(1, r.row);
            drop.run();
        }
        for (const LocalRow& r : pending_->rows) {
            if (!r.values)
                continue;
            sql::Statement put(local, putRow(schemas[r.table], *r.table));
            int p = 1;
            if (r.table->autoIncColumn() < 0)
                put.bind(p++, r.row);
            for (const Value& v : *r.values)
                bindValue(put, p++, v);
            put.run();
        }
        tx.commit();
        lastToken_ = pending_->token;
    }
    removePending();
    return stored;
}

namespace {

bool isToken(const std::string& text)
{
    return text.size() == 32 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

}  // namespace

void ServerCampaign::writePending(const Pending& pending) const
{
    const fs::path file = copy_.folder() / pendingFile;
    const fs::path part = copy_.folder() / (std::string(pendingFile) + ".new");
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << pending.token << '\n';
        for (const LocalRow& r : pending.rows) {
            out << r.table->name << '\n' << r.row << '\n';
            if (!r.values) {
                out << "-1\n";
                continue;
            }
            out << r.values->size() << '\n';
            for (const Value& v : *r.values) {
                if (const auto* i = std::get_if<std::int64_t>(&v))
                    out << 'I' << *i << '\n';
                else if (const auto* t = std::get_if<std::string>(&v))
                    out << 'T' << t->size() << '\n' << *t << '\n';
                else
                    out << "N\n";
            }
        }
        out << "end\n";
        if (!out.flush())
            throw StoreError(msg::transactionFailed("cannot write " + part.string()));
    }
    std::error_code ec;
    if (!renameDurably(part, file, ec))
        throw StoreError(msg::transactionFailed("cannot write " + file.string() + ": " + ec.message()));
}

std::optional<ServerCampaign::Pending> ServerCampaign::readPending() const
{
    std::ifstream in(copy_.folder() / pendingFile, std::ios::binary);
    Pending pending;
    // Written whole before the server was asked to commit, or not at all:
    // one that does not read so was never sent.
    if (!std::getline(in, pending.token) || !isToken(pending.token))
        return std::nullopt;
    for (std::string name, line;;) {
        if (!std::getline(in, name))
            return std::nullopt;
        if (name == "end")
            return pending;
        const auto layout = std::find_if(localTables_.begin(), localTables_.end(),
                                         [&](const TableLayout* t) { return t->name == name; });
        std::optional<std::int64_t> row, count;
        if (layout == localTables_.end() || !std::getline(in, line) || !(row = wholeNumber(line)) ||
            !std::getline(in, line) || !(count = wholeNumber(line)))
            return std::nullopt;
        LocalRow r{*layout, *row, std::nullopt};
        if (*count >= 0) {
            if (static_cast<std::size_t>(*count) != r.table->columns.size())
                return std::nullopt;
            r.values.emplace();
            for (std::int64_t i = 0; i < *count; ++i) {
                if (!std::getline(in, line) || line.empty())
                    return std::nullopt;
                const std::optional<std::int64_t> n = wholeNumber(line.substr(1));
                if (line == "N") {
                    r.values->emplace_back();
                } else if (line[0] == 'I' && n) {
                    r.values->emplace_back(*n);
                } else if (line[0] == 'T' && n && *n >= 0 && *n <= (1 << 24)) {
                    std::string text(static_cast<std::size_t>(*n), '\0');
                    if (!in.read(text.data(), *n) || in.get() != '\n')
                        return std::nullopt;
                    r.values->emplace_back(std::move(text));
                } else {
                    return std::nullopt;
                }
            }
        }
        pending.rows.push_back(std::move(r));
    }
}

void ServerCampaign::removePending()
{
    std::error_code ec;
    fs::remove(copy_.folder() / pendingFile, ec);
    syncFolder(copy_.folder(), ec);
    pending_.reset();
}

}  // namespace store
