// Field access and conversion of a table object's current record.
#include "store/record_buffer.h"

#include "store/error.h"
#include "store/int_text.h"
#include "store/utf8.h"

namespace store {

Value valueFromText(const Column& column, std::string_view text)
{
    if (column.type == ColumnType::AutoInc)
        throw StoreError(msg::fieldReadOnly(column.name));
    if (text.empty())
        return Value{};
    switch (column.type) {
    case ColumnType::Text:
    case ColumnType::Memo: {
        // Only valid UTF-8 has a count of characters to hold to.
        const std::optional<std::size_t> characters = utf8Characters(text);
        if (!characters)
            throw StoreError(msg::notUtf8(column.name));
        if (column.type == ColumnType::Text && *characters > static_cast<std::size_t>(column.size))
            throw StoreError(msg::tooLong(column.name, column.size));
        return std::string(text);
    }
    case ColumnType::Short: {
        const auto i = parseInteger(text);
        if (!i)
            throw StoreError(msg::notInteger(text, column.name));
        if (*i < -32768 || *i > 32767)
            throw StoreError(msg::outOfRange(formatG(*i), column.name, formatG(-32768), formatG(32767)));
        return std::int64_t(*i);
    }
    case ColumnType::Logical:
        if (equalsNoCase(text, "True"))
            return std::int64_t(1);
        if (equalsNoCase(text, "False"))
            return std::int64_t(0);
        throw StoreError(msg::notBoolean(text, column.name));
    case ColumnType::AutoInc:
        break;
    }
    throw StoreError(msg::fieldReadOnly(column.name));
}

std::string textOf(const Value& v, ColumnType type)
{
    if (std::holds_alternative<std::string>(v))
        return std::get<std::string>(v);
    if (std::holds_alternative<std::int64_t>(v)) {
        const std::int64_t i = std::get<std::int64_t>(v);
        if (type == ColumnType::Logical)
            return i ? "True" : "False";
        return std::to_string(i);
    }
    return {};
}

void RecordBuffer::reset(const TableLayout* layout)
{
    layout_ = layout;
    values_.assign(layout ? layout->columns.size() : 0, Value{});
    original_ = values_;
    key_.clear();
    rowid_ = 0;
    hasRecord_ = false;
}

void RecordBuffer::take(Row&& row)
{
    values_ = std::move(row.values);
    original_ = values_;
    rowid_ = row.mark.rowid;
    key_ = std::move(row.mark.key);
    hasRecord_ = true;
}

void RecordBuffer::empty()
{
    std::fill(values_.begin(), values_.end(), Value{});
    original_ = values_;
}

void RecordBuffer::clear()
{
    empty();
    hasRecord_ = false;
}

Bookmark RecordBuffer::mark() const
{
    Bookmark b;
    if (!hasRecord_)
        return b;
    b.rowid = rowid_;
    b.key = key_;
    b.valid = true;
    return b;
}

std::vector<Value> RecordBuffer::keyAsWritten(std::int64_t rowid) const
{
    std::vector<Value> key;
    for (int k : layout_->keyColumns)
        key.push_back(static_cast<std::size_t>(k) < values_.size() &&
                              layout_->columns[static_cast<std::size_t>(k)].type == ColumnType::AutoInc
                          ? Value(rowid)
                          : stored(k));
    return key;
}

void RecordBuffer::storedAs(std::int64_t rowid)
{
    key_ = keyAsWritten(rowid);
    rowid_ = rowid;
    original_ = values_;  // what the file now holds
    hasRecord_ = true;
}

const Value& RecordBuffer::value(int column) const
{
    if (column < 0 || column >= size())
        throw StoreError(msg::fieldIndexOutOfRange);
    return values_[static_cast<std::size_t>(column)];
}

std::string RecordBuffer::text(int column) const
{
    const Value& v = value(column);
    return textOf(v, layout_->columns[static_cast<std::size_t>(column)].type);
}

bool RecordBuffer::asBool(int column) const
{
    const Value& v = value(column);
    if (std::holds_alternative<std::int64_t>(v))
        return std::get<std::int64_t>(v) != 0;
    if (std::holds_alternative<std::string>(v))
        return equalsNoCase(std::get<std::string>(v), "True");
    return false;
}

Value RecordBuffer::stored(int column) const
{
    const Value& v = value(column);
    if (isEmpty(v) && layout_->isKeyText(column))
        return std::string();
    return v;
}

void RecordBuffer::set(int column, Value v)
{
    value(column);  // range check
    values_[static_cast<std::size_t>(column)] = std::move(v);
}

const Value& RecordBuffer::original(int column) const
{
    value(column);  // range check
    return original_[static_cast<std::size_t>(column)];
}

std::vector<int> RecordBuffer::changedColumns() const
{
    std::vector<int> changed;
    for (int i = 0; i < size(); ++i)
        if (values_[static_cast<std::size_t>(i)] != original_[static_cast<std::size_t>(i)])
            changed.push_back(i);
    return changed;
}

}  // namespace store
