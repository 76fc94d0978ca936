#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "store/session.h"
#include "store/table.h"

namespace testing_support {

// A scratch folder with its own alias file; the alias VDDB points at Data/.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::filesystem::path& path() const { return path_; }
private:
    std::filesystem::path path_;
};

class StoreTest : public ::testing::Test {
protected:
    StoreTest();
    std::filesystem::path dataFolder() const { return temp_.path() / "Data"; }
    std::unique_ptr<store::Table> openTable(const std::string& name);
    // Posts one character record with the given names (and optional fields).
    void addCharacter(store::Table& t, const std::string& game, const std::string& name,
                      const std::vector<std::pair<std::string, std::string>>& fields = {});
    void addProvince(store::Table& t, const std::string& game, const std::string& name, const std::string& province);
    // The character of a province to come, unless it is stored.
    void addOwner(store::Table& t, const std::string& game, const std::string& name);
    // The values of one column over every row, in the object's order.
    std::vector<std::string> column(store::Table& t, const std::string& name);

    TempFolder temp_;
    store::Session session_;
};

}  // namespace testing_support
