// The campaign's four tables: the character and province tables and their
// transfer copies.
#include "campaign/catalogue.h"

#include "campaign/columns.h"
#include "store/filter.h"

namespace campaign {

using store::Column;
using store::ColumnType;
using store::SecondaryIndex;

namespace {

store::Catalogue makeCatalogue()
{
    static const std::vector<Column> character = {
        {col::GameName, ColumnType::Text, 30},
        {col::CharacterName, ColumnType::Text, 30},
        {col::BloodlineDerivation, ColumnType::Text, 10},
        {col::BloodlineStrength, ColumnType::Text, 7},
        {col::BloodlineScore, ColumnType::Short, 0},
        {col::Warrior, ColumnType::Logical, 0},
        {col::Ranger, ColumnType::Logical, 0},
        {col::Paladin, ColumnType::Logical, 0},
        {col::Mage, ColumnType::Logical, 0},
        {col::Priest, ColumnType::Logical, 0},
        {col::Thief, ColumnType::Logical, 0},
        {col::Bard, ColumnType::Logical, 0},
        {col::Psionicist, ColumnType::Logical, 0},
        {col::DomainName, ColumnType::Text, 30},
        {col::PalaceLocation, ColumnType::Text, 30},
        {col::PalaceValue, ColumnType::Short, 0},
        {col::AdministrationCheck, ColumnType::Short, 0},
        {col::DiplomacyCheck, ColumnType::Short, 0},
        {col::LawCheck, ColumnType::Short, 0},
        {col::LeadershipCheck, ColumnType::Short, 0},
        {col::IntrigueCheck, ColumnType::Short, 0},
        {col::LeyLineNetwork, ColumnType::Memo, 0},
        {col::LeyLineMaint, ColumnType::Short, 0},
        {col::PriestRealmSpells, ColumnType::Memo, 0},
        {col::MageRealmSpells, ColumnType::Memo, 0},
        {col::TotalProvinces, ColumnType::Short, 0},
        {col::TotalProvCost, ColumnType::Short, 0},
        {col::ArmyMaintenenace, ColumnType::Short, 0},
        {col::ShipMaintenance, ColumnType::Short, 0},
        {col::FortMaintenance, ColumnType::Short, 0},
        {col::CourtExpenditure, ColumnType::Short, 0},
        {col::ConstructionProjects, ColumnType::Memo, 0},
        {col::ArmyInfo, ColumnType::Memo, 0},
        {col::ShipInfo, ColumnType::Memo, 0},
        {col::ConstrCostThisTurn, ColumnType::Short, 0},
        {col::GeneralAbilityMemo, ColumnType::Memo, 0},
        {col::PossibleRPEarnings, ColumnType::Short, 0},
        {col::ProvGBIncome, ColumnType::Short, 0},
        {col::TempleGBIncome, ColumnType::Short, 0},
        {col::GuildGBIncome, ColumnType::Short, 0},
        {col::LawClaimInProgress, ColumnType::Logical, 0},
        {col::LossesToLawClaims, ColumnType::Text, 30},
        {col::LandTradeRoutes, ColumnType::Memo, 0},
        {col::LandTRGBEarn, ColumnType::Short, 0},
        {col::SeaTradeRoutes, ColumnType::Memo, 0},
        {col::SeaTRGBEarn, ColumnType::Short, 0},
        {col::ResearchCheck, ColumnType::Short, 0},
        {col::MiscLeftovers, ColumnType::Memo, 0},
        {col::TotalTroopCapacity, ColumnType::Short, 0},
        {col::TotalCastlesForts, ColumnType::Short, 0},
        {col::TotalBuildingProjects, ColumnType::Short, 0},
        {col::TotalConstructionCost, ColumnType::Short, 0},
        {col::IncomeRPFromVassals, ColumnType::Short, 0},
        {col::CivicImprovements, ColumnType::Memo, 0},
        {col::LawIncome, ColumnType::Short, 0},
        {col::StateReligion, ColumnType::Text, 30},
        {col::RoyalFacadeSpell, ColumnType::Logical, 0},
        {col::ClassAbbrev, ColumnType::Text, 10},
        {col::Vassals, ColumnType::Memo, 0},
        {col::CurrentRP, ColumnType::Short, 0},
        {col::CurrentGB, ColumnType::Short, 0},
        {col::CurrentGP, ColumnType::Short, 0},
    };
    static const std::vector<Column> province = {
        {col::GameName, ColumnType::Text, 30},
        {col::CharacterName, ColumnType::Text, 30},
        {col::ProvinceName, ColumnType::Text, 30},
        {col::ProvinceLevel, ColumnType::Short, 0},
        {col::MaxSourcePotential, ColumnType::Short, 0},
        {col::ProvinceTerrain, ColumnType::Text, 50},
        {col::FortificationLevel, ColumnType::Short, 0},
        {col::Armies, ColumnType::Memo, 0},
        {col::TaxationLevel, ColumnType::Text, 8},
        {col::ProvinceOwner, ColumnType::Text, 20},
        {col::RealmSpellsInEffect, ColumnType::Memo, 0},
        {col::Law1Level, ColumnType::Short, 0},
        {col::Law1Owner, ColumnType::Text, 20},
        {col::Law2Level, ColumnType::Short, 0},
        {col::Law2Owner, ColumnType::Text, 20},
        {col::Law3Level, ColumnType::Short, 0},
        {col::Law3Owner, ColumnType::Text, 20},
        {col::Law4Level, ColumnType::Short, 0},
        {col::Law4Owner, ColumnType::Text, 20},
        {col::Guild1Level, ColumnType::Short, 0},
        {col::Guild1Owner, ColumnType::Text, 20},
        {col::Guild2Level, ColumnType::Short, 0},
        {col::Guild2Owner, ColumnType::Text, 20},
        {col::Guild3Level, ColumnType::Short, 0},
        {col::Guild3Owner, ColumnType::Text, 20},
        {col::Guild4Level, ColumnType::Short, 0},
        {col::Guild4Owner, ColumnType::Text, 20},
        {col::GuildTradeRoutes, ColumnType::Memo, 0},
        {col::Source1Level, ColumnType::Short, 0},
        {col::Source1Owner, ColumnType::Text, 20},
        {col::Source2Level, ColumnType::Short, 0},
        {col::Source2Owner, ColumnType::Text, 20},
        {col::Source3Level, ColumnType::Short, 0},
        {col::Source3Owner, ColumnType::Text, 20},
        {col::Source4Level, ColumnType::Short, 0},
        {col::Source4Owner, ColumnType::Text, 20},
        {col::SourceLeyLines, ColumnType::Memo, 0},
        {col::SourceLeyLineProtects, ColumnType::Memo, 0},
        {col::Temple1Level, ColumnType::Short, 0},
        {col::Temple1Owner, ColumnType::Text, 20},
        {col::Temple2Level, ColumnType::Short, 0},
        {col::Temple2Owner, ColumnType::Text, 20},
        {col::Temple3Level, ColumnType::Short, 0},
        {col::Temple3Owner, ColumnType::Text, 20},
        {col::Temple4Level, ColumnType::Short, 0},
        {col::Temple4Owner, ColumnType::Text, 20},
        {col::Law1ClaimVictim, ColumnType::Text, 40},
        {col::Law2ClaimVictim, ColumnType::Text, 40},
        {col::Law3ClaimVictim, ColumnType::Text, 40},
        {col::Law4ClaimVictim, ColumnType::Text, 40},
        {col::GuildNumLandTR, ColumnType::Short, 0},
        {col::GuildNumSeaTR, ColumnType::Short, 0},
        {col::AutoKeyInc, ColumnType::AutoInc, 0},
        {col::Law1Fort, ColumnType::Text, 10},
        {col::Law2Fort, ColumnType::Text, 10},
        {col::Law3Fort, ColumnType::Text, 10},
        {col::Law4Fort, ColumnType::Text, 10},
        {col::Guild1Fort, ColumnType::Text, 10},
        {col::Guild2Fort, ColumnType::Text, 10},
        {col::Guild3Fort, ColumnType::Text, 10},
        {col::Guild4Fort, ColumnType::Text, 10},
        {col::Source1Fort, ColumnType::Text, 10},
        {col::Source2Fort, ColumnType::Text, 10},
        {col::Source3Fort, ColumnType::Text, 10},
        {col::Source4Fort, ColumnType::Text, 10},
        {col::Temple1Fort, ColumnType::Text, 10},
        {col::Temple2Fort, ColumnType::Text, 10},
        {col::Temple3Fort, ColumnType::Text, 10},
        {col::Temple4Fort, ColumnType::Text, 10},
        {col::LawClaimsLossSource, ColumnType::Text, 30},
        {col::Guild1LawLossSource, ColumnType::Text, 30},
        {col::Guild2LawLossSource, ColumnType::Text, 30},
        {col::Guild3LawLossSource, ColumnType::Text, 30},
        {col::Guild4LawLossSource, ColumnType::Text, 30},
        {col::Temple1LawLossSource, ColumnType::Text, 30},
        {col::Temple2LawLossSource, ColumnType::Text, 30},
        {col::Temple3LawLossSource, ColumnType::Text, 30},
        {col::Temple4LawLossSource, ColumnType::Text, 30},
    };

    // Characters by game, then name; a character's provinces in the order
    // they were added. The browser searches characters by name alone.
    const int gameName = 0, characterName = 1, provinceAutoKey = 52;  // AutoKeyInc
    const std::vector<SecondaryIndex> byName = {{"name", {characterName}}};
    // Messages about a record name its game, its character and, for a
    // province, the province.
    const int provinceName = 2;
    const std::vector<store::RecordLabel> characterLabel = {{gameName, "game"}, {characterName, "character"}};
    const std::vector<store::RecordLabel> provinceLabel = {
        {gameName, "game"}, {characterName, "character"}, {provinceName, "province"}};
    // A province belongs to a character of its own file.
    const store::Owner ofCharacter = {"vddb", {gameName, characterName}};
    const store::Owner ofTransferCharacter = {"vdtrans", {gameName, characterName}};
    return {campaignFile, transferFile, {
        {"vddb", "vddb.DB", campaignFile, character, {gameName, characterName}, true, byName, characterLabel, {}},
        {"vdprovs", "vdprovs.db", campaignFile, province, {gameName, characterName, provinceAutoKey}, false, {}, provinceLabel, ofCharacter},
        {"vdtrans", "vdtrans.DB", transferFile, character, {gameName, characterName}, true, byName, characterLabel, {}},
        {"expprovs", "expprovs.DB", transferFile, province, {gameName, characterName, provinceAutoKey}, false, {},
         provinceLabel, ofTransferCharacter},
    }};
}

}  // namespace

const store::Catalogue& catalogue()
{
    static const store::Catalogue tables = makeCatalogue();
    return tables;
}

const store::TableLayout* findLayout(std::string_view tableName) { return catalogue().find(tableName); }

std::string recordFilter(std::string_view gameName, std::string_view characterName)
{
    return std::string(col::CharacterName) + "=" + store::quoteFilterValue(characterName) + " and " +
           col::GameName + "=" + store::quoteFilterValue(gameName);
}

}  // namespace campaign
