#include "paradox/table_writer.h"

#include <bit>
#include <fstream>
#include <stdexcept>

namespace pxtest {

using paradox::FieldType;

void putU16(std::string& b, std::size_t at, unsigned v)
{
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void putU32(std::string& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

namespace {

constexpr std::size_t mbBlock = 4096;

void putBigEndian(std::string& b, std::size_t at, std::uint64_t v, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        b[at + i] = static_cast<char>((v >> (8 * (n - 1 - i))) & 0xFF);
}

int recordBytes(const FieldSpec& f)
{
    return f.type == FieldType::Bcd ? 17 : f.size;  // the size gives a BCD's decimal places
}

int daysOf(paradox::Date d)
{
    // Days since 1970-01-01 (H. Hinnant), then counted from 1 January of year 1.
    const int y = d.year - (d.month <= 2);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (d.month + (d.month > 2 ? -3 : 9)) + 2) / 5 + d.day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 719163;
}

// Builds the memo file: a header block, then blocks of shared small memos
// and blocks of one memo each, every block a whole 4 KiB.
struct MemoFile {
    bool subAllocate;
    std::string bytes = std::string(mbBlock, '\0');
    std::size_t shared = 0;   // the open shared block, 0 when none
    unsigned used = 0;        // entries used in it
    std::size_t fill = 0;     // next free byte in it

    // Returns the offset to store in the record.
    std::uint32_t add(const std::string& data)
    {
        if (subAllocate && data.size() <= 2048) {
            const std::size_t need = (data.size() + 15) / 16 * 16;
            if (shared == 0 || used == 64 || fill + need > mbBlock) {
                shared = bytes.size();
                bytes.append(mbBlock, '\0');
                bytes[shared] = 3;
                putU16(bytes, shared + 1, 1);
                used = 0;
                fill = 12 + 64 * 5 + 4;  // 336, a multiple of 16
            }
            const std::size_t entry = shared + 12 + 5 * used;
            bytes[entry] = static_cast<char>(fill / 16);
            bytes[entry + 1] = static_cast<char>((data.size() + 15) / 16);
            putU16(bytes, entry + 2, 1);
            bytes[entry + 4] = static_cast<char>(data.size() % 16);
            bytes.replace(shared + fill, data.size(), data);
            fill += need;
            return static_cast<std::uint32_t>(shared | used++);
        }
        const std::size_t at = bytes.size();
        const std::size_t chunks = (9 + data.size() + mbBlock - 1) / mbBlock;
        bytes.append(chunks * mbBlock, '\0');
        bytes[at] = 2;
        putU16(bytes, at + 1, static_cast<unsigned>(chunks));
        putU32(bytes, at + 3, static_cast<std::uint32_t>(data.size()));
        putU16(bytes, at + 7, 1);
        bytes.replace(at + 9, data.size(), data);
        return static_cast<std::uint32_t>(at | 0xFF);
    }
};

void putValue(std::string& rec, std::size_t at, const FieldSpec& f, const In& v, MemoFile& mb)
{
    if (std::holds_alternative<std::monostate>(v))
        return;  // all zero: no value
    switch (f.type) {
    case FieldType::Alpha:
    case FieldType::Bytes: {
        const std::string& s = std::get<std::string>(v);
        rec.replace(at, std::min<std::size_t>(s.size(), std::size_t(f.size)), s.substr(0, std::size_t(f.size)));
        break;
    }
    case FieldType::Short:
        putBigEndian(rec, at, static_cast<std::uint16_t>(std::get<int>(v)) ^ 0x8000u, 2);
        break;
    case FieldType::Long:
    case FieldType::AutoInc:
    case FieldType::Time:
        putBigEndian(rec, at, static_cast<std::uint32_t>(std::get<int>(v)) ^ 0x80000000u, 4);
        break;
    case FieldType::Date:
        putBigEndian(rec, at, static_cast<std::uint32_t>(daysOf(std::get<paradox::Date>(v))) ^ 0x80000000u, 4);
        break;
    case FieldType::Number:
    case FieldType::Currency:
    case FieldType::Timestamp: {
        std::uint64_t u = std::bit_cast<std::uint64_t>(std::get<double>(v));
        u = (u & 0x8000000000000000ull) ? ~u : u | 0x8000000000000000ull;
        putBigEndian(rec, at, u, 8);
        break;
    }
    case FieldType::Logical:
        rec[at] = static_cast<char>(std::get<bool>(v) ? 0x81 : 0x80);
        break;
    case FieldType::Memo:
    case FieldType::FormattedMemo:
    case FieldType::Blob:
    case FieldType::Ole:
    case FieldType::Graphic: {
        const std::string& s = std::get<std::string>(v);
        const std::size_t leader = std::size_t(f.size) - 10;
        rec.replace(at, std::min(leader, s.size()), s.substr(0, leader));
        const std::uint32_t offset = s.size() > leader ? mb.add(s) : 0;
        putU32(rec, at + leader, offset);
        putU32(rec, at + leader + 4, static_cast<std::uint32_t>(s.size()));
        putU16(rec, at + leader + 8, 1);
        break;
    }
    case FieldType::Bcd:  // its packed digits as given
        rec.replace(at, 17, std::get<std::string>(v).substr(0, 17));
        break;
    }
}

bool isBlobType(FieldType t)
{
    return t == FieldType::Memo || t == FieldType::FormattedMemo || t == FieldType::Blob || t == FieldType::Ole ||
           t == FieldType::Graphic;
}

}  // namespace

Files TableWriter::write() const
{
    Files out;
    const bool dataHeader = version >= 5;
    std::size_t recordSize = 0;
    for (const FieldSpec& f : fields)
        recordSize += std::size_t(recordBytes(f));
    const std::size_t nameSlot = version >= 12 ? 261 : 79;

    // The header: fixed part, descriptors, pointers, table name, field names.
    std::string h(dataHeader ? 0x78 : 0x58, '\0');
    for (const FieldSpec& f : fields) {
        h += static_cast<char>(f.type);
        h += static_cast<char>(f.size);
    }
    h.append(4 + 4 * fields.size(), '\x01');
    std::string name = tableName.substr(0, nameSlot - 1);
    name.resize(nameSlot, '\0');
    h += name;
    for (const FieldSpec& f : fields)
        h += f.name + '\0';
    h.append(2 * fields.size(), '\0');  // field numbers, unread
    const std::size_t headerSize = (h.size() + 15) / 16 * 16;
    h.resize(headerSize, '\0');

    const std::size_t blockSize = std::size_t(blockKib) * 1024;
    const std::size_t fit = (blockSize - 6) / recordSize;
    const std::size_t perBlock = recordsPerBlock ? std::min(recordsPerBlock, fit) : fit;
    const std::size_t blocks = rows.empty() ? 0 : (rows.size() + perBlock - 1) / perBlock;

    MemoFile mb{subAllocate};
    putU16(mb.bytes, 1, 1);  // the header block: type 0, one 4 KiB chunk
    std::string data(blocks * blockSize, '\0');
    for (std::size_t b = 0; b < blocks; ++b) {
        // Block b of the chain sits at disk position p (1-based numbers).
        const std::size_t pos = reverseBlocks ? blocks - b : b + 1;
        const std::size_t next = b + 1 < blocks ? (reverseBlocks ? pos - 1 : pos + 1) : 0;
        const std::size_t prev = b > 0 ? (reverseBlocks ? pos + 1 : pos - 1) : 0;
        const std::size_t start = (pos - 1) * blockSize;
        const std::size_t first = b * perBlock;
        const std::size_t count = std::min(perBlock, rows.size() - first);
        putU16(data, start, static_cast<unsigned>(next));
        putU16(data, start + 2, static_cast<unsigned>(prev));
        putU16(data, start + 4, static_cast<unsigned>((count - 1) * recordSize));
        for (std::size_t r = 0; r < count; ++r) {
            std::string rec(recordSize, '\0');
            std::size_t at = 0;
            for (std::size_t i = 0; i < fields.size(); ++i) {
                putValue(rec, at, fields[i], i < rows[first + r].size() ? rows[first + r][i] : In{}, mb);
                at += std::size_t(recordBytes(fields[i]));
            }
            data.replace(start + 6 + r * recordSize, recordSize, rec);
        }
    }

    putU16(h, 0x00, static_cast<unsigned>(recordSize));
    putU16(h, 0x02, static_cast<unsigned>(headerSize));
    h[0x04] = static_cast<char>(fileType);
    h[0x05] = static_cast<char>(blockKib);
    putU32(h, 0x06, static_cast<std::uint32_t>(rows.size()));
    putU16(h, 0x0A, static_cast<unsigned>(blocks));
    putU16(h, 0x0C, static_cast<unsigned>(blocks));
    putU16(h, 0x0E, blocks ? static_cast<unsigned>(reverseBlocks ? blocks : 1) : 0);
    putU16(h, 0x10, blocks ? static_cast<unsigned>(reverseBlocks ? 1 : blocks) : 0);
    putU16(h, 0x21, static_cast<unsigned>(fields.size()));
    h[0x39] = static_cast<char>(version);
    putU32(h, 0x49, static_cast<std::uint32_t>(rows.size() + 1));
    if (dataHeader)
        putU32(h, 0x25, 0xFF00FF00u);  // no password, the way later levels say it
    if (dataHeader)
        putU16(h, 0x6A, static_cast<unsigned>(codePage));

    out.db = h + data;
    bool blobs = false;
    for (const FieldSpec& f : fields)
        blobs = blobs || isBlobType(f.type);
    if (blobs)
        out.mb = mb.bytes;
    out.headerSize = headerSize;
    out.blockSize = blockSize;
    out.recordSize = recordSize;
    return out;
}

}  // namespace pxtest
