#include "store/pg.h"

#include <libpq-fe.h>

#include <algorithm>

#include "store/alias_registry.h"
#include "store/error.h"
#include "store/layout.h"

namespace store::pg {

namespace {

struct ClearResult {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ClearResult>;

std::string trimmed(const char* message)
{
    std::string s = message ? message : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

std::string serverOf(const PGconn* c)
{
    const char* host = PQhost(c);
    const char* port = PQport(c);
    const char* db = PQdb(c);
    return std::string(host ? host : "") + ":" + (port ? port : "") + "/" + (db ? db : "");
}

}  // namespace

bool onServer(const Alias& alias) { return equalsNoCase(alias.type, serverAliasType); }

std::string connInfo(const Alias& alias)
{
    static const std::pair<const char*, const char*> known[] = {
        {"HOST", "host"},       {"PORT", "port"},           {"DATABASE", "dbname"}, {"USER", "user"},
        {"SSLMODE", "sslmode"}, {"SSLROOTCERT", "sslrootcert"}, {"SSLCERT", "sslcert"}, {"SSLKEY", "sslkey"}};
    std::string info;
    for (const auto& [name, value] : alias.params) {
        if (equalsNoCase(name, "PASSWORD"))
            throw StoreError("The alias " + alias.name + " holds a password, which anyone who reads the alias file "
                             "would read: take it out, and give it in libpq's password file or PGPASSWORD");
        const auto* it = std::find_if(std::begin(known), std::end(known), [&](const auto& k) { return equalsNoCase(name, k.first); });
        if (it == std::end(known))
            throw StoreError("The alias " + alias.name + " has a setting " + name + " that a server alias does not take");
        // Quoted, quotes and backslashes escaped: "x password=y" stays a host.
        std::string quoted = "'";
        for (char c : value)
            quoted += c == '\\' || c == '\'' ? std::string("\\") + c : std::string(1, c);
        info += (info.empty() ? "" : " ") + std::string(it->second) + "=" + quoted + "'";
    }
    return info;
}

void Connection::Close::operator()(pg_conn* c) const { PQfinish(c); }

Connection::~Connection() = default;

Connection Connection::open(const std::string& conninfo)
{
    std::unique_ptr<pg_conn, Close> c(PQconnectdb(conninfo.c_str()));
    if (!c)
        throw PgError({}, "Cannot reach the server: out of memory");
    if (PQstatus(c.get()) != CONNECTION_OK)
        throw PgError({}, "Cannot reach the server " + serverOf(c.get()) + ": " + trimmed(PQerrorMessage(c.get())));
    // The server's notices (a role granted twice) are no errors, and the
    // program has no console to print them on.
    PQsetNoticeProcessor(c.get(), [](void*, const char*) {}, nullptr);
    // Every text travels as UTF-8, whatever the server's own setting.
    if (PQsetClientEncoding(c.get(), "UTF8") != 0)
        throw PgError({}, "The server " + serverOf(c.get()) + " cannot send UTF-8: " + trimmed(PQerrorMessage(c.get())));
    return Connection(std::move(c));
}

std::string Connection::server() const { return serverOf(conn_.get()); }

bool Connection::connected() const { return PQstatus(conn_.get()) == CONNECTION_OK; }

int Connection::socket() const { return PQsocket(conn_.get()); }

bool Connection::takeNotifications()
{
    if (PQconsumeInput(conn_.get()) == 0)
        throw PgError({}, "Cannot reach the server " + server() + ": " + trimmed(PQerrorMessage(conn_.get())));
    bool any = false;
    while (PGnotify* n = PQnotifies(conn_.get())) {
        PQfreemem(n);
        any = true;
    }
    return any;
}

void Connection::check(const pg_result* r) const
{
    const ExecStatusType s = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    if (s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK)
        return;
    const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    const std::string what = trimmed(r ? PQresultErrorMessage(r) : PQerrorMessage(conn_.get()));
    // A lost connection says so, naming the server, whatever the statement.
    if (PQstatus(conn_.get()) != CONNECTION_OK)
        throw PgError({}, "Cannot reach the server " + server() + ": " + what);
    throw PgError(state ? state : "", what);
}

void Connection::exec(const std::string& sql)
{
    Result r(PQexec(conn_.get(), sql.c_str()));
    check(r.get());
}

Rows Connection::query(const std::string& sql, const std::vector<Value>& params)
{
    std::vector<const char*> values;
    values.reserve(params.size());
    for (const Value& v : params)
        values.push_back(v ? v->c_str() : nullptr);
    Result r(PQexecParams(conn_.get(), sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                          nullptr, 0));
    check(r.get());
    Rows rows;
    const int columns = PQnfields(r.get());
    for (int c = 0; c < columns; ++c)
        rows.columns.emplace_back(PQfname(r.get(), c));
    const int n = PQntuples(r.get());
    rows.rows.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        std::vector<Value>& row = rows.rows.emplace_back();
        for (int c = 0; c < columns; ++c)
            row.push_back(PQgetisnull(r.get(), i, c) ? Value()
                                                     : Value(std::string(PQgetvalue(r.get(), i, c),
                                                                         static_cast<std::size_t>(PQgetlength(r.get(), i, c)))));
    }
    return rows;
}

}  // namespace store::pg
