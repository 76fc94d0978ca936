#pragma once
#include <QString>
#include <QStringList>

#include "sheet/realm_sheet.h"

// The order and the fixed texts of the realm sheet, shared by the sheet
// formed as text and the sheet written straight into the file's bytes.
namespace sheet {

// The sheet's lines in order into `out`: its line() takes each line of text,
// its provinces() and armies() write those sections at their places.
template <class Out>
void sheetLines(const RealmTexts& t, Out& out)
{
    auto line = [&out](const QString& l) { out.line(l); };
    const QString blank;
    const QString twoBlanks = QStringLiteral("  ");
    // A text ending with a line break shows a last empty line; it is not written.
    auto memo = [&](const QStringList& lines, const QString& prefix) {
        qsizetype n = lines.size();
        if (n > 0 && lines.back().isEmpty())
            --n;
        for (qsizetype i = 0; i < n; ++i)
            line(prefix + lines[i]);
    };

    line(QStringLiteral("Realm Sheet for ") + t.caption);
    line(blank);
    line(t.classAbbrev + QStringLiteral(" Bloodline ") + t.bloodlineStrength);
    line(QStringLiteral("  Research (") + t.researchCheck + QStringLiteral("), Administration (") +
         t.administrationCheck + QStringLiteral("), Law (") + t.lawCheck + QStringLiteral("), Leadership (") +
         t.leadershipCheck + QStringLiteral("),"));
    line(QStringLiteral("  Intrigue (") + t.intrigueCheck + QStringLiteral("), Diplomacy (") + t.diplomacyCheck +
         u')');
    line(blank);
    line(realmHeading(t.domainName));
    line(QStringLiteral("   Province        Temple     Guild      Law        Source     Fort   Terrain"));
    out.provinces();
    line(blank);
    line(QStringLiteral("Lieutenant/Vassal Information:"));
    line(blank);
    memo(t.vassals, QString());
    line(blank);
    line(QStringLiteral("Trade Routes:"));
    line(blank);
    line(QStringLiteral(" Land:"));
    memo(t.landTradeRoutes, twoBlanks);
    line(blank);
    line(QStringLiteral(" Sea:"));
    memo(t.seaTradeRoutes, twoBlanks);
    line(blank);
    line(QStringLiteral("Armies:"));
    line(blank);
    out.armies();
    line(blank);
    line(QStringLiteral("Realm Spells:"));
    line(blank);
    line(QStringLiteral(" Priest:"));
    memo(t.priestSpells, twoBlanks);
    line(blank);
    line(QStringLiteral(" Wizard:"));
    memo(t.mageSpells, twoBlanks);
    line(blank);
    line(QStringLiteral("Resource Yield:"));
    line(QStringLiteral("Claims: ") + t.lawIncome);
    line(QStringLiteral("RP: ") + t.totalRP);
    line(QStringLiteral("GB: ") + t.totalGB);
    line(blank);
    line(QStringLiteral("Ongoing costs for Building and Fortifications:"));
    line(blank);
    memo(t.buildingProjects, twoBlanks);
    line(blank);
    line(QStringLiteral("Maintenance:"));
    line(blank);
    line(QStringLiteral("Armies: ") + t.armyMaintenance);
    line(QStringLiteral("Castles and Fortified Holdings: ") + t.fortMaintenance);
    line(QStringLiteral("Palace: ") + t.palaceMaint);
    line(QStringLiteral("Court: ") + t.courtExpenditure);
    line(QStringLiteral("Provinces and Holdings: ") + t.provinceCost);
    line(QStringLiteral("Ley Lines: ") + t.leyLineMaint);
    line(blank);
    line(maintenanceTotalLine(t.administrationCheck, t.maintTotal));
    line(blank);
    line(QStringLiteral("Current Resources: "));
    line(QStringLiteral(" Regency: ") + t.currentRP);
    line(treasuryLine(t.currentGB, t.currentGP));
    line(blank);
    line(QStringLiteral("Miscellaneous Leftovers:"));
    line(blank);
    memo(t.misc, QString());
}

}  // namespace sheet
