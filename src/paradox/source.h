// Where a table's bytes come from: a file on disk, read a part at a time so
// that memory stays bounded, or bytes already in memory.
#pragma once
#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "paradox/table.h"

namespace paradox::detail {

// A file's bytes, read a part at a time.
class Source {
public:
    virtual ~Source() = default;
    virtual std::size_t size() const = 0;
    // The bytes from `offset` on, at most `length` of them, into `into`.
    virtual void read(std::size_t offset, std::size_t length, std::string& into) = 0;
};

class InMemory final : public Source {
public:
    explicit InMemory(std::string_view data) : data_(data) {}
    std::size_t size() const override { return data_.size(); }
    void read(std::size_t offset, std::size_t length, std::string& into) override
    {
        into.assign(data_.substr(std::min(offset, data_.size()), length));
    }

private:
    std::string_view data_;
};

class OnDisk final : public Source {
public:
    explicit OnDisk(const std::filesystem::path& path) : name_(path.string()), in_(path, std::ios::binary)
    {
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(path, ec);
        if (ec)
            throw Error(name_, "cannot be read: " + ec.message());
        if (!in_)
            throw Error(name_, "cannot be read");
        size_ = static_cast<std::size_t>(size);
    }
    std::size_t size() const override { return size_; }
    void read(std::size_t offset, std::size_t length, std::string& into) override
    {
        const std::size_t n = offset >= size_ ? 0 : std::min(length, size_ - offset);
        into.resize(n);
        in_.clear();
        if (n > 0 && (!in_.seekg(static_cast<std::streamoff>(offset)) ||
                      !in_.read(into.data(), static_cast<std::streamsize>(n))))
            throw Error(name_, "cannot be read at byte " + std::to_string(offset));
    }

private:
    std::string name_;
    std::ifstream in_;
    std::size_t size_ = 0;
};

}  // namespace paradox::detail
