#include "paradox/bytes.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace paradox::detail {

// Bytes a field takes in a record; 0 for a type this reader does not know.
int storedSize(FieldType type, int declared)
{
    switch (type) {
    case FieldType::Alpha:
    case FieldType::Bytes: return declared >= 1 ? declared : 0;
    case FieldType::Date:
    case FieldType::Long:
    case FieldType::Time:
    case FieldType::AutoInc: return declared == 4 ? 4 : 0;
    case FieldType::Short: return declared == 2 ? 2 : 0;
    case FieldType::Currency:
    case FieldType::Number:
    case FieldType::Timestamp: return declared == 8 ? 8 : 0;
    case FieldType::Logical: return declared == 1 ? 1 : 0;
    case FieldType::Memo: return declared > int(blobTrailerSize) ? declared : 0;
    // Without a leading part in the record the data lives in the memo file
    // only; Paradox writes such fields.
    case FieldType::Blob:
    case FieldType::FormattedMemo:
    case FieldType::Ole:
    case FieldType::Graphic: return declared >= int(blobTrailerSize) ? declared : 0;
    // The descriptor gives a BCD number's decimal places; it always takes
    // 17 bytes.
    case FieldType::Bcd: return declared <= 32 ? 17 : 0;
    }
    return 0;
}

bool knownType(unsigned code)
{
    switch (code) {
    case 0x01: case 0x02: case 0x03: case 0x04: case 0x05: case 0x06: case 0x09: case 0x0C: case 0x0D:
    case 0x0E: case 0x0F: case 0x10: case 0x14: case 0x15: case 0x16: case 0x17: case 0x18:
        return true;
    default:
        return false;
    }
}

bool isText(FieldType t)
{
    return t == FieldType::Alpha || t == FieldType::Memo || t == FieldType::FormattedMemo;
}

bool isBlob(FieldType t)
{
    return t == FieldType::Memo || t == FieldType::Blob || t == FieldType::FormattedMemo || t == FieldType::Ole ||
           t == FieldType::Graphic;
}

bool allZero(std::string_view b)
{
    return std::all_of(b.begin(), b.end(), [](char c) { return c == 0; });
}

std::uint64_t bigEndian(std::string_view b)
{
    std::uint64_t v = 0;
    for (const char c : b)
        v = v << 8 | static_cast<unsigned char>(c);
    return v;
}

// Numbers are stored big-endian with the sign bit flipped, so that their
// bytes sort as the numbers do; all bytes zero is no value.
std::int32_t signFlipped32(std::string_view b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bigEndian(b)) ^ 0x80000000u);
}

double storedDouble(std::string_view b)
{
    std::uint64_t v = bigEndian(b);
    v = (v & 0x8000000000000000ull) ? v & 0x7FFFFFFFFFFFFFFFull : ~v;
    return std::bit_cast<double>(v);
}

// Day 1 is 1 January of year 1 in the proleptic Gregorian calendar.
Date dateFromDays(std::int32_t days)
{
    // Days since 1970-01-01, then the civil date (H. Hinnant's algorithm).
    const std::int64_t z = std::int64_t(days) - 719163 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = yoe + era * 400 + (m <= 2);
    return Date{static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
}

}  // namespace paradox::detail
