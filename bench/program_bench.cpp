// The whole program on three generated campaigns, 100 and 100,000 characters
// with 10 provinces each and 1,000,000 with one or two (the disk stays in
// bounds), driven through its real windows on the offscreen platform. Times are the GUI thread's CPU time, the median of alternating
// repetitions; boxes and modal windows are answered by the tests' scripted
// seams. Prints a table and ends with lines
//   ratio NAME X.XX
// (100k or 1M over 100, or the program over plain SQLite doing the same work: the
// median of the ratios of the pairs, each pair run side by side).
//
// Run with no arguments. "--child <campaign root>" is the start-up whose
// peak memory the parent reads. "--server" times the window steps over a
// campaign on a PostgreSQL server of its own beside the same campaign in
// files, at 100 and 100,000 characters, in wall time (a server's work is
// not this thread's).
#include <QApplication>
#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/context.h"
#include "app/help.h"
#include "browser/vdsearch.h"
#include "campaign/catalogue.h"
#include "dbaware/dbgrid.h"
#include "dbaware/dialogs.h"
#include "realm/vddetails.h"
#include "startup/startup.h"
#include "store/backup.h"
#include "store/database.h"
#include "store/sqlite.h"
#include "support/gui_helpers.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_modal.h"
#include "support/test_server.h"

namespace fs = std::filesystem;
namespace sql = store::sql;
using testing_support::activate;
using testing_support::ScriptedDialogs;
using testing_support::ScriptedModal;

namespace {

constexpr int kProvincesEach = 10;
constexpr int kRepetitions = 3;
// The window steps take milliseconds, and this machine's noise as much: more
// pairs for a steadier median.
constexpr int kWindowRepetitions = 11;
constexpr int kTransferCharacters = 1000;  // with kProvincesEach provinces each
constexpr int kSheetProvinces = 1000;
const char* const kSheetGame = "Sheets";
const char* const kSheetCharacter = "Thousand";
// A tenth of the provinces: the sheet's time must grow with them, no faster.
constexpr int kSmallSheetProvinces = 100;
const char* const kSmallSheetCharacter = "Hundred";
const char* const kImportGame = "Imported";
constexpr int kMillion = 1000000;
// Characters whose names begin with "Zed", the same few in every campaign: a
// search with few matches does the same work in each.
constexpr int kFewMatches = 20;
const char* const kFewPrefix = "Zed";

const char* const kSyllables[] = {"Al", "Bra", "Cor", "Da", "El", "Fen", "Gar", "Hal", "Is", "Jor", "Ka", "Lu"};

// A third of the names begin with "Al" and a third of the characters play
// "Game1", in both campaigns, so that the searches fill a screen in each.
std::string characterName(int i)
{
    return std::string(kSyllables[i % 3 == 0 ? 0 : 1 + i % 11]) + kSyllables[(i / 12) % 12] + "n" + std::to_string(i);
}
std::string gameName(int i) { return "Game" + std::to_string(i % 3); }

double cpuNow()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double timed(const std::function<void()>& f)
{
    const double t0 = cpuNow();
    f();
    return cpuNow() - t0;
}

double wallTimed(const std::function<void()>& f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// ---- generated campaigns ----------------------------------------------------

struct Campaign {
    int characters = 0;
    fs::path root;
    fs::path programFolder() const { return root / "prog"; }
    fs::path dataFolder() const { return programFolder() / "Data"; }
    fs::path campaignFile() const { return dataFolder() / campaign::campaignFile; }
    fs::path transferFile() const { return dataFolder() / campaign::transferFile; }
    fs::path aliasFile() const { return root / "config" / "aliases.conf"; }
    fs::path userData() const { return root / "user" / "vddb" / "Data"; }
};

sql::Connection plainConnection(const Campaign& c)
{
    auto conn = sql::Connection::open(c.campaignFile().string(), false);
    store::applyPragmas(conn);
    sql::Statement attach(conn, "ATTACH DATABASE ?1 AS t");
    attach.bind(1, c.transferFile().string());
    attach.run();
    conn.exec("PRAGMA t.journal_mode=DELETE; PRAGMA t.synchronous=EXTRA;");
    return conn;
}

struct Inserters {
    sql::Statement ch, pr;
    Inserters(sql::Connection& c, const std::string& chars, const std::string& provs)
        : ch(c, "INSERT INTO " + chars +
                    " (Game_Name, Character_Name, Domain_Name, Total_Provinces, Palace_Value, Misc_Leftovers, "
                    "Warrior) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"),
          pr(c, "INSERT INTO " + provs +
                    " (Game_Name, Character_Name, Province_Name, Province_Level, Armies, Province_Terrain) "
                    "VALUES (?1, ?2, ?3, ?4, ?5, ?6)")
    {
    }
    void character(const std::string& game, const std::string& name, int provinces, int i)
    {
        ch.reset();
        ch.bind(1, game);
        ch.bind(2, name);
        ch.bind(3, "Domain of " + name);
        ch.bind(4, std::int64_t(provinces));
        ch.bind(5, std::int64_t(i % 20));
        ch.bind(6, std::string(300, 'n'));
        ch.bind(7, std::int64_t(i % 2));
        ch.run();
        for (int p = 0; p < provinces; ++p) {
            pr.reset();
            pr.bind(1, game);
            pr.bind(2, name);
            pr.bind(3, "Province " + std::to_string(i) + "/" + std::to_string(p));
            pr.bind(4, std::int64_t(p % 7));
            pr.bind(5, "2 units of infantry\r\n1 unit of archers");
            pr.bind(6, "Plains");
            pr.run();
        }
    }
};

// Ten provinces each, one or two in the largest campaign.
int provincesOf(int characters, int i) { return characters >= kMillion ? 1 + i % 2 : kProvincesEach; }

Campaign generate(const fs::path& root, int characters)
{
    Campaign c{characters, root};
    fs::remove_all(root);
    fs::create_directories(c.dataFolder());
    store::Database::createFile(campaign::catalogue(), c.campaignFile(), campaign::campaignFile);
    store::Database::createFile(campaign::catalogue(), c.transferFile(), campaign::transferFile);
    auto conn = sql::Connection::open(c.campaignFile().string(), false);
    conn.exec("PRAGMA synchronous=OFF");
    conn.exec("BEGIN");
    Inserters in(conn, "vddb", "vdprovs");
    for (int i = 0; i < characters; ++i)
        in.character(gameName(i), characterName(i), provincesOf(characters, i), i);
    for (int k = 0; k < kFewMatches; ++k)
        in.character(gameName(k), kFewPrefix + std::string("n") + std::to_string(k), 1, k);
    in.character(kSheetGame, kSheetCharacter, kSheetProvinces, 0);
    in.character(kSheetGame, kSmallSheetCharacter, kSmallSheetProvinces, 1);
    conn.exec("COMMIT");
    return c;
}

// The transfer tables holding kTransferCharacters characters of their own
// game, which the campaign does not hold.
void fillTransfer(const Campaign& c)
{
    auto conn = plainConnection(c);
    conn.exec("BEGIN");
    sql::Statement d1(conn, "DELETE FROM main.vddb WHERE Game_Name = ?1");
    sql::Statement d2(conn, "DELETE FROM main.vdprovs WHERE Game_Name = ?1");
    for (auto* d : {&d1, &d2}) {
        d->bind(1, std::string(kImportGame));
        d->run();
    }
    conn.exec("DELETE FROM t.vdtrans; DELETE FROM t.expprovs;");
    Inserters in(conn, "t.vdtrans", "t.expprovs");
    for (int i = 0; i < kTransferCharacters; ++i)
        in.character(kImportGame, characterName(i), kProvincesEach, i);
    conn.exec("COMMIT");
}

std::int64_t count(sql::Connection& conn, const std::string& table)
{
    sql::Statement st(conn, "SELECT count(*) FROM " + table);
    st.step();
    return sqlite3_column_int64(st.get(), 0);
}

// Every column of a table but its AutoInc one, which the destination numbers
// anew as the program does, for INSERT ... SELECT between two of one layout.
std::string columnList(sql::Connection& conn, const std::string& table)
{
    sql::Statement st(conn, "SELECT name FROM pragma_table_info(?1) WHERE name <> 'AutoKeyInc'");
    st.bind(1, table);
    std::string out;
    while (st.step())
        out += (out.empty() ? "" : ", ") + sql::quoteIdentifier(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
    return out;
}

// ---- the program ------------------------------------------------------------

struct Running {
    std::unique_ptr<app::Context> context;
    std::unique_ptr<app::Program> program;
    TfrmVDDBSearch* browser() const { return program->frmVDDBSearch; }
    TfrmRealmDetails* realm() const { return program->frmRealmDetails; }
    ~Running()
    {
        program.reset();
        context.reset();
        settle();
    }
};

// Start-up as the program makes it, up to the main window shown and active.
std::unique_ptr<Running> startProgram(const Campaign& c)
{
    QSettings().remove(QStringLiteral("Windows"));
    auto r = std::make_unique<Running>();
    r->context = std::make_unique<app::Context>(store::AliasRegistry(c.aliasFile()), c.programFolder(), c.userData());
    r->program = std::make_unique<app::Program>(*r->context);
    if (!r->program->startUp() || !r->browser())
        throw std::runtime_error("start-up ended the program");
    r->browser()->show();
    activate(r->browser());
    QCoreApplication::processEvents();
    return r;
}

void removeBackups(const Campaign& c) { fs::remove_all(c.dataFolder() / store::backupFolderName); }

// ---- results ------------------------------------------------------------------

std::map<std::string, std::vector<double>> samples;  // seconds
void note(const std::string& name, double seconds) { samples[name].push_back(seconds); }
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
double median(const std::string& name) { return median(samples.at(name)); }

// The median of the ratios of samples taken side by side: this machine's
// speed drifts over a run, and the two halves of a pair run together.
double pairedRatio(const std::string& over, const std::string& under)
{
    const auto &a = samples.at(over), &b = samples.at(under);
    std::vector<double> ratios;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        ratios.push_back(a[i] / b[i]);
    return median(ratios);
}

// A search in the browser to its first screenful painted, timed by `timer`;
// then all shown again, untimed.
double searchStep(TfrmVDDBSearch& b, const char* text, void (TfrmVDDBSearch::*click)(),
                  double (*timer)(const std::function<void()>&))
{
    b.edtSearch->setText(QString::fromLatin1(text));
    const double t = timer([&] {
        (b.*click)();
        QCoreApplication::processEvents();
        b.DBGrid1->viewport()->repaint();
    });
    b.btnShowAllClick();
    QCoreApplication::processEvents();
    return t;
}

// One repetition of the window steps on one campaign.
void windowSteps(const Campaign& c, ScriptedDialogs& dialogs, ScriptedModal& modal, int rep)
{
    const std::string n = std::to_string(c.characters);
    removeBackups(c);
    std::unique_ptr<Running> r;
    note("startup_first/" + n, timed([&] { r = startProgram(c); }));
    // The day's copy goes on after start-up; the later start must find it.
    if (!r->program->dailyBackup || !r->program->dailyBackup->wait(std::chrono::minutes(5)) ||
        !r->program->dailyBackup->made())
        std::fprintf(stderr, "warning: no daily backup after the first start\n");
    r.reset();
    note("startup_later/" + n, timed([&] { r = startProgram(c); }));

    // Opening a character as the browser's double click does: the realm
    // window shown (modally, played by the seam) and activated.
    TfrmRealmDetails* realm = r->realm();
    modal.action = [](QWidget& w) {
        w.show();
        activate(&w);
        QCoreApplication::processEvents();
    };
    auto open = [&](int i) {
        // The user's click on the row comes first: the browser moves there
        // and repaints the grid at its new place; the open is the double click.
        r->browser()->tblVDDB.findKey({gameName(i), characterName(i)});
        QCoreApplication::processEvents();
        const double t = timed([&] { r->browser()->DBGrid1DblClick(); });
        realm->hide();
        return t;
    };
    note("open_first/" + n, open(c.characters / 2));
    note("open_later/" + n, open(c.characters / 3));

    // F4 moves in the shown realm window.
    modal.action = nullptr;
    r->browser()->tblVDDB.findKey({gameName(c.characters / 4), characterName(c.characters / 4)});
    r->browser()->DBGrid1DblClick();
    realm->show();
    activate(realm);
    QCoreApplication::processEvents();
    // Ten moves, each under a millisecond: a steadier median.
    for (int i = 0; i < 10; ++i)
        note("f4_move/" + n, timed([&] {
                 realm->Next1Click();
                 QCoreApplication::processEvents();
             }));
    realm->hide();

    // A search with its first screenful painted.
    TfrmVDDBSearch* b = r->browser();
    auto search = [&](const char* text, void (TfrmVDDBSearch::*click)()) { return searchStep(*b, text, click, timed); };
    note("search_name/" + n, search("Al", &TfrmVDDBSearch::btnNameClick));
    note("search_few/" + n, search(kFewPrefix, &TfrmVDDBSearch::btnNameClick));
    note("search_game/" + n, search("Game1", &TfrmVDDBSearch::btnGameClick));

    // Ctrl+End in the browser's grid, to the last record painted; back home untimed.
    QWidget* grid = b->DBGrid1;
    grid->setFocus();
    auto key = [&](Qt::Key k) {
        QTest::keyClick(grid, k, Qt::ControlModifier);
        QCoreApplication::processEvents();
        b->DBGrid1->viewport()->repaint();
    };
    note("ctrl_end/" + n, timed([&] { key(Qt::Key_End); }));
    key(Qt::Key_Home);

    // A delete in the middle, confirmed, to the grid painted again; a new
    // character each time.
    const int victim = c.characters * 2 / 3 + rep;
    if (!b->tblVDDB.findKey({gameName(victim), characterName(victim)}))
        throw std::runtime_error("the character to delete is missing");
    QCoreApplication::processEvents();
    dialogs.answer(dbaware::Answer::Yes);
    note("delete_middle/" + n, timed([&] {
             b->btnDeleteClick();
             QCoreApplication::processEvents();
             b->DBGrid1->viewport()->repaint();
         }));
    if (b->tblVDDB.findKey({gameName(victim), characterName(victim)}))
        throw std::runtime_error("the delete left its character");
}

// ---- transfer: the program's commands beside plain SQLite ---------------------

void transferSteps(const Campaign& c, ScriptedDialogs& dialogs)
{
    const std::string n = "/" + std::to_string(c.characters);
    fillTransfer(c);
    {
        std::unique_ptr<Running> r = startProgram(c);
        TfrmRealmDetails* realm = r->realm();
        note("prog_import" + n, timed([&] { r->browser()->ImportCharacters1Click(); }));
        // Each imported character exported on its own, appended.
        double exportTime = 0;
        for (int i = 0; i < kTransferCharacters; ++i) {
            if (!realm->tblVDDB.findKey({kImportGame, characterName(i)}))
                throw std::runtime_error("an imported character is missing");
            dialogs.answer(dbaware::Answer::No);
            exportTime += timed([&] { realm->ExportCurrentCharacter1Click(); });
        }
        note("prog_export" + n, exportTime);
        {
            auto conn = plainConnection(c);
            if (count(conn, "t.vdtrans") != kTransferCharacters ||
                count(conn, "t.expprovs") != kTransferCharacters * kProvincesEach)
                throw std::runtime_error("the program's export did not fill the transfer tables");
        }
        note("prog_empty" + n, timed([&] { r->browser()->EmptyTransferTable1Click(); }));
    }
    auto conn = plainConnection(c);
    if (count(conn, "t.vdtrans") != 0 || count(conn, "t.expprovs") != 0)
        throw std::runtime_error("the program's empty left records");

    // The same work in plain statements.
    fillTransfer(c);
    auto plain = plainConnection(c);
    const std::string chars = columnList(plain, "vddb"), provs = columnList(plain, "vdprovs");
    note("plain_import" + n, timed([&] {
             plain.exec("BEGIN");
             plain.exec("INSERT INTO main.vddb (" + chars + ") SELECT " + chars + " FROM t.vdtrans");
             plain.exec("INSERT INTO main.vdprovs (" + provs + ") SELECT " + provs + " FROM t.expprovs");
             plain.exec("DELETE FROM t.expprovs; DELETE FROM t.vdtrans;");
             plain.exec("COMMIT");
         }));
    note("plain_export" + n, timed([&] {
             sql::Statement ch(plain, "INSERT INTO t.vdtrans (" + chars + ") SELECT " + chars +
                                          " FROM main.vddb WHERE Game_Name = ?1 AND Character_Name = ?2");
             sql::Statement pr(plain, "INSERT INTO t.expprovs (" + provs + ") SELECT " + provs +
                                          " FROM main.vdprovs WHERE Game_Name = ?1 AND Character_Name = ?2");
             for (int i = 0; i < kTransferCharacters; ++i) {
                 plain.exec("BEGIN");
                 for (auto* st : {&ch, &pr}) {
                     st->reset();
                     st->bind(1, std::string(kImportGame));
                     st->bind(2, characterName(i));
                     st->run();
                 }
                 plain.exec("COMMIT");
             }
         }));
    if (count(plain, "t.vdtrans") != kTransferCharacters || count(plain, "t.expprovs") != kTransferCharacters * kProvincesEach)
        throw std::runtime_error("the plain export did not fill the transfer tables");
    note("plain_empty" + n, timed([&] { plain.exec("BEGIN; DELETE FROM t.expprovs; DELETE FROM t.vdtrans; COMMIT;"); }));
}

// ---- the realm sheet beside the same query and formatting in plain code -------

void sheetSteps(const Campaign& c, ScriptedDialogs& dialogs, ScriptedModal& modal)
{
    const fs::path out = c.root / "sheet.txt";
    {
        std::unique_ptr<Running> r = startProgram(c);
        modal.action = nullptr;
        TfrmRealmDetails* realm = r->realm();
        auto sheet = [&](const char* character, const char* key) {
            r->browser()->tblVDDB.findKey({kSheetGame, character});
            r->browser()->DBGrid1DblClick();
            realm->show();
            activate(realm);
            QCoreApplication::processEvents();
            dialogs.saveAs(QString::fromStdString(out.string()));
            note(key, timed([&] { realm->SaveToFile1Click(); }));
            if (realm->StatusBar1->text() != QLatin1String("Save Complete"))
                throw std::runtime_error("the sheet was not saved: " + realm->StatusBar1->text().toStdString());
            realm->hide();
        };
        sheet(kSmallSheetCharacter, "prog_sheet_small");
        sheet(kSheetCharacter, "prog_sheet");
    }
    auto conn = plainConnection(c);
    const fs::path plainOut = c.root / "sheet-plain.txt";
    note("plain_sheet", timed([&] {
             sql::Statement st(conn, "SELECT Province_Name, Province_Level, Max_Source_Potential, Temple1_Level, "
                                     "Temple1_Owner, Guild1_Level, Guild1_Owner, Law1_Level, Law1_Owner, "
                                     "Source1_Level, Source1_Owner, Fortification_Level, Province_Terrain, Armies "
                                     "FROM vdprovs WHERE Game_Name = ?1 AND Character_Name = ?2 ORDER BY rowid");
             st.bind(1, std::string(kSheetGame));
             st.bind(2, std::string(kSheetCharacter));
             std::FILE* f = std::fopen(plainOut.c_str(), "wb");
             auto text = [&](int i) {
                 const unsigned char* p = sqlite3_column_text(st.get(), i);
                 return p ? reinterpret_cast<const char*>(p) : "";
             };
             std::vector<std::string> armies;
             while (st.step()) {
                 std::fprintf(f, "%-20s %3s %3s %3s %-6s %3s %-6s %3s %-6s %3s %-6s %3s %-10s\r\n", text(0), text(1),
                              text(2), text(3), text(4), text(5), text(6), text(7), text(8), text(9), text(10),
                              text(11), text(12));
                 armies.emplace_back(std::string(text(0)) + ": " + text(13));
             }
             for (const auto& a : armies)
                 std::fprintf(f, "%s\r\n", a.c_str());
             std::fflush(f);
             fsync(fileno(f));
             std::fclose(f);
         }));
}

// The sheet's time at 1,000 provinces over ten times its time at 100: 1.0 is linear.
double sheetLinear()
{
    const double small = median("prog_sheet_small");
    std::printf("%-34s %9.2f ms\n", "realm sheet, 100 provinces", small * 1e3);
    return pairedRatio("prog_sheet", "prog_sheet_small") / (double(kSheetProvinces) / kSmallSheetProvinces);
}

// ---- where a step's time goes: the statements it runs -------------------------

// Every connection the program opens reports its statements here while a
// step is traced: how often each ran, the rows it gave, its time. Only the
// GUI thread's: the daily copy runs on a thread of its own meanwhile.
struct StatementUse {
    int runs = 0;
    long rows = 0;
    double ms = 0;
};
std::map<std::string, StatementUse>* traced = nullptr;
const std::thread::id guiThread = std::this_thread::get_id();

int traceStatement(unsigned type, void*, void* statement, void* nanoseconds)
{
    if (std::this_thread::get_id() != guiThread || !traced)
        return 0;
    const char* text = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
    StatementUse& use = (*traced)[text ? text : "?"];
    if (type == SQLITE_TRACE_ROW)
        ++use.rows;
    else if (type == SQLITE_TRACE_PROFILE) {
        ++use.runs;
        use.ms += double(*static_cast<sqlite3_int64*>(nanoseconds)) * 1e-6;
    }
    return 0;
}

int traceConnection(sqlite3* db, char**, const sqlite3_api_routines*)
{
    sqlite3_trace_v2(db, SQLITE_TRACE_PROFILE | SQLITE_TRACE_ROW, traceStatement, nullptr);
    return SQLITE_OK;
}

void traceStep(const char* label, const std::function<void()>& step)
{
    std::map<std::string, StatementUse> uses;
    traced = &uses;
    const double cpu = timed(step);
    traced = nullptr;
    std::vector<std::pair<std::string, StatementUse>> sorted(uses.begin(), uses.end());
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second.ms > b.second.ms; });
    double total = 0;
    for (const auto& [text, use] : sorted)
        total += use.ms;
    std::printf("\n%s: %.2f ms CPU, %.2f ms in %zu distinct statements\n", label, cpu * 1e3, total, sorted.size());
    for (std::size_t i = 0; i < sorted.size() && i < 5; ++i)
        std::printf("  %8.2f ms %6d runs %8ld rows  %.150s\n", sorted[i].second.ms, sorted[i].second.runs,
                    sorted[i].second.rows, sorted[i].first.c_str());
}

// The worst steps once more, each with its statements.
void traceSteps(const Campaign& small, const Campaign& large, ScriptedDialogs& dialogs, ScriptedModal& modal)
{
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(traceConnection));
    const std::string at = ", " + std::to_string(large.characters);
    auto trace = [&](const std::string& label, const std::function<void()>& step) { traceStep((label + at).c_str(), step); };
    removeBackups(large);
    std::unique_ptr<Running> r;
    trace("start-up, first of the day", [&] { r = startProgram(large); });
    // The steps as the timed ones find the program: the day's copy made.
    if (r->program->dailyBackup)
        r->program->dailyBackup->wait(std::chrono::minutes(5));
    modal.action = [](QWidget& w) {
        w.show();
        activate(&w);
        QCoreApplication::processEvents();
    };
    const int i = large.characters / 2;
    r->browser()->tblVDDB.findKey({gameName(i), characterName(i)});
    r->browser()->DBGrid1DblClick();
    r->realm()->hide();
    r->browser()->tblVDDB.findKey({gameName(i + 1), characterName(i + 1)});
    trace("opening a character, later", [&] { r->browser()->DBGrid1DblClick(); });
    trace("one F4 move", [&] {
        r->realm()->Next1Click();
        QCoreApplication::processEvents();
    });
    r->realm()->hide();
    TfrmVDDBSearch* b = r->browser();
    for (const char* text : {"Al", kFewPrefix}) {
        b->edtSearch->setText(QString::fromLatin1(text));
        trace(std::string("search by name \"") + text + "\"", [&] {
            b->btnNameClick();
            QCoreApplication::processEvents();
            b->DBGrid1->viewport()->repaint();
        });
        b->btnShowAllClick();
        QCoreApplication::processEvents();
    }
    b->DBGrid1->setFocus();
    trace("Ctrl+End", [&] {
        QTest::keyClick(b->DBGrid1, Qt::Key_End, Qt::ControlModifier);
        QCoreApplication::processEvents();
        b->DBGrid1->viewport()->repaint();
    });
    const int victim = large.characters * 2 / 3 + 100;
    b->tblVDDB.findKey({gameName(victim), characterName(victim)});
    QCoreApplication::processEvents();
    dialogs.answer(dbaware::Answer::Yes);
    trace("a delete in the middle", [&] {
        b->btnDeleteClick();
        QCoreApplication::processEvents();
        b->DBGrid1->viewport()->repaint();
    });
    r.reset();
    fillTransfer(large);
    r = startProgram(large);
    trace("import of 1,000 characters", [&] { r->browser()->ImportCharacters1Click(); });
    r.reset();

    fillTransfer(small);
    r = startProgram(small);
    traceStep("import of 1,000 characters", [&] { r->browser()->ImportCharacters1Click(); });
    for (int k = 0; k < kTransferCharacters; ++k) {
        r->realm()->tblVDDB.findKey({kImportGame, characterName(k)});
        dialogs.answer(dbaware::Answer::No);
        r->realm()->ExportCurrentCharacter1Click();
    }
    traceStep("emptying the transfer tables", [&] { r->browser()->EmptyTransferTable1Click(); });
    modal.action = nullptr;
    r->browser()->tblVDDB.findKey({kSheetGame, kSheetCharacter});
    r->browser()->DBGrid1DblClick();
    r->realm()->show();
    activate(r->realm());
    QCoreApplication::processEvents();
    dialogs.saveAs(QString::fromStdString((small.root / "traced-sheet.txt").string()));
    traceStep("realm sheet, 1,000 provinces", [&] { r->realm()->SaveToFile1Click(); });
    r.reset();
    sqlite3_reset_auto_extension();
}

// ---- peak memory of a start-up in a child process ------------------------------

long startupPeakKb(const Campaign& c)
{
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/proc/self/exe", "program_bench", "--child", c.root.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage use{};
    if (wait4(pid, &status, 0, &use) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the start-up child failed");
    return use.ru_maxrss;
}

}  // namespace

// ---- progress: when the import's progress window shows and Cancel is heard ----

// Wall time since the command began; the window shows at the first question
// whether to go on from half a second on, and the user presses Cancel once the
// chosen stage has run for half a second.
struct Timeline {
    int cancelInStage = -1;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    double shown = -1, cancelled = -1, stageBegan = 0;
    int stages = 0;
    double now() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); }
};

class TimedProgress final : public dbaware::Progress {
public:
    explicit TimedProgress(Timeline& t) : t_(t) {}
    void stage(int, int, const QString& text) override
    {
        t_.stageBegan = t_.now();
        ++t_.stages;
        std::printf("  %6.3f s  stage: %s\n", t_.stageBegan, qPrintable(text));
    }
    bool keepGoing() override
    {
        const double now = t_.now();
        if (t_.shown < 0 && now >= 0.5)
            t_.shown = now;
        // A stage too short for that: Cancel at the first question after it.
        const int stage = t_.stages - 1;
        if (t_.cancelled < 0 && t_.cancelInStage >= 0 &&
            (stage > t_.cancelInStage || (stage == t_.cancelInStage && now - t_.stageBegan >= 0.5)))
            t_.cancelled = now;
        return t_.cancelled < 0;
    }

private:
    Timeline& t_;
};

class TimedDialogs final : public dbaware::Dialogs {
public:
    explicit TimedDialogs(Timeline& t) : t_(t) {}
    dbaware::Answer ask(QWidget*, const QString&, const QString& text, dbaware::Icon, dbaware::Buttons) override
    {
        std::printf("  box: %s\n", qPrintable(text.left(200)));
        return dbaware::Answer::Ok;
    }
    std::optional<QString> saveFileName(QWidget*, const dbaware::SaveRequest&) override { return std::nullopt; }
    std::optional<QString> folderName(QWidget*, const QString&, const QString&) override { return std::nullopt; }
    void beep() override {}
    std::unique_ptr<dbaware::Progress> progress(QWidget*, const QString&) override
    {
        return std::make_unique<TimedProgress>(t_);
    }

private:
    Timeline& t_;
};

// `rows` characters and as many provinces in the transfer tables; the import
// is cancelled in each stage in turn, then left to run.
void progressSteps(const fs::path& scratch, int rows)
{
    Campaign c = generate(scratch / "progress", 100);
    {
        auto conn = plainConnection(c);
        const std::string n = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                              std::to_string(rows) + ") ";
        conn.exec("BEGIN");
        conn.exec(n + "INSERT INTO t.vdtrans (Game_Name, Character_Name, Domain_Name, Misc_Leftovers) "
                      "SELECT 'Imported', 'C' || i, 'Domain of ' || i, 'Two knights and a squire' FROM n");
        conn.exec(n + "INSERT INTO t.expprovs (Game_Name, Character_Name, Province_Name, Armies) "
                      "SELECT 'Imported', 'C' || i, 'P' || i, '2 units of infantry' FROM n");
        conn.exec("COMMIT");
    }
    auto r = startProgram(c);
    for (int stage : {0, 1, 2, 3, 4, -1}) {
        Timeline t;
        t.cancelInStage = stage;
        TimedDialogs timed(t);
        dbaware::setDialogs(&timed);
        std::printf("%s\n", stage < 0 ? "left to run:" : ("Cancel in stage " + std::to_string(stage) + ":").c_str());
        t.start = std::chrono::steady_clock::now();
        r->browser()->ImportCharacters1Click();
        const double end = t.now();
        std::printf("  window shown at %.3f s", t.shown);
        if (t.cancelled >= 0)
            std::printf(", Cancel at %.3f s, the import back at %.3f s (%.3f s later)", t.cancelled, end,
                        end - t.cancelled);
        std::printf(", done at %.3f s\n", end);
        dbaware::setDialogs(nullptr);
    }
}

// ---- over a server ------------------------------------------------------------

// The window steps of one repetition, in wall time, under `tag`.
void serverSteps(const Campaign& c, const std::string& tag, ScriptedModal& modal)
{
    std::unique_ptr<Running> r;
    note("startup/" + tag, wallTimed([&] { r = startProgram(c); }));
    if (r->program->dailyBackup)
        r->program->dailyBackup->wait(std::chrono::minutes(5));
    TfrmRealmDetails* realm = r->realm();
    modal.action = [](QWidget& w) {
        w.show();
        activate(&w);
        QCoreApplication::processEvents();
    };
    r->browser()->tblVDDB.findKey({gameName(c.characters / 3), characterName(c.characters / 3)});
    QCoreApplication::processEvents();
    note("open/" + tag, wallTimed([&] { r->browser()->DBGrid1DblClick(); }));
    modal.action = nullptr;
    for (int i = 0; i < 10; ++i)
        note("f4_move/" + tag, wallTimed([&] {
                 realm->Next1Click();
                 QCoreApplication::processEvents();
             }));
    realm->hide();
    TfrmVDDBSearch* b = r->browser();
    auto search = [&](const char* text, void (TfrmVDDBSearch::*click)()) { return searchStep(*b, text, click, wallTimed); };
    note("search_name/" + tag, search("Al", &TfrmVDDBSearch::btnNameClick));
    note("search_game/" + tag, search("Game1", &TfrmVDDBSearch::btnGameClick));
}

int serverBench(const fs::path& scratch, ScriptedModal& modal)
{
    const fs::path state = scratch / "server";
    fs::create_directories(state);
    if (std::system(("'" VDDB_SOURCE_DIR "/scripts/pg-server' start '" + state.string() + "'").c_str()) != 0)
        throw std::runtime_error("the server did not start");
    struct Stop {
        fs::path state;
        ~Stop()
        {
            // Nothing is left to do when the stop fails.
            const int status = std::system(("'" VDDB_SOURCE_DIR "/scripts/pg-server' stop '" + state.string() + "' >/dev/null").c_str());
            (void)status;
        }
    } stop{state};
    const std::string server = testing_support::testServer("VDDB_BENCH_SERVER");
    std::vector<std::pair<Campaign, Campaign>> pairs;  // in files, on the server
    for (int n : {100, 100000}) {
        Campaign files = generate(scratch / std::to_string(n), n);
        Campaign shared{n, scratch / ("server" + std::to_string(n))};
        fs::create_directories(shared.programFolder());
        const std::string conninfo = testing_support::newServerCampaign(server);
        {
            auto c = store::pg::Connection::open(conninfo);
            store::Database db(files.dataFolder(), campaign::catalogue());
            store::ServerCampaign::copyOnto(db, c);
        }
        store::AliasRegistry(shared.aliasFile()).add(testing_support::serverAlias("VDDB", conninfo), true);
        // The first start ever takes the whole campaign into its copy.
        std::unique_ptr<Running> r;
        const double first = wallTimed([&] { r = startProgram(shared); });
        std::fprintf(stderr, "%d characters: the first start with an empty copy took %.2f s\n", n, first);
        pairs.emplace_back(files, shared);
    }
    for (int rep = 0; rep < kWindowRepetitions; ++rep)
        for (const auto& [files, shared] : pairs) {
            const std::string n = std::to_string(files.characters);
            serverSteps(files, "files/" + n, modal);
            serverSteps(shared, "server/" + n, modal);
        }
    std::printf("\n%-30s %10s %10s %10s %10s %10s %10s\n", "step (wall time, median)", "files 100", "server 100",
                "files 100k", "server 100k", "srv/files", "100k/100");
    std::vector<std::pair<std::string, double>> ratios;
    for (const char* step : {"startup", "open", "f4_move", "search_name", "search_game"}) {
        const std::string k(step);
        const double over = pairedRatio(k + "/server/100000", k + "/files/100000");
        const double flat = pairedRatio(k + "/server/100000", k + "/server/100");
        std::printf("%-30s %7.2f ms %7.2f ms %7.2f ms %7.2f ms %9.2fx %9.2fx\n", step, median(k + "/files/100") * 1e3,
                    median(k + "/server/100") * 1e3, median(k + "/files/100000") * 1e3,
                    median(k + "/server/100000") * 1e3, over, flat);
        ratios.emplace_back("server_over_files_" + k, over);
        ratios.emplace_back("server_100k_over_100_" + k, flat);
    }
    std::printf("\n");
    for (const auto& [name, value] : ratios)
        std::printf("ratio %s %.2f\n", name.c_str(), value);
    return 0;
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir settingsFolder;
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        for (QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
            QSettings::setPath(format, scope, settingsFolder.path());
    QCoreApplication::setOrganizationName(QStringLiteral("vddb-bench"));
    QCoreApplication::setApplicationName(QStringLiteral("vddb-bench"));
    QApplication application(argc, argv);
    dbaware::setApplicationTitle(QStringLiteral("Valdane Campaign Database"));
    app::setHelpHandler([](const QString&, unsigned) {});
    ScriptedDialogs dialogs;
    ScriptedModal modal;

    try {
        if (argc == 3 && std::string(argv[1]) == "--child") {
            Campaign c{0, argv[2]};
            auto r = startProgram(c);
            return 0;
        }

        const fs::path scratch = fs::temp_directory_path() / ("vddb-program-bench-" + std::to_string(getpid()));
        if (argc == 2 && std::string(argv[1]) == "--server") {
            qputenv("VDDB_BENCH_SERVER", QByteArray::fromStdString((scratch / "server").string()));
            const int status = serverBench(scratch, modal);
            fs::remove_all(scratch);
            return status;
        }
        // "--progress N": the import's progress window and Cancel over N
        // characters and N provinces.
        if (argc == 3 && std::string(argv[1]) == "--progress") {
            progressSteps(scratch, std::stoi(argv[2]));
            fs::remove_all(scratch);
            return 0;
        }
        // "--game-searches N": 200 searches by game with many matches, each
        // shown all again afterwards untimed; "--deletes N": up to 200
        // deletes in the middle; in a campaign of N characters, for a profiler.
        if (argc == 3 && (std::string(argv[1]) == "--game-searches" || std::string(argv[1]) == "--deletes")) {
            const bool deletes = std::string(argv[1]) == "--deletes";
            const Campaign c = generate(scratch / "repeated", std::stoi(argv[2]));
            auto r = startProgram(c);
            TfrmVDDBSearch* b = r->browser();
            double cpu = 0;
            const int steps = deletes ? std::min(200, c.characters / 2) : 200;
            for (int k = 0; k < steps; ++k) {
                if (deletes) {
                    const int victim = c.characters / 3 + k;
                    b->tblVDDB.findKey({gameName(victim), characterName(victim)});
                    QCoreApplication::processEvents();
                    dialogs.answer(dbaware::Answer::Yes);
                } else {
                    b->edtSearch->setText(QStringLiteral("Game1"));
                }
                cpu += timed([&] {
                    deletes ? b->btnDeleteClick() : b->btnGameClick();
                    QCoreApplication::processEvents();
                    b->DBGrid1->viewport()->repaint();
                });
                if (!deletes) {
                    b->btnShowAllClick();
                    QCoreApplication::processEvents();
                }
            }
            std::printf("%s in %d: %.2f ms CPU\n", deletes ? "a delete in the middle" : "a search by game",
                        c.characters, cpu / steps * 1e3);
            r.reset();
            fs::remove_all(scratch);
            return 0;
        }
        const std::string only = argc == 3 && std::string(argv[1]) == "--only" ? argv[2] : "";
        // The sheet runs on the small campaign alone; the copies on the
        // smallest and the largest.
        const bool sheetOnly = only == "sheet", transferOnly = only == "transfer";
        const bool trace = argc == 2 && std::string(argv[1]) == "--trace";
        std::vector<Campaign> campaigns;
        for (int n : {100, 100000, kMillion}) {
            if ((sheetOnly && n != 100) || ((transferOnly || trace) && n == 100000))
                continue;
            const double t0 = cpuNow();
            campaigns.push_back(generate(scratch / std::to_string(n), n));
            std::fprintf(stderr, "generated %d characters in %.1f s\n", n, cpuNow() - t0);
        }

        // "--only windows" or "--only transfer" runs one half, for a profiler
        // (the latter prints the copies' ratios; "--only sheet" runs the realm
        // sheets alone, with theirs);
        // "--trace" the worst steps once with the statements they run.
        if (trace) {
            traceSteps(campaigns.front(), campaigns.back(), dialogs, modal);
            fs::remove_all(scratch);
            return 0;
        }
        std::map<int, long> memory;
        if (!transferOnly && !sheetOnly) {
            for (int rep = 0; rep < kWindowRepetitions; ++rep)
                for (const Campaign& c : campaigns)
                    windowSteps(c, dialogs, modal, rep);
            for (const Campaign& c : campaigns)
                memory[c.characters] = startupPeakKb(c);
        }
        const Campaign& small = campaigns.front();
        if (only != "windows" && !sheetOnly)
            for (int rep = 0; rep < kRepetitions; ++rep) {
                transferSteps(small, dialogs);
                transferSteps(campaigns.back(), dialogs);
                if (!transferOnly)
                    sheetSteps(small, dialogs, modal);
            }
        // A step of the program beside the same work in plain code: its line
        // of the table; the ratio.
        auto pair = [&](const char* label, const std::string& key) {
            const double a = median("prog_" + key), b = median("plain_" + key);
            const double ratio = pairedRatio("prog_" + key, "plain_" + key);
            std::printf("%-34s %9.2f ms %9.2f ms %7.2fx\n", label, a * 1e3, b * 1e3, ratio);
            return ratio;
        };
        if (sheetOnly)
            for (int rep = 0; rep < kRepetitions; ++rep)
                sheetSteps(small, dialogs, modal);
        // The export's question, the empty's and the delete's confirmations
        // are expected; any other box means a step did not do what it is timed for.
        for (const QString& text : dialogs.texts())
            if (!text.startsWith(QLatin1String("Overwrite contents")) && !text.startsWith(QLatin1String("Delete all Transfer")) &&
                !text.startsWith(QLatin1String("Confirm delete")))
                std::fprintf(stderr, "warning: unexpected box: %s\n", qPrintable(text));

        // Each part run prints its table; the ratios follow at the end.
        std::vector<std::pair<std::string, double>> ratios;
        if (only.empty() || only == "windows") {
            std::printf("\n%-34s %12s %12s %12s %8s %8s\n", "step (GUI thread CPU, median)", "100", "100,000",
                        "1,000,000", "100k/100", "1M/100");
            auto row = [&](const char* label, const char* key) {
                const std::string k(key);
                const double r100k = pairedRatio(k + "/100000", k + "/100");
                const double r1m = pairedRatio(k + "/1000000", k + "/100");
                std::printf("%-34s %9.2f ms %9.2f ms %9.2f ms %7.2fx %7.2fx\n", label, median(k + "/100") * 1e3,
                            median(k + "/100000") * 1e3, median(k + "/1000000") * 1e3, r100k, r1m);
                ratios.emplace_back(k + "_100k", r100k);
                ratios.emplace_back(k + "_1M", r1m);
            };
            row("start-up, first of the day", "startup_first");
            row("start-up, later", "startup_later");
            const double mem100k = double(memory[100000]) / double(memory[100]);
            const double mem1m = double(memory[kMillion]) / double(memory[100]);
            std::printf("%-34s %9ld kB %9ld kB %9ld kB %7.2fx %7.2fx\n", "peak memory at start-up", memory[100],
                        memory[100000], memory[kMillion], mem100k, mem1m);
            ratios.emplace_back("peak_memory_100k", mem100k);
            ratios.emplace_back("peak_memory_1M", mem1m);
            row("opening a character, first", "open_first");
            row("opening a character, later", "open_later");
            row("one F4 move", "f4_move");
            row("search by name, screen shown", "search_name");
            row("search by name, few matches", "search_few");
            row("search by game, screen shown", "search_game");
            row("Ctrl+End in the browser's grid", "ctrl_end");
            row("a delete in the middle", "delete_middle");
        }
        if (only != "windows") {
            std::printf("\n%-34s %12s %12s %8s\n", "1,000 characters, 10,000 provinces", "program", "plain", "ratio");
            if (!sheetOnly)
                for (const int n : {100, kMillion}) {
                    const std::string at = "/" + std::to_string(n), tag = n == 100 ? "" : "_1M";
                    const std::string into = n == 100 ? " (into 100)" : " (into 1M)";
                    ratios.emplace_back("import_1000" + tag, pair(("import" + into).c_str(), "import" + at));
                    ratios.emplace_back("export_1000" + tag,
                                        pair(("export, one at a time" + into).c_str(), "export" + at));
                    ratios.emplace_back("empty_transfer" + tag, pair(("emptying the transfer" + into).c_str(), "empty" + at));
                }
            if (!transferOnly) {
                ratios.emplace_back("realm_sheet_1000", pair("realm sheet, 1,000 provinces", "sheet"));
                ratios.emplace_back("realm_sheet_linear", sheetLinear());
            }
        }
        std::printf("\n");
        for (const auto& [name, value] : ratios)
            std::printf("ratio %s %.2f\n", name.c_str(), value);
        fs::remove_all(scratch);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "program_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
