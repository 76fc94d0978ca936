#pragma once
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <vector>

#include "sheet/realm_sheet.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace sheet_testing {

// The worked example: Aldric of Eastmarch with two provinces.
inline sheet::RealmTexts exampleTexts()
{
    sheet::RealmTexts t;
    t.caption = "Realm Details";
    t.gameName = "Valdane";
    t.characterName = "Aldric";
    t.classAbbrev = "F7/P3";
    t.bloodlineStrength = "Major";
    t.researchCheck = "2";
    t.administrationCheck = "3";
    t.lawCheck = "1";
    t.leadershipCheck = "4";
    t.intrigueCheck = "0";
    t.diplomacyCheck = "2";
    t.domainName = "Eastmarch";
    t.lawIncome = "2";
    t.totalRP = "14";
    t.totalGB = "21";
    t.armyMaintenance = "3";
    t.fortMaintenance = "2";
    t.palaceMaint = "1";
    t.courtExpenditure = "4";
    t.provinceCost = "5";
    t.leyLineMaint = "0";
    t.maintTotal = "15";
    t.currentRP = "20";
    t.currentGB = "12";
    t.currentGP = "0";
    t.vassals = {"Sir Ormond, lieutenant", "Lady Tess, vassal in Greyhollow Downs"};
    t.landTradeRoutes = {"Brightwater to Tamsvale, 2 GB"};
    t.priestSpells = {"Bless Land"};
    t.buildingProjects = {"Road to Tamsvale, 3 GB left"};
    t.misc = {"Owes the river guild a favour"};
    return t;
}

inline std::vector<sheet::ProvinceRow> exampleRows()
{
    sheet::ProvinceRow a;
    a.name = "Brightwater";
    a.level = "3";
    a.maxSource = "2";
    a.templeLevel = "2";
    a.templeOwner = "OTA";
    a.guildLevel = "1";
    a.lawLevel = "3";
    a.lawOwner = "AV";
    a.fort = "2";
    a.terrain = "Plains";
    sheet::ProvinceRow b;
    b.name = "Greyhollow Downs";
    b.level = "1";
    b.maxSource = "5";
    b.guildLevel = "2";
    b.guildOwner = "Merchants Guild";
    b.lawLevel = "1";
    b.lawOwner = "AV";
    b.sourceLevel = "4";
    b.sourceOwner = "Wizard";
    b.terrain = "Hills";
    return {a, b};
}

inline std::vector<sheet::ProvinceArmies> exampleArmies()
{
    return {{"Brightwater", {"2 units of infantry", "1 unit of archers"}}, {"Greyhollow Downs", {}}};
}

// The sheet of the worked example, line by line.
inline const QStringList exampleSheet = {
    "Realm Sheet for Realm Details",
    "",
    "F7/P3 Bloodline Major",
    "  Research (2), Administration (3), Law (1), Leadership (4),",
    "  Intrigue (0), Diplomacy (2)",
    "",
    "The Realm (Eastmarch):",
    "   Province        Temple     Guild      Law        Source     Fort   Terrain",
    "A) Brightwater 3/2  2(OTA)     1          3(AV)                2      Plains",
    "B) Greyhollow Downs1/5             2(Merchants Guild) 1(AV)      4(Wizard)        Hills",
    "",
    "Lieutenant/Vassal Information:",
    "",
    "Sir Ormond, lieutenant",
    "Lady Tess, vassal in Greyhollow Downs",
    "",
    "Trade Routes:",
    "",
    " Land:",
    "  Brightwater to Tamsvale, 2 GB",
    "",
    " Sea:",
    "",
    "Armies:",
    "",
    " Province: Brightwater",
    "  2 units of infantry",
    "  1 unit of archers",
    " Province: Greyhollow Downs",
    "",
    "Realm Spells:",
    "",
    " Priest:",
    "  Bless Land",
    "",
    " Wizard:",
    "",
    "Resource Yield:",
    "Claims: 2",
    "RP: 14",
    "GB: 21",
    "",
    "Ongoing costs for Building and Fortifications:",
    "",
    "  Road to Tamsvale, 3 GB left",
    "",
    "Maintenance:",
    "",
    "Armies: 3",
    "Castles and Fortified Holdings: 2",
    "Palace: 1",
    "Court: 4",
    "Provinces and Holdings: 5",
    "Ley Lines: 0",
    "",
    "Total Realm Maintenance/Costs (Admin 3): 15/14",
    "",
    "Current Resources: ",
    " Regency: 20",
    " Treasury: 12GB",
    "",
    "Miscellaneous Leftovers:",
    "",
    "Owes the river guild a favour",
};

// Lines joined as the file holds them: CR LF after each, the last included.
inline QByteArray fileBytes(const QStringList& lines)
{
    QByteArray out;
    for (const QString& l : lines)
        out += l.toUtf8() + "\r\n";
    return out;
}

inline QByteArray readAll(const std::filesystem::path& file)
{
    QFile f(QString::fromStdString(file.string()));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// Canned sources that hand out the given provinces and armies.
inline sheet::Sources canned(std::vector<sheet::ProvinceRow> rows, std::vector<sheet::ProvinceArmies> armies)
{
    sheet::Sources s;
    s.provinces = [rows](const auto& visit) {
        for (const auto& r : rows)
            visit(r);
    };
    s.armies = [armies](const auto& visit) {
        for (const auto& a : armies)
            visit(a);
    };
    return s;
}

inline QStringList sheetLines(const sheet::RealmTexts& texts, const sheet::Sources& sources)
{
    QStringList out;
    sheet::writeSheet(texts, sources, [&out](const QString& l) { out << l; });
    return out;
}

}  // namespace sheet_testing
