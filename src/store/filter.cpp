// The filter parser, the writers of filter texts, and their compilation to
// SQL conditions with bound parameters.
#include "store/filter.h"

#include "store/error.h"
#include "store/int_text.h"
#include "store/sqlite.h"

#include <cctype>

namespace store {

namespace {

[[noreturn]] void malformed(std::string_view text, const std::string& why)
{
    throw StoreError(msg::malformedFilter(why, text));
}

bool isSpace(char c) { return c == ' ' || c == '\t'; }
bool isNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '/';
}

// The smallest text above every text that begins with `prefix`, in byte order;
// empty when there is none.
std::string successor(std::string prefix)
{
    while (!prefix.empty()) {
        unsigned char last = static_cast<unsigned char>(prefix.back());
        if (last < 0xFF) {
            prefix.back() = static_cast<char>(last + 1);
            return prefix;
        }
        prefix.pop_back();
    }
    return prefix;
}

}  // namespace

SqlCondition whereFor(const TableLayout& layout, const Filter& filter, int firstParam)
{
    SqlCondition w;
    int n = firstParam;
    auto param = [&](Value v) {
        w.params.push_back(std::move(v));
        return "?" + std::to_string(n++);
    };
    std::vector<std::string> parts;
    for (const Condition& c : filter.conditions) {
        const int col = layout.columnIndex(c.column);
        if (col < 0)
            throw StoreError(msg::fieldNotFound(c.column));
        const Column& column = layout.columns[static_cast<std::size_t>(col)];
        const std::string q = sql::quoteIdentifier(column.name);
        const bool textual = column.type == ColumnType::Text || column.type == ColumnType::Memo;
        if (c.prefix && !textual)
            throw StoreError(msg::prefixNeedsText(column.name));
        if (textual) {
            if (c.prefix) {
                if (c.value.empty())
                    continue;  // every row begins with nothing
                // A range rather than LIKE: case-sensitive and served by the index.
                const std::string hi = successor(c.value);
                std::string part = q + " >= " + param(c.value);
                if (!hi.empty())
                    part += " AND " + q + " < " + param(hi);
                parts.push_back(part);
            } else if (c.value.empty()) {
                parts.push_back(layout.isKeyText(col) ? q + " = ''" : "(" + q + " IS NULL OR " + q + " = '')");
            } else {
                parts.push_back(q + " = " + param(c.value));
            }
            continue;
        }
        if (c.value.empty()) {
            parts.push_back(q + " IS NULL");
            continue;
        }
        if (column.type == ColumnType::Logical) {
            const bool yes = equalsNoCase(c.value, "true");
            if (!yes && !equalsNoCase(c.value, "false"))
                throw StoreError(msg::notBoolean(c.value, column.name));
            parts.push_back(q + " = " + param(std::int64_t(yes ? 1 : 0)));
            continue;
        }
        const auto i = parseInteger(c.value);
        if (!i)
            throw StoreError(msg::notInteger(c.value, column.name));
        parts.push_back(q + " = " + param(std::int64_t(*i)));
    }
    if (parts.empty()) {
        w.sql = "1";
        return w;
    }
    for (std::size_t i = 0; i < parts.size(); ++i)
        w.sql += (i ? " AND " : "") + parts[i];
    return w;
}

Filter parseFilter(std::string_view text)
{
    Filter f;
    std::size_t i = 0;
    auto skip = [&] {
        while (i < text.size() && isSpace(text[i]))
            ++i;
    };
    skip();
    if (i == text.size())
        return f;
    for (;;) {
        skip();
        std::size_t start = i;
        while (i < text.size() && isNameChar(text[i]))
            ++i;
        if (i == start)
            malformed(text, "column name expected");
        Condition c;
        c.column = std::string(text.substr(start, i - start));
        skip();
        if (i == text.size() || text[i] != '=')
            malformed(text, "'=' expected after " + c.column);
        ++i;
        skip();
        if (i == text.size() || text[i] != '\'')
            malformed(text, "quoted value expected after " + c.column + "=");
        ++i;
        bool closed = false;
        while (i < text.size()) {
            char ch = text[i];
            if (ch == '\'') {
                if (i + 1 < text.size() && text[i + 1] == '\'') {
                    c.value += '\'';
                    i += 2;
                    continue;
                }
                ++i;
                closed = true;
                break;
            }
            if (ch == '*') {
                if (i + 1 < text.size() && text[i + 1] == '*') {
                    c.value += '*';
                    i += 2;
                    continue;
                }
                if (i + 1 < text.size() && text[i + 1] == '\'' && !(i + 2 < text.size() && text[i + 2] == '\'')) {
                    c.prefix = true;
                    ++i;
                    continue;
                }
            }
            c.value += ch;
            ++i;
        }
        if (!closed)
            malformed(text, "closing quote missing");
        f.conditions.push_back(std::move(c));
        skip();
        if (i == text.size())
            return f;
        if (i + 3 <= text.size() && std::tolower(static_cast<unsigned char>(text[i])) == 'a' &&
            std::tolower(static_cast<unsigned char>(text[i + 1])) == 'n' &&
            std::tolower(static_cast<unsigned char>(text[i + 2])) == 'd' &&
            (i + 3 == text.size() || isSpace(text[i + 3]))) {
            i += 3;
            skip();
            if (i == text.size())
                malformed(text, "comparison expected after 'and'");
            continue;
        }
        malformed(text, "unexpected text '" + std::string(text.substr(i)) + "'");
    }
}

std::string quoteFilterValue(std::string_view value)
{
    std::string out = "'";
    for (char c : value) {
        if (c == '\'' || c == '*')
            out += c;
        out += c;
    }
    return out + "'";
}

std::string prefixFilter(std::string_view column, std::string_view text)
{
    std::string q = quoteFilterValue(text);
    q.insert(q.size() - 1, "*");
    return std::string(column) + "=" + q;
}

}  // namespace store
