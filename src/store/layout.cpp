// What every table layout answers, and finding a layout in a catalogue.
#include "store/layout.h"

#include <cctype>

namespace store {

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

int TableLayout::columnIndex(std::string_view columnName) const
{
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (equalsNoCase(columns[i].name, columnName))
            return static_cast<int>(i);
    return -1;
}

int TableLayout::autoIncColumn() const
{
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].type == ColumnType::AutoInc)
            return static_cast<int>(i);
    return -1;
}

bool TableLayout::isKeyColumn(int column) const
{
    for (int k : keyColumns)
        if (k == column)
            return true;
    return false;
}

bool TableLayout::isKeyText(int column) const
{
    return isKeyColumn(column) && columns[static_cast<std::size_t>(column)].type == ColumnType::Text;
}

const TableLayout* Catalogue::find(std::string_view tableName) const
{
    std::string_view base = tableName;
    if (auto dot = base.rfind('.'); dot != std::string_view::npos)
        base = base.substr(0, dot);
    for (const auto& layout : tables)
        if (equalsNoCase(layout.name, base))
            return &layout;
    return nullptr;
}

}  // namespace store
