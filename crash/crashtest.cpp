// crashtest [KILLS] [--seed N] [--folder DIR] [--max-delay MS] [--split-import] [--record-by-record]
//           [--backups] [--sheets] [--full-disk] [--power-loss]
//
// Kills a process driving the store with SIGKILL at random moments, KILLS
// times (200 by default), and after each kill checks the two files: both pass
// PRAGMA quick_check, every acknowledged operation is there, and none is half
// done. Ends with "kills N, intact N, lost N"; the exit status is 0 only
// when nothing was lost.
//
// The child runs every command in one transaction, as the windows do (a
// delete with its provinces, an export, an emptying), and the run demands
// all or nothing of each. --record-by-record runs deletes, exports and
// empties step by step instead and then only counts a prefix of them left
// done. --split-import deliberately commits an import's copies apart from the
// emptying of the transfer tables, which a run should report.
//
// --backups and --sheets add the daily copy of the campaign file and the
// realm sheet's file: after a kill each copy present must be whole and hold
// the tables as they were when it was taken, and the sheet must be the old
// one or the new one, complete, never a part. --full-disk lets the files grow
// no further during some operations: the refusals that follow are counted,
// and are no loss as long as the files hold what they held before.
//
// --power-loss makes each kill a power cut: the files and folders are then
// laid out as the disk held them at the child's last syncs (see powercut.h)
// before the same checks.
//
// crashtest --prepare DIR | --op OPERATION DIR [--stop] | --verify OPERATION DIR BEFORE AFTER RESULT
//
// The fault sweep's steps (crash/sweep.sh): lay out a folder, run one
// operation on it (see driver.h), judge what a run left.
#include "campaign/catalogue.h"
#include "crash/driver.h"
#include "crash/files.h"
#include "crash/model.h"
#include "crash/powercut.h"
#include "store/backup.h"
#include "store/database.h"
#include "store/layout.h"

#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace crash;

namespace {

struct Options {
    int kills = 200;
    std::uint32_t seed = 0;
    fs::path folder;
    int maxDelayMs = 150;
    bool splitImport = false;
    bool wholeCommands = true;
    bool backups = false;
    bool sheets = false;
    bool fullDisk = false;
    bool powerLoss = false;
};

// Reads the files with plain SQLite, apart from the store under test. The
// connection is read-write so that SQLite rolls back a killed transaction's
// journal first, as the next start of the program would.
class Reader {
public:
    explicit Reader(const fs::path& data, bool withTransfer = true)
    {
        const fs::path file = withTransfer ? data / campaign::campaignFile : data;
        if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            fail("cannot open " + file.filename().string());
        sqlite3_busy_timeout(db_, 5000);
        if (withTransfer)
            exec("ATTACH DATABASE '" + (data / campaign::transferFile).string() + "' AS xfer");
    }
    ~Reader() { sqlite3_close(db_); }

    std::string quickCheck(const std::string& schema, const std::string& pragma = "quick_check")
    {
        std::string result;
        query("PRAGMA " + schema + "." + pragma, [&](sqlite3_stmt* st) {
            if (!result.empty())
                result += "; ";
            result += text(st, 0);
        });
        return result;
    }

    Side side(const std::string& schema, const std::string& chars, const std::string& provs)
    {
        Side s;
        query("SELECT Game_Name, Character_Name, Current_GB, Vassals, Warrior FROM " + schema + "." + chars,
              [&](sqlite3_stmt* st) {
                  Key key{text(st, 0), text(st, 1)};
                  CharValues v{sqlite3_column_int(st, 2), text(st, 3), sqlite3_column_int(st, 4) != 0};
                  if (!s.chars.emplace(key, v).second)
                      throw std::runtime_error("two character records with the key " + key.first + "/" + key.second);
              });
        query("SELECT Game_Name, Character_Name, Province_Name, Province_Level, Armies FROM " + schema + "." + provs,
              [&](sqlite3_stmt* st) {
                  s.provs.insert({text(st, 0), text(st, 1), text(st, 2), sqlite3_column_int(st, 3), text(st, 4)});
              });
        return s;
    }

private:
    static std::string text(sqlite3_stmt* st, int col)
    {
        const unsigned char* t = sqlite3_column_text(st, col);
        return t ? reinterpret_cast<const char*>(t) : "";
    }
    [[noreturn]] void fail(const std::string& what)
    {
        throw std::runtime_error(what + ": " + (db_ ? sqlite3_errmsg(db_) : "out of memory"));
    }
    void exec(const std::string& sql)
    {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(sql);
    }
    template <class Fn>
    void query(const std::string& sql, Fn fn)
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            fail(sql);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            fn(st);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            fail(sql);
    }

    sqlite3* db_ = nullptr;
};

struct Child {
    pid_t pid = -1;
    int fd = -1;
};

fs::path sheetFile(const fs::path& data) { return data.parent_path() / "Save" / "sheet.txt"; }

// What a power cut can undo: the two files, the daily copies and the sheet.
std::vector<fs::path> cutFolders(const fs::path& data)
{
    return {data, data / store::backupFolderName, sheetFile(data).parent_path()};
}
fs::path cutRecords(const fs::path& data) { return data.parent_path() / "synced"; }

// The daily copies in the data folder, by name.
std::set<std::string> dailyCopies(const fs::path& data)
{
    std::set<std::string> names;
    for (const fs::path& copy : store::dailyBackups(data / store::backupFolderName, campaign::catalogue()))
        names.insert(copy.filename().string());
    return names;
}

Child startChild(const Options& options, const fs::path& data, std::uint32_t seed)
{
    int fds[2];
    if (pipe(fds) != 0) {
        perror("pipe");
        std::exit(2);
    }
    std::cout.flush();
    const pid_t pid = fork();
    if (pid < 0) {
        perror("fork");
        std::exit(2);
    }
    if (pid == 0) {
        close(fds[0]);
        if (options.powerLoss)
            powercut::watch(cutRecords(data), cutFolders(data));
        DriverOptions d{data,     seed,           options.splitImport, options.wholeCommands, options.backups,
                        options.sheets, sheetFile(data), options.fullDisk};
        _exit(runDriver(d, fds[1]));
    }
    close(fds[1]);
    return {pid, fds[0]};
}

// Reads what the child wrote until `deadline`, or without one until a line
// has come; complete lines go to `lines`. Returns false at the end of the pipe.
bool readLines(int fd, std::string& pending, std::vector<std::string>& lines,
               std::optional<std::chrono::steady_clock::time_point> deadline)
{
    for (;;) {
        int timeout = -1;
        if (deadline) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return true;
            timeout = static_cast<int>(left.count());
        }
        pollfd p{fd, POLLIN, 0};
        const int n = poll(&p, 1, timeout);
        if (n == 0)
            return true;
        if (n < 0)
            continue;
        char buf[4096];
        const ssize_t got = read(fd, buf, sizeof buf);
        if (got <= 0)
            return false;
        pending.append(buf, static_cast<std::size_t>(got));
        std::size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            lines.push_back(pending.substr(0, nl));
            pending.erase(0, nl + 1);
        }
        if (!deadline && !lines.empty())
            return true;
    }
}

void sleepMicros(long us)
{
    timespec ts{us / 1000000, (us % 1000000) * 1000};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

Options parseArgs(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << "crashtest: " << a << " needs a value\n";
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--seed")
            o.seed = static_cast<std::uint32_t>(std::stoul(value()));
        else if (a == "--folder")
            o.folder = value();
        else if (a == "--max-delay")
            o.maxDelayMs = std::stoi(value());
        else if (a == "--split-import")
            o.splitImport = true;
        else if (a == "--record-by-record")
            o.wholeCommands = false;
        else if (a == "--backups")
            o.backups = true;
        else if (a == "--sheets")
            o.sheets = true;
        else if (a == "--full-disk")
            o.fullDisk = true;
        else if (a == "--power-loss")
            o.powerLoss = true;
        else if (!a.empty() && a.find_first_not_of("0123456789") == std::string::npos)
            o.kills = std::stoi(a);
        else {
            std::cerr << "usage: crashtest [KILLS] [--seed N] [--folder DIR] [--max-delay MS] [--split-import] "
                         "[--record-by-record] [--backups] [--sheets] [--full-disk] [--power-loss]\n";
            std::exit(2);
        }
    }
    if (o.powerLoss && !powercut::supported) {
        std::cerr << "crashtest: --power-loss needs Linux\n";
        std::exit(2);
    }
    if (o.powerLoss && o.fullDisk) {
        // The file size limit of a full disk would refuse the records too.
        std::cerr << "crashtest: --power-loss and --full-disk do not go together\n";
        std::exit(2);
    }
    if (o.seed == 0)
        o.seed = std::random_device{}();
    return o;
}

const char* kindName(Kind k)
{
    switch (k) {
    case Kind::PostCharacter: return "post character";
    case Kind::PostProvince: return "post province";
    case Kind::Edit: return "edit";
    case Kind::Delete: return "delete";
    case Kind::ExportOverwrite: return "export (overwrite)";
    case Kind::ExportAppend: return "export (append)";
    case Kind::Import: return "import";
    case Kind::Empty: return "empty";
    case Kind::Backup: return "daily backup";
    case Kind::Sheet: return "sheet save";
    }
    return "?";
}

// What a sweep folder holds of an operation's work: the tables and the
// files that operation writes, each as a text to compare.
struct Holds {
    State tables;
    std::vector<std::pair<std::string, std::optional<std::string>>> files;
    std::string problem;
};

Holds holds(const fs::path& folder, const std::string& op)
{
    Holds h;
    try {
        Reader reader(folder / "Data");
        for (const char* schema : {"main", "xfer"})
            if (const std::string check = reader.quickCheck(schema, "integrity_check"); check != "ok")
                h.problem += std::string("integrity_check of ") + schema + ": " + check + " ";
        h.tables.campaign = reader.side("main", "vddb", "vdprovs");
        h.tables.transfer = reader.side("xfer", "vdtrans", "expprovs");
    } catch (const std::exception& e) {
        h.problem += std::string("reading the files: ") + e.what() + " ";
    }
    if (op == "backup") {
        const fs::path copy = folder / "Data" / store::backupFolderName / backupName(0);
        std::optional<std::string> what;
        if (fs::exists(copy)) {
            try {
                Reader reader(copy, false);
                const std::string check = reader.quickCheck("main", "integrity_check");
                what = check != "ok" ? "a copy failing integrity_check: " + check
                       : reader.side("main", "vddb", "vdprovs") == h.tables.campaign ? "a copy of the campaign file"
                                                                                      : "a copy of other tables";
            } catch (const std::exception& e) {
                what = std::string("a copy that cannot be read: ") + e.what();
            }
        }
        h.files.emplace_back(copy.filename().string(), what);
    }
    if (op == "sheet")
        h.files.emplace_back("sheet.txt", fileBytes(folder / "Save" / "sheet.txt"));
    if (op == "csv")
        for (const char* name : {"characters.csv", "provinces.csv"})
            h.files.emplace_back(name, fileBytes(folder / "Out" / name));
    if (op == "pdf") {
        std::optional<std::string> pdf = fileBytes(folder / "Out" / "game.pdf");
        // The PDF carries its time of making: a new one is judged by its
        // length and its end.
        if (pdf && pdf->starts_with("%PDF"))
            pdf = std::to_string(pdf->size()) + " bytes" +
                  (pdf->find("%%EOF", pdf->size() > 8 ? pdf->size() - 8 : 0) != std::string::npos ? "" : ", no end");
        h.files.emplace_back("game.pdf", pdf);
    }
    return h;
}

// Judges one run of the fault sweep: `run` after the operation reported
// `result`, against `before` (the folder as laid out) and `after` (the
// operation run without a fault). Prints "intact", "reported" (a failure
// reported, nothing changed), "stored-though-failed" or "lost: <why>".
int verify(const std::string& op, const fs::path& run, const fs::path& before, const fs::path& after,
           const std::string& result)
{
    const Holds now = holds(run, op), was = holds(before, op), done = holds(after, op);
    std::string lost = now.problem;
    bool allNew = now.tables == done.tables, allOld = now.tables == was.tables;
    if (!allNew && !allOld)
        lost += "the tables are neither as before nor as after:\n" + describeDifference(done.tables, now.tables);
    for (std::size_t i = 0; i < now.files.size(); ++i) {
        const auto& [name, bytes] = now.files[i];
        const bool isNew = bytes == done.files[i].second, isOld = bytes == was.files[i].second;
        allNew = allNew && isNew;
        allOld = allOld && isOld;
        if (!isNew && !isOld)
            lost += name + " is neither the old file nor the new one (" +
                    (bytes ? std::to_string(bytes->size()) + " bytes" : std::string("missing")) + ") ";
    }
    const bool ok = result == "A ok";
    if (lost.empty() && ok && !allNew)
        lost = "success reported for what was not stored";
    if (!lost.empty())
        std::cout << "lost: " << lost << " (" << result << ")\n";
    else
        std::cout << (ok ? "intact" : allOld ? "reported" : "stored-though-failed") << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // The fault sweep's single operations (crash/sweep.sh).
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--prepare" && argc == 3)
        return prepareFolder(argv[2]);
    if (mode == "--op" && argc >= 4 && knownOperation(argv[2]))
        return runOperation(argv[3], argv[2], argc == 5 && std::string(argv[4]) == "--stop");
    if (mode == "--verify" && argc == 7 && knownOperation(argv[2]))
        return verify(argv[2], argv[3], argv[4], argv[5], argv[6]);
    const Options options = parseArgs(argc, argv);
    const bool ownFolder = options.folder.empty();
    const fs::path folder =
        ownFolder ? fs::temp_directory_path() / ("vddb-crashtest-" + std::to_string(getpid())) : options.folder;
    const fs::path data = folder / "Data";
    std::error_code ec;
    fs::remove_all(data, ec);
    fs::remove_all(sheetFile(data).parent_path(), ec);
    fs::create_directories(folder);
    fs::create_directories(sheetFile(data).parent_path());
    // The files are made before the first kill; the harness tests work on
    // them, not an interrupted first start.
    { store::Database make(data, campaign::catalogue()); }
    std::cout << "crashtest: " << options.kills << " kills, seed " << options.seed << ", folder " << data.string()
              << (options.splitImport ? ", imports split in two transactions" : "")
              << (options.wholeCommands ? "" : ", commands record by record")
              << (options.backups ? ", daily backups" : "") << (options.sheets ? ", realm sheets" : "")
              << (options.fullDisk ? ", full disk at times" : "")
              << (options.powerLoss ? ", each kill a power cut" : "") << "\n";

    std::mt19937 rng(options.seed);
    State model;
    int intact = 0, lost = 0;
    long acknowledged = 0, refused = 0, refusedForStorage = 0, inFlight = 0, inFlightDone = 0, partialDeletes = 0;
    // The files beside the tables: the daily copies present, what each holds,
    // and the sheet's bytes (none before the first save).
    std::set<std::string> copies;
    std::map<std::string, Side> copyHolds;
    std::optional<std::string> sheet;
    std::map<Kind, int> killedDuring;

    for (int kill = 1; kill <= options.kills; ++kill) {
        if (options.powerLoss)
            powercut::baseline(cutRecords(data), cutFolders(data));
        Child child = startChild(options, data, rng());
        std::string pending;
        std::vector<std::string> lines;
        bool open = true;
        // Now and then kill while the program is still opening its tables.
        if (std::uniform_int_distribution<int>(0, 9)(rng) == 0) {
            sleepMicros(std::uniform_int_distribution<long>(0, 20000)(rng));
        } else {
            while (open && (lines.empty() || lines.front() != "R"))
                open = readLines(child.fd, pending, lines, std::nullopt);
            const auto delay = std::chrono::microseconds(
                std::uniform_int_distribution<long>(0, options.maxDelayMs * 1000L)(rng));
            if (open)
                open = readLines(child.fd, pending, lines, std::chrono::steady_clock::now() + delay);
        }
        ::kill(child.pid, SIGKILL);
        int status = 0;
        waitpid(child.pid, &status, 0);
        while (open)
            open = readLines(child.fd, pending, lines, std::nullopt);
        close(child.fd);
        if (options.powerLoss)
            powercut::restore(cutRecords(data), cutFolders(data));

        std::vector<std::string> problems;
        if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL)
            problems.push_back("the child ended before the kill (status " + std::to_string(status) + ")");

        // Replay the acknowledged operations on the model.
        State expected = model;
        std::optional<Op> current;
        for (const std::string& line : lines) {
            if (line == "R")
                continue;
            if (line.rfind("F ", 0) == 0) {
                problems.push_back("the child could not go on: " + line.substr(2));
            } else if (line.rfind("B ", 0) == 0) {
                Op op;
                if (!Op::parse(line.substr(2), op))
                    problems.push_back("unreadable line: " + line);
                current = op;
            } else if (line.rfind("A ", 0) == 0 && current) {
                const bool ok = line == "A ok";
                const bool refuse = mustFail(expected, *current);
                // A refusal because the storage failed is what the program
                // must do then; whether the files stayed as they were is
                // checked below with the rest.
                const bool storage = !ok && !refuse && storageFault(line);
                if (storage)
                    ++refusedForStorage;
                else if (ok == refuse)
                    problems.push_back(std::string(kindName(current->kind)) + " " + current->text() + (ok ? " succeeded" : " failed") +
                                       ", expected " + (refuse ? "a refusal" : "success") + (ok ? "" : ": " + line.substr(7)));
                if (ok && current->kind == Kind::Backup) {
                    const std::string name = backupName(current->arg);
                    if (!copies.count(name)) {  // else it was there already and none was made
                        copyHolds[name] = expected.campaign;
                        copies = withBackup(copies, name);
                    }
                }
                if (ok && current->kind == Kind::Sheet)
                    sheet = sheetBytes(current->arg);
                if (ok)
                    expected = apply(expected, *current);
                ++acknowledged;
                refused += ok ? 0 : 1;
                current.reset();
            }
        }

        State actual;
        try {
            Reader reader(data);
            for (const char* schema : {"main", "xfer"}) {
                const std::string check = reader.quickCheck(schema);
                if (check != "ok")
                    problems.push_back(std::string("quick_check of ") + schema + ": " + check);
            }
            actual.campaign = reader.side("main", "vddb", "vdprovs");
            actual.transfer = reader.side("xfer", "vdtrans", "expprovs");
        } catch (const std::exception& e) {
            problems.push_back(std::string("reading the files: ") + e.what());
            actual = expected;
        }

        if (current) {
            ++inFlight;
            ++killedDuring[current->kind];
            if (!allowedInFlight(expected, *current, actual, options.wholeCommands))
                problems.push_back("after a kill during " + std::string(kindName(current->kind)) + " " + current->text() +
                                   " the files hold neither the state before nor after it, nor a step of it:\n" +
                                   describeDifference(expected, actual));
            else if (actual != expected)
                ++inFlightDone;
            if (partialDelete(expected, *current, actual))
                ++partialDeletes;
        } else if (actual != expected) {
            problems.push_back("the files differ from the acknowledged operations:\n" + describeDifference(expected, actual));
        }

        if (options.backups) {
            const std::set<std::string> found = dailyCopies(data);
            bool allowed = found == copies || (options.powerLoss && withStaleCopies(copies, found));
            if (current && current->kind == Kind::Backup && !copies.count(backupName(current->arg))) {
                const std::string name = backupName(current->arg);
                copyHolds[name] = expected.campaign;
                allowed = backupsAllowedInFlight(copies, name, found) ||
                          (options.powerLoss && (withStaleCopies(copies, found) ||
                                                 withStaleCopies(withBackup(copies, name), found)));
            }
            if (!allowed) {
                std::string list;
                for (const std::string& name : found)
                    list += " " + name;
                problems.push_back("the daily copies are not the ones expected; found:" + list);
            }
            for (const std::string& name : found) {
                try {
                    Reader copy(data / store::backupFolderName / name, false);
                    const std::string check = copy.quickCheck("main");
                    if (check != "ok")
                        problems.push_back("quick_check of the copy " + name + ": " + check);
                    const Side holds = copy.side("main", "vddb", "vdprovs");
                    auto it = copyHolds.find(name);
                    if (it != copyHolds.end() && it->second != holds)
                        problems.push_back("the copy " + name + " does not hold the tables as they were when it was taken:\n" +
                                           describeDifference(State{it->second, {}}, State{holds, {}}));
                    copyHolds[name] = holds;
                } catch (const std::exception& e) {
                    problems.push_back("reading the copy " + name + ": " + e.what());
                }
            }
            copies = found;
        }
        if (options.sheets) {
            const std::optional<std::string> found = fileBytes(sheetFile(data));
            const bool newOne = current && current->kind == Kind::Sheet && found == sheetBytes(current->arg);
            if (found != sheet && !newOne)
                problems.push_back("the sheet file is neither the last one saved nor a complete new one (" +
                                   (found ? std::to_string(found->size()) + " bytes" : std::string("missing")) + ", " +
                                   (sheet ? std::to_string(sheet->size()) + " bytes" : std::string("none")) +
                                   " before)");
            sheet = found;
        }

        if (problems.empty()) {
            ++intact;
        } else {
            ++lost;
            std::cout << "kill " << kill << ":\n";
            for (const std::string& p : problems)
                std::cout << "  " << p << "\n";
        }
        // Go on from what the files hold, so that one fault is reported once.
        model = actual;
    }

    std::cout << "operations acknowledged " << acknowledged << " (refused as expected " << refused - refusedForStorage
              << ", refused for a storage fault " << refusedForStorage << "), killed in flight "
              << inFlight << " (found done " << inFlightDone << ", deletes with only some provinces gone "
              << partialDeletes << ")\n";
    std::cout << "killed during:";
    for (const auto& [k, n] : killedDuring)
        std::cout << " " << kindName(k) << " " << n << ";";
    std::cout << "\n";
    std::cout << "campaign: " << model.campaign.chars.size() << " characters, " << model.campaign.provs.size()
              << " provinces; transfer: " << model.transfer.chars.size() << " characters, "
              << model.transfer.provs.size() << " provinces\n";
    std::cout << "kills " << options.kills << ", intact " << intact << ", lost " << lost << std::endl;
    if (ownFolder && lost == 0)
        fs::remove_all(folder, ec);
    return lost == 0 ? 0 : 1;
}
