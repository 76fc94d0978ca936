#pragma once
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>

// What the crash harness expects the two files to hold, and what each
// operation of the driven program does to it. The child process drives the
// store; the parent keeps this model from the child's acknowledgements and
// compares it with the files after every kill.
namespace crash {

struct CharValues {
    int gold = 0;          // Current_GB
    std::string vassals;   // Vassals memo, some longer than a memo's in-row part
    bool warrior = false;  // Warrior
    bool operator==(const CharValues&) const = default;
};

struct ProvValues {
    std::string game, character, province;
    int level = 0;       // Province_Level
    std::string armies;  // Armies memo
    auto operator<=>(const ProvValues&) const = default;
};

using Key = std::pair<std::string, std::string>;  // Game_Name, Character_Name

// One file's pair of tables: characters by key, provinces as a multiset
// (the store's AutoKeyInc numbers are not compared; they are given anew on
// every append).
struct Side {
    std::map<Key, CharValues> chars;
    std::multiset<ProvValues> provs;
    bool operator==(const Side&) const = default;
};

struct State {
    Side campaign;  // vddb + vdprovs in campaign.sqlite
    Side transfer;  // vdtrans + expprovs in transfer.sqlite
    bool operator==(const State&) const = default;
};

// Names and values are made from a character's number, so that both
// processes know them without passing records around. Names carry quotes,
// asterisks and accents, which the record filter must keep exact.
Key keyOf(int id);
int idOf(const Key& key);  // -1 when the name is not one of ours
CharValues charValues(int id, int version);
ProvValues provValues(int id, int number);

// One operation as the windows carry it out.
enum class Kind : char {
    PostCharacter = 'C',    // insert + post a new character record
    PostProvince = 'P',     // insert + post one province of a character
    Edit = 'E',             // change a character's fields and post
    Delete = 'D',           // its provinces one by one, then the character
    ExportOverwrite = 'O',  // empty the transfer tables, then copy one character
    ExportAppend = 'X',     // copy one character + provinces to the transfer tables
    Import = 'I',           // copy both transfer tables back and empty them
    Empty = 'Z',            // empty the transfer tables
    Backup = 'B',           // the daily copy of the campaign file, for day `arg`
    Sheet = 'S',            // the realm sheet written to its file, version `arg`
};

struct Op {
    Kind kind = Kind::Import;
    int id = 0;   // the character, where there is one
    int arg = 0;  // version for Edit, province number for PostProvince
    std::string text() const;
    static bool parse(const std::string& text, Op& op);
};

// True when a refusal's message tells of the storage failing (a full disk,
// a lock held too long, an I/O error) rather than of the operation being
// wrong: the program reports it and the files must be as before.
bool storageFault(const std::string& message);

// The daily copies (by file name) expected once a copy named `made` is
// added to `before`: the last seven by name.
std::set<std::string> withBackup(const std::set<std::string>& before, const std::string& made);
// Whether a kill while the copy `made` was being taken may have left the
// copies `actual`: none added, or added with the oldest maybe not yet gone.
bool backupsAllowedInFlight(const std::set<std::string>& before, const std::string& made,
                            const std::set<std::string>& actual);
// Whether the copies `actual` are `wanted` but for older copies whose
// removal a power cut undid (the program removes them without a folder
// sync; the next copy removes them again).
bool withStaleCopies(const std::set<std::string>& wanted, const std::set<std::string>& actual);

// True when the store must refuse the operation (a key that already exists);
// a refused operation changes nothing.
bool mustFail(const State& s, const Op& op);
// The state once the operation has succeeded.
State apply(const State& s, const Op& op);

// Whether a kill while `op` ran may have left `actual`, starting from
// `before`. Posts, edits and imports are all or nothing; the windows' delete
// and empty run record by record, so a prefix of their deletions may stay
// done; an export is two copies. With `wholeCommands` every operation must be
// all or nothing.
bool allowedInFlight(const State& before, const Op& op, const State& actual, bool wholeCommands);

// True when the only difference from `before` is a killed delete's partial
// work: some but not all of the character's provinces gone.
bool partialDelete(const State& before, const Op& op, const State& actual);

// A short account of where two states differ, for the failure report.
std::string describeDifference(const State& expected, const State& actual);

}  // namespace crash
