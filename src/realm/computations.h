#pragma once
#include <QString>
#include <Qt>

#include <cstdint>
#include <stdexcept>

#include "dbaware/text.h"

// The game arithmetic behind the realm window's grey boxes, apart from the
// window so that it can be tested on its own. Every function takes the texts
// that the controls show and gives the texts to write; the window's handlers
// only read controls, call one function here and write the boxes (each box
// only when its text really differs, so that the cascades run as they should).
//
// Texts are converted in the order of the fields of each input struct, which
// is the order the handler reads its controls in; designated initialisers
// keep a handler's call in that order. The first text that does not convert
// throws ConversionError before anything is returned, so a failing handler
// writes nothing after the point where the error arose.
//
// Sums are worked out in 64 bits: pasted numbers near the 32-bit limits give
// their true sum rather than a wrapped one, and the boxes that hold such sums
// (court value, trade route income) read back as that true value.
namespace realm {

// "'<text>' is not a valid integer value", with the control's text as it
// stands. Let it escape the handler: the window's error box shows it with the
// full stop added and the computation stops there.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const QString& text);
};

// Nothing left once the characters with codes up to 32 are removed from both
// ends: the rule of every box in the program.
using dbaware::isBlank;

// The number in an input control (a bound edit). Blank is 0 and is not
// converted; otherwise the text as it stands must be: leading spaces, then an
// optional sign and decimal digits from -2147483647 to 2147483647, or "$" and
// at most eight significant hexadecimal digits taken as a 32-bit pattern
// ("$FFFFFFFF" is -1), and nothing after the digits. Throws ConversionError,
// a sign alone included.
std::int64_t readNumber(const QString& text);

// The number in a computed box that is read again (edtContrib, edtCourtValue,
// edtPalaceMaint, edtTRIncome). As readNumber, but also takes back the
// decimal sums beyond 32 bits that this file writes.
std::int64_t readFigure(const QString& text);

// Plain decimal: "-" for negatives, no plus sign, no leading zeros, "0".
QString figureText(std::int64_t value);

// Whether a check box counts as checked: its grey state (a field with no
// value) counts as not checked. Pass checkState(), not isChecked(), which is
// true for the grey state.
bool isTicked(Qt::CheckState state);

// --- Palace ---------------------------------------------------------------

// A sixth of the palace value, the fraction dropped toward zero.
std::int64_t palaceContribution(std::int64_t palaceValue);
// 1 for a palace value above 0, else 0.
std::int64_t palaceMaintenance(std::int64_t palaceValue);

struct PalaceFigures {
    QString contrib;      // for edtContrib
    QString palaceMaint;  // for edtPalaceMaint
};

// dedtPalaceValueChange (on a change of dedtPalaceValue).
// Reads dedtPalaceValue. Writes contrib to edtContrib (a change there runs
// edtContribChange at once), then palaceMaint to edtPalaceMaint.
PalaceFigures palaceFigures(const QString& palaceValue);

// --- Court value and diplomacy --------------------------------------------

struct CourtValueInputs {
    QString contrib;           // edtContrib
    QString courtExpenditure;  // dedtCourtExpenditure
};

// edtContribChange (on a change of edtContrib or dedtCourtExpenditure).
// Reads edtContrib, then dedtCourtExpenditure. Writes the result to
// edtCourtValue (a change there runs edtCourtValueChange at once).
QString courtValue(const CourtValueInputs& in);

struct CourtValueCheck {
    std::int64_t value;  // the court value, 0 or more
    bool resetToZero;    // the box was blank or negative: write "0" to it
};

// Step one of edtCourtValueChange (on a change of edtCourtValue or a click of
// cbRoyalFacade): reads edtCourtValue. A blank or negative court value counts
// as 0, and the handler first writes "0" to edtCourtValue when resetToZero is
// set; that change runs edtCourtValueChange again, nested, which does the
// whole job for 0, so the outer run may go on with `value` (its writes then
// change nothing) or return.
CourtValueCheck checkCourtValue(const QString& courtValue);

// The caption of pnlDiploMod and the base modifier for a court value:
//   0 "No Diplomacy Possible" 0;  1-2 "-4 to Diplomacy Actions" -4;
//   3-5 "-2 to Diplomacy Actions" -2;  6-8 "No Modifier to Diplomacy Actions" 0;
//   9 or more "+3 to Diplomacy Actions" +3.
struct ModifierBand {
    QString caption;
    int modifier;
};
ModifierBand modifierBand(std::int64_t courtValue);

// The text of edtDipTotalMod for a possible diplomacy: "+" before a positive
// number, plain otherwise ("0", never "+0").
QString effectiveModifierText(int modifier);

struct Diplomacy {
    QString caption;        // for pnlDiploMod
    bool controlsShown;     // the six modifier controls
    QString totalModifier;  // for edtDipTotalMod
};

// Step two of edtCourtValueChange: takes checkCourtValue's value and reads
// cbRoyalFacade (its checkState()), which counts only for a court value
// above 0. The handler sets pnlDiploMod's caption to `caption`; then,
// if controlsShown is false, writes totalModifier ("N/A") to edtDipTotalMod
// and hides Label68, Label10, Label11, Label57, dedtRODiplomacyCheck,
// edtDipTotalMod in this order; if it is true, shows the same six in the same
// order and then writes totalModifier to edtDipTotalMod.
Diplomacy diplomacy(std::int64_t courtValue, Qt::CheckState royalFacade);

// --- Maintenance ----------------------------------------------------------

struct MaintenanceInputs {
    QString ship;              // dedtShipMaint
    QString province;          // dedtProvMaint
    QString fort;              // dedtFortMaint
    QString palace;            // edtPalaceMaint
    QString army;              // dedtArmyMaint
    QString construction;      // dedtConstructionCosts
    QString castles;           // dedtTotalCastles
    QString courtExpenditure;  // dedtROCourtExpenditure
};

// dedtShipMaintChange (on a change of dedtProvMaint, dedtArmyMaint,
// dedtShipMaint, dedtFortMaint, dedtTotalCastles or dedtConstructionCosts;
// not of edtPalaceMaint or the court expenditure).
// Reads the eight controls in the order above. Writes edtMaintTotal.
QString maintenanceTotal(const MaintenanceInputs& in);

// --- Trade routes and income ----------------------------------------------

struct TradeRouteInputs {
    QString landGB;        // dedtLandGB
    QString seaGB;         // dedtSeaGB
    Qt::CheckState thief;  // cbThief->checkState()
};

struct TradeRoutes {
    QString income;  // for edtTRIncome
    QString landRP;  // for edtLandRP
    QString seaRP;   // for edtSeaRP
};

// dedtSeaGBChange (on a change of dedtLandGB or dedtSeaGB, or a click of
// cbThief). Reads dedtLandGB, dedtSeaGB, cbThief. Writes income to
// edtTRIncome (a change there runs dedtProvinceGBChange at once), then
// landRP to edtLandRP and seaRP to edtSeaRP. A thief's RP boxes take the two
// GB texts as they stand, unconverted (a blank stays blank); anyone else's
// take "0".
TradeRoutes tradeRoutes(const TradeRouteInputs& in);

struct GoldInputs {
    QString province;     // dedtProvinceGB
    QString guild;        // dedtGuildGB
    QString temple;       // dedtTempleGB
    QString law;          // dedtLawIncome
    QString tradeRoutes;  // edtTRIncome
};

// dedtProvinceGBChange (on a change of dedtProvinceGB, dedtTempleGB,
// dedtGuildGB, dedtLawIncome or edtTRIncome).
// Reads the five controls in the order above. Writes edtTotalGB.
QString totalGB(const GoldInputs& in);

struct RegencyInputs {
    QString possibleRP;      // dedtPossibleRP
    QString bloodlineScore;  // dedtBloodlineScore
    QString leyLineMaint;    // dedtLeyLineMaint (the editable one on "Magic")
    QString vassalRP;        // dedtVassalRP
};

// dedtBloodlineScoreChange (on a change of dedtBloodlineScore, dedtPossibleRP
// or dedtVassalRP; not of dedtLeyLineMaint).
// Reads the four controls in the order above. Writes edtTotalRP: the
// smaller of Possible RP and Bloodline Score, less Ley Line Maint, plus RP
// From Vassals.
QString totalRP(const RegencyInputs& in);

}  // namespace realm
