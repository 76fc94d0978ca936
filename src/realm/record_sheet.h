#pragma once
#include <QString>

#include <functional>
#include <vector>

#include "sheet/sheet_print.h"

namespace store {
class Session;
}

namespace realm {

// The printed sheet's texts of a stored character record, for a character
// the realm window does not show: each box's text is its column's text, and
// the grey boxes are worked out from them as the window works them out.
// `field` gives a column's text. A number that does not convert throws
// ConversionError, as it would on the window.
sheet::RealmTexts recordTexts(const std::function<QString(const char*)>& field);

// The sheets of every character of `game`, in key order, each with its
// provinces.
std::vector<sheet::PrintedSheet> gameSheets(store::Session& session, const QString& game);

}  // namespace realm
