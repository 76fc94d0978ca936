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
// Blank lines and comments (# or ;) may stand anywhere. The file is read on
// every call. A change rewrites only the lines of the alias it changes (its
// heading and settings) and keeps every other line byte for byte, line
// endings included; a file with a line of no known form, an alias or a
// setting given twice, is never rewritten, and its settings after such a line
// are read as no alias's.
class AliasRegistry {
public:
    explicit AliasRegistry(std::filesystem::path file);

    const std::filesystem::path& file() const { return file_; }
    std::vector<std::string> names() const;
    // Looks a name up without regard to letter case.
    std::optional<Alias> find(const std::string& name) const;
    // Registers or replaces an alias. When `persist` is set the file is
    // rewritten atomically (a temporary file renamed over it); otherwise the
    // alias lasts for this object only. Throws StoreError on failure, and
    // when the file holds what it does not understand.
    void add(const Alias& alias, bool persist);

private:
    struct Parsed;
    Parsed parse() const;
    void save(const std::string& text) const;

    std::filesystem::path file_;
    std::vector<Alias> transient_;
};

}  // namespace store
