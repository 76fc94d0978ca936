#include "paradox/campaign_writer.h"

#include <stdexcept>

namespace pxtest {

using paradox::FieldType;
using store::ColumnType;

TableWriter writerFor(const store::TableLayout& layout, int codePage)
{
    TableWriter w;
    w.codePage = codePage;
    w.blockKib = 4;
    w.tableName = layout.displayName;
    for (const store::Column& c : layout.columns) {
        switch (c.type) {
        case ColumnType::Text: w.fields.push_back({c.name, FieldType::Alpha, c.size}); break;
        case ColumnType::Short: w.fields.push_back({c.name, FieldType::Short, 2}); break;
        case ColumnType::Logical: w.fields.push_back({c.name, FieldType::Logical, 1}); break;
        case ColumnType::Memo: w.fields.push_back({c.name, FieldType::Memo, 250}); break;
        case ColumnType::AutoInc: w.fields.push_back({c.name, FieldType::AutoInc, 4}); break;
        }
    }
    return w;
}

std::vector<In> rowOf(const TableWriter& writer, const std::vector<std::pair<std::string, In>>& values)
{
    std::vector<In> row(writer.fields.size());
    for (const auto& [name, value] : values) {
        std::size_t i = 0;
        while (i < writer.fields.size() && writer.fields[i].name != name)
            ++i;
        if (i == writer.fields.size())
            throw std::invalid_argument("no field " + name);
        row[i] = value;
    }
    return row;
}

std::filesystem::path writeTable(const TableWriter& writer, const std::filesystem::path& folder,
                                 const std::string& name)
{
    const Files files = writer.write();
    const std::filesystem::path table = folder / name;
    writeFile(table.string(), files.db);
    if (!files.mb.empty())
        writeFile((folder / (table.stem().string() + ".MB")).string(), files.mb);
    return table;
}

}  // namespace pxtest
