#pragma once
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>
#include <QTimer>

#include <vector>

#include "dbaware/gridmodel.h"

namespace dbaware {

class CellDelegate;

// A grid of a data source's table. Its current row is the table's current
// record: moving the table moves the grid, and clicking or arrowing to a row
// moves the table (which posts a changed record and drops an unchanged one).
// Cells are edited in place unless the grid is read-only; typing into a
// record in browse state puts it into edit state when automatic editing is
// on. Down on the last row appends a record; leaving the grid while a new row
// that nothing was written to is pending drops it; Ctrl+Delete deletes the
// current row after "Delete record?" (OK/Cancel). The grid's keys (rows up
// and down, Ctrl+Delete, F2 to edit the cell) and a double click mean the
// same in an open cell editor, and no shortcut of the window takes them.
// Errors are shown in the error box; a cell whose text the field refuses
// stays open with that text.
class DBGrid : public QTableView {
    Q_OBJECT
public:
    // How long after a screenful shows its rows are counted, in ms.
    static constexpr int countDelay = 100;
    explicit DBGrid(QWidget* parent = nullptr);
    ~DBGrid() override;

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return model_->dataSource(); }

    // Empty: every field, titled by its name.
    void setColumns(const QList<GridColumn>& columns);
    QList<GridColumn> columns() const { return model_->columns(); }
    // Every column of a layout, in order, titled by its name.
    static QList<GridColumn> allColumns(const store::TableLayout& layout);

    // No editing, appending or deleting from the grid.
    void setReadOnly(bool on);
    bool isReadOnly() const { return readOnly_; }

    // The model, caught up with its table: a hidden grid reads its rows
    // only when it shows or is asked for them.
    GridModel* gridModel() const
    {
        model_->catchUp();
        return model_;
    }

    // Drops what is being typed: the open cell's text and the table's
    // pending change or new record, none of it written.
    void cancelEdit();

    // What Down on the last row does, from a button: a new row at the end
    // (also in an empty list), with the cursor in its first column.
    void appendRecord();
    // A line the empty grid shows in its middle (how to begin); none when empty.
    void setEmptyText(const QString& text);

signals:
    // A double click anywhere on the grid.
    void dblClick();
    // Enter or the keypad's Enter on a row while no cell is being edited.
    // Only a grid that something listens to takes the key; others pass it on.
    void enterPressed();

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

private:
    friend class CellDelegate;
    friend class CellEditor;
    class EditorWriter;

    // A key the grid gives a meaning of its own, before a cell editor or a
    // shortcut of the window.
    bool ownsKey(const QKeyEvent& e) const;
    void syncFromTable();
    void resyncLater();
    void moveTableTo(int row);
    void appendRow();
    void deleteCurrent();
    void focusLeft();
    bool finishEditing();
    void writeOpenEditor();
    bool beginCellChange();
    void editFailed(const QModelIndex& index, const QString& text);
    void reopenFailedEdit();
    void applyWidths();
    // The rows are counted a moment after a screenful shows, and only on a
    // grid that is seen: the scroll bar's true extent can wait, the rows not.
    void countLater();
    void describeEmpty();
    int defaultWidth(int column) const;

    GridModel* model_;
    QString emptyText_;
    CellDelegate* delegate_;
    EditorWriter* writer_;
    QPointer<DataSource> source_;
    QTimer* countTimer_;
    bool readOnly_ = false;
    bool syncing_ = false;
    bool scrollOnShow_ = false;
    bool applyingWidths_ = false;
    std::vector<int> widths_;
    struct FailedEdit {
        QPersistentModelIndex index;
        QString text;
        bool pending = false;
    } failed_;
};

}  // namespace dbaware
