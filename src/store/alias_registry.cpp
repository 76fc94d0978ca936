// Reading and atomically rewriting the alias file.
#include "store/alias_registry.h"

#include "store/error.h"
#include "store/paths.h"
#include "store/layout.h"

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

fs::path AliasRegistry::defaultFile()
{
    fs::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && fs::path(xdg).is_absolute())
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = fs::path(home) / ".config";
#ifdef _WIN32
    else if (const char* appdata = std::getenv("APPDATA"); appdata && *appdata)
        base = appdata;
#endif
    else
        base = fs::temp_directory_path();
    return base / "vddb" / "aliases.conf";
}

std::vector<Alias> AliasRegistry::load() const
{
    std::vector<Alias> out;
    std::ifstream in(file_, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            out.push_back(Alias{line.substr(1, line.size() - 2), "STANDARD", {}});
            continue;
        }
        auto eq = line.find('=');
        if (eq == std::string::npos || out.empty())
            continue;
        std::string key = line.substr(0, eq);
        std::string value = line.substr(eq + 1);
        if (key == "TYPE")
            out.back().type = value;
        else
            out.back().params[key] = value;
    }
    return out;
}

void AliasRegistry::save(const std::vector<Alias>& aliases) const
{
    std::error_code ec;
    fs::create_directories(file_.parent_path(), ec);
    fs::path tmp = file_;
    tmp += ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out)
            throw StoreError(msg::cannotWriteAliases(utf8(tmp)));
        for (const auto& a : aliases) {
            out << '[' << a.name << "]\n" << "TYPE=" << a.type << '\n';
            for (const auto& [k, v] : a.params)
                out << k << '=' << v << '\n';
            out << '\n';
        }
        out.flush();
        if (!out)
            throw StoreError(msg::cannotWriteAliases(utf8(tmp)));
    }
    fs::rename(tmp, file_, ec);
    if (ec) {
        fs::remove(tmp, ec);
        throw StoreError(msg::cannotReplaceAliases(utf8(file_)));
    }
}

std::vector<std::string> AliasRegistry::names() const
{
    std::vector<std::string> out;
    for (const auto& a : load())
        out.push_back(a.name);
    for (const auto& a : transient_)
        out.push_back(a.name);
    return out;
}

std::optional<Alias> AliasRegistry::find(const std::string& name) const
{
    for (const auto& a : transient_)
        if (equalsNoCase(a.name, name))
            return a;
    for (const auto& a : load())
        if (equalsNoCase(a.name, name))
            return a;
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
    std::vector<Alias> all = load();
    std::erase_if(all, [&](const Alias& a) { return equalsNoCase(a.name, alias.name); });
    all.push_back(alias);
    save(all);
}

}  // namespace store
