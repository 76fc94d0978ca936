// The table objects beside the same work done with plain SQLite statements on
// the same file, in the same run. Ends with one line per operation:
//   ratio NAME X.XX   (ours over plain SQLite)
#include "ratio_reporter.h"
#include <benchmark/benchmark.h>

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "campaign/catalogue.h"
#include "store/backup.h"
#include "store/database.h"
#include "store/filter.h"
#include "store/session.h"
#include "store/sqlite.h"
#include "store/table.h"

namespace fs = std::filesystem;
using namespace store;

namespace {

constexpr int kCharacters = 10000;
constexpr int kProvincesPerCharacter = 10;
constexpr int kScreen = 25;  // rows a grid shows at once

const char* const kSyllables[] = {"Al", "Bra", "Cor", "Da", "El", "Fen", "Gar", "Hal", "Is", "Jor", "Ka", "Lu"};

std::string characterName(int i)
{
    return std::string(kSyllables[i % 12]) + kSyllables[(i / 12) % 12] + "n" + std::to_string(i);
}
std::string gameName(int i) { return "Game" + std::to_string(i % 10); }  // 1,000 characters a game

struct Campaign {
    fs::path root;
    std::unique_ptr<Session> session;

    Campaign()
    {
        root = fs::temp_directory_path() / ("vddb-bench-" + std::to_string(std::random_device{}()));
        fs::remove_all(root);
        session = std::make_unique<Session>(AliasRegistry(root / "aliases.conf"), campaign::catalogue());
        session->aliases().add(Alias{"VDDB", "STANDARD", {{"PATH", (root / "Data").string()}}}, true);
        Database db(root / "Data", campaign::catalogue());  // first start creates the files
        fill(db.connection());
    }
    ~Campaign() { fs::remove_all(root); }

    static void fill(sql::Connection& c) { fill(c, kCharacters, [](int) { return kProvincesPerCharacter; }, 300); }
    // `characters` characters with `provinces(i)` provinces each and a memo
    // of `memo` letters, in one transaction.
    template <class Provinces>
    static void fill(sql::Connection& c, int characters, Provinces provinces, std::size_t memo)
    {
        c.exec("BEGIN");
        sql::Statement ch(c, "INSERT INTO vddb (Game_Name, Character_Name, Domain_Name, Total_Provinces, "
                             "Palace_Value, Misc_Leftovers, Warrior) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        sql::Statement pr(c, "INSERT INTO vdprovs (Game_Name, Character_Name, Province_Name, Province_Level, "
                             "Armies, Province_Terrain) VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
        for (int i = 0; i < characters; ++i) {
            const int n = provinces(i);
            ch.reset();
            ch.bind(1, gameName(i));
            ch.bind(2, characterName(i));
            ch.bind(3, "Domain of " + characterName(i));
            ch.bind(4, std::int64_t(n));
            ch.bind(5, std::int64_t(i % 20));
            ch.bind(6, std::string(memo, 'n'));
            ch.bind(7, std::int64_t(i % 2));
            ch.run();
            for (int p = 0; p < n; ++p) {
                pr.reset();
                pr.bind(1, gameName(i));
                pr.bind(2, characterName(i));
                pr.bind(3, "Province " + std::to_string(i) + "/" + std::to_string(p));
                pr.bind(4, std::int64_t(p % 7));
                pr.bind(5, "2 units of infantry\r\n1 unit of archers");
                pr.bind(6, "Plains");
                pr.run();
            }
        }
        c.exec("COMMIT");
    }

    std::string campaignFile() const { return (root / "Data" / campaignFile_).string(); }
    static constexpr const char* campaignFile_ = "campaign.sqlite";
};

Campaign& benchCampaign()
{
    static Campaign c;
    return c;
}

// A plain connection set up like the store's.
sql::Connection plainConnection()
{
    auto c = sql::Connection::open(benchCampaign().campaignFile(), false);
    applyPragmas(c);
    return c;
}

// Reads every column of the current row, as the table object does.
void readAll(sql::Statement& st, benchmark::State& state)
{
    for (int i = 0; i < st.columnCount(); ++i) {
        if (st.isNull(i))
            continue;
        const unsigned char* p = sqlite3_column_text(st.get(), i);
        benchmark::DoNotOptimize(p);
    }
    (void)state;
}

std::string allColumns(const char* table)
{
    const TableLayout* l = campaign::findLayout(table);
    std::string s = "rowid";
    for (const auto& c : l->columns)
        s += ", " + sql::quoteIdentifier(c.name);
    return s;
}

// ---- open -----------------------------------------------------------------

void BM_ours_open(benchmark::State& state)
{
    for (auto _ : state) {
        Session s(AliasRegistry(benchCampaign().root / "aliases.conf"), campaign::catalogue());
        Table t(s);
        t.open("VDDB", "vddb.DB");
        benchmark::DoNotOptimize(t.text(1));
    }
}
void BM_plain_open(benchmark::State& state)
{
    for (auto _ : state) {
        auto c = sql::Connection::open(benchCampaign().campaignFile(), false);
        applyPragmas(c);
        sql::Statement st(c, "SELECT " + allColumns("vddb") + " FROM vddb ORDER BY Game_Name, Character_Name LIMIT 1");
        st.step();
        readAll(st, state);
    }
}

// ---- search by prefix: apply the filter and read a screenful ---------------

void oursSearch(benchmark::State& state, const char* column, const std::vector<std::string>& prefixes)
{
    auto& s = *benchCampaign().session;
    Table t(s);
    t.open("VDDB", "vddb.DB");
    t.setFiltered(true);
    std::size_t i = 0;
    for (auto _ : state) {
        t.setFilter(prefixFilter(column, prefixes[i++ % prefixes.size()]));
        auto rows = t.readRows(nullptr, false, kScreen, false);
        benchmark::DoNotOptimize(rows);
    }
}
void plainSearch(benchmark::State& state, const char* column, const std::vector<std::string>& prefixes)
{
    auto c = plainConnection();
    std::size_t i = 0;
    std::string q = sql::quoteIdentifier(column);
    sql::Statement st(c, "SELECT " + allColumns("vddb") + " FROM vddb WHERE " + q + " >= ?1 AND " + q +
                             " < ?2 ORDER BY Game_Name, Character_Name LIMIT " + std::to_string(kScreen));
    for (auto _ : state) {
        st.reset();
        const std::string& p = prefixes[i++ % prefixes.size()];
        std::string hi = p;
        hi.back() = static_cast<char>(hi.back() + 1);
        st.bind(1, p);
        st.bind(2, hi);
        while (st.step())
            readAll(st, state);
    }
}
const std::vector<std::string> kNamePrefixes = {"Al", "BraCo", "Lu", "HalIsn1", "KaJ"};
const std::vector<std::string> kGamePrefixes = {"Game1", "Game4", "Gam", "Game"};
void BM_ours_search_name(benchmark::State& s) { oursSearch(s, "Character_Name", kNamePrefixes); }
void BM_plain_search_name(benchmark::State& s) { plainSearch(s, "Character_Name", kNamePrefixes); }
void BM_ours_search_game(benchmark::State& s) { oursSearch(s, "Game_Name", kGamePrefixes); }
void BM_plain_search_game(benchmark::State& s) { plainSearch(s, "Game_Name", kGamePrefixes); }

// ---- key lookup ---------------------------------------------------------------

void BM_ours_key_lookup(benchmark::State& state)
{
    Table t(*benchCampaign().session);
    t.open("VDDB", "vddb.DB");
    int i = 0;
    for (auto _ : state) {
        int k = (i++ * 7919) % kCharacters;
        benchmark::DoNotOptimize(t.findKey({gameName(k), characterName(k)}));
    }
}
void BM_plain_key_lookup(benchmark::State& state)
{
    auto c = plainConnection();
    sql::Statement st(c, "SELECT " + allColumns("vddb") + " FROM vddb WHERE Game_Name = ?1 AND Character_Name = ?2");
    int i = 0;
    for (auto _ : state) {
        int k = (i++ * 7919) % kCharacters;
        st.reset();
        st.bind(1, gameName(k));
        st.bind(2, characterName(k));
        if (st.step())
            readAll(st, state);
        st.reset();
    }
}

// ---- the province filter of one character, all its rows read ----------------

void BM_ours_province_filter(benchmark::State& state)
{
    Table t(*benchCampaign().session);
    t.open("VDDB", "vdprovs.db");
    int i = 0;
    for (auto _ : state) {
        int k = (i++ * 7919) % kCharacters;
        t.setFiltered(false);
        t.setFilter(campaign::recordFilter(gameName(k), characterName(k)));
        t.setFiltered(true);
        while (!t.eof()) {
            benchmark::DoNotOptimize(t.text(2));
            t.next();
        }
    }
}
void BM_plain_province_filter(benchmark::State& state)
{
    auto c = plainConnection();
    sql::Statement st(c, "SELECT " + allColumns("vdprovs") +
                             " FROM vdprovs WHERE Character_Name = ?1 AND Game_Name = ?2 ORDER BY AutoKeyInc");
    int i = 0;
    for (auto _ : state) {
        int k = (i++ * 7919) % kCharacters;
        st.reset();
        st.bind(1, characterName(k));
        st.bind(2, gameName(k));
        while (st.step())
            readAll(st, state);
    }
}

// ---- refresh: re-read the current record ---------------------------------------

void BM_ours_refresh(benchmark::State& state)
{
    Table t(*benchCampaign().session);
    t.open("VDDB", "vddb.DB");
    t.findKey({gameName(4321), characterName(4321)});
    for (auto _ : state)
        t.refresh();
}
void BM_plain_refresh(benchmark::State& state)
{
    auto c = plainConnection();
    sql::Statement st(c, "SELECT " + allColumns("vddb") + " FROM vddb WHERE rowid = ?1");
    for (auto _ : state) {
        st.reset();
        st.bind(1, std::int64_t(4321));
        if (st.step())
            readAll(st, state);
        st.reset();
    }
}

// ---- walking 10,000 records in key order ------------------------------------------

void BM_ours_walk(benchmark::State& state)
{
    Table t(*benchCampaign().session);
    t.open("VDDB", "vddb.DB");
    for (auto _ : state) {
        t.first();
        int n = 0;
        while (!t.eof()) {
            benchmark::DoNotOptimize(t.value(1));
            t.next();
            ++n;
        }
        if (n != kCharacters)
            state.SkipWithError("walk did not see every record");
    }
}
void BM_plain_walk(benchmark::State& state)
{
    auto c = plainConnection();
    sql::Statement st(c, "SELECT " + allColumns("vddb") + " FROM vddb ORDER BY Game_Name, Character_Name");
    for (auto _ : state) {
        st.reset();
        while (st.step())
            readAll(st, state);
    }
}

// ---- batch append of 1,000 characters with 10,000 provinces -----------------------

void BM_ours_batch_append(benchmark::State& state)
{
    auto& s = *benchCampaign().session;
    Table chars(s), provs(s), trans(s), xprov(s);
    chars.open("VDDB", "vddb.DB");
    provs.open("VDDB", "vdprovs.db");
    trans.open("VDDB", "vdtrans.DB");
    xprov.open("VDDB", "expprovs.DB");
    chars.setFilter("Game_Name='Game1'");
    chars.setFiltered(true);
    provs.setFilter("Game_Name='Game1'");
    provs.setFiltered(true);
    auto& conn = trans.database().connection();
    for (auto _ : state) {
        state.PauseTiming();
        conn.exec("DELETE FROM xfer.vdtrans; DELETE FROM xfer.expprovs;");
        state.ResumeTiming();
        trans.appendFrom(chars);
        xprov.appendFrom(provs);
    }
    state.counters["characters"] = static_cast<double>(trans.recordCount());
    state.counters["provinces"] = static_cast<double>(xprov.recordCount());
}
void BM_plain_batch_append(benchmark::State& state)
{
    auto c = plainConnection();
    c.exec("ATTACH DATABASE '" + (benchCampaign().root / "Data" / "transfer.sqlite").string() + "' AS xfer");
    c.exec("PRAGMA xfer.synchronous=EXTRA");
    std::string chCols, prCols;
    for (const auto& col : campaign::findLayout("vddb")->columns)
        chCols += (chCols.empty() ? "" : ", ") + sql::quoteIdentifier(col.name);
    for (const auto& col : campaign::findLayout("vdprovs")->columns)
        prCols += (prCols.empty() ? "" : ", ") + sql::quoteIdentifier(col.name);
    std::string prSel = prCols;
    prSel.replace(prSel.find("\"AutoKeyInc\""), 12, "NULL");
    for (auto _ : state) {
        state.PauseTiming();
        c.exec("DELETE FROM xfer.vdtrans; DELETE FROM xfer.expprovs;");
        state.ResumeTiming();
        c.exec("INSERT INTO xfer.vdtrans (" + chCols + ") SELECT " + chCols +
               " FROM main.vddb WHERE Game_Name = 'Game1' ORDER BY Game_Name, Character_Name");
        c.exec("INSERT INTO xfer.expprovs (" + prCols + ") SELECT " + prSel +
               " FROM main.vdprovs WHERE Game_Name = 'Game1' ORDER BY Game_Name, Character_Name, AutoKeyInc");
    }
}


// ---- a save while the daily copy of a large campaign is made ----------------

constexpr int kLargeCharacters = 1000000;

// A million characters with one or two provinces each, in a folder of its own.
struct LargeCampaign {
    fs::path root = fs::temp_directory_path() / ("vddb-bench-large-" + std::to_string(std::random_device{}()));
    std::unique_ptr<Session> session;

    LargeCampaign()
    {
        fs::remove_all(root);
        session = std::make_unique<Session>(AliasRegistry(root / "aliases.conf"), campaign::catalogue());
        session->aliases().add(Alias{"VDDB", "STANDARD", {{"PATH", (root / "Data").string()}}}, true);
        Database db(root / "Data", campaign::catalogue());
        Campaign::fill(db.connection(), kLargeCharacters, [](int i) { return 1 + i % 2; }, 100);
    }
    ~LargeCampaign() { fs::remove_all(root); }
};

using Seconds = std::chrono::duration<double>;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// One character's edit posted, as a window posts it; its time in seconds.
double saveOne(Table& t, std::mt19937& rng, int& serial)
{
    const int k = std::uniform_int_distribution<int>(0, kLargeCharacters - 1)(rng);
    t.findKey({gameName(k), characterName(k)});
    const auto began = std::chrono::steady_clock::now();
    t.edit();
    t.setText("Palace_Value", std::to_string(++serial % 1000));
    try {
        t.post();
    } catch (const std::exception& e) {
        std::printf("a save failed: %s\n", e.what());
        t.cancel();
    }
    return Seconds(std::chrono::steady_clock::now() - began).count();
}

// Saves a user makes now and then (`gap` apart) while daily copies are made
// one after another, and as many with no copy under way.
void saveDuringBackup(int saves, std::chrono::milliseconds gap)
{
    LargeCampaign large;
    Table t(*large.session);
    t.open("VDDB", "vddb.DB");
    Database& db = t.database();
    std::mt19937 rng(7);
    int serial = 0;
    std::vector<double> alone, during, copies;
    // One copy beside nothing: how long the copy itself takes.
    auto copyAlone = [&](int day) {
        const auto began = std::chrono::steady_clock::now();
        auto job = DailyBackupJob::start(db, {}, Clock::now() + std::chrono::hours(24 * day));
        job->wait(std::chrono::hours(1));
        return Seconds(std::chrono::steady_clock::now() - began).count();
    };
    const double quiet = copyAlone(1);
    double longest = 0;
    for (int day = 2; static_cast<int>(during.size()) < saves; ++day) {
        const auto began = std::chrono::steady_clock::now();
        auto job = DailyBackupJob::start(db, {}, Clock::now() + std::chrono::hours(24 * day));
        while (!job->wait(gap)) {
            const double took = saveOne(t, rng, serial);
            during.push_back(took);
            longest = std::max(longest, took);
        }
        copies.push_back(Seconds(std::chrono::steady_clock::now() - began).count());
        fs::remove_all(large.root / "Data" / backupFolderName);
        // As many saves with no copy under way, in turn, so that the disk's
        // other work weighs on both alike; the copy's writing let settle first.
        ::sync();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        while (alone.size() < during.size()) {
            alone.push_back(saveOne(t, rng, serial));
            std::this_thread::sleep_for(gap);
        }
    }
    std::vector<double> sorted = during;
    std::sort(sorted.begin(), sorted.end());
    std::printf("save alone median %.2f ms, during the copy median %.2f ms, 90th %.1f ms, longest %.0f ms (%zu saves)\n",
                median(alone) * 1e3, median(during) * 1e3, sorted[sorted.size() * 9 / 10] * 1e3, longest * 1e3,
                during.size());
    std::printf("copy of %d characters: %.2f s alone, %.2f s median with a save every %lld ms (%zu copies)\n",
                kLargeCharacters, quiet, median(copies), static_cast<long long>(gap.count()), copies.size());
    std::printf("ratio save_during_backup %.2f\n", median(during) / median(alone));
}

}  // namespace

BENCHMARK(BM_ours_open);
BENCHMARK(BM_plain_open);
BENCHMARK(BM_ours_search_name);
BENCHMARK(BM_plain_search_name);
BENCHMARK(BM_ours_search_game);
BENCHMARK(BM_plain_search_game);
BENCHMARK(BM_ours_key_lookup);
BENCHMARK(BM_plain_key_lookup);
BENCHMARK(BM_ours_province_filter);
BENCHMARK(BM_plain_province_filter);
BENCHMARK(BM_ours_refresh);
BENCHMARK(BM_plain_refresh);
BENCHMARK(BM_ours_walk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_plain_walk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ours_batch_append)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_plain_batch_append)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    // The large campaign takes a while to build: only when no filter leaves it out.
    std::string filter;
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]).starts_with("--benchmark_filter="))
            filter = argv[i] + std::strlen("--benchmark_filter=");
    const bool backup = filter.empty() || std::regex_search("save_during_backup", std::regex(filter));
    benchmark::Initialize(&argc, argv);
    benchCampaign();  // generate before timing
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* op : {"open", "search_name", "search_game", "key_lookup", "province_filter", "refresh", "walk",
                           "batch_append"}) {
        auto ours = reporter.times.find(std::string("BM_ours_") + op);
        auto plain = reporter.times.find(std::string("BM_plain_") + op);
        if (ours != reporter.times.end() && plain != reporter.times.end() && plain->second > 0)
            std::printf("ratio %s %.2f\n", op, ours->second / plain->second);
    }
    if (backup)
        saveDuringBackup(60, std::chrono::milliseconds(500));
    benchmark::Shutdown();
    return 0;
}
