// A database kept on a PostgreSQL server that several programs use at once,
// worked on through a local copy: a folder like any other, whose main file
// holds what this program may see of the server's tables. Every table object
// reads the copy as it reads any file; every commit to the copy is stored on
// the server first, field by field, or not at all; and the server's changes
// come into the copy when the program asks for them (on a notification).
#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "store/database.h"
#include "store/pg.h"
#include "store/value.h"

namespace store {

class ServerCampaign final : public Database::Remote {
public:
    // Makes the catalogue's main-file tables on an empty server database,
    // with what keeps the copies in step: each row's number and version, a
    // record of deleted rows, and a notification at each commit. Throws
    // StoreError naming the server.
    static void create(pg::Connection& server, const Catalogue& catalogue);
    // Copies every row of the main file of `local` onto a server database
    // that create() made and that holds no rows yet, keeping row numbers.
    static void copyOnto(Database& local, pg::Connection& server);
    // Makes `role` a player of the campaign: a login role, made when
    // missing (its password is set apart, as the server's own).
    static void addPlayer(pg::Connection& server, const std::string& role);
    // Lets the player change the record of the catalogue's table without an
    // owner (characters, say) that has these key values, and what belongs to
    // it; every other record the player sees, the server keeps from it.
    static void grant(pg::Connection& server, const Catalogue& catalogue, const std::string& role,
                      const std::vector<std::string>& key);
    // Keeps that record and what belongs to it from every player, who then
    // do not see it at all; or shows it to them again.
    static void hide(pg::Connection& server, const Catalogue& catalogue, const std::vector<std::string>& key,
                     bool hidden);

    // Attaches to the local copy in `copy` and brings it up to date; a copy
    // of another server's database, or of one made again, is emptied first.
    // The copy must outlive this object.
    ServerCampaign(Database& copy, const std::string& conninfo);
    ~ServerCampaign() override;
    ServerCampaign(const ServerCampaign&) = delete;
    ServerCampaign& operator=(const ServerCampaign&) = delete;

    // Brings the server's changes since the last pull into the copy, in one
    // transaction: true when any came. Throws StoreError when the server
    // cannot be reached or sends what the copy's tables do not take.
    bool pull();
    // Where the server's notifications of commits arrive; -1 when the
    // connection is lost (the next pull or save connects again).
    int socket() const;
    // True when a commit was announced since the last call.
    bool changesAnnounced();

    pg::Connection& server() { return *server_; }

private:
    void beforeCommit() override;
    void ended(bool committed) override;
    std::optional<std::string> refusal(const std::string& table, std::int64_t rowid) override;
    // Who this connection is, and the granted records it may change.
    void readGrants();

    struct Touched {
        bool existed = false;
        std::vector<Value> before;
    };
    // A row inserted on the server, by the number the server gave it.
    struct Sent {
        std::size_t table;
        std::int64_t row;
        std::vector<Value> values;
    };
    // Inserts the server may hold though the copy's commit did not follow:
    // a save made again must not store them twice. Those of `token` are the
    // server's if its receipt is there; the known ones are the server's.
    struct Unsure {
        std::string token;
        std::vector<Sent> inserts, known;
    };
    // What a commit did to the copy's tables that the server does not keep
    // (the transfer tables), kept on the disk from before the server's
    // commit until the copy's: a commit that the server stored and the copy
    // did not is finished here, once the server's receipt of it is found.
    struct LocalRow {
        const TableLayout* table;
        std::int64_t row;
        std::optional<std::vector<Value>> values;  // nothing: deleted
    };
    struct Pending {
        std::string token;
        std::vector<LocalRow> rows;
    };
    void touch(const sql::RowChange& change, const sql::ValueBefore& old);
    // Finishes a commit the server holds and the copy does not: true when
    // the copy's own tables changed.
    bool settle();
    void writePending(const Pending& pending) const;
    std::optional<Pending> readPending() const;
    void removePending();
    bool matchStored(std::vector<Sent>& stored, Sent& insert,
                     std::vector<std::pair<std::size_t, std::pair<std::int64_t, std::int64_t>>>& moved);
    void connect();
    void checkServer();
    void rollBackServer();
    bool pullNow();
    void push();
    void readState();
    void writeState() const;

    Database& copy_;
    std::string conninfo_;
    std::unique_ptr<pg::Connection> server_;
    std::vector<const TableLayout*> tables_;  // the main file's, in the catalogue's order
    std::map<std::pair<std::size_t, std::int64_t>, Touched> touched_;  // table, row number
    std::string identity_;                                             // the server database's, as last pulled
    std::int64_t pulled_ = 0;                                          // the last version pulled
    bool applying_ = false;                                            // the copy is being brought up to date
    std::string role_;
    bool gameMaster_ = true;           // owns the tables: every record is its own
    std::set<std::int64_t> granted_;  // the granted table's rows a player may change
    bool committing_ = false;  // pushed: the copy's own commit follows
    bool conflict_ = false;  // the last push was refused for another program's change
    std::vector<const TableLayout*> localTables_;           // the copy's own, which the server does not keep
    std::set<std::pair<const TableLayout*, std::int64_t>> localTouched_;
    std::string token_;       // the receipt of the push under way
    std::string lastToken_;   // the last receipt no longer needed, removed with the next push
    bool sentCommit_ = false;     // the server was asked to commit the push
    bool serverCommitted_ = false;  // and said it did
    bool wrotePending_ = false;     // the push kept what it did to the copy's own tables
    std::vector<Sent> sent_;      // the push's inserts
    std::optional<Unsure> unsure_;
    std::optional<Pending> pending_;
};

}  // namespace store
