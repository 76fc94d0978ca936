// Bringing 10,000 characters with 100,000 provinces in from Paradox tables,
// beside plain SQLite inserting the same rows with prepared INSERTs in one
// transaction. Ends with the line
//   ratio bring_in X.XX   (ours over plain SQLite)
#include "ratio_reporter.h"
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "campaign/catalogue.h"
#include "legacy/bring_in.h"
#include "paradox/campaign_writer.h"
#include "store/database.h"
#include "store/sqlite.h"
#include "store/table_sql.h"

namespace fs = std::filesystem;
using pxtest::In;

namespace {

constexpr int kCharacters = 10000;
constexpr int kProvincesPerCharacter = 10;

struct OldFolder {
    fs::path root = fs::temp_directory_path() / ("vddb-legacy-bench-" + std::to_string(std::random_device{}()));
    pxtest::TableWriter characters = pxtest::writerFor(*campaign::findLayout("vddb.DB"));
    pxtest::TableWriter provinces = pxtest::writerFor(*campaign::findLayout("vdprovs.db"));

    OldFolder()
    {
        fs::create_directories(root / "old");
        int autoKey = 0;
        for (int i = 0; i < kCharacters; ++i) {
            const std::string game = "Game" + std::to_string(i % 10), name = "Regent " + std::to_string(i);
            characters.rows.push_back(pxtest::rowOf(
                characters, {{"Game_Name", game}, {"Character_Name", name}, {"Domain_Name", "Domain of " + name},
                             {"Palace_Value", i % 20}, {"Warrior", i % 2 == 0}, {"Total_Provinces", 10},
                             {"Misc_Leftovers", std::string(300, 'n')}, {"Vassals", std::string("Two knights")}}));
            for (int p = 0; p < kProvincesPerCharacter; ++p)
                provinces.rows.push_back(pxtest::rowOf(
                    provinces, {{"Game_Name", game}, {"Character_Name", name},
                                {"Province_Name", "Province " + std::to_string(p)}, {"Province_Level", p % 7},
                                {"Province_Terrain", std::string("Plains")},
                                {"Armies", std::string("2 units of infantry\r\n1 unit of archers")},
                                {"Law1_Owner", std::string("The Crown")}, {"AutoKeyInc", ++autoKey}}));
        }
        // Wide province records: big blocks waste the least room.
        provinces.blockKib = 32;
        pxtest::writeTable(characters, root / "old", "vddb.DB");
        pxtest::writeTable(provinces, root / "old", "vdprovs.db");
    }
    ~OldFolder() { fs::remove_all(root); }

    void clearOutput() const
    {
        for (const char* f : {campaign::campaignFile, campaign::transferFile})
            fs::remove(root / "old" / f);
        fs::remove_all(root / "plain");
    }
};

OldFolder& folder()
{
    static OldFolder f;
    return f;
}

void BM_ours_bring_in(benchmark::State& state)
{
    OldFolder& f = folder();
    for (auto _ : state) {
        state.PauseTiming();
        f.clearOutput();
        state.ResumeTiming();
        const legacy::Report r = legacy::bringInAtFirstOpen(f.root / "old", campaign::catalogue());
        if (r.count("vdprovs") != kCharacters * kProvincesPerCharacter)
            state.SkipWithError("not every province came in");
    }
    f.clearOutput();
}

// The same rows from memory, every column but the AutoInc one bound.
void insertAll(store::sql::Connection& conn, const pxtest::TableWriter& w, const store::TableLayout& layout)
{
    store::sql::Statement insert(conn, store::TableSql(layout, "main").insert());
    const int autoInc = layout.autoIncColumn();
    for (const auto& row : w.rows) {
        insert.reset();
        int param = 1;
        for (int c = 0; c < static_cast<int>(row.size()); ++c) {
            if (c == autoInc)
                continue;
            const In& v = row[static_cast<std::size_t>(c)];
            if (const auto* s = std::get_if<std::string>(&v))
                insert.bind(param, std::string_view(*s));
            else if (const auto* n = std::get_if<int>(&v))
                insert.bind(param, std::int64_t(*n));
            else if (const auto* b = std::get_if<bool>(&v))
                insert.bind(param, std::int64_t(*b));
            else if (layout.isKeyText(c))
                insert.bind(param, std::string_view());
            else
                insert.bindNull(param);
            ++param;
        }
        insert.run();
    }
}

void BM_plain_bring_in(benchmark::State& state)
{
    OldFolder& f = folder();
    for (auto _ : state) {
        state.PauseTiming();
        f.clearOutput();
        fs::create_directories(f.root / "plain");
        const fs::path file = f.root / "plain" / campaign::campaignFile;
        store::Database::createFile(campaign::catalogue(), file, campaign::campaignFile);
        state.ResumeTiming();
        store::sql::Connection conn = store::sql::Connection::open(file.string(), false);
        store::applyPragmas(conn);
        conn.exec("BEGIN");
        insertAll(conn, f.characters, *campaign::findLayout("vddb.DB"));
        insertAll(conn, f.provinces, *campaign::findLayout("vdprovs.db"));
        conn.exec("COMMIT");
    }
    f.clearOutput();
}

}  // namespace

BENCHMARK(BM_ours_bring_in)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_plain_bring_in)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    folder();  // written before timing
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto ours = reporter.times.find("BM_ours_bring_in/iterations:3");
    const auto plain = reporter.times.find("BM_plain_bring_in/iterations:3");
    if (ours != reporter.times.end() && plain != reporter.times.end() && plain->second > 0)
        std::printf("ratio bring_in %.2f\n", ours->second / plain->second);
    benchmark::Shutdown();
    return 0;
}
