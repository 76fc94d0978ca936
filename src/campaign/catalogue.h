// The campaign's tables as the store is handed them: the character, province
// and transfer tables with their layouts, the two files that hold them, and
// the record filter that picks one character's rows.
#pragma once
#include <string>
#include <string_view>

#include "store/layout.h"

namespace campaign {

// The alias by which the windows open the campaign's tables.
inline constexpr const char* alias = "VDDB";

// The names the windows open the tables by.
namespace table {
inline constexpr const char* characters = "vddb.DB";
inline constexpr const char* provinces = "vdprovs.db";
inline constexpr const char* transferCharacters = "vdtrans.DB";
inline constexpr const char* transferProvinces = "expprovs.DB";
}  // namespace table

inline constexpr const char* campaignFile = "campaign.sqlite";
inline constexpr const char* transferFile = "transfer.sqlite";

// vddb and vdprovs in campaign.sqlite; vdtrans and expprovs, their exact
// copies, in transfer.sqlite. Backups are named after campaign.sqlite.
const store::Catalogue& catalogue();

// A campaign table's layout by the name it is opened by ("vddb.DB",
// "VDPROVS"); nullptr when unknown.
const store::TableLayout* findLayout(std::string_view tableName);

// Character_Name='<character>' and Game_Name='<game>': exactly one character's rows.
std::string recordFilter(std::string_view gameName, std::string_view characterName);

}  // namespace campaign
