// The reader against tables that pxlib writes: another writer's view of the
// format (its memo files end mid-block, and it shares blocks among small
// memos as it sees fit). pxlib only writes here; it cannot be trusted to read
// memo files.
#include "paradox/table.h"

#include <gtest/gtest.h>
extern "C" {  // the header declares C functions without saying so
#include <paradox.h>
}

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

using paradox::Cell;
using paradox::Value;

TEST(ParadoxPxlib, ReadsWhatPxlibWrites)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "vddb_paradox_pxlib";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string db = (dir / "vddb.DB").string();

    const std::vector<std::size_t> lengths = {0, 5, 40, 41, 99, 2048, 2049, 4087, 4088, 70000};
    PX_boot();
    pxdoc_t* doc = PX_new();
    const struct { const char* name; char type; int size; } layout[] = {
        {"Game_Name", pxfAlpha, 30}, {"Palace_Value", pxfShort, 2}, {"Warrior", pxfLogical, 1},
        {"Count", pxfLong, 4}, {"Ratio", pxfNumber, 8}, {"Vassals", pxfMemoBLOb, 50}};
    const int n = 6;
    // pxlib takes the field array and frees it with the document.
    auto* fields = static_cast<pxfield_t*>(std::malloc(sizeof(pxfield_t) * n));
    for (int i = 0; i < n; ++i)
        fields[i] = pxfield_t{strdup(layout[i].name), layout[i].type, layout[i].size, 0};
    ASSERT_EQ(PX_create_file(doc, fields, n, db.c_str(), pxfFileTypNonIndexDB), 0);
    PX_set_value(doc, "codepage", 1252);
    PX_set_blob_file(doc, (dir / "vddb.MB").string().c_str());
    std::vector<std::string> memos;
    for (std::size_t r = 0; r < lengths.size(); ++r) {
        std::string memo;
        for (std::size_t k = 0; k < lengths[r]; ++k)
            memo += static_cast<char>('A' + (k + r) % 26);
        memos.push_back(memo);
        std::vector<char> rec(95, 0);
        char* p = rec.data();
        std::string name = "Caf\xE9 " + std::to_string(r);
        PX_put_data_alpha(doc, p, 30, name.data());
        PX_put_data_short(doc, p + 30, 2, static_cast<short>(int(r) * 1000 - 4000));
        PX_put_data_byte(doc, p + 32, 1, r % 2 ? 1 : 0);
        PX_put_data_long(doc, p + 33, 4, int(r) * -100000);
        PX_put_data_double(doc, p + 37, 8, double(r) / 4 - 1);
        if (!memo.empty())
            PX_put_data_blob(doc, p + 45, 50, memo.data(), static_cast<int>(memo.size()));
        ASSERT_GE(PX_put_record(doc, p), 0);
    }
    PX_close(doc);
    PX_delete(doc);

    const paradox::Table t = paradox::readTable(db);
    EXPECT_EQ(t.header.codePage, 1252);
    ASSERT_EQ(t.fields.size(), 6u);
    EXPECT_EQ(t.fields[5].name, "Vassals");
    EXPECT_EQ(t.fields[5].type, paradox::FieldType::Memo);
    ASSERT_EQ(t.rows.size(), lengths.size());
    for (std::size_t r = 0; r < lengths.size(); ++r) {
        SCOPED_TRACE(lengths[r]);
        const paradox::Row& row = t.rows[r];
        EXPECT_EQ(row[0], Cell(Value("Caf\u00E9 " + std::to_string(r))));
        EXPECT_EQ(row[1], Cell(Value(std::int32_t(int(r) * 1000 - 4000))));
        EXPECT_EQ(row[2], Cell(Value(r % 2 == 1)));
        // Zero is stored as a value, not as an empty field.
        EXPECT_EQ(row[3], Cell(Value(std::int32_t(int(r) * -100000))));
        EXPECT_EQ(row[4], Cell(Value(double(r) / 4 - 1)));
        EXPECT_EQ(row[5], memos[r].empty() ? Cell() : Cell(Value(memos[r])));
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
