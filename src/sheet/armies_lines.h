#pragma once
#include <QString>
#include <QStringList>

#include <array>
#include <string_view>
#include <vector>

namespace dbaware {
class DBMemo;
}

namespace sheet {

// One province's armies as dmemArmies breaks them into lines. The memo lays
// out only a text with a line that might be wider than it: laying out a text
// costs as much as the rest of a province, and most armies are short lines of
// plain letters, whose width a table of character widths bounds safely.
class ArmiesLines {
public:
    explicit ArmiesLines(dbaware::DBMemo& memo);

    QStringList operator()(const QString& text);

    // The lines of a stored text whose bytes are all ASCII, as the above
    // gives them, without making a QString of it; false (and `lines` to be
    // ignored) when only the text itself can tell.
    bool asciiLines(std::string_view text, std::vector<std::string_view>& lines) const;

private:
    static bool plain(char16_t c) { return (c >= 0x20 && c < 0x7F) || (c > 0xA0 && c <= 0xFF && c != 0xAD); }
    bool fits(QStringView line) const;
    // The memo itself lays the text out, as it shows it.
    QStringList laidOut(const QString& text);

    dbaware::DBMemo& memo_;
    qreal room_ = 0;
    qreal slack_ = 0;
    std::array<qreal, 256> advance_{};
};

}  // namespace sheet
