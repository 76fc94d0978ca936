// Writes the seed inputs of the Paradox fuzz target from tables made by the
// test fixture writer: the table's length in two bytes, the table, then its
// memo file with the trailing zero bytes left off to keep the seeds small.
// Usage: paradox_corpus <folder>
#include "paradox/table_writer.h"

#include <cstdio>
#include <filesystem>

using paradox::Date;
using paradox::FieldType;
using pxtest::In;
using pxtest::TableWriter;

namespace {

void seed(const std::filesystem::path& dir, const std::string& name, const TableWriter& w)
{
    const pxtest::Files f = w.write();
    std::string mb = f.mb;
    while (!mb.empty() && mb.back() == '\0')
        mb.pop_back();
    std::string input;
    input += static_cast<char>(f.db.size() & 0xFF);
    input += static_cast<char>((f.db.size() >> 8) & 0xFF);
    input += f.db + mb;
    pxtest::writeFile((dir / name).string(), input);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);

    TableWriter all;
    all.fields = {{"Name", FieldType::Alpha, 12}, {"S", FieldType::Short, 2},    {"I", FieldType::Long, 4},
                  {"L", FieldType::Logical, 1},   {"N", FieldType::Number, 8},   {"D", FieldType::Date, 4},
                  {"M", FieldType::Memo, 20},     {"F", FieldType::FormattedMemo, 11}, {"K", FieldType::AutoInc, 4}};
    all.rows = {{std::string("Caf\xE9"), -3, 70000, true, 2.5, Date{1997, 3, 1}, std::string(40, 'm'),
                 std::string(600, 'f'), 1},
                {},
                {std::string("x"), 0, 0, false, -1.0, Date{1, 1, 1}, std::string("short"), std::string(90, 'g'), 3}};
    seed(dir, "all_types_v7_1252", all);

    TableWriter single;
    single.subAllocate = false;
    single.fields = {{"Notes", FieldType::Memo, 15}};
    single.rows = {{std::string(300, 's')}, {std::string("tiny")}};
    seed(dir, "single_block_memo", single);

    TableWriter dos;
    dos.version = 3;
    dos.recordsPerBlock = 2;
    dos.reverseBlocks = true;
    dos.fields = {{"Game_Name", FieldType::Alpha, 8}, {"Level", FieldType::Short, 2}};
    for (int i = 0; i < 7; ++i)
        dos.rows.push_back({std::string("G\x82") + char('0' + i), i});
    seed(dir, "chain_v3_437", dos);

    TableWriter shared;
    shared.version = 10;
    shared.codePage = 850;
    shared.fields = {{"Vassals", FieldType::Memo, 11}};
    for (int i = 0; i < 5; ++i)
        shared.rows.push_back({std::string(std::size_t(17 * i + 1), char('a' + i))});
    seed(dir, "shared_memos_v5_850", shared);

    TableWriter keyed;
    keyed.version = 9;
    keyed.fileType = 0;
    keyed.blockKib = 2;
    keyed.fields = {{"Warrior", FieldType::Logical, 1}, {"Day", FieldType::Date, 4}, {"T", FieldType::Time, 4}};
    keyed.rows = {{true, Date{2024, 2, 29}, 1000}, {false, In{}, In{}}};
    seed(dir, "keyed_v4", keyed);

    TableWriter empty;
    empty.fields = {{"A", FieldType::Alpha, 3}};
    seed(dir, "empty", empty);
    return 0;
}
