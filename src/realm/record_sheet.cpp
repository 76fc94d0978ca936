#include "realm/record_sheet.h"

#include "campaign/catalogue.h"
#include "campaign/columns.h"
#include "realm/computations.h"
#include "store/query.h"

namespace col = campaign::col;

namespace realm {

namespace {

// A logical column as the window's check box shows it: an empty field is grey.
Qt::CheckState checkState(const QString& text)
{
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return Qt::Checked;
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return Qt::Unchecked;
    return Qt::PartiallyChecked;
}

}  // namespace

sheet::RealmTexts recordTexts(const std::function<QString(const char*)>& field)
{
    sheet::RealmTexts t;
    t.caption = QStringLiteral("Realm Details");
    t.gameName = field(col::GameName);
    t.characterName = field(col::CharacterName);
    t.classAbbrev = field(col::ClassAbbrev);
    t.bloodlineStrength = field(col::BloodlineStrength);
    t.researchCheck = field(col::ResearchCheck);
    t.administrationCheck = field(col::AdministrationCheck);
    t.lawCheck = field(col::LawCheck);
    t.leadershipCheck = field(col::LeadershipCheck);
    t.intrigueCheck = field(col::IntrigueCheck);
    t.diplomacyCheck = field(col::DiplomacyCheck);
    t.domainName = field(col::DomainName);
    t.lawIncome = field(col::LawIncome);
    t.armyMaintenance = field(col::ArmyMaintenenace);
    t.fortMaintenance = field(col::FortMaintenance);
    t.courtExpenditure = field(col::CourtExpenditure);
    t.provinceCost = field(col::TotalProvCost);
    t.leyLineMaint = field(col::LeyLineMaint);
    t.currentRP = field(col::CurrentRP);
    t.currentGB = field(col::CurrentGB);
    t.currentGP = field(col::CurrentGP);

    // The window's grey boxes, in the order its handlers fill them.
    const PalaceFigures palace = palaceFigures(field(col::PalaceValue));
    t.palaceMaint = palace.palaceMaint;
    const TradeRoutes routes =
        tradeRoutes({.landGB = field(col::LandTRGBEarn), .seaGB = field(col::SeaTRGBEarn),
                     .thief = checkState(field(col::Thief))});
    t.totalGB = totalGB({.province = field(col::ProvGBIncome),
                         .guild = field(col::GuildGBIncome),
                         .temple = field(col::TempleGBIncome),
                         .law = t.lawIncome,
                         .tradeRoutes = routes.income});
    t.maintTotal = maintenanceTotal({.ship = field(col::ShipMaintenance),
                                     .province = t.provinceCost,
                                     .fort = t.fortMaintenance,
                                     .palace = t.palaceMaint,
                                     .army = t.armyMaintenance,
                                     .construction = field(col::TotalBuildingProjects),
                                     .castles = field(col::TotalCastlesForts),
                                     .courtExpenditure = t.courtExpenditure});
    t.totalRP = totalRP({.possibleRP = field(col::PossibleRPEarnings),
                         .bloodlineScore = field(col::BloodlineScore),
                         .leyLineMaint = t.leyLineMaint,
                         .vassalRP = field(col::IncomeRPFromVassals)});

    t.vassals = sheet::textLines(field(col::Vassals));
    t.landTradeRoutes = sheet::textLines(field(col::LandTradeRoutes));
    t.seaTradeRoutes = sheet::textLines(field(col::SeaTradeRoutes));
    t.priestSpells = sheet::textLines(field(col::PriestRealmSpells));
    t.mageSpells = sheet::textLines(field(col::MageRealmSpells));
    t.buildingProjects = sheet::textLines(field(col::ConstructionProjects));
    t.misc = sheet::textLines(field(col::MiscLeftovers));
    return t;
}

std::vector<sheet::PrintedSheet> gameSheets(store::Session& session, const QString& game)
{
    store::Query characters(session);
    store::Query provinces(session);
    characters.open(campaign::alias, campaign::table::characters, {{col::GameName, game.toStdString()}});
    std::vector<sheet::PrintedSheet> sheets;
    for (; !characters.eof(); characters.next()) {
        sheet::PrintedSheet s;
        s.texts = recordTexts([&characters](const char* column) { return QString::fromStdString(characters.text(column)); });
        s.provinces = sheet::provinceRows(provinces, s.texts.gameName, s.texts.characterName);
        sheets.push_back(std::move(s));
    }
    return sheets;
}

}  // namespace realm
