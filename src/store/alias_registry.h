// The database aliases: named folders kept in a small text file of the
// program's own, looked up by name without regard to letter case.
#pragma once
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace store {

struct Alias {
    std::string name;
    std::string type = "STANDARD";
    // Parameters by name, such as "PATH" and "DEFAULT DRIVER".
    std::map<std::string, std::string> params;

    std::string path() const;
};

// The engine's named aliases, kept in a small text file of their own:
//   [NAME]
//   TYPE=STANDARD
//   PATH=/home/user/vddb/Data/
//   DEFAULT DRIVER=Paradox
// The file is read on every call and replaced whole on every change.
class AliasRegistry {
public:
    explicit AliasRegistry(std::filesystem::path file);
    // $XDG_CONFIG_HOME/vddb/aliases.conf, with ~/.config in place of an unset
    // or relative $XDG_CONFIG_HOME.
    static std::filesystem::path defaultFile();

    const std::filesystem::path& file() const { return file_; }
    std::vector<std::string> names() const;
    // Looks a name up without regard to letter case.
    std::optional<Alias> find(const std::string& name) const;
    // Registers or replaces an alias. When `persist` is set the file is
    // rewritten atomically (a temporary file renamed over it); otherwise the
    // alias lasts for this object only. Throws StoreError on failure.
    void add(const Alias& alias, bool persist);

private:
    std::vector<Alias> load() const;
    void save(const std::vector<Alias>& aliases) const;

    std::filesystem::path file_;
    std::vector<Alias> transient_;
};

}  // namespace store
