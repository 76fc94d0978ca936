#pragma once
#include <QString>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/realm_sheet.h"

namespace store {
class Query;
}

// The province rows of a sheet as they come from the store: the columns are
// named once when the query opens and then read by their place.
namespace sheet {

enum ProvinceField {
    Name, Level, MaxSource, TempleLevel, TempleOwner, GuildLevel, GuildOwner, LawLevel, LawOwner,
    SourceLevel, SourceOwner, Fort, Terrain, ArmiesMemo, FieldCount
};

// Provinces' fields as stored (UTF-8, an empty number the empty text), all
// in one buffer: no allocation per field.
class StoredProvinces {
public:
    // The query's current row, as openProvinces names its columns.
    void add(const store::Query& query);
    std::size_t size() const { return ends_.size() / FieldCount; }
    std::size_t bytes() const { return bytes_.size(); }
    std::string_view field(std::size_t row, ProvinceField f) const
    {
        const std::size_t i = row * FieldCount + f;
        const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(bytes_).substr(begin, ends_[i] - begin);
    }
    ProvinceRow row(std::size_t row) const;

private:
    std::string bytes_;
    std::vector<std::size_t> ends_;  // where each field ends, row after row
};

// Opens `query` (closed first) on the provinces of one character, with the
// columns in ProvinceField's order.
void openProvinces(store::Query& query, const QString& game, const QString& character);

}  // namespace sheet
