// The derived figures of the realm window: each handler runs when one of the
// controls it depends on shows another value, and rewrites its grey boxes.
// The arithmetic is in computations.cpp; here the controls are read in the
// order the figures need them and the boxes written.
#include <QLabel>
#include <QStringList>

#include <utility>
#include <QLineEdit>

#include "dbaware/dbcheckbox.h"
#include "dbaware/dbedit.h"
#include "dbaware/dialogs.h"
#include "realm/computations.h"
#include "realm/vddetails.h"

namespace {

// Only a real change rewrites a box, so only a real change runs the figures
// that the box starts (its change signal comes from the new text, at once).
void writeBox(QLineEdit* box, const QString& text)
{
    if (box->text() == text)
        return;
    box->setText(text);
    // A long figure in a narrow box shows its start, as the bound boxes do.
    box->setCursorPosition(0);
}

}  // namespace

void TfrmRealmDetails::dedtPalaceValueChange()
{
    const realm::PalaceFigures f = realm::palaceFigures(dedtPalaceValue->text());
    writeBox(edtContrib, f.contrib);
    writeBox(edtPalaceMaint, f.palaceMaint);
}

void TfrmRealmDetails::edtContribChange()
{
    writeBox(edtCourtValue,
             realm::courtValue({.contrib = edtContrib->text(), .courtExpenditure = dedtCourtExpenditure->text()}));
}

void TfrmRealmDetails::edtCourtValueChange()
{
    const realm::CourtValueCheck cv = realm::checkCourtValue(edtCourtValue->text());
    if (cv.resetToZero)
        writeBox(edtCourtValue, QStringLiteral("0"));  // runs this handler again, nested, for 0
    const realm::Diplomacy d = realm::diplomacy(cv.value, cbRoyalFacade->checkState());
    pnlDiploMod->setText(d.caption);
    QWidget* const modifierControls[] = {Label68, Label10, Label11, Label57, dedtRODiplomacyCheck, edtDipTotalMod};
    if (!d.controlsShown) {
        writeBox(edtDipTotalMod, d.totalModifier);
        for (QWidget* w : modifierControls)
            w->hide();
        return;
    }
    for (QWidget* w : modifierControls)
        w->show();
    writeBox(edtDipTotalMod, d.totalModifier);
}

void TfrmRealmDetails::dedtShipMaintChange()
{
    writeBox(edtMaintTotal, realm::maintenanceTotal({.ship = dedtShipMaint->text(),
                                                     .province = dedtProvMaint->text(),
                                                     .fort = dedtFortMaint->text(),
                                                     .palace = edtPalaceMaint->text(),
                                                     .army = dedtArmyMaint->text(),
                                                     .construction = dedtConstructionCosts->text(),
                                                     .castles = dedtTotalCastles->text(),
                                                     .courtExpenditure = dedtCourtExpenditure->text()}));
}

void TfrmRealmDetails::dedtSeaGBChange()
{
    const realm::TradeRoutes t = realm::tradeRoutes(
        {.landGB = dedtLandGB->text(), .seaGB = dedtSeaGB->text(), .thief = cbThief->checkState()});
    writeBox(edtTRIncome, t.income);
    writeBox(edtLandRP, t.landRP);
    writeBox(edtSeaRP, t.seaRP);
}

void TfrmRealmDetails::dedtProvinceGBChange()
{
    writeBox(edtTotalGB, realm::totalGB({.province = dedtProvinceGB->text(),
                                         .guild = dedtGuildGB->text(),
                                         .temple = dedtTempleGB->text(),
                                         .law = dedtLawIncome->text(),
                                         .tradeRoutes = edtTRIncome->text()}));
}

void TfrmRealmDetails::dedtBloodlineScoreChange()
{
    writeBox(edtTotalRP, realm::totalRP({.possibleRP = dedtPossibleRP->text(),
                                         .bloodlineScore = dedtBloodlineScore->text(),
                                         .leyLineMaint = dedtLeyLineMaint->text(),
                                         .vassalRP = dedtVassalRP->text()}));
}

void TfrmRealmDetails::runFigures(const std::vector<void (TfrmRealmDetails::*)()>& handlers)
{
    // A figure that meets a text that is not a number stops there; the
    // others go on. A bad text read by several figures of one change is told
    // once, when the change and all it set off have run; a sign typed before
    // its digits is such a text, and its figures keep what they show.
    ++figureDepth_;
    for (auto h : handlers) {
        try {
            (this->*h)();
        } catch (const std::exception& e) {
            const QString text = QString::fromUtf8(e.what());
            if (!figureErrors_.contains(text))
                figureErrors_.append(text);
        } catch (...) {
            figureErrors_.append(QStringLiteral("Unknown error"));
        }
    }
    if (--figureDepth_ > 0)
        return;
    for (const QString& text : std::exchange(figureErrors_, {}))
        dbaware::showError(this, text);
}

void TfrmRealmDetails::RefreshFigures()
{
    runFigures({&TfrmRealmDetails::dedtPalaceValueChange, &TfrmRealmDetails::edtContribChange,
                &TfrmRealmDetails::edtCourtValueChange, &TfrmRealmDetails::dedtShipMaintChange,
                &TfrmRealmDetails::dedtSeaGBChange, &TfrmRealmDetails::dedtProvinceGBChange,
                &TfrmRealmDetails::dedtBloodlineScoreChange});
}
