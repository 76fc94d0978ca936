#include "store/filter.h"

#include "store/error.h"

#include <cctype>

namespace store {

namespace {

[[noreturn]] void malformed(std::string_view text, const std::string& why)
{
    throw StoreError("Filter expression incorrect: " + why + " in \"" + std::string(text) + "\"");
}

bool isSpace(char c) { return c == ' ' || c == '\t'; }
bool isNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '/';
}

}  // namespace

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

std::string recordFilter(std::string_view gameName, std::string_view characterName)
{
    return "Character_Name=" + quoteFilterValue(characterName) + " and Game_Name=" + quoteFilterValue(gameName);
}

std::string prefixFilter(std::string_view column, std::string_view text)
{
    std::string q = quoteFilterValue(text);
    q.insert(q.size() - 1, "*");
    return std::string(column) + "=" + q;
}

}  // namespace store
