// Writes Paradox tables and memo files byte by byte, so that tests can make
// what no library writes for them: any format level, code page 437, memo
// files of whole 4 KiB blocks with shared (sub-allocated) blocks, blocks
// linked out of order, and files to damage afterwards.
#pragma once
#include "paradox/table.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace pxtest {

struct FieldSpec {
    std::string name;
    paradox::FieldType type;
    int size;  // as the descriptor states it
};

// A value to store: text is given in the table's code page already.
using In = std::variant<std::monostate, std::string, int, double, bool, paradox::Date>;

struct Files {
    std::string db;
    std::string mb;  // empty when the table has no blob field
    std::size_t headerSize = 0;
    std::size_t blockSize = 0;
    std::size_t recordSize = 0;
};

struct TableWriter {
    int version = 12;         // the header's version byte
    int codePage = 1252;      // 0 writes none
    int blockKib = 1;
    int fileType = 2;
    std::size_t recordsPerBlock = 0;  // 0: as many as fit
    bool reverseBlocks = false;       // link the blocks last to first on disk
    bool subAllocate = true;          // memos up to 2048 bytes share blocks
    std::string tableName = "fixture";
    std::vector<FieldSpec> fields;
    std::vector<std::vector<In>> rows;

    Files write() const;
};

void writeFile(const std::string& path, const std::string& bytes);
void putU16(std::string& b, std::size_t at, unsigned v);
void putU32(std::string& b, std::size_t at, std::uint32_t v);

}  // namespace pxtest
