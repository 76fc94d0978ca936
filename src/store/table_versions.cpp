#include "store/table_versions.h"

#include <sqlite3.h>

#include <algorithm>

namespace store {

bool TableVersions::NoCase::operator()(std::string_view a, std::string_view b) const
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) < lower(y);
    });
}

void TableVersions::watch(sqlite3* conn, std::vector<const std::string*> schemas)
{
    conn_ = conn;
    schemas_ = std::move(schemas);
    sqlite3_update_hook(conn_, &TableVersions::onRowWritten, this);
    unseen_ = sqlite3_total_changes64(conn_) - rowsWritten_;
    noticeOthers();
}

void TableVersions::onRowWritten(void* self, int, const char* schema, const char* table, long long)
{
    auto& v = *static_cast<TableVersions*>(self);
    ++v.rowsWritten_;
    auto file = v.tables_.find(schema);
    if (file == v.tables_.end())
        file = v.tables_.emplace(schema, std::map<std::string, Table, NoCase>{}).first;
    auto it = file->second.find(table);
    if (it == file->second.end())
        it = file->second.emplace(table, Table{}).first;
    it->second.stamp = ++v.stamp_;
    ++it->second.rows;
}

std::uint32_t TableVersions::dataVersion(const std::string& schema) const
{
    unsigned int version = 0;
    if (sqlite3_file_control(conn_, schema.c_str(), SQLITE_FCNTL_DATA_VERSION, &version) != SQLITE_OK)
        return 0;
    return version;
}

void TableVersions::noticeOthers()
{
    if (!conn_)
        return;
    // A table emptied by its pages, and rows written by foreign-key actions
    // the hook is not told of, count in the connection's changes alone.
    const std::int64_t unseen = sqlite3_total_changes64(conn_) - rowsWritten_;
    if (unseen != unseen_) {
        unseen_ = unseen;
        everything_ = ++stamp_;
    }
    for (const std::string* schema : schemas_) {
        if (schema->empty())
            continue;
        const std::uint32_t now = dataVersion(*schema);
        auto [it, added] = files_.try_emplace(*schema, now, stamp_);
        if (!added && it->second.first != now)
            it->second = {now, ++stamp_};
    }
}

void TableVersions::committed()
{
    if (!conn_)
        return;
    for (const std::string* schema : schemas_)
        if (auto it = files_.find(*schema); it != files_.end())
            it->second.first = dataVersion(*schema);
}

std::uint64_t TableVersions::version(const std::string& schema, const std::string& table)
{
    noticeOthers();
    std::uint64_t v = everything_;
    if (auto file = files_.find(schema); file != files_.end())
        v = std::max(v, file->second.second);
    if (auto file = tables_.find(schema); file != tables_.end())
        if (auto it = file->second.find(table); it != file->second.end())
            v = std::max(v, it->second.stamp);
    return v;
}

bool TableVersions::onlyRowWritesSince(const std::string& schema, std::uint64_t version)
{
    noticeOthers();
    const auto file = files_.find(schema);
    return everything_ <= version && (file == files_.end() || file->second.second <= version);
}

std::uint64_t TableVersions::rowWrites(const std::string& schema, const std::string& table) const
{
    if (auto file = tables_.find(schema); file != tables_.end())
        if (auto it = file->second.find(table); it != file->second.end())
            return it->second.rows;
    return 0;
}

}  // namespace store
