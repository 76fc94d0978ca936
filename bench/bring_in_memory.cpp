// The memory a first start's bringing in takes over a large old table.
//   bring_in_memory write FOLDER MEGABYTES   writes vddb.DB (with vddb.MB) and
//                                            vdprovs.db of about that size each
//   bring_in_memory bring-in FOLDER          brings them in and ends with
//   peak_kib N                               (the process's peak resident size)
// Two runs, so that writing the tables counts in neither.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "campaign/catalogue.h"
#include "legacy/bring_in.h"
#include "paradox/campaign_writer.h"

namespace fs = std::filesystem;

namespace {

// Every column filled: names, memos longer than their leading part, numbers.
void writeTable(const char* name, const fs::path& folder, std::size_t megabytes)
{
    const store::TableLayout& layout = *campaign::findLayout(name);
    pxtest::TableWriter w = pxtest::writerFor(layout);
    std::size_t recordSize = 0;
    for (const pxtest::FieldSpec& f : w.fields)
        recordSize += static_cast<std::size_t>(f.size);
    const std::size_t rows = megabytes * 1024 * 1024 / recordSize;
    for (std::size_t r = 0; r < rows; ++r) {
        std::vector<pxtest::In> row;
        for (const store::Column& c : layout.columns) {
            const std::string n = std::to_string(r);
            switch (c.type) {
            case store::ColumnType::Text:
                row.emplace_back((c.name == "Game_Name" ? std::string("Game") : c.name.substr(0, 8) + " " + n)
                                     .substr(0, static_cast<std::size_t>(c.size)));
                break;
            case store::ColumnType::Memo: row.emplace_back(std::string(300, 'm') + n); break;
            case store::ColumnType::Short: row.emplace_back(static_cast<int>(r % 100)); break;
            case store::ColumnType::Logical: row.emplace_back(r % 2 == 0); break;
            case store::ColumnType::AutoInc: row.emplace_back(static_cast<int>(rows - r)); break;  // out of order
            }
        }
        w.rows.push_back(std::move(row));
    }
    pxtest::writeTable(w, folder, layout.displayName);
    std::printf("%s: %zu records\n", layout.displayName.c_str(), rows);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 2 ? argv[1] : "";
    if (mode == "write" && argc == 4) {
        const fs::path folder = argv[2];
        fs::create_directories(folder);
        const std::size_t megabytes = std::strtoul(argv[3], nullptr, 10);
        writeTable("vddb.DB", folder, megabytes);
        writeTable("vdprovs.db", folder, megabytes);
        return 0;
    }
    if (mode == "bring-in" && argc == 3) {
        const legacy::Report r = legacy::bringInAtFirstOpen(argv[2], campaign::catalogue());
        struct rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("characters %d provinces %d\npeak_kib %ld\n", r.count("vddb"), r.count("vdprovs"), usage.ru_maxrss);
        return 0;
    }
    std::fprintf(stderr, "usage: bring_in_memory write FOLDER MEGABYTES | bring_in_memory bring-in FOLDER\n");
    return 2;
}
