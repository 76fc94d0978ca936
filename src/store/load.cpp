#include "store/load.h"

#include <optional>

#include "store/database.h"
#include "store/paths.h"
#include "store/schema.h"
#include "store/sqlite.h"
#include "store/table_sql.h"
#include "store/value_check.h"

namespace store {

namespace {

// Runs `work`, giving SQLite's refusal to the caller as a LoadError.
template <typename Work>
auto loading(Work&& work)
{
    try {
        return work();
    } catch (const sql::SqlError& e) {
        throw LoadError(e.what());
    }
}

void bind(sql::Statement& s, int param, const Value& v)
{
    if (const auto* n = std::get_if<std::int64_t>(&v))
        s.bind(param, *n);
    else if (const auto* t = std::get_if<std::string>(&v))
        s.bind(param, std::string_view(*t));
    else
        s.bindNull(param);
}

}  // namespace

struct Load::Files {
    sql::Connection own;                            // a new file's
    sql::Connection* conn = &own;
    std::map<const TableLayout*, std::string> schemas;  // none: the new file's "main"
    std::optional<Database::Transaction> tx;

    const std::string& schema(const TableLayout& layout) const
    {
        static const std::string main = "main";
        const auto it = schemas.find(&layout);
        return it == schemas.end() ? main : it->second;
    }
};

struct Load::Records::Statements {
    sql::Statement insert;
    sql::Statement find;
};

Load::Load(const Catalogue& catalogue, const std::filesystem::path& file, const std::string& which)
    : files_(std::make_unique<Files>())
{
    loading([&] {
        Database::createFile(catalogue, file, which);
        files_->own = sql::Connection::open(utf8(file), false);
        applyPragmas(files_->own);
        files_->own.exec("BEGIN");
    });
}

Load::Load(Database& db, const std::vector<const TableLayout*>& layouts) : files_(std::make_unique<Files>())
{
    for (const TableLayout* layout : layouts)
        files_->schemas[layout] = db.schemaFor(*layout);
    files_->conn = &db.connection();
    files_->tx.emplace(db);
}

Load::~Load() = default;

Load::Records::Records(std::unique_ptr<Statements> s) : s_(std::move(s)) {}
Load::Records::Records(Records&&) noexcept = default;
Load::Records::~Records() = default;

Load::Records Load::records(const TableLayout& layout, bool insert, bool find)
{
    return loading([&] {
        const TableSql sql(layout, files_->schema(layout));
        auto s = std::make_unique<Records::Statements>();
        if (insert)
            s->insert = sql::Statement(*files_->conn, sql.insert());
        if (find)
            s->find = sql::Statement(*files_->conn, sql.find("1", 0));
        return Records(std::move(s));
    });
}

bool Load::Records::holds(const std::vector<Value>& key)
{
    return loading([&] {
        s_->find.reset();
        for (std::size_t i = 0; i < key.size(); ++i)
            bind(s_->find, static_cast<int>(i) + 1, key[i]);
        return s_->find.step();
    });
}

void Load::Records::insert(const std::vector<Value>& values)
{
    loading([&] {
        s_->insert.reset();
        for (std::size_t i = 0; i < values.size(); ++i)
            bind(s_->insert, static_cast<int>(i) + 1, values[i]);
        s_->insert.run();
    });
}

void Load::checkValues(const TableLayout& layout, const std::function<bool()>& keepGoing)
{
    loading([&] { store::checkValues(*files_->conn, files_->schema(layout), layout, memoLimit, keepGoing); });
}

std::int64_t Load::addMissingOwners(const TableLayout& layout)
{
    return loading([&] {
        const std::string& schema = files_->schema(layout);
        return store::addMissingOwners(*files_->conn, schema, schema + "." + sql::quoteIdentifier(layout.name),
                                       layout);
    });
}

void Load::commit()
{
    if (files_->tx)
        files_->tx->commit();
    else
        loading([&] { files_->own.exec("COMMIT"); });
}

}  // namespace store
