#include "sheet/province_fields.h"

#include "campaign/catalogue.h"
#include "campaign/columns.h"
#include "store/query.h"

namespace col = campaign::col;

namespace sheet {

void openProvinces(store::Query& query, const QString& game, const QString& character)
{
    query.close();
    // Only the columns a row of the sheet shows, in ProvinceField's order.
    query.open(campaign::alias, campaign::table::provinces,
               {{col::GameName, game.toStdString()}, {col::CharacterName, character.toStdString()}},
               {col::ProvinceName, col::ProvinceLevel, col::MaxSourcePotential, col::Temple1Level, col::Temple1Owner,
                col::Guild1Level, col::Guild1Owner, col::Law1Level, col::Law1Owner, col::Source1Level,
                col::Source1Owner, col::FortificationLevel, col::ProvinceTerrain, col::Armies});
}

void StoredProvinces::add(const store::Query& query)
{
    for (std::size_t i = 0; i < FieldCount; ++i) {
        bytes_ += query.field(i);
        ends_.push_back(bytes_.size());
    }
}

ProvinceRow StoredProvinces::row(std::size_t r) const
{
    auto f = [this, r](ProvinceField i) {
        const std::string_view v = field(r, i);
        return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
    };
    return {f(Name),        f(Level),      f(MaxSource), f(TempleLevel), f(TempleOwner),
            f(GuildLevel),  f(GuildOwner), f(LawLevel),  f(LawOwner),    f(SourceLevel),
            f(SourceOwner), f(Fort),       f(Terrain),   f(ArmiesMemo)};
}

std::vector<ProvinceRow> provinceRows(store::Query& query, const QString& game, const QString& character)
{
    openProvinces(query, game, character);
    StoredProvinces stored;
    for (; !query.eof(); query.next())
        stored.add(query);
    std::vector<ProvinceRow> rows;
    rows.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i)
        rows.push_back(stored.row(i));
    return rows;
}

}  // namespace sheet
