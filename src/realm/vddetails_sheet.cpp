// File > Save to File, Save as PDF and Print of the realm details window: the
// realm sheet of the character the window shows.
#include "app/alias_check.h"
#include "app/context.h"
#include "dbaware/dbedit.h"
#include "dbaware/dbmemo.h"
#include "dbaware/statusbar.h"
#include "realm/vddetails.h"
#include "sheet/realm_sheet.h"
#include "sheet/sheet_print.h"

sheet::RealmTexts TfrmRealmDetails::sheetTexts(MemoLines memos) const
{
    // The texts as the window shows them; the commands are enabled only
    // while the record is not being edited, so they are those of the stored
    // record.
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

    // The text sheet takes each memo's lines as it wraps them at its width
    // on the sheet, whatever size the window's layout gives it now; paper
    // wraps them at the page's width.
    auto lines = [memos](const dbaware::DBMemo& memo, int width) {
        return memos == MemoLines::Wrapped ? sheet::memoLines(memo, width) : sheet::textLines(memo.toPlainText());
    };
    namespace width = sheet::width;
    t.vassals = lines(*dmemVassals, width::vassals);
    t.landTradeRoutes = lines(*dmemLandTR, width::landTradeRoutes);
    t.seaTradeRoutes = lines(*dmemSeaTR, width::seaTradeRoutes);
    t.priestSpells = lines(*dmemPriestSpells, width::priestSpells);
    t.mageSpells = lines(*dmemMageSpells, width::mageSpells);
    t.buildingProjects = lines(*dmemBuildingProjects, width::buildingProjects);
    t.misc = lines(*dmemMisc, width::misc);
    return t;
}

void TfrmRealmDetails::SaveToFile1Click()
{
    sheet::saveToFile(this, app::saveFolderParent(context_), sheetTexts(MemoLines::Wrapped), Query1, context_.session,
                      [this](const QString& text) { StatusBar1->setText(text); });
}

void TfrmRealmDetails::SaveAsPDF1Click()
{
    sheet::PrintedSheet s;
    s.texts = sheetTexts(MemoLines::Unwrapped);
    s.provinces = sheet::provinceRows(Query1, s.texts.gameName, s.texts.characterName);
    sheet::saveAsPdf(this, app::saveFolderParent(context_), s, [this](const QString& text) { StatusBar1->setText(text); });
}

void TfrmRealmDetails::Print1Click()
{
    sheet::PrintedSheet s;
    s.texts = sheetTexts(MemoLines::Unwrapped);
    s.provinces = sheet::provinceRows(Query1, s.texts.gameName, s.texts.characterName);
    sheet::printSheet(this, s, [this](const QString& text) { StatusBar1->setText(text); });
}
