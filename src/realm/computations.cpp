#include "realm/computations.h"
#include "dbaware/text.h"

#include <charconv>
#include <string>

#include "store/error.h"
#include "store/int_text.h"

namespace realm {

ConversionError::ConversionError(const QString& text)
    // A whole document pasted into a box is quoted only in part.
    : std::runtime_error("'" + store::msg::excerpt(text.toStdString()) + "' is not a valid integer value")
{
}

std::int64_t readNumber(const QString& text)
{
    if (isBlank(text))
        return 0;
    if (auto v = store::parseInteger(text.toStdString()))
        return *v;
    throw ConversionError(text);
}

namespace {

// Our own decimal text of a sum beyond 32 bits: leading spaces, an optional
// sign, digits, nothing else.
bool readWideDecimal(const std::string& s, std::int64_t& value)
{
    std::size_t i = s.find_first_not_of(' ');
    if (i == std::string::npos)
        return false;
    const bool plus = s[i] == '+';
    if (plus)
        ++i;
    if (i == s.size() || (plus && s[i] == '-'))
        return false;
    const char* end = s.data() + s.size();
    auto [ptr, ec] = std::from_chars(s.data() + i, end, value);
    return ec == std::errc() && ptr == end;
}

}  // namespace

std::int64_t readFigure(const QString& text)
{
    if (isBlank(text))
        return 0;
    const std::string s = text.toStdString();
    if (auto v = store::parseInteger(s))
        return *v;
    std::int64_t wide = 0;
    if (readWideDecimal(s, wide))
        return wide;
    throw ConversionError(text);
}

QString figureText(std::int64_t value) { return QString::number(static_cast<qlonglong>(value)); }

bool isTicked(Qt::CheckState state) { return state == Qt::Checked; }

std::int64_t palaceContribution(std::int64_t palaceValue) { return palaceValue / 6; }

std::int64_t palaceMaintenance(std::int64_t palaceValue) { return palaceValue > 0 ? 1 : 0; }

PalaceFigures palaceFigures(const QString& palaceValue)
{
    const std::int64_t v = readNumber(palaceValue);
    return {figureText(palaceContribution(v)), figureText(palaceMaintenance(v))};
}

QString courtValue(const CourtValueInputs& in)
{
    const std::int64_t c = readFigure(in.contrib);
    const std::int64_t e = readNumber(in.courtExpenditure);
    return figureText(c + e);
}

CourtValueCheck checkCourtValue(const QString& courtValue)
{
    if (isBlank(courtValue))
        return {0, true};
    const std::int64_t n = readFigure(courtValue);
    if (n < 0)
        return {0, true};
    return {n, false};
}

ModifierBand modifierBand(std::int64_t courtValue)
{
    if (courtValue <= 0)
        return {QStringLiteral("No Diplomacy Possible"), 0};
    if (courtValue <= 2)
        return {QStringLiteral("-4 to Diplomacy Actions"), -4};
    if (courtValue <= 5)
        return {QStringLiteral("-2 to Diplomacy Actions"), -2};
    if (courtValue <= 8)
        return {QStringLiteral("No Modifier to Diplomacy Actions"), 0};
    return {QStringLiteral("+3 to Diplomacy Actions"), 3};
}

QString effectiveModifierText(int modifier)
{
    return modifier > 0 ? QStringLiteral("+") + QString::number(modifier) : QString::number(modifier);
}

Diplomacy diplomacy(std::int64_t courtValue, Qt::CheckState royalFacade)
{
    const ModifierBand band = modifierBand(courtValue);
    // No court, no diplomacy: Royal Facade has nothing to improve.
    if (courtValue <= 0)
        return {band.caption, false, QStringLiteral("N/A")};
    const int m = band.modifier + (isTicked(royalFacade) ? 1 : 0);
    return {band.caption, true, effectiveModifierText(m)};
}

QString maintenanceTotal(const MaintenanceInputs& in)
{
    std::int64_t sum = readNumber(in.ship);
    sum += readNumber(in.province);
    sum += readNumber(in.fort);
    sum += readFigure(in.palace);
    sum += readNumber(in.army);
    sum += readNumber(in.construction);
    sum += readNumber(in.castles);
    sum += readNumber(in.courtExpenditure);
    return figureText(sum);
}

TradeRoutes tradeRoutes(const TradeRouteInputs& in)
{
    const std::int64_t l = readNumber(in.landGB);
    const std::int64_t s = readNumber(in.seaGB);
    if (isTicked(in.thief))
        return {figureText(l + s), in.landGB, in.seaGB};
    return {figureText(l + s), QStringLiteral("0"), QStringLiteral("0")};
}

QString totalGB(const GoldInputs& in)
{
    std::int64_t sum = readNumber(in.province);
    sum += readNumber(in.guild);
    sum += readNumber(in.temple);
    sum += readNumber(in.law);
    sum += readFigure(in.tradeRoutes);
    return figureText(sum);
}

QString totalRP(const RegencyInputs& in)
{
    const std::int64_t p = readNumber(in.possibleRP);
    const std::int64_t b = readNumber(in.bloodlineScore);
    const std::int64_t l = readNumber(in.leyLineMaint);
    const std::int64_t v = readNumber(in.vassalRP);
    // Possible RP counts only up to the Bloodline Score.
    return figureText((p < b ? p : b) - l + v);
}

}  // namespace realm
