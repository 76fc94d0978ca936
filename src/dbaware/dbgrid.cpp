#include "dbaware/dbgrid.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "dbaware/dialogs.h"
#include "dbaware/guard.h"
#include "dbaware/editing.h"
#include "dbaware/indicator_header.h"

namespace dbaware {

// The in-place editor of one cell: the keyboard rules of DBEdit.
class CellEditor final : public QLineEdit {
public:
    CellEditor(QWidget* parent, DBGrid* grid, const QModelIndex& index)
        : QLineEdit(parent), grid_(grid), index_(index)
    {
        setFrame(false);
    }
    QPersistentModelIndex index() const { return index_; }
    QString original;  // the cell's text when the editor took it
    bool changed() const { return text() != original; }

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::ShortcutOverride && grid_ && grid_->ownsKey(*static_cast<QKeyEvent*>(e))) {
            e->accept();
            return true;
        }
        return QLineEdit::event(e);
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        if (grid_ && grid_->ownsKey(*e)) {
            grid_->keyPressEvent(e);
            e->accept();  // not handed on to the grid a second time
            return;
        }
        const store::Column* c = grid_ ? grid_->model_->fieldInfo(index_.column()) : nullptr;
        if (c && c->type == store::ColumnType::Short && keys::typesCharacter(e) && !keys::fitsShortColumn(e)) {
            dialogs().beep();
            e->accept();
            return;
        }
        if (grid_ && keys::changesText(e, false) && !grid_->beginCellChange()) {
            e->accept();
            return;
        }
        QLineEdit::keyPressEvent(e);
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override
    {
        QLineEdit::mouseDoubleClickEvent(e);
        if (grid_)
            emit grid_->dblClick();
    }
    void focusOutEvent(QFocusEvent* e) override
    {
        QLineEdit::focusOutEvent(e);
        if (grid_ && leftByUser(this, *e))
            QMetaObject::invokeMethod(grid_, [g = grid_] { if (g) g->focusLeft(); }, Qt::QueuedConnection);
    }

private:
    QPointer<DBGrid> grid_;
    QPersistentModelIndex index_;
};

class CellDelegate final : public QStyledItemDelegate {
public:
    explicit CellDelegate(DBGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    CellEditor* openEditor() const { return editor_; }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        auto* ed = new CellEditor(parent, grid_, index);
        if (const store::Column* c = grid_->model_->fieldInfo(index.column()); c && c->type == store::ColumnType::Text)
            ed->setMaxLength(c->size);
        editor_ = ed;
        return ed;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        // Qt calls this again whenever the row's data changes; what the
        // user typed must survive that.
        auto* ed = static_cast<CellEditor*>(editor);
        if (ed->changed())
            return;
        const QString t = index.data(Qt::EditRole).toString();
        if (t != ed->text())
            ed->setText(t);
        ed->original = t;
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        auto* ed = static_cast<CellEditor*>(editor);
        if (!ed->changed())
            return;
        const QString text = ed->text();
        if (guarded(grid_, [&] { grid_->model_->writeCell(index, text); }))
            ed->original = text;
        else
            grid_->editFailed(index, text);
    }

private:
    DBGrid* grid_;
    mutable QPointer<CellEditor> editor_;
};

// Writes an open cell's text before the table posts or moves.
class DBGrid::EditorWriter final : public RecordWriter {
public:
    explicit EditorWriter(DBGrid* grid) : grid_(grid) {}
    void updateRecord() override { grid_->writeOpenEditor(); }

private:
    DBGrid* grid_;
};

DBGrid::DBGrid(QWidget* parent)
    : QTableView(parent), model_(new GridModel(this)), delegate_(new CellDelegate(this)), writer_(new EditorWriter(this)),
      countTimer_(new QTimer(this))
{
    model_->setDeferred(true);  // until it shows
    countTimer_->setSingleShot(true);
    countTimer_->setInterval(countDelay);
    connect(countTimer_, &QTimer::timeout, this, [this] {
        if (isVisible() && model_->canFetchMore({}))
            guarded(this, [this] { model_->countAll(); });
    });
    connect(model_, &QAbstractItemModel::rowsInserted, this, &DBGrid::countLater);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, &DBGrid::countLater);
    connect(model_, &QAbstractItemModel::rowsInserted, this, &DBGrid::describeEmpty);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, &DBGrid::describeEmpty);
    connect(model_, &QAbstractItemModel::modelReset, this, &DBGrid::describeEmpty);
    setVerticalHeader(new IndicatorHeader(this));
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setMinimumSectionSize(fontMetrics().height() + 2);
    horizontalHeader()->setHighlightSections(false);
    setModel(model_);
    setItemDelegate(delegate_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::SelectedClicked);
    setWordWrap(false);
    setCornerButtonEnabled(false);

    connect(model_, &GridModel::currentRowChanged, this, &DBGrid::syncFromTable);
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        applyWidths();
        syncFromTable();
        countLater();
    });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int i, int, int size) {
        if (!applyingWidths_ && i >= 0 && static_cast<std::size_t>(i) < widths_.size())
            widths_[static_cast<std::size_t>(i)] = size;
    });
}

DBGrid::~DBGrid()
{
    if (source_)
        source_->removeWriter(writer_);
    delete writer_;
}

void DBGrid::setDataSource(DataSource* source)
{
    if (source_)
        source_->removeWriter(writer_);
    source_ = source;
    if (source_)
        source_->addWriter(writer_);
    model_->setDataSource(source);
    applyWidths();
    syncFromTable();
}

void DBGrid::setColumns(const QList<GridColumn>& columns)
{
    widths_.clear();
    for (const GridColumn& c : columns)
        widths_.push_back(c.width);
    model_->setColumns(columns);
}

QList<GridColumn> DBGrid::allColumns(const store::TableLayout& layout)
{
    QList<GridColumn> out;
    for (const store::Column& c : layout.columns)
        out.append({QString::fromStdString(c.name), QString(), -1});
    return out;
}

void DBGrid::setReadOnly(bool on)
{
    readOnly_ = on;
    model_->setReadOnly(on);
    setEditTriggers(on ? QAbstractItemView::NoEditTriggers
                       : QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::SelectedClicked);
}

int DBGrid::defaultWidth(int column) const
{
    const QFontMetrics fm(font());
    int chars = 10;
    if (const store::Column* c = model_->fieldInfo(column)) {
        switch (c->type) {
        case store::ColumnType::Text: chars = c->size; break;
        case store::ColumnType::Short: chars = 6; break;
        case store::ColumnType::Logical: chars = 5; break;
        default: break;
        }
    }
    const int forData = chars * fm.averageCharWidth() + 8;
    const int forTitle = fm.horizontalAdvance(model_->title(column)) + 12;
    return std::max(forData, forTitle);
}

void DBGrid::applyWidths()
{
    const int n = model_->columnCount();
    if (static_cast<int>(widths_.size()) != n)
        widths_.assign(static_cast<std::size_t>(n), -1);
    applyingWidths_ = true;
    for (int i = 0; i < n; ++i) {
        int& w = widths_[static_cast<std::size_t>(i)];
        if (w < 0 && model_->fieldInfo(i))
            w = defaultWidth(i);
        setColumnWidth(i, w < 0 ? defaultWidth(i) : w);
    }
    applyingWidths_ = false;
}

void DBGrid::syncFromTable()
{
    if (syncing_)
        return;
    syncing_ = true;
    const int row = model_->currentRow();
    if (row < 0 || row >= model_->rowCount()) {
        selectionModel()->clearCurrentIndex();
        selectionModel()->clearSelection();
    } else {
        const QModelIndex cur = currentIndex();
        const int col = cur.isValid() ? cur.column() : 0;
        const QModelIndex target = model_->index(row, col);
        if (target != cur || !selectionModel()->isSelected(target))
            selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
        // A hidden grid scrolls when it shows: scrolling lays out its rows
        // and measures its headers, work nobody sees.
        if (isVisible())
            scrollTo(target);
        else
            scrollOnShow_ = true;
    }
    syncing_ = false;
    verticalHeader()->viewport()->update();
}

void DBGrid::resyncLater()
{
    QMetaObject::invokeMethod(this, &DBGrid::syncFromTable, Qt::QueuedConnection);
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // The base class hands an open editor's text to the delegate first.
    QTableView::currentChanged(current, previous);
    // The view moves its current row itself while rows come and go; the
    // table's row is shown again once they are done.
    if (syncing_ || !model_->active() || model_->changingRows())
        return;
    if (failed_.pending)
        return;  // the refused cell's row stays current; reopenFailedEdit goes back
    if (!current.isValid() || current.row() == model_->currentRow())
        return;
    moveTableTo(current.row());
}

void DBGrid::moveTableTo(int row)
{
    if (row == model_->insertRow())
        return;
    const store::Bookmark mark = model_->bookmarkAt(row);
    if (!mark.valid) {
        resyncLater();
        return;
    }
    store::Table& t = source_->table();
    const bool ok = guarded(this, [&] {
        if (model_->insertUntouched())
            t.cancel();
        t.gotoBookmark(mark);
        // The row's place is known from the rows read: a delete there
        // need not count the rows before it.
        model_->notePlace(row, mark);
    });
    if (!ok)
        resyncLater();
}

bool DBGrid::beginCellChange() { return source_ && source_->beginChange(this); }

bool DBGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if (readOnly_ || !model_->active() || !(model_->flags(index) & Qt::ItemIsEditable))
        return false;
    if (index.row() != model_->currentRow() || !source_->canEdit())
        return false;
    return QTableView::edit(index, trigger, event);
}

void DBGrid::writeOpenEditor()
{
    CellEditor* ed = delegate_->openEditor();
    if (!ed || !ed->changed())
        return;
    model_->writeCell(ed->index(), ed->text());
    ed->original = ed->text();
}

bool DBGrid::finishEditing()
{
    CellEditor* ed = delegate_->openEditor();
    if (!ed)
        return true;
    if (ed->changed() && !guarded(this, [&] { writeOpenEditor(); }))
        return false;
    closeEditor(ed, QAbstractItemDelegate::NoHint);
    return true;
}

void DBGrid::editFailed(const QModelIndex& index, const QString& text)
{
    failed_ = {QPersistentModelIndex(index), text, true};
    QMetaObject::invokeMethod(this, &DBGrid::reopenFailedEdit, Qt::QueuedConnection);
}

void DBGrid::reopenFailedEdit()
{
    if (!failed_.pending)
        return;
    failed_.pending = false;
    syncFromTable();
    const QModelIndex index = failed_.index;
    if (!index.isValid() || index.row() != model_->currentRow())
        return;
    syncing_ = true;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    syncing_ = false;
    if (QTableView::edit(index, QAbstractItemView::AllEditTriggers, nullptr))
        if (CellEditor* ed = delegate_->openEditor())
            ed->setText(failed_.text);
}

void DBGrid::appendRow()
{
    if (!finishEditing() || model_->insertUntouched())
        return;  // never a second new row on an untouched one
    guarded(this, [this] { model_->append(); });
}

void DBGrid::appendRecord()
{
    model_->catchUp();
    if (readOnly_ || !model_->active() || !isEnabled())
        return;
    setFocus(Qt::OtherFocusReason);
    appendRow();
    if (const int row = model_->insertRow(); row >= 0)
        setCurrentIndex(model_->index(row, 0));
}

void DBGrid::deleteCurrent()
{
    if (readOnly_ || !model_->active())
        return;
    store::Table& t = source_->table();
    if (t.state() != store::State::Insert && !t.hasCurrentRecord())
        return;
    if (CellEditor* ed = delegate_->openEditor())
        closeEditor(ed, QAbstractItemDelegate::RevertModelCache);
    if (confirm(this, QStringLiteral("Delete record?"), Buttons::OkCancel) != Answer::Ok)
        return;
    guarded(this, [&] { t.remove(); });
}

void DBGrid::cancelEdit()
{
    model_->catchUp();
    failed_.pending = false;
    if (CellEditor* ed = delegate_->openEditor())
        closeEditor(ed, QAbstractItemDelegate::RevertModelCache);
    if (model_->active() && source_->table().editing())
        source_->table().cancel();
}

void DBGrid::focusLeft()
{
    if (!model_->active())
        return;
    QWidget* f = QApplication::focusWidget();
    if (f && (f == this || isAncestorOf(f)))
        return;
    if (model_->insertUntouched())
        guarded(this, [this] { source_->table().cancel(); });
}

bool DBGrid::ownsKey(const QKeyEvent& e) const
{
    const Qt::KeyboardModifiers mods = e.modifiers() & ~Qt::KeypadModifier;
    switch (e.key()) {
    case Qt::Key_Delete: return mods == Qt::ControlModifier;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: return mods == Qt::NoModifier || mods == Qt::ControlModifier;
    case Qt::Key_Home:
    case Qt::Key_End: return mods == Qt::ControlModifier;
    // Editing the cell, where the view edits on it.
    case Qt::Key_F2: return mods == Qt::NoModifier && (editTriggers() & EditKeyPressed);
    default: return false;
    }
}

bool DBGrid::event(QEvent* e)
{
    if (e->type() == QEvent::ShortcutOverride && ownsKey(*static_cast<QKeyEvent*>(e))) {
        e->accept();
        return true;
    }
    return QTableView::event(e);
}

void DBGrid::keyPressEvent(QKeyEvent* e)
{
    const bool bound = model_->active();
    if (bound && e->key() == Qt::Key_Delete && (e->modifiers() & Qt::ControlModifier)) {
        deleteCurrent();
        e->accept();
        return;
    }
    if (bound && model_->canFetchMore({})) {
        // Rows not yet read lie beyond the last one shown.
        const bool toEnd = (e->key() == Qt::Key_End && (e->modifiers() & Qt::ControlModifier)) ||
                           (e->key() == Qt::Key_PageDown && (e->modifiers() & Qt::ControlModifier));
        if (toEnd)
            guarded(this, [this] { model_->countAll(); });
        else if ((e->key() == Qt::Key_Down || e->key() == Qt::Key_PageDown) &&
                 currentIndex().row() + verticalScrollBar()->pageStep() >= model_->rowCount())
            guarded(this, [this] { model_->fetchMore({}); });
    }
    if (bound && !readOnly_ && e->key() == Qt::Key_Down && e->modifiers() == Qt::NoModifier) {
        const int rows = model_->rowCount();
        if (rows == 0 || currentIndex().row() == rows - 1) {
            appendRow();
            e->accept();
            return;
        }
    }
    if (bound && e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier && source_->table().editing() &&
        state() != QAbstractItemView::EditingState) {
        guarded(this, [this] { source_->table().cancel(); });
        e->accept();
        return;
    }
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    if (enter && (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && state() != EditingState &&
        currentIndex().isValid() && isSignalConnected(QMetaMethod::fromSignal(&DBGrid::enterPressed))) {
        e->accept();
        emit enterPressed();
        return;
    }
    QTableView::keyPressEvent(e);
}

void DBGrid::focusOutEvent(QFocusEvent* e)
{
    QTableView::focusOutEvent(e);
    if (leftByUser(this, *e))
        focusLeft();
}

void DBGrid::countLater()
{
    if (isVisible() && model_->canFetchMore({}) && !countTimer_->isActive())
        countTimer_->start();
}

void DBGrid::setEmptyText(const QString& text)
{
    emptyText_ = text;
    describeEmpty();
    viewport()->update();
}

void DBGrid::describeEmpty()
{
    // Painted only, the line would be lost to a screen reader: it is also
    // the list's description while the list is empty.
    setAccessibleDescription(model_->rowCount({}) == 0 ? emptyText_ : QString());
}

void DBGrid::paintEvent(QPaintEvent* e)
{
    QTableView::paintEvent(e);
    if (emptyText_.isEmpty() || model_->rowCount({}) != 0)
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    const int margin = fontMetrics().height();
    painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin), Qt::AlignCenter | Qt::TextWordWrap,
                     emptyText_);
}

void DBGrid::showEvent(QShowEvent* e)
{
    guarded(this, [this] { model_->setDeferred(false); });
    QTableView::showEvent(e);
    if (scrollOnShow_ && currentIndex().isValid())
        scrollTo(currentIndex());
    scrollOnShow_ = false;
    countLater();
}

void DBGrid::hideEvent(QHideEvent* e)
{
    QTableView::hideEvent(e);
    model_->setDeferred(true);
}

void DBGrid::mouseDoubleClickEvent(QMouseEvent* e)
{
    QTableView::mouseDoubleClickEvent(e);
    emit dblClick();
}

}  // namespace dbaware
