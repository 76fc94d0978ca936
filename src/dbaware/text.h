// How the program reads a box's text everywhere: blanks and control
// characters (codes 0 to 32) at either end do not count.
#pragma once
#include <QString>

namespace dbaware {

inline QString trimmed(const QString& text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

// Nothing is left once the blanks and control characters are off.
inline bool isBlank(const QString& text) { return trimmed(text).isEmpty(); }

}  // namespace dbaware
