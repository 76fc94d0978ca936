// The grid's columns, its cells as shown and written, and the new row it
// appends.
#include "dbaware/gridmodel.h"

#include <string_view>

#include "store/database.h"

namespace dbaware {

namespace {

constexpr std::size_t memoCellBytes = 1000;

QString cellText(const store::Value& v, store::ColumnType type)
{
    if (std::holds_alternative<std::int64_t>(v)) {
        const std::int64_t i = std::get<std::int64_t>(v);
        if (type == store::ColumnType::Logical)
            return i ? QStringLiteral("True") : QStringLiteral("False");
        return QString::number(i);
    }
    if (std::holds_alternative<std::string>(v)) {
        std::string_view s = std::get<std::string>(v);
        if (type == store::ColumnType::Memo) {
            // One line of a memo in a cell, and no more of it than a cell can
            // show: a memo written by another program may be huge.
            s = s.substr(0, s.find_first_of("\r\n"));
            if (s.size() > memoCellBytes) {
                std::size_t cut = memoCellBytes;
                while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80)
                    --cut;  // not inside a character
                s = s.substr(0, cut);
            }
        }
        return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    }
    return {};
}

}  // namespace

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {}

GridModel::~GridModel() = default;

void GridModel::setDataSource(DataSource* source)
{
    disconnect(onGone_);
    disconnect(onRecord_);
    disconnect(onState_);
    disconnect(onField_);
    beginResetModel();
    source_ = source;
    forgetRows();
    endResetModel();
    if (source_) {
        // A data source going first leaves an empty grid behind.
        onGone_ = connect(source_, &QObject::destroyed, this, [this] {
            beginResetModel();
            forgetRows();
            endResetModel();
        });
        onRecord_ = connect(source_, &DataSource::recordChanged, this, [this] { sync(true); });
        onState_ = connect(source_, &DataSource::stateChanged, this, [this] { sync(false); });
        onField_ = connect(source_, &DataSource::fieldChanged, this, &GridModel::onField);
    }
    sync(true);
}

void GridModel::setColumns(const QList<GridColumn>& columns)
{
    beginResetModel();
    columns_ = columns;
    version_.layout = nullptr;  // resolve again
    resolveColumns();
    endResetModel();
}

void GridModel::resolveColumns()
{
    shown_.clear();
    fields_.clear();
    if (!source_ || !source_->table().isOpen()) {
        shown_ = columns_;
        fields_.assign(static_cast<std::size_t>(shown_.size()), -1);
        return;
    }
    const store::TableLayout& layout = source_->table().layout();
    if (columns_.isEmpty()) {
        for (const store::Column& c : layout.columns)
            shown_.append({QString::fromStdString(c.name), QString(), -1});
    } else {
        shown_ = columns_;
    }
    for (const GridColumn& c : shown_)
        fields_.push_back(layout.columnIndex(c.fieldName.toStdString()));
}

int GridModel::fieldOf(int gridColumn) const
{
    if (gridColumn < 0 || static_cast<std::size_t>(gridColumn) >= fields_.size())
        return -1;
    return fields_[static_cast<std::size_t>(gridColumn)];
}

const store::Column* GridModel::fieldInfo(int gridColumn) const
{
    const int f = fieldOf(gridColumn);
    if (f < 0 || !active_ || !source_->table().isOpen())
        return nullptr;
    return &source_->table().layout().columns[static_cast<std::size_t>(f)];
}

QString GridModel::title(int gridColumn) const
{
    if (gridColumn < 0 || gridColumn >= shown_.size())
        return {};
    const GridColumn& c = shown_[gridColumn];
    return c.title.isEmpty() ? c.fieldName : c.title;
}

void GridModel::onField(int column)
{
    if (!active_)
        return;
    if (source_->table().state() == store::State::Insert && !inAppend_)
        touched_ = true;
    if (deferred_)
        return;  // the row is read afresh when the grid catches up
    if (currentRow_ < 0 || currentRow_ >= rowCount())
        return;
    for (int c = 0; c < columnCount(); ++c)
        if (fieldOf(c) == column)
            emit dataChanged(index(currentRow_, c), index(currentRow_, c));
}

void GridModel::append()
{
    if (!active_)
        return;
    inAppend_ = true;
    appending_ = true;
    touched_ = false;
    try {
        source_->table().append();
    } catch (...) {
        inAppend_ = false;
        sync(false);
        throw;
    }
    inAppend_ = false;
}

bool GridModel::insertUntouched() const
{
    if (!active_ || source_->table().state() != store::State::Insert)
        return false;
    return appending_ ? !touched_ : !source_->table().modified();
}

int GridModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !active_)
        return 0;
    return static_cast<int>(storedCount_) + (insertRow_ >= 0 ? 1 : 0);
}

int GridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(fields_.size());
}

QVariant GridModel::data(const QModelIndex& index, int role) const
{
    if (!active_ || !index.isValid())
        return {};
    const int field = fieldOf(index.column());
    const store::Column* info = fieldInfo(index.column());
    if (!info)
        return {};
    const store::Column& col = *info;
    if (role == Qt::TextAlignmentRole) {
        const bool number = col.type == store::ColumnType::Short || col.type == store::ColumnType::AutoInc;
        return QVariant::fromValue(Qt::Alignment(number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    // Painting must never end in an exception; an unreadable row shows blank.
    try {
        if (showsTableCopy(index.row()))
            return cellText(source_->table().value(field), col.type);
        const store::Row* r = storedRow(positionOfRow(index.row()));
        if (!r)
            return {};
        return cellText(r->values[static_cast<std::size_t>(field)], col.type);
    } catch (const std::exception&) {
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (role == Qt::DisplayRole)
            return title(section);
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role == IndicatorRole) {
        if (!active_ || section != currentRow_)
            return int(NoIndicator);
        switch (source_->table().state()) {
        case store::State::Insert: return int(Inserting);
        case store::State::Edit: return int(Editing);
        default: return int(Current);
        }
    }
    if (role == Qt::DisplayRole)
        return QString();
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const store::Column* c = fieldInfo(index.column());
    if (!readOnly_ && c && c->type != store::ColumnType::Memo && c->type != store::ColumnType::AutoInc)
        f |= Qt::ItemIsEditable;
    return f;
}

void GridModel::writeCell(const QModelIndex& index, const QString& text)
{
    if (!active_ || index.row() != currentRow_)
        return;
    const int field = fieldOf(index.column());
    if (field < 0)
        return;
    store::Table& t = source_->table();
    if (!t.editing() && !source_->edit())
        return;
    t.setText(field, text.toStdString());
}

}  // namespace dbaware
