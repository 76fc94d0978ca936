// The reader of old Paradox tables on hostile input. The input holds a table
// and its memo file: two bytes (little-endian) give the table's length, the
// table follows, and the rest is the memo file (none when nothing is left).
// The reader must return rows that fit the fields, or refuse with an error
// that names one of the two files; never crash, hang or read past a buffer.
#include "fuzz/fuzz_check.h"
#include "paradox/table.h"
#include "store/layout.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::string_view all(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::size_t tableLength = std::min<std::size_t>(data[0] | std::size_t(data[1]) << 8, all.size());
    const std::string_view table = all.substr(0, tableLength);
    std::optional<std::string_view> memo;
    if (all.size() > tableLength)
        memo = all.substr(tableLength);
    const std::string tableName = "T.DB", memoName = "T.MB";
    try {
        const paradox::Table t = paradox::parseTable(table, memo, tableName, memoName);
        FUZZ_CHECK(!t.fields.empty(), "a table without fields");
        FUZZ_CHECK(t.rows.size() == t.header.recordCount, "rows other than counted");
        for (const paradox::Row& row : t.rows) {
            FUZZ_CHECK(row.size() == t.fields.size(), "a row that does not fit the fields");
            for (std::size_t i = 0; i < row.size(); ++i) {
                if (!row[i])
                    continue;
                if (const auto* s = std::get_if<std::string>(&*row[i])) {
                    FUZZ_CHECK(validUtf8(*s), "text that is not UTF-8");
                    FUZZ_CHECK(!s->empty(), "empty text rather than no value");
                    FUZZ_CHECK(t.fields[i].type == paradox::FieldType::Alpha ||
                                   s->size() <= 3 * std::size_t(store::memoLimit),
                               "a memo over the limit");
                }
            }
        }
    } catch (const paradox::Error& e) {
        const std::string what = e.what();
        FUZZ_CHECK(e.file() == tableName || e.file() == memoName, what.c_str());
        FUZZ_CHECK(what.rfind(e.file() + ": ", 0) == 0, what.c_str());
    }
    return 0;
}
