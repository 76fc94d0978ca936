// Paradox tables with a layout's columns, as the older program kept the
// campaign: for the tests and the benchmark of bringing old tables in.
#pragma once
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "paradox/table_writer.h"
#include "store/layout.h"

namespace pxtest {

// A writer whose fields are the layout's columns: A n, S, L, M 240, +.
TableWriter writerFor(const store::TableLayout& layout, int codePage = 1252);

// A row of the writer's fields with the named ones set and the rest empty.
std::vector<In> rowOf(const TableWriter& writer, const std::vector<std::pair<std::string, In>>& values);

// Writes the table as `folder`/`name` and, when it has memos, its memo file
// beside it (the same name with .MB). Returns the table file.
std::filesystem::path writeTable(const TableWriter& writer, const std::filesystem::path& folder,
                                 const std::string& name);

}  // namespace pxtest
