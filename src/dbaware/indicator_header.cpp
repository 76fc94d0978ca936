#include "dbaware/indicator_header.h"

#include <algorithm>

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

#include "dbaware/gridmodel.h"

namespace dbaware {

IndicatorHeader::IndicatorHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent)
{
    setSectionResizeMode(QHeaderView::Fixed);
    setFixedWidth(14);
}

void IndicatorHeader::setModel(QAbstractItemModel* model)
{
    if (this->model())
        disconnect(this->model(), &QAbstractItemModel::rowsRemoved, this, &IndicatorHeader::rowsGone);
    QHeaderView::setModel(model);
    if (!model)
        return;
    // The base class rebuilds its list of hidden rows on every removal,
    // asking each remaining row in turn: a delete in a grid of a million
    // rows would cost a million calls. Its own handler is a private slot,
    // reachable only by name.
    // Where that name is gone, the base class goes on as it was.
    if (disconnect(model, SIGNAL(rowsRemoved(QModelIndex, int, int)), this,
                   SLOT(_q_sectionsRemoved(QModelIndex, int, int))))
        connect(model, &QAbstractItemModel::rowsRemoved, this, &IndicatorHeader::rowsGone);
}

void IndicatorHeader::rowsGone(const QModelIndex& parent, int first, int last)
{
    if (parent.isValid())
        return;
    if (!rowsAlike()) {
        QMetaObject::invokeMethod(this, "_q_sectionsRemoved", Q_ARG(QModelIndex, parent), Q_ARG(int, first),
                                  Q_ARG(int, last));
        return;
    }
    // Rows alike, none hidden or moved: losing any of them is losing the
    // last ones, which the base class does without looking at the rest.
    followRowCount();
}

void IndicatorHeader::reset()
{
    // The base class rebuilds its list of hidden rows here too, asking each
    // of the rows left: a search that leaves a third of a million rows
    // would ask every one of them.
    if (!rowsAlike()) {
        QHeaderView::reset();
        return;
    }
    // The count first: the layout the reset asks for then finds it right
    // and leaves it be.
    followRowCount();
    QAbstractItemView::reset();
}

bool IndicatorHeader::rowsAlike() const { return hiddenSectionCount() == 0 && !sectionsMoved(); }

void IndicatorHeader::followRowCount()
{
    const int rows = model() ? model()->rowCount(rootIndex()) : 0;
    if (rows <= 0)
        initializeSections();
    else if (rows != count())
        initializeSections(std::clamp(count(), 0, rows - 1), rows - 1);
}

QSize IndicatorHeader::sectionSizeFromContents(int logicalIndex) const
{
    if (!measured_.isValid())
        measured_ = QHeaderView::sectionSizeFromContents(logicalIndex);
    return measured_;
}

void IndicatorHeader::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange)
        measured_ = QSize();
    QHeaderView::changeEvent(e);
}

void IndicatorHeader::paintSection(QPainter* p, const QRect& rect, int logicalIndex) const
{
    // The base class leaves the painter clipped to nothing.
    p->save();
    QHeaderView::paintSection(p, rect, logicalIndex);
    p->restore();
    const int kind = model() ? model()->headerData(logicalIndex, Qt::Vertical, GridModel::IndicatorRole).toInt() : 0;
    if (kind == GridModel::NoIndicator)
        return;
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    const QColor ink = palette().color(QPalette::ButtonText);
    const QPointF c = QRectF(rect).center();
    if (kind == GridModel::Current) {
        QPainterPath tri;
        tri.moveTo(c.x() + 3, c.y());
        tri.lineTo(c.x() - 2, c.y() - 4);
        tri.lineTo(c.x() - 2, c.y() + 4);
        tri.closeSubpath();
        p->fillPath(tri, ink);
    } else {
        p->setPen(ink);
        p->drawText(rect, Qt::AlignCenter, kind == GridModel::Editing ? QStringLiteral("I") : QStringLiteral("*"));
    }
    p->restore();
}

}  // namespace dbaware
