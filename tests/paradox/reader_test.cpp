// The reader against tables that the tests write byte by byte.
#include "paradox/table_writer.h"
#include "paradox/table.h"
#include "store/layout.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace {

using paradox::Cell;
using paradox::Date;
using paradox::FieldType;
using paradox::Value;
using pxtest::In;
using pxtest::TableWriter;

paradox::Table parse(const pxtest::Files& f)
{
    std::optional<std::string_view> mb;
    if (!f.mb.empty())
        mb = f.mb;
    return paradox::parseTable(f.db, mb, "t.DB", "t.MB");
}

TableWriter oneField(FieldType type, int size, In value)
{
    TableWriter w;
    w.fields = {{"F", type, size}};
    w.rows = {{value}};
    return w;
}

// Each type with a value, its extremes, and no value.
TEST(ParadoxValues, EveryTypeAndEmpty)
{
    struct Case {
        FieldType type;
        int size;
        In stored;
        Cell expected;
    };
    const std::vector<Case> cases = {
        {FieldType::Alpha, 10, std::string("Aric"), Value(std::string("Aric"))},
        {FieldType::Alpha, 4, std::string("full"), Value(std::string("full"))},
        {FieldType::Alpha, 10, std::monostate{}, std::nullopt},
        {FieldType::Alpha, 10, std::string("\0left over", 10), std::nullopt},  // bytes after the end of no text
        {FieldType::Short, 2, 0, Value(std::int32_t(0))},
        {FieldType::Short, 2, -1, Value(std::int32_t(-1))},
        {FieldType::Short, 2, 32767, Value(std::int32_t(32767))},
        {FieldType::Short, 2, -32767, Value(std::int32_t(-32767))},  // -32768 would be stored as no value
        {FieldType::Short, 2, std::monostate{}, std::nullopt},
        {FieldType::Long, 4, 0, Value(std::int32_t(0))},
        {FieldType::Long, 4, -2147483647, Value(std::int32_t(-2147483647))},  // the lowest: one less is stored as no value
        {FieldType::Long, 4, 2147483647, Value(std::int32_t(2147483647))},
        {FieldType::Long, 4, std::monostate{}, std::nullopt},
        {FieldType::AutoInc, 4, 17, Value(std::int32_t(17))},
        {FieldType::Time, 4, 3723000, Value(std::int32_t(3723000))},
        {FieldType::Logical, 1, false, Value(false)},
        {FieldType::Logical, 1, true, Value(true)},
        {FieldType::Logical, 1, std::monostate{}, std::nullopt},
        {FieldType::Number, 8, 0.0, Value(0.0)},
        {FieldType::Number, 8, -2.5, Value(-2.5)},
        {FieldType::Number, 8, 1e300, Value(1e300)},
        {FieldType::Number, 8, std::monostate{}, std::nullopt},
        {FieldType::Currency, 8, 12.75, Value(12.75)},
        {FieldType::Timestamp, 8, 63082281600000.0, Value(63082281600000.0)},
        {FieldType::Date, 4, Date{1996, 2, 29}, Value(Date{1996, 2, 29})},
        {FieldType::Date, 4, Date{1, 1, 1}, Value(Date{1, 1, 1})},
        {FieldType::Date, 4, Date{9999, 12, 31}, Value(Date{9999, 12, 31})},
        {FieldType::Date, 4, std::monostate{}, std::nullopt},
        {FieldType::Memo, 20, std::string("in the record"), Value(std::string("in the record"))},
        {FieldType::Memo, 20, std::monostate{}, std::nullopt},
        {FieldType::FormattedMemo, 11, std::string("formatted memo"), Value(std::string("formatted memo"))},
        {FieldType::Blob, 11, std::string("\x01\x00\x02", 3), Value(paradox::Binary{std::string("\x01\x00\x02", 3)})},
        {FieldType::Bytes, 3, std::string("\x07\x00\x09", 3), Value(paradox::Binary{std::string("\x07\x00\x09", 3)})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, paradox::typeLetter(c.type)) + std::to_string(c.size));
        const paradox::Table t = parse(oneField(c.type, c.size, c.stored).write());
        ASSERT_EQ(t.rows.size(), 1u);
        ASSERT_EQ(t.fields.size(), 1u);
        EXPECT_EQ(t.fields[0].type, c.type);
        EXPECT_EQ(t.fields[0].size, c.size);
        EXPECT_EQ(t.rows[0][0], c.expected);
    }
}

// Lengths about the leading part (240 in the record), the shared blocks
// (2048), one 4 KiB block (4087 bytes after its 9-byte head) and long ones;
// shared and single blocks alike.
TEST(ParadoxMemos, LengthsInRecordSharedAndSingleBlocks)
{
    const std::vector<std::size_t> lengths = {0, 1, 239, 240, 241, 2047, 2048, 2049, 4087, 4088, 8183, 70000};
    for (const bool shared : {true, false}) {
        TableWriter w;
        w.subAllocate = shared;
        w.fields = {{"Id", FieldType::Short, 2}, {"Notes", FieldType::Memo, 250}};
        std::vector<std::string> texts;
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            std::string s;
            for (std::size_t k = 0; k < lengths[i]; ++k)
                s += static_cast<char>('a' + (k * 7 + i) % 26);
            texts.push_back(s);
            w.rows.push_back({int(i), s.empty() ? In{} : In{s}});
        }
        const pxtest::Files f = w.write();
        EXPECT_EQ(f.mb.size() % 4096, 0u);
        const paradox::Table t = parse(f);
        ASSERT_EQ(t.rows.size(), lengths.size());
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            SCOPED_TRACE(std::to_string(lengths[i]) + (shared ? " shared" : " single"));
            if (lengths[i] == 0)
                EXPECT_EQ(t.rows[i][1], std::nullopt);
            else
                EXPECT_EQ(t.rows[i][1], Cell(Value(texts[i])));
        }
    }
}

TEST(ParadoxMemos, MemoLimitIsTheLongestTaken)
{
    for (const std::size_t length : {std::size_t(store::memoLimit), std::size_t(store::memoLimit) + 1}) {
        TableWriter w = oneField(FieldType::Memo, 50, std::string(length, 'x'));
        const pxtest::Files f = w.write();
        if (length <= std::size_t(store::memoLimit)) {
            EXPECT_EQ(std::get<std::string>(*parse(f).rows[0][0]).size(), length);
        } else {
            try {
                parse(f);
                ADD_FAILURE() << "a memo over the limit was taken";
            } catch (const paradox::Error& e) {
                EXPECT_NE(std::string(e.what()).find("100000"), std::string::npos) << e.what();
            }
        }
    }
}

// Text in the code page that the header names, in alpha and memo fields.
TEST(ParadoxText, CodePages)
{
    struct Case {
        int version;
        int codePage;
        std::string stored;
        std::string utf8;
    };
    const std::vector<Case> cases = {
        {12, 1252, "Caf\xE9 \x80 \x9C\xFF", "Caf\u00E9 \u20AC \u0153\u00FF"},
        {12, 437, "Caf\x82 \x9B \xE1\xB0", "Caf\u00E9 \u00A2 \u00DF\u2591"},
        {10, 850, "Bl\x9B", "Bl\u00F8"},
        {12, 0, "\x81", "\u00FC"},  // no code page named: DOS 437
        {3, 1252, "\x81", "\u00FC"},  // before 4.0 no code page is stored
        {4, 1252, "\x84", "\u00E4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.version) + "/" + std::to_string(c.codePage));
        TableWriter w;
        w.version = c.version;
        w.codePage = c.codePage;
        w.fields = {{"Name", FieldType::Alpha, 30}, {"Memo", FieldType::Memo, 11}};
        w.rows = {{c.stored, c.stored + std::string(300, '-') + c.stored}};
        const paradox::Table t = parse(w.write());
        EXPECT_EQ(t.rows[0][0], Cell(Value(c.utf8)));
        EXPECT_EQ(t.rows[0][1], Cell(Value(c.utf8 + std::string(300, '-') + c.utf8)));
    }
    TableWriter w = oneField(FieldType::Alpha, 5, std::string("x"));
    w.codePage = 866;
    EXPECT_THROW(parse(w.write()), paradox::Error);
    w.fields[0].type = FieldType::Short;  // no text: the code page does not matter
    w.fields[0].size = 2;
    w.rows = {{5}};
    EXPECT_EQ(parse(w.write()).rows[0][0], Cell(Value(std::int32_t(5))));
}

// Format levels, block sizes and block orders: every record comes back in
// the order of the chain, names and all.
TEST(ParadoxLayout, LevelsBlockSizesAndChains)
{
    struct Case {
        int version;
        int blockKib;
        std::size_t perBlock;
        bool reverse;
        int fileType;
    };
    const std::vector<Case> cases = {
        {3, 1, 0, false, 2}, {4, 2, 3, true, 0}, {5, 1, 1, false, 2}, {9, 4, 0, false, 0},
        {10, 3, 7, true, 2}, {11, 8, 0, false, 2}, {12, 32, 5, true, 0}, {12, 16, 1, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.version) + "/" + std::to_string(c.blockKib));
        TableWriter w;
        w.version = c.version;
        w.blockKib = c.blockKib;
        w.recordsPerBlock = c.perBlock;
        w.reverseBlocks = c.reverse;
        w.fileType = c.fileType;
        w.tableName = "vdprovs";
        w.fields = {{"Game_Name", FieldType::Alpha, 30},
                    {"Total_Castles/Forts", FieldType::Short, 2},
                    {"AutoKeyInc", FieldType::AutoInc, 4}};
        for (int i = 0; i < 40; ++i)
            w.rows.push_back({"G" + std::to_string(i), i * 3 - 60, i + 1});
        const paradox::Table t = parse(w.write());
        EXPECT_EQ(t.header.tableName, "vdprovs");
        EXPECT_EQ(t.header.versionId, c.version);
        EXPECT_EQ(t.header.fileType, c.fileType);
        EXPECT_EQ(t.header.blockSize, c.blockKib * 1024);
        ASSERT_EQ(t.fields.size(), 3u);
        EXPECT_EQ(t.fields[1].name, "Total_Castles/Forts");
        EXPECT_EQ(t.fieldIndex("autokeyinc"), 2);
        ASSERT_EQ(t.rows.size(), 40u);
        for (int i = 0; i < 40; ++i) {
            const auto at = static_cast<std::size_t>(i);
            EXPECT_EQ(t.rows[at][0], Cell(Value("G" + std::to_string(i))));
            EXPECT_EQ(t.rows[at][1], Cell(Value(std::int32_t(i * 3 - 60))));
            EXPECT_EQ(t.rows[at][2], Cell(Value(std::int32_t(i + 1))));
        }
    }
    TableWriter empty;
    empty.fields = {{"A", FieldType::Alpha, 5}};
    EXPECT_TRUE(parse(empty.write()).rows.empty());
}

// Damaged, truncated and hostile files: each is refused with the file and
// the reason named, never read past.
TEST(ParadoxDamage, RefusedWithFileAndReason)
{
    TableWriter base;
    base.fields = {{"Name", FieldType::Alpha, 10}, {"Flag", FieldType::Logical, 1},
                   {"Day", FieldType::Date, 4}, {"Notes", FieldType::Memo, 20}};
    base.rows = {{std::string("a"), true, Date{2000, 1, 1}, std::string(100, 'm')},
                 {std::string("b"), false, Date{2000, 1, 2}, std::string(3000, 'n')}};
    const pxtest::Files good = base.write();
    ASSERT_EQ(parse(good).rows.size(), 2u);
    const std::size_t rec0 = good.headerSize + 6;
    const std::size_t memo0 = rec0 + 10 + 1 + 4 + 10;  // the record's memo reference
    const std::size_t memo1 = memo0 + good.recordSize;
    const std::size_t shared = 4096;   // the block of the first memo
    const std::size_t single = 8192;   // the block of the second

    using Mutate = std::function<void(std::string& db, std::string& mb)>;
    struct Case {
        const char* what;
        Mutate mutate;
        const char* file;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"empty file", [](std::string& db, std::string&) { db.clear(); }, "t.DB", "header lies beyond the end"},
        {"cut in the header", [](std::string& db, std::string&) { db.resize(60); }, "t.DB", "beyond the end"},
        {"cut in the field names", [&](std::string& db, std::string&) { db.resize(good.headerSize - 20); },
         "t.DB", "truncated"},
        {"cut in a block", [&](std::string& db, std::string&) { db.resize(rec0 + 10); }, "t.DB", "records of block 1"},
        {"an index file", [](std::string& db, std::string&) { db[4] = 1; }, "t.DB", "file type 1"},
        {"unknown version", [](std::string& db, std::string&) { db[0x39] = 99; }, "t.DB", "version 99"},
        {"password", [](std::string& db, std::string&) { db[0x5C] = 7; }, "t.DB", "password"},
        {"block size", [](std::string& db, std::string&) { db[5] = 5; }, "t.DB", "block size"},
        {"no fields", [](std::string& db, std::string&) { pxtest::putU16(db, 0x21, 0); }, "t.DB", "number of fields"},
        {"record size", [](std::string& db, std::string&) { pxtest::putU16(db, 0, 44); }, "t.DB", "the fields take"},
        {"unknown type", [](std::string& db, std::string&) { db[0x78] = 0x30; }, "t.DB", "unknown type code 48"},
        {"alpha of size 0", [](std::string& db, std::string&) { db[0x79] = 0; }, "t.DB", "invalid size 0"},
        {"BCD", [](std::string& db, std::string&) { db[0x78] = 0x17; }, "t.DB", "the fields take 42 bytes"},
        {"names overrun the header", [&](std::string& db, std::string&) { pxtest::putU16(db, 2, 0x78 + 8 + 20 + 261 + 3); },
         "t.DB", "overruns the header"},
        {"first block far away", [](std::string& db, std::string&) { pxtest::putU16(db, 0x0E, 60000); }, "t.DB",
         "block 60000 lies beyond"},
        {"block chain loops", [&](std::string& db, std::string&) { pxtest::putU16(db, good.headerSize, 1); }, "t.DB",
         "loops back to block 1"},
        {"last record offset odd", [&](std::string& db, std::string&) { pxtest::putU16(db, good.headerSize + 4, 7); },
         "t.DB", "invalid offset 7"},
        {"last record past the block", [&](std::string& db, std::string&) { pxtest::putU16(db, good.headerSize + 4, 32000); },
         "t.DB", "invalid offset"},
        {"more records than counted", [](std::string& db, std::string&) { pxtest::putU32(db, 6, 1); }, "t.DB",
         "more records than the 1"},
        {"fewer records than counted", [](std::string& db, std::string&) { pxtest::putU32(db, 6, 4000000000u); },
         "t.DB", "counts 4000000000 records but its blocks hold 2"},
        {"logical byte", [&](std::string& db, std::string&) { db[rec0 + 10] = 0x42; }, "t.DB", "record 1, field 'Flag'"},
        {"date before year 1", [&](std::string& db, std::string&) { pxtest::putU32(db, rec0 + 11, 0x00000080); },
         "t.DB", "no date"},
        {"memo file missing", [](std::string&, std::string& mb) { mb.clear(); }, "t.MB", "memo file is missing"},
        {"memo file cut", [](std::string&, std::string& mb) { mb.resize(4096 + 100); }, "t.MB", "beyond the end"},
        {"memo file cut in a long memo", [](std::string&, std::string& mb) { mb.resize(8192 + 1000); }, "t.MB",
         "beyond the end"},
        {"reference into a block", [&](std::string& db, std::string&) { pxtest::putU32(db, memo0, 0x1100); }, "t.MB",
         "not the start of a data block"},
        {"reference to the header block", [&](std::string& db, std::string&) { pxtest::putU32(db, memo0, 0); }, "t.MB",
         "not the start"},
        {"reference far away", [&](std::string& db, std::string&) { pxtest::putU32(db, memo0, 0x7FFFF000); }, "t.MB",
         "beyond the end"},
        {"block of unknown type", [&](std::string&, std::string& mb) { mb[shared] = 9; }, "t.MB", "unknown type 9"},
        {"single block length differs", [&](std::string&, std::string& mb) { pxtest::putU32(mb, single + 3, 2999); },
         "t.MB", "3000 bytes long but its block holds 2999"},
        {"single block too short", [&](std::string&, std::string& mb) { pxtest::putU16(mb, single + 1, 0); }, "t.MB",
         "too short"},
        {"entry past 63", [&](std::string& db, std::string&) { pxtest::putU32(db, memo0, 0x1040); }, "t.MB",
         "invalid entry 64"},
        {"entry length differs", [&](std::string&, std::string& mb) { mb[shared + 13] = 2; }, "t.MB",
         "does not match its length of 100"},
        {"entry unused", [&](std::string&, std::string& mb) { mb[shared + 12] = 0; }, "t.MB", "does not match"},
        {"entry overruns its block", [&](std::string&, std::string& mb) { mb[shared + 12] = char(0xFF); }, "t.MB",
         "overruns its block"},
        {"huge memo length", [&](std::string& db, std::string&) { pxtest::putU32(db, memo1 + 4, 0xFFFFFFFF); }, "t.DB",
         "longer than the 100000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);  // each case damages a copy of the good files
        pxtest::Files f = good;
        c.mutate(f.db, f.mb);
        try {
            parse(f);
            ADD_FAILURE() << "read without complaint";
        } catch (const paradox::Error& e) {
            const std::string what = e.what();
            EXPECT_EQ(e.file(), c.file) << what;
            EXPECT_EQ(what.rfind(std::string(c.file) + ": ", 0), 0u) << what;
            EXPECT_NE(what.find(c.reason), std::string::npos) << what;
        }
    }
}

// From files: the memo file beside the table in another letter case, and
// files that are not there.
TEST(ParadoxFiles, MemoFileBesideTheTable)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "vddb_paradox_files";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    TableWriter w = oneField(FieldType::Memo, 11, std::string(500, 'q'));
    const pxtest::Files f = w.write();
    pxtest::writeFile((dir / "vdprovs.db").string(), f.db);
    pxtest::writeFile((dir / "vdprovs.MB").string(), f.mb);
    EXPECT_EQ(paradox::readTable((dir / "vdprovs.db").string()).rows[0][0], Cell(Value(std::string(500, 'q'))));

    std::filesystem::remove(dir / "vdprovs.MB");
    try {
        paradox::readTable((dir / "vdprovs.db").string());
        ADD_FAILURE() << "read without its memo file";
    } catch (const paradox::Error& e) {
        EXPECT_EQ(e.file(), (dir / "vdprovs.mb").string());
        EXPECT_NE(std::string(e.what()).find("missing"), std::string::npos) << e.what();
    }
    EXPECT_THROW(paradox::readTable((dir / "none.DB").string()), paradox::Error);
    std::filesystem::remove_all(dir);
}

}  // namespace
