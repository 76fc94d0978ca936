// File > Save to File of the realm details window: the realm sheet of the
// character the window shows, written to a file the user chooses.
#include "app/context.h"
#include "dbaware/dbedit.h"
#include "dbaware/dbmemo.h"
#include "dbaware/statusbar.h"
#include "realm/vddetails.h"
#include "sheet/realm_sheet.h"

void TfrmRealmDetails::SaveToFile1Click()
{
    // The texts as the window shows them; the command is enabled only while
    // the record is not being edited, so they are those of the stored record.
    sheet::RealmTexts t;
    t.caption = windowTitle();
    t.gameName = dedtGameName->text();
    t.characterName = dedtCharName->text();
    t.classAbbrev = dedtClassAbbrev->text();
    t.bloodlineStrength = dedtBloodlineStr->text();
    t.researchCheck = dedtResearchCheck->text();
    t.administrationCheck = dedtAdminCheck->text();
    t.lawCheck = dedtLawCheck->text();
    t.leadershipCheck = dedtLeadershipCheck->text();
    t.intrigueCheck = dedtIntrigueCheck->text();
    t.diplomacyCheck = dedtDiplomacyCheck->text();
    t.domainName = dedtDomainName->text();
    t.lawIncome = dedtLawIncome->text();
    t.totalRP = edtTotalRP->text();
    t.totalGB = edtTotalGB->text();
    t.armyMaintenance = dedtArmyMaint->text();
    t.fortMaintenance = dedtFortMaint->text();
    t.palaceMaint = edtPalaceMaint->text();
    // The read-only copy on the "Maintenance" page.
    t.courtExpenditure = dedtROCourtExpenditure->text();
    t.provinceCost = dedtProvMaint->text();
    t.leyLineMaint = dedtLeyLineMaint->text();
    t.maintTotal = edtMaintTotal->text();
    t.currentRP = dedtCurrRP->text();
    t.currentGB = dedtCurrGB->text();
    t.currentGP = dedtCurrGP->text();

    // Each memo's lines as it wraps them at its width on the sheet, whatever
    // size the window's layout gives it now.
    namespace width = sheet::width;
    t.vassals = sheet::memoLines(*dmemVassals, width::vassals);
    t.landTradeRoutes = sheet::memoLines(*dmemLandTR, width::landTradeRoutes);
    t.seaTradeRoutes = sheet::memoLines(*dmemSeaTR, width::seaTradeRoutes);
    t.priestSpells = sheet::memoLines(*dmemPriestSpells, width::priestSpells);
    t.mageSpells = sheet::memoLines(*dmemMageSpells, width::mageSpells);
    t.buildingProjects = sheet::memoLines(*dmemBuildingProjects, width::buildingProjects);
    t.misc = sheet::memoLines(*dmemMisc, width::misc);

    sheet::saveToFile(this, context_.programFolder, t, Query1, context_.session,
                      [this](const QString& text) { StatusBar1->setText(text); });
}
