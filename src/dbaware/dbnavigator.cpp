#include "dbaware/dbnavigator.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QPalette>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

#include "dbaware/dialogs.h"
#include "dbaware/guard.h"

namespace dbaware {

namespace {

const char* const defaultHints[navButtonCount] = {
    "First record", "Prior record", "Next record", "Last record", "Insert record",
    "Delete record", "Edit record", "Post edit", "Cancel edit", "Refresh data",
};

// The button faces, drawn rather than taken from a theme so that they look
// alike on every platform. `ink` draws the shapes, `go` the tick and the
// refresh arrow, `stop` the cross.
QPixmap glyph(NavButton b, const QColor& ink, const QColor& go, const QColor& stop)
{
    const int s = 32;  // drawn at twice the shown size, sharp on dense screens
    QPixmap pm(s, s);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    auto triangle = [&](qreal tipX, qreal baseX) {
        QPainterPath path;
        path.moveTo(tipX, 16);
        path.lineTo(baseX, 7);
        path.lineTo(baseX, 25);
        path.closeSubpath();
        p.fillPath(path, ink);
    };
    switch (b) {
    case NavButton::First:
        p.fillRect(QRectF(7, 7, 3, 18), ink);
        triangle(11, 24);
        break;
    case NavButton::Prior: triangle(9, 22); break;
    case NavButton::Next: triangle(23, 10); break;
    case NavButton::Last:
        triangle(21, 8);
        p.fillRect(QRectF(22, 7, 3, 18), ink);
        break;
    case NavButton::Insert:
        p.fillRect(QRectF(7, 14, 18, 4), ink);
        p.fillRect(QRectF(14, 7, 4, 18), ink);
        break;
    case NavButton::Delete: p.fillRect(QRectF(7, 14, 18, 4), ink); break;
    case NavButton::Edit: {
        QPainterPath path;
        path.moveTo(16, 8);
        path.lineTo(25, 23);
        path.lineTo(7, 23);
        path.closeSubpath();
        p.fillPath(path, ink);
        break;
    }
    case NavButton::Post: {
        p.setPen(QPen(go, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF tick[] = {{7, 17}, {13, 23}, {25, 9}};
        p.drawPolyline(tick, 3);
        break;
    }
    case NavButton::Cancel:
        p.setPen(QPen(stop, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9, 9), QPointF(23, 23));
        p.drawLine(QPointF(23, 9), QPointF(9, 23));
        break;
    case NavButton::Refresh: {
        p.setPen(QPen(go, 3.5, Qt::SolidLine, Qt::FlatCap));
        p.drawArc(QRectF(8, 8, 16, 16), 90 * 16, 270 * 16);
        QPainterPath head;
        head.moveTo(16, 3);
        head.lineTo(22, 8);
        head.lineTo(16, 13);
        head.closeSubpath();
        p.fillPath(head, go);
        break;
    }
    }
    p.end();
    pm.setDevicePixelRatio(2.0);
    return pm;
}

// A face in the palette's colours: the button text's for the shapes, a
// green and a red that stand out from the button's colour; disabled, the
// whole face in the disabled button text.
QIcon face(NavButton b, const QPalette& palette)
{
    const bool dark = palette.color(QPalette::Active, QPalette::Button).lightness() < 128;
    const QColor go = dark ? QColor(96, 200, 96) : QColor(0, 128, 0);
    const QColor stop = dark ? QColor(240, 96, 96) : QColor(192, 0, 0);
    const QColor off = palette.color(QPalette::Disabled, QPalette::ButtonText);
    QIcon icon;
    icon.addPixmap(glyph(b, palette.color(QPalette::Active, QPalette::ButtonText), go, stop), QIcon::Normal);
    icon.addPixmap(glyph(b, off, off, off), QIcon::Disabled);
    return icon;
}

}  // namespace

DBNavigator::DBNavigator(QWidget* parent) : QWidget(parent), layout_(new QHBoxLayout(this))
{
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    for (int i = 0; i < navButtonCount; ++i) {
        const auto kind = static_cast<NavButton>(i);
        auto* btn = new QToolButton(this);
        btn->setIconSize(QSize(16, 16));
        btn->setToolTip(QString::fromLatin1(defaultHints[i]));
        btn->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        btn->setMinimumHeight(25);
        // Tab reaches it; a click must not take the focus, or it would end
        // the typing in a bound box.
        btn->setFocusPolicy(Qt::TabFocus);
        btn->setAccessibleName(btn->toolTip());
        connect(btn, &QToolButton::clicked, this, [this, kind] { click(kind); });
        buttons_[static_cast<std::size_t>(i)] = btn;
        visible_ << kind;
    }
    setVisibleButtons(visible_);
    paintFaces();
    updateButtons();
}

DBNavigator::~DBNavigator() = default;

void DBNavigator::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        paintFaces();
    QWidget::changeEvent(event);
}

void DBNavigator::paintFaces()
{
    for (int i = 0; i < navButtonCount; ++i)
        buttons_[static_cast<std::size_t>(i)]->setIcon(face(static_cast<NavButton>(i), palette()));
}

void DBNavigator::setDataSource(DataSource* source)
{
    disconnect(onState_);
    disconnect(onRecord_);
    source_ = source;
    if (source_) {
        onState_ = connect(source_, &DataSource::stateChanged, this, &DBNavigator::updateButtons);
        onRecord_ = connect(source_, &DataSource::recordChanged, this, &DBNavigator::updateButtons);
    }
    updateButtons();
}

void DBNavigator::setVisibleButtons(const QList<NavButton>& buttons)
{
    visible_ = buttons;
    for (QToolButton* b : buttons_) {
        layout_->removeWidget(b);
        b->hide();
    }
    for (NavButton kind : visible_) {
        layout_->addWidget(button(kind));
        button(kind)->show();
    }
}

void DBNavigator::setHints(const QStringList& hints)
{
    for (int i = 0; i < navButtonCount && i < hints.size(); ++i)
        setHint(static_cast<NavButton>(i), hints[i]);
}

void DBNavigator::setHint(NavButton b, const QString& hint)
{
    button(b)->setToolTip(hint);
    button(b)->setAccessibleName(hint);  // what a screen reader says of an icon
}

QString DBNavigator::hint(NavButton b) const { return button(b)->toolTip(); }

void DBNavigator::click(NavButton b)
{
    if (!source_)
        return;
    store::Table& t = source_->table();
    const bool ok = guarded(this, [&] {
        switch (b) {
        case NavButton::First: t.first(); break;
        case NavButton::Prior: t.prior(); break;
        case NavButton::Next: t.next(); break;
        case NavButton::Last: t.last(); break;
        case NavButton::Insert: t.insert(); break;
        case NavButton::Delete:
            if (!confirmDelete_ || confirm(this, QStringLiteral("Delete record?"), Buttons::OkCancel) == Answer::Ok)
                t.remove();
            break;
        case NavButton::Edit: t.edit(); break;
        case NavButton::Post: t.post(); break;
        case NavButton::Cancel: t.cancel(); break;
        case NavButton::Refresh: t.refresh(); break;
        }
    });
    updateButtons();
    if (ok)
        emit clicked(b);
}

void DBNavigator::updateButtons()
{
    const bool active = source_ && source_->table().isOpen();
    const store::Table* t = active ? &source_->table() : nullptr;
    const bool editing = active && t->editing();
    const bool up = active && !t->bof();
    const bool down = active && !t->eof();
    auto set = [this](NavButton b, bool on) { button(b)->setEnabled(on); };
    set(NavButton::First, up);
    set(NavButton::Prior, up);
    set(NavButton::Next, down);
    set(NavButton::Last, down);
    set(NavButton::Insert, active);
    set(NavButton::Delete, active && (t->hasCurrentRecord() || t->state() == store::State::Insert));
    set(NavButton::Edit, active && !editing);
    set(NavButton::Post, editing);
    set(NavButton::Cancel, editing);
    set(NavButton::Refresh, active);
}

}  // namespace dbaware
