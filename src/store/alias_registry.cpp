// Reading and atomically rewriting the alias file.
#include "store/alias_registry.h"

#include "store/durable.h"
#include "store/error.h"
#include "store/paths.h"
#include "store/layout.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace store {

namespace fs = std::filesystem;

std::string Alias::path() const
{
    auto it = params.find("PATH");
    return it == params.end() ? std::string() : it->second;
}

AliasRegistry::AliasRegistry(fs::path file) : file_(std::move(file)) {}

// The file as lines with their own endings, the aliases read from it, and
// the first line that is not understood.
struct AliasRegistry::Parsed {
    struct Line {
        std::string text;  // without its line ending
        std::string end;   // "\r\n", "\n", or nothing for an unended last line
    };
    struct Found {
        Alias alias;
        std::size_t heading;               // its [NAME] line
        std::vector<std::size_t> settings;  // its KEY=VALUE lines
    };
    std::vector<Line> lines;
    std::vector<Found> aliases;
    std::string problem;  // empty when every line is understood
    std::string lineEnd = "\n";
};

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

AliasRegistry::Parsed AliasRegistry::parse() const
{
    Parsed p;
    std::error_code ec;
    if (!fs::exists(file_, ec) && !ec)
        return p;
    std::ifstream in(file_, std::ios::binary);
    std::ostringstream all;
    if (in)
        all << in.rdbuf();
    if (!in || in.bad()) {
        p.problem = "it cannot be read";
        return p;
    }
    const std::string text = all.str();
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t lf = text.find('\n', start);
        Parsed::Line line;
        line.text = text.substr(start, lf == std::string::npos ? std::string::npos : lf - start);
        if (lf != std::string::npos) {
            line.end = "\n";
            if (!line.text.empty() && line.text.back() == '\r') {
                line.text.pop_back();
                line.end = "\r\n";
            }
        }
        start = lf == std::string::npos ? text.size() : lf + 1;
        p.lines.push_back(std::move(line));
    }
    if (!p.lines.empty() && !p.lines.front().end.empty())
        p.lineEnd = p.lines.front().end;

    std::optional<std::size_t> current;  // the alias whose settings follow
    for (std::size_t i = 0; i < p.lines.size(); ++i) {
        const std::string& line = p.lines[i].text;
        auto notUnderstood = [&](const char* why) {
            if (p.problem.empty())
                p.problem = "line " + std::to_string(i + 1) + " " + why;
            current.reset();  // what follows belongs to no alias read
        };
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#' || line[first] == ';')
            continue;
        if (line.front() == '[') {
            const std::string name = line.size() >= 2 && line.back() == ']' ? line.substr(1, line.size() - 2) : "";
            if (name.empty() || name.find_first_of("[]") != std::string::npos) {
                notUnderstood("is not an alias heading");
                continue;
            }
            const bool twice = std::any_of(p.aliases.begin(), p.aliases.end(),
                                           [&](const Parsed::Found& f) { return equalsNoCase(f.alias.name, name); });
            if (twice) {
                notUnderstood("names an alias a second time");
                continue;
            }
            current = p.aliases.size();
            p.aliases.push_back({Alias{name, "STANDARD", {}}, i, {}});
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0 || isBlank(line[0]) || isBlank(line[eq - 1])) {
            notUnderstood("is not a setting");
            continue;
        }
        if (!current) {
            // Before any alias, or after a line not understood.
            notUnderstood("is a setting of no alias");
            continue;
        }
        Parsed::Found& owner = p.aliases[*current];
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        const bool twice = key == "TYPE" ? std::any_of(owner.settings.begin(), owner.settings.end(),
                                                       [&](std::size_t k) { return p.lines[k].text.starts_with("TYPE="); })
                                         : owner.alias.params.count(key) > 0;
        if (twice) {
            notUnderstood("gives a setting a second time");
            continue;
        }
        if (key == "TYPE")
            owner.alias.type = value;
        else
            owner.alias.params[key] = value;
        owner.settings.push_back(i);
    }
    return p;
}

void AliasRegistry::save(const std::string& text) const
{
    std::error_code ec;
    fs::create_directories(file_.parent_path(), ec);
    fs::path tmp = file_;
    tmp += ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out)
            throw StoreError(msg::cannotWriteAliases(utf8(file_)));
        out << text;
        out.close();
        if (!out) {
            fs::remove(tmp, ec);
            throw StoreError(msg::cannotWriteAliases(utf8(file_)));
        }
    }
    // Synced before its new name and its folder after, so that a power cut
    // leaves the old file or the new one, never an empty one.
    if (!renameDurably(tmp, file_, ec)) {
        fs::remove(tmp, ec);
        throw StoreError(msg::cannotReplaceAliases(utf8(file_)));
    }
}

std::vector<std::string> AliasRegistry::names() const
{
    std::vector<std::string> out;
    for (const auto& f : parse().aliases)
        out.push_back(f.alias.name);
    for (const auto& a : transient_)
        out.push_back(a.name);
    return out;
}

std::optional<Alias> AliasRegistry::find(const std::string& name) const
{
    for (const auto& a : transient_)
        if (equalsNoCase(a.name, name))
            return a;
    for (const auto& f : parse().aliases)
        if (equalsNoCase(f.alias.name, name))
            return f.alias;
    return std::nullopt;
}

void AliasRegistry::add(const Alias& alias, bool persist)
{
    if (alias.name.empty() || alias.name.find_first_of("[]\r\n") != std::string::npos)
        throw StoreError(msg::invalidAliasName(alias.name));
    for (const auto& [k, v] : alias.params)
        if (k.find_first_of("=\r\n") != std::string::npos || v.find_first_of("\r\n") != std::string::npos)
            throw StoreError(msg::invalidAliasParameter(alias.name));
    if (!persist) {
        std::erase_if(transient_, [&](const Alias& a) { return equalsNoCase(a.name, alias.name); });
        transient_.push_back(alias);
        return;
    }
    const Parsed p = parse();
    if (!p.problem.empty())
        throw StoreError("The alias file " + utf8(file_) + " is left as it is: " + p.problem);
    const std::string& end = p.lineEnd;
    std::string section = '[' + alias.name + ']' + end + "TYPE=" + alias.type + end;
    for (const auto& [k, v] : alias.params)
        section += k + '=' + v + end;

    const auto same = std::find_if(p.aliases.begin(), p.aliases.end(),
                                   [&](const Parsed::Found& f) { return equalsNoCase(f.alias.name, alias.name); });
    std::string text;
    for (std::size_t i = 0; i < p.lines.size(); ++i) {
        if (same != p.aliases.end()) {
            // The alias's own lines give way to its new ones, in its place.
            if (i == same->heading) {
                text += section;
                continue;
            }
            if (std::find(same->settings.begin(), same->settings.end(), i) != same->settings.end())
                continue;
        }
        text += p.lines[i].text + p.lines[i].end;
    }
    if (same == p.aliases.end()) {
        if (!p.lines.empty() && p.lines.back().end.empty())
            text += end;
        if (!p.lines.empty() && p.lines.back().text.find_first_not_of(" \t") != std::string::npos)
            text += end;
        text += section;
    }
    save(text);
}

}  // namespace store
