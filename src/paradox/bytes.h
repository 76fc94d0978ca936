// The bounds-checked access to a Paradox file's bytes and the decoding of
// stored values, shared by the table and memo readers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "paradox/table.h"

namespace paradox::detail {

// Offsets in the header.
constexpr std::size_t baseHeaderSize = 0x58;
constexpr std::size_t dataHeaderSize = 0x78;  // level 4.0 on
constexpr std::size_t blockHeaderSize = 6;
constexpr std::size_t blobTrailerSize = 10;   // offset, length, modification number
constexpr std::size_t memoBlockSize = 4096;
constexpr std::size_t subAllocatedEntries = 64;

// A window on a file's bytes, read only through bounds-checked accessors
// that take offsets in the whole file: the window holds the bytes from
// `base` on of a file of `fileSize` bytes, and an offset past the end of the
// file is reported as such.
class Bytes {
public:
    Bytes(std::string_view data, const std::string& name, std::size_t base = 0,
          std::size_t fileSize = std::size_t(-1))
        : data_(data), name_(name), base_(base), size_(fileSize == std::size_t(-1) ? data.size() : fileSize)
    {
    }

    std::size_t size() const { return size_; }
    const std::string& name() const { return name_; }

    [[noreturn]] void fail(const std::string& reason) const { throw Error(name_, reason); }

    void need(std::size_t offset, std::size_t length, const char* what) const
    {
        if (offset > size_ || length > size_ - offset)
            fail(std::string(what) + " lies beyond the end of the file (" + std::to_string(size_) +
                 " bytes); the file is truncated or damaged");
        if (offset < base_ || offset - base_ > data_.size() || length > data_.size() - (offset - base_))
            fail(std::string(what) + " lies outside the part of the file read");
    }
    std::string_view at(std::size_t offset, std::size_t length, const char* what) const
    {
        need(offset, length, what);
        return data_.substr(offset - base_, length);
    }
    unsigned u8(std::size_t offset, const char* what) const
    {
        return static_cast<unsigned char>(at(offset, 1, what)[0]);
    }
    unsigned u16(std::size_t offset, const char* what) const
    {
        const std::string_view b = at(offset, 2, what);
        return unsigned(static_cast<unsigned char>(b[0])) | unsigned(static_cast<unsigned char>(b[1])) << 8;
    }
    std::uint32_t u32(std::size_t offset, const char* what) const
    {
        const std::string_view b = at(offset, 4, what);
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | static_cast<unsigned char>(b[static_cast<std::size_t>(i)]);
        return v;
    }

private:
    std::string_view data_;
    const std::string& name_;
    std::size_t base_;
    std::size_t size_;
};

// Bytes a field takes in a record; 0 for a type this reader does not know.
int storedSize(FieldType type, int declared);
bool knownType(unsigned code);
bool isText(FieldType t);
bool isBlob(FieldType t);
bool allZero(std::string_view b);
std::uint64_t bigEndian(std::string_view b);
// Numbers are stored big-endian with the sign bit flipped, so that their
// bytes sort as the numbers do; all bytes zero is no value.
std::int32_t signFlipped32(std::string_view b);
double storedDouble(std::string_view b);
// Day 1 is 1 January of year 1 in the proleptic Gregorian calendar.
Date dateFromDays(std::int32_t days);
constexpr std::int32_t lastDay = 3652059;  // 31 December 9999

}  // namespace paradox::detail
