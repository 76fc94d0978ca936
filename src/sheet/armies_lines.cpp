#include "sheet/armies_lines.h"

#include <QFontMetricsF>
#include <QTextDocument>

#include <limits>

#include "dbaware/dbmemo.h"

namespace sheet {

ArmiesLines::ArmiesLines(dbaware::DBMemo& memo) : memo_(memo)
{
    memo_.displayLines();  // gives the memo, never shown, its size
    const QTextDocument* doc = memo_.document();
    // The memo lays its text out at its viewport's width, less the margins.
    const int width = memo_.viewport()->width();
    room_ = width > 0 ? width - 2 * doc->documentMargin() : std::numeric_limits<qreal>::max();
    const QFontMetricsF metrics(doc->defaultFont());
    // Pairs of letters may be kerned apart a little: a quarter of an
    // average character each covers that with room to spare.
    slack_ = metrics.averageCharWidth() / 4;
    for (char16_t c = 0; c < advance_.size(); ++c)
        advance_[c] = plain(c) ? metrics.horizontalAdvance(QChar(c)) + slack_ : -1;
}

QStringList ArmiesLines::operator()(const QString& text)
{
    if (text.isEmpty())
        return {};
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'\r' && text[i] != u'\n')
            continue;
        if (!fits(QStringView(text).mid(start, i - start)))
            return laidOut(text);
        lines << text.mid(start, i - start);
        if (i + 1 < text.size() && text[i] == u'\r' && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    return lines;
}

bool ArmiesLines::asciiLines(std::string_view text, std::vector<std::string_view>& lines) const
{
    lines.clear();
    if (text.empty())
        return true;
    std::size_t start = 0;
    qreal width = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const auto c = i < text.size() ? static_cast<unsigned char>(text[i]) : '\n';
        if (c != '\r' && c != '\n') {
            if (c >= 0x80 || advance_[c] < 0)
                return false;
            width += advance_[c];
            continue;
        }
        if (width > room_)
            return false;
        lines.push_back(text.substr(start, i - start));
        if (i + 1 < text.size() && c == '\r' && text[i + 1] == '\n')
            ++i;
        start = i + 1;
        width = 0;
    }
    return true;
}

bool ArmiesLines::fits(QStringView line) const
{
    qreal width = 0;
    for (const QChar c : line) {
        if (c.unicode() >= advance_.size() || advance_[c.unicode()] < 0)
            return false;
        width += advance_[c.unicode()];
    }
    return width <= room_;
}

QStringList ArmiesLines::laidOut(const QString& text)
{
    bool cut = false;
    memo_.setPlainText(dbaware::DBMemo::shownField(text.toStdString(), true, &cut));
    return memo_.displayLines();
}

}  // namespace sheet
