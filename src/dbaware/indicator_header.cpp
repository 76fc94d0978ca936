#include "dbaware/indicator_header.h"

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
