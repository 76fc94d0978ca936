// The layouts of the character, province and transfer tables.
#include "store/layout.h"

#include <cctype>

namespace store {

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

int TableLayout::columnIndex(std::string_view columnName) const
{
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (equalsNoCase(columns[i].name, columnName))
            return static_cast<int>(i);
    return -1;
}

int TableLayout::autoIncColumn() const
{
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].type == ColumnType::AutoInc)
            return static_cast<int>(i);
    return -1;
}

bool TableLayout::isKeyColumn(int column) const
{
    for (int k : keyColumns)
        if (k == column)
            return true;
    return false;
}

bool TableLayout::isKeyText(int column) const
{
    return isKeyColumn(column) && columns[static_cast<std::size_t>(column)].type == ColumnType::Text;
}

namespace {

std::vector<TableLayout> makeLayouts()
{
    static const std::vector<Column> character = {
        {"Game_Name", ColumnType::Text, 30},
        {"Character_Name", ColumnType::Text, 30},
        {"Bloodline_Derivation", ColumnType::Text, 10},
        {"Bloodline_Strength", ColumnType::Text, 7},
        {"Bloodline_Score", ColumnType::Short, 0},
        {"Warrior", ColumnType::Logical, 0},
        {"Ranger", ColumnType::Logical, 0},
        {"Paladin", ColumnType::Logical, 0},
        {"Mage", ColumnType::Logical, 0},
        {"Priest", ColumnType::Logical, 0},
        {"Thief", ColumnType::Logical, 0},
        {"Bard", ColumnType::Logical, 0},
        {"Psionicist", ColumnType::Logical, 0},
        {"Domain_Name", ColumnType::Text, 30},
        {"Palace_Location", ColumnType::Text, 30},
        {"Palace_Value", ColumnType::Short, 0},
        {"Administration_Check", ColumnType::Short, 0},
        {"Diplomacy_Check", ColumnType::Short, 0},
        {"Law_Check", ColumnType::Short, 0},
        {"Leadership_Check", ColumnType::Short, 0},
        {"Intrigue_Check", ColumnType::Short, 0},
        {"Ley_Line_Network", ColumnType::Memo, 0},
        {"Ley_Line_Maint", ColumnType::Short, 0},
        {"Priest_Realm_Spells", ColumnType::Memo, 0},
        {"Mage_Realm_Spells", ColumnType::Memo, 0},
        {"Total_Provinces", ColumnType::Short, 0},
        {"Total_Prov_Cost", ColumnType::Short, 0},
        {"Army_Maintenenace", ColumnType::Short, 0},
        {"Ship_Maintenance", ColumnType::Short, 0},
        {"Fort_Maintenance", ColumnType::Short, 0},
        {"Court_Expenditure", ColumnType::Short, 0},
        {"Construction_Projects", ColumnType::Memo, 0},
        {"Army_info", ColumnType::Memo, 0},
        {"Ship_Info", ColumnType::Memo, 0},
        {"Constr_Cost_This_Turn", ColumnType::Short, 0},
        {"General_Ability_Memo", ColumnType::Memo, 0},
        {"Possible_RP_Earnings", ColumnType::Short, 0},
        {"Prov_GB_Income", ColumnType::Short, 0},
        {"Temple_GB_Income", ColumnType::Short, 0},
        {"Guild_GB_Income", ColumnType::Short, 0},
        {"Law_Claim_In_Progress", ColumnType::Logical, 0},
        {"Losses_To_Law_Claims", ColumnType::Text, 30},
        {"Land_Trade_Routes", ColumnType::Memo, 0},
        {"Land_TR_GB_Earn", ColumnType::Short, 0},
        {"Sea_Trade_Routes", ColumnType::Memo, 0},
        {"Sea_TR_GB_Earn", ColumnType::Short, 0},
        {"Research_Check", ColumnType::Short, 0},
        {"Misc_Leftovers", ColumnType::Memo, 0},
        {"Total_Troop_Capacity", ColumnType::Short, 0},
        {"Total_Castles/Forts", ColumnType::Short, 0},
        {"Total_Building_Projects", ColumnType::Short, 0},
        {"Total_Construction_Cost", ColumnType::Short, 0},
        {"Income_RP_From_Vassals", ColumnType::Short, 0},
        {"Civic_Improvements", ColumnType::Memo, 0},
        {"Law_Income", ColumnType::Short, 0},
        {"State_Religion", ColumnType::Text, 30},
        {"Royal_Facade_Spell", ColumnType::Logical, 0},
        {"Class_Abbrev", ColumnType::Text, 10},
        {"Vassals", ColumnType::Memo, 0},
        {"Current_RP", ColumnType::Short, 0},
        {"Current_GB", ColumnType::Short, 0},
        {"Current_GP", ColumnType::Short, 0},
    };
    static const std::vector<Column> province = {
        {"Game_Name", ColumnType::Text, 30},
        {"Character_Name", ColumnType::Text, 30},
        {"Province_Name", ColumnType::Text, 30},
        {"Province_Level", ColumnType::Short, 0},
        {"Max_Source_Potential", ColumnType::Short, 0},
        {"Province_Terrain", ColumnType::Text, 50},
        {"Fortification_Level", ColumnType::Short, 0},
        {"Armies", ColumnType::Memo, 0},
        {"Taxation_Level", ColumnType::Text, 8},
        {"Province_Owner", ColumnType::Text, 20},
        {"Realm_Spells_In_Effect", ColumnType::Memo, 0},
        {"Law1_Level", ColumnType::Short, 0},
        {"Law1_Owner", ColumnType::Text, 20},
        {"Law2_Level", ColumnType::Short, 0},
        {"Law2_Owner", ColumnType::Text, 20},
        {"Law3_Level", ColumnType::Short, 0},
        {"Law3_Owner", ColumnType::Text, 20},
        {"Law4_Level", ColumnType::Short, 0},
        {"Law4_Owner", ColumnType::Text, 20},
        {"Guild1_Level", ColumnType::Short, 0},
        {"Guild1_Owner", ColumnType::Text, 20},
        {"Guild2_Level", ColumnType::Short, 0},
        {"Guild2_Owner", ColumnType::Text, 20},
        {"Guild3_Level", ColumnType::Short, 0},
        {"Guild3_Owner", ColumnType::Text, 20},
        {"Guild4_Level", ColumnType::Short, 0},
        {"Guild4_Owner", ColumnType::Text, 20},
        {"Guild_Trade_Routes", ColumnType::Memo, 0},
        {"Source1_Level", ColumnType::Short, 0},
        {"Source1_Owner", ColumnType::Text, 20},
        {"Source2_Level", ColumnType::Short, 0},
        {"Source2_Owner", ColumnType::Text, 20},
        {"Source3_Level", ColumnType::Short, 0},
        {"Source3_Owner", ColumnType::Text, 20},
        {"Source4_Level", ColumnType::Short, 0},
        {"Source4_Owner", ColumnType::Text, 20},
        {"Source_Ley_Lines", ColumnType::Memo, 0},
        {"Source_Ley_Line_Protects", ColumnType::Memo, 0},
        {"Temple1_Level", ColumnType::Short, 0},
        {"Temple1_Owner", ColumnType::Text, 20},
        {"Temple2_Level", ColumnType::Short, 0},
        {"Temple2_Owner", ColumnType::Text, 20},
        {"Temple3_Level", ColumnType::Short, 0},
        {"Temple3_Owner", ColumnType::Text, 20},
        {"Temple4_Level", ColumnType::Short, 0},
        {"Temple4_Owner", ColumnType::Text, 20},
        {"Law1_Claim_Victim", ColumnType::Text, 40},
        {"Law2_Claim_Victim", ColumnType::Text, 40},
        {"Law3_Claim_Victim", ColumnType::Text, 40},
        {"Law4_Claim_Victim", ColumnType::Text, 40},
        {"Guild_Num_Land_TR", ColumnType::Short, 0},
        {"Guild_Num_Sea_TR", ColumnType::Short, 0},
        {"AutoKeyInc", ColumnType::AutoInc, 0},
        {"Law1_Fort", ColumnType::Text, 10},
        {"Law2_Fort", ColumnType::Text, 10},
        {"Law3_Fort", ColumnType::Text, 10},
        {"Law4_Fort", ColumnType::Text, 10},
        {"Guild1_Fort", ColumnType::Text, 10},
        {"Guild2_Fort", ColumnType::Text, 10},
        {"Guild3_Fort", ColumnType::Text, 10},
        {"Guild4_Fort", ColumnType::Text, 10},
        {"Source1_Fort", ColumnType::Text, 10},
        {"Source2_Fort", ColumnType::Text, 10},
        {"Source3_Fort", ColumnType::Text, 10},
        {"Source4_Fort", ColumnType::Text, 10},
        {"Temple1_Fort", ColumnType::Text, 10},
        {"Temple2_Fort", ColumnType::Text, 10},
        {"Temple3_Fort", ColumnType::Text, 10},
        {"Temple4_Fort", ColumnType::Text, 10},
        {"Law_Claims_Loss_Source", ColumnType::Text, 30},
        {"Guild1_Law_Loss_Source", ColumnType::Text, 30},
        {"Guild2_Law_Loss_Source", ColumnType::Text, 30},
        {"Guild3_Law_Loss_Source", ColumnType::Text, 30},
        {"Guild4_Law_Loss_Source", ColumnType::Text, 30},
        {"Temple1_Law_Loss_Source", ColumnType::Text, 30},
        {"Temple2_Law_Loss_Source", ColumnType::Text, 30},
        {"Temple3_Law_Loss_Source", ColumnType::Text, 30},
        {"Temple4_Law_Loss_Source", ColumnType::Text, 30},
    };

    // Characters by game, then name; a character's provinces in the order
    // they were added. The browser searches characters by name alone.
    const int gameName = 0, characterName = 1, provinceAutoKey = 52;  // AutoKeyInc
    const std::vector<SecondaryIndex> byName = {{"name", {characterName}}};
    return {
        {"vddb", "vddb.DB", campaignFile, character, {gameName, characterName}, true, byName},
        {"vdprovs", "vdprovs.db", campaignFile, province, {gameName, characterName, provinceAutoKey}, false, {}},
        {"vdtrans", "vdtrans.DB", transferFile, character, {gameName, characterName}, true, byName},
        {"expprovs", "expprovs.DB", transferFile, province, {gameName, characterName, provinceAutoKey}, false, {}},
    };
}

}  // namespace

const std::vector<TableLayout>& allLayouts()
{
    static const std::vector<TableLayout> layouts = makeLayouts();
    return layouts;
}

const TableLayout* findLayout(std::string_view tableName)
{
    std::string_view base = tableName;
    if (auto dot = base.rfind('.'); dot != std::string_view::npos)
        base = base.substr(0, dot);
    for (const auto& layout : allLayouts())
        if (equalsNoCase(layout.name, base))
            return &layout;
    return nullptr;
}

}  // namespace store
