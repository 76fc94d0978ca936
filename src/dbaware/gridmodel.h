#pragma once
#include <QAbstractTableModel>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

#include "dbaware/blockcache.h"
#include "dbaware/datasource.h"

namespace dbaware {

// One column of a grid.
struct GridColumn {
    QString fieldName;
    QString title;   // empty: the column name
    int width = -1;  // in pixels; -1: from the field's size and the title
};

// The rows of a data source's table for a grid, in the table's order under
// its filter. Rows are read only when shown, in blocks of consecutive rows
// read on from a neighbouring block's edge (or from the current record);
// only a jump far from every known row positions by counting (Table::rowAt).
// The rows are not counted until the grid needs it: a first screenful shows
// the rows read so far, and more come as the view scrolls on (fetchMore), or
// all are counted when the current record or a new one lies beyond them.
// The current record's row shows the table's own copy, pending changes
// included; a pending new record is one more row, at the end after an
// append, else where it was inserted.
class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int blockSize = 32;
    static constexpr std::size_t cachedBlocks = 8;
    // Blocks this near the current record's are read on from it.
    static constexpr std::int64_t nearBlocks = 3;
    // More rows than this gone at once reset the model.
    static constexpr std::int64_t resetBeyond = 1024;
    // headerData(row, Qt::Vertical, IndicatorRole): 0 none, else the marker
    // of the current record's row.
    static constexpr int IndicatorRole = Qt::UserRole + 1;
    enum Indicator { NoIndicator = 0, Current = 1, Editing = 2, Inserting = 3 };

    explicit GridModel(QObject* parent = nullptr);
    ~GridModel() override;

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return source_; }
    bool active() const { return active_; }

    // Empty: every field of the table, titled by its name.
    void setColumns(const QList<GridColumn>& columns);
    const QList<GridColumn>& columns() const { return columns_; }
    // The table's column shown in a grid column; -1 when there is none.
    int fieldOf(int gridColumn) const;
    const store::Column* fieldInfo(int gridColumn) const;
    QString title(int gridColumn) const;

    void setReadOnly(bool on) { readOnly_ = on; }
    bool readOnly() const { return readOnly_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    // More rows follow those the grid shows, not yet read or counted.
    bool canFetchMore(const QModelIndex& parent) const override;
    // The next block of rows after those shown.
    void fetchMore(const QModelIndex& parent) override;
    // Every row counted and shown (the view's End key).
    void countAll();
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Writes a cell of the current record's row as typed; throws the
    // store's error. A cell of another row is left alone.
    void writeCell(const QModelIndex& index, const QString& text);

    int currentRow() const { return currentRow_; }
    // The rows are being changed (between a begin and an end of Qt's row
    // signals): what a view does meanwhile is its own housekeeping.
    bool changingRows() const { return changing_; }
    int insertRow() const { return insertRow_; }
    // Tells the table where the record at the row stands, when the rows
    // read are still what the table holds.
    void notePlace(int row, const store::Bookmark& mark);
    // The stored record shown in a row; invalid for the new row.
    store::Bookmark bookmarkAt(int row) const;

    // Appends a record to the table (the after-insert handler runs) and
    // shows it as the last row.
    void append();
    // A pending new record that nothing was written to since it started.
    // For a record this grid appended, the after-insert handler's writes do
    // not count; for one inserted elsewhere the table's modified flag counts.
    bool insertUntouched() const;

    // A grid nobody sees need not follow its table: while deferred, a change
    // of the table only marks the rows behind, and they are read once, when
    // deferring ends or catchUp() is asked for.
    void setDeferred(bool on);
    void catchUp();

    // Rows read from the table, and positionings by counting, since the
    // last reset of the counters.
    std::int64_t rowsRead() const { return rowsRead_; }
    int farJumps() const { return farJumps_; }
    void resetCounters() { rowsRead_ = 0; farJumps_ = 0; }

signals:
    // The table's current record is shown in another row (-1: none).
    void currentRowChanged(int row);

private:
    // What must change for the held rows to be stale.
    struct Version {
        const store::TableLayout* layout = nullptr;
        std::int64_t changes = 0;
        bool filtered = false;
        std::string filter;
        bool operator==(const Version&) const = default;
    };
    Version version() const;
    // Brings the rows in line with the table. A sync asked for while the
    // rows change (a view reacting to them may move the table) runs once
    // they are done, from the table as it then stands.
    void sync(bool recordShown);
    // Where the rows stand after a change of the table.
    struct Plan {
        std::int64_t stored = 0;
        bool known = true;
        store::Bookmark lastShown;
        int insertRow = -1;
        int currentRow = -1;
    };
    // One pass; true when the rows were brought in line (the current row is
    // then told), false while deferred or when nothing was to be done.
    bool syncOnce(bool recordShown);
    bool syncClosed();
    Plan plan(bool stale);
    void moveRows(const Plan& p);
    void announce(bool stale, bool recordShown, int oldCurrent);
    // No rows, as when no open table stands behind the grid.
    void forgetRows();
    void resolveColumns();
    void onField(int column);
    const store::Row* storedRow(std::int64_t position) const;
    const BlockCache::Block* loadBlock(std::int64_t block) const;
    std::int64_t positionOfRow(int row) const { return insertRow_ >= 0 && row > insertRow_ ? row - 1 : row; }
    bool showsTableCopy(int row) const;

    QPointer<DataSource> source_;
    QMetaObject::Connection onGone_, onRecord_, onState_, onField_;
    QList<GridColumn> columns_;
    QList<GridColumn> shown_;  // columns_, or every field
    std::vector<int> fields_;
    bool readOnly_ = false;

    bool active_ = false;
    Version version_;
    // Stored rows shown; all of them when countKnown_, else the first
    // storedCount_ (whole blocks), the last of them lastShown_.
    std::int64_t storedCount_ = 0;
    bool countKnown_ = true;
    store::Bookmark lastShown_;
    int insertRow_ = -1;
    int currentRow_ = -1;
    bool appending_ = false;  // the pending record came from append()
    bool inAppend_ = false;
    bool touched_ = false;
    bool deferred_ = false;
    bool behind_ = false;  // a change came while deferred
    bool changing_ = false;
    bool syncAgain_ = false;
    bool againShown_ = false;

    // The held rows were read at this data version. Any table object may
    // write, and only this grid's own data source signals: a read compares
    // the version, drops rows gone stale and has the row count taken again.
    mutable BlockCache cache_{cachedBlocks};
    mutable std::int64_t cacheVersion_ = -1;
    mutable bool recountQueued_ = false;
    mutable std::int64_t rowsRead_ = 0;
    mutable int farJumps_ = 0;
};

}  // namespace dbaware
