// The one place where the store speaks to a PostgreSQL server, through
// libpq: a connection owned for its lifetime, statements whose values travel
// apart from their text, and errors that name the server and say whether it
// could be reached at all.
#pragma once
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace store {
struct Alias;
}

namespace store::pg {

// An alias of TYPE=POSTGRESQL names a database on a server: HOST, PORT,
// DATABASE and USER, and TLS as libpq offers it (SSLMODE, SSLROOTCERT,
// SSLCERT, SSLKEY). A password never stands in the alias file, where anyone
// who reads the file would read it: libpq takes it from its password file or
// the environment.
inline constexpr const char* serverAliasType = "POSTGRESQL";
bool onServer(const Alias& alias);
// The alias as libpq's connection string, each value quoted so that no value
// read from the file can add a setting of its own. Throws StoreError naming
// the alias for a password, or for a setting it does not know.
std::string connInfo(const Alias& alias);

class PgError : public std::runtime_error {
public:
    PgError(std::string sqlState, const std::string& message)
        : std::runtime_error(message), sqlState_(std::move(sqlState))
    {
    }
    // The server's five-character code; empty when no server answered.
    const std::string& sqlState() const { return sqlState_; }
    // No answer, or the connection was lost: saving again later may work.
    bool unreachable() const { return sqlState_.empty() || sqlState_.starts_with("08"); }

private:
    std::string sqlState_;
};

using Value = std::optional<std::string>;  // a value as text; nothing for NULL

struct Rows {
    std::vector<std::string> columns;
    std::vector<std::vector<Value>> rows;
};

class Connection {
public:
    // `conninfo` as libpq takes it ("host=... port=... dbname=... user=...");
    // the password comes from libpq's password file or the environment.
    static Connection open(const std::string& conninfo);

    Connection(Connection&&) noexcept = default;
    Connection& operator=(Connection&&) noexcept = default;
    ~Connection();

    // Statements without values, one or several.
    void exec(const std::string& sql);
    // One statement with $1, $2... bound to `params`, sent apart from the text.
    Rows query(const std::string& sql, const std::vector<Value>& params = {});
    // "host:port/database", for messages.
    std::string server() const;
    // The connection still stands, as far as the last call found.
    bool connected() const;
    // Where notifications arrive, for a wait on them; -1 when lost.
    int socket() const;
    // Reads what has arrived and takes the notifications among it: true when
    // there was any (on a channel this connection listens to).
    bool takeNotifications();

private:
    struct Close {
        void operator()(pg_conn* c) const;
    };
    explicit Connection(std::unique_ptr<pg_conn, Close> conn) : conn_(std::move(conn)) {}
    // Throws the statement's error unless it ran.
    void check(const pg_result* r) const;

    std::unique_ptr<pg_conn, Close> conn_;
};

}  // namespace store::pg
