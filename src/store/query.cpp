// Running the realm sheet's query with its values bound as parameters.
#include "store/query.h"

#include <sqlite3.h>

#include <algorithm>

#include "store/database.h"
#include "store/error.h"
#include "store/filter.h"
#include "store/session.h"
#include "store/table_sql.h"
#include "store/utf8.h"

namespace store {

Query::Query(Session& session) : session_(session) {}

Query::~Query() = default;

void Query::open(const std::string& alias, const std::string& tableName,
                 const std::vector<std::pair<std::string, std::string>>& equals,
                 const std::vector<std::string_view>& columns)
{
    close();
    auto [db, layout, schema] = session_.findTable(alias, tableName);
    Filter filter;
    for (const auto& [column, value] : equals)
        filter.conditions.push_back(Condition{column, value, false});
    const SqlCondition where = whereFor(*layout, filter, 1);
    std::vector<int> picked;
    for (const std::string_view name : columns) {
        const int i = layout->columnIndex(name);
        if (i < 0)
            throw StoreError(msg::fieldNotFound(name));
        picked.push_back(i);
    }
    if (columns.empty())
        for (int i = 0; i < static_cast<int>(layout->columns.size()); ++i)
            picked.push_back(i);
    std::string cols;
    for (const int i : picked)
        cols += (cols.empty() ? "" : ", ") + sql::quoteIdentifier(layout->columns[static_cast<std::size_t>(i)].name);
    const std::string order = TableSql(*layout, schema).orderBy(false);
    try {
        st_ = sql::Statement(db->connection(), "SELECT " + cols + " FROM " + schema + "." +
                                                   sql::quoteIdentifier(layout->name) + " WHERE " + where.sql +
                                                   " ORDER BY " + order);
        for (std::size_t i = 0; i < where.params.size(); ++i) {
            const Value& v = where.params[i];
            if (std::holds_alternative<std::int64_t>(v))
                st_.bind(static_cast<int>(i + 1), std::get<std::int64_t>(v));
            else
                st_.bind(static_cast<int>(i + 1), std::string_view(std::get<std::string>(v)));
        }
    } catch (const sql::SqlError& e) {
        throw StoreError(msg::cannotRead(layout->displayName, e.what()));
    }
    db_ = std::move(db);
    layout_ = layout;
    picked_ = std::move(picked);
    open_ = true;
    fetch();
}

void Query::close()
{
    st_ = sql::Statement();
    db_.reset();
    row_.clear();
    picked_.clear();
    open_ = false;
    eof_ = true;
}

void Query::fetch()
{
    try {
        if (st_.step()) {
            row_.resize(picked_.size());
            for (std::size_t i = 0; i < row_.size(); ++i) {
                const int c = static_cast<int>(i);
                if (layout_->columns[static_cast<std::size_t>(picked_[i])].type == ColumnType::Logical) {
                    row_[i] = st_.isNull(c) ? "" : st_.int64(c) ? "True" : "False";  // as a table object shows it
                } else if (const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_.get(), c))) {
                    // Into the buffer the field had on the last row: no allocation per field.
                    row_[i].assign(p, static_cast<std::size_t>(sqlite3_column_bytes(st_.get(), c)));
                    if (!isValidUtf8(row_[i]))
                        row_[i] = withInvalidUtf8Replaced(row_[i]);  // as a table object shows it
                } else {
                    row_[i].clear();  // NULL
                }
            }
            eof_ = false;
            return;
        }
    } catch (const sql::SqlError& e) {
        eof_ = true;
        throw StoreError(msg::cannotRead(layout_->displayName, e.what()));
    }
    // Done: release the statement's read lock at once.
    st_.reset();
    row_.clear();
    eof_ = true;
}

void Query::next()
{
    if (!open_)
        throw StoreError(msg::notOpen, StoreError::Code::NotOpen);
    if (!eof_)
        fetch();
}

std::string Query::text(std::string_view column) const
{
    if (!open_)
        throw StoreError(msg::notOpen, StoreError::Code::NotOpen);
    const int i = layout_->columnIndex(column);
    // Every column read: the row is in the layout's order.
    const auto at = picked_.size() == layout_->columns.size() || i < 0
                        ? picked_.begin() + std::max(i, 0)
                        : std::find(picked_.begin(), picked_.end(), i);
    if (i < 0 || at == picked_.end())
        throw StoreError(msg::fieldNotFound(column));
    if (eof_)
        return {};
    return row_[static_cast<std::size_t>(at - picked_.begin())];
}

std::string_view Query::field(std::size_t position) const
{
    if (!open_)
        throw StoreError(msg::notOpen, StoreError::Code::NotOpen);
    if (position >= picked_.size())
        throw StoreError(msg::fieldNotFound(std::to_string(position)));
    if (eof_)
        return {};
    return row_[position];
}

}  // namespace store
