#include "dbaware/accessible_names.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextEdit>


namespace dbaware {

namespace {

// A label's text as said: no access letter, no closing colon.
QString spoken(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    text = text.simplified();
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}

bool isInput(const QWidget* w)
{
    if (const auto* box = qobject_cast<const QCheckBox*>(w))
        return box->text().isEmpty();
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w) ||
           qobject_cast<const QTextEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QAbstractItemView*>(w);
}

// The layout that holds the widget itself, among `layout` and those inside it.
QLayout* holder(QLayout* layout, QWidget* w)
{
    if (!layout)
        return nullptr;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() == w)
            return layout;
        if (QLayout* inner = holder(item->layout(), w))
            return inner;
    }
    return nullptr;
}

QLabel* asLabel(QLayoutItem* item, const QWidget* w)
{
    QWidget* held = item ? item->widget() : nullptr;
    auto* label = qobject_cast<QLabel*>(held);
    // A label with a note below it, together in a widget of their own.
    if (held && !label && !isInput(held))
        label = held->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    return label && !spoken(label->text()).isEmpty() && (!label->buddy() || label->buddy() == w) ? label : nullptr;
}

// The label beside the widget in its layout: its form row's, the nearest on
// its grid row (to its left, else to its right), or the one just before it
// in a row or column of boxes.
struct Labels {
    QString row, heading;
    QString name() const { return row.isEmpty() || heading.isEmpty() ? row + heading : row + QLatin1Char(' ') + heading; }
};

Labels layoutLabel(QWidget* w, int depth = 0)
{
    QWidget* parent = w->parentWidget();
    QLayout* layout = parent ? holder(parent->layout(), w) : nullptr;
    auto text = [](QLabel* label) { return Labels{label ? spoken(label->text()) : QString(), {}}; };
    Labels found;
    if (auto* form = qobject_cast<QFormLayout*>(layout)) {
        int row = 0;
        QFormLayout::ItemRole role{};
        form->getWidgetPosition(w, &row, &role);
        if (role == QFormLayout::FieldRole)
            found = text(asLabel(form->itemAt(row, QFormLayout::LabelRole), w));
    }
    if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
        int row = 0, column = 0, rows = 0, columns = 0;
        grid->getItemPosition(grid->indexOf(w), &row, &column, &rows, &columns);
        QLabel *best = nullptr, *heading = nullptr;
        int distance = 0;
        for (int i = 0; i < grid->count(); ++i) {
            int r = 0, c = 0, rs = 0, cs = 0;
            grid->getItemPosition(i, &r, &c, &rs, &cs);
            QLabel* label = r == row ? asLabel(grid->itemAt(i), w) : nullptr;
            const int d = c < column ? column - c : 100 + c - column;
            if (label && (!best || d < distance))
                best = label, distance = d;
            if (r == 0 && c == column && row > 0)
                heading = asLabel(grid->itemAt(i), w);
        }
        // A table of boxes under column headings: "Administration Check".
        found = {best ? spoken(best->text()) : QString(), heading ? spoken(heading->text()) : QString()};
    } else if (layout && layout->indexOf(w) > 0) {
        found = text(asLabel(layout->itemAt(layout->indexOf(w) - 1), w));
    }
    // The first box of a widget of its own (a box with a note beside it)
    // takes the label of that widget.
    if (found.name().isEmpty() && layout && layout->indexOf(w) == 0 && depth < 2 && parent->parentWidget() &&
        !qobject_cast<QGroupBox*>(parent) && !qobject_cast<QTabWidget*>(parent->parentWidget()->parentWidget()))
        return layoutLabel(parent, depth + 1);
    return found;
}

QString groupTitle(QWidget* w)
{
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (auto* group = qobject_cast<QGroupBox*>(p))
            return spoken(group->title());
    return {};
}

QString pageTitle(QWidget* w)
{
    // A page of a tab widget sits in the tab widget's stack.
    for (QWidget* p = w->parentWidget(); p && p->parentWidget(); p = p->parentWidget())
        if (auto* tabs = qobject_cast<QTabWidget*>(p->parentWidget()->parentWidget()); tabs && tabs->indexOf(p) >= 0)
            return spoken(tabs->tabText(tabs->indexOf(p)));
    return {};
}

}  // namespace

void nameInputs(QWidget& window)
{
    QMap<QWidget*, QString> labelled;
    for (auto* label : window.findChildren<QLabel*>())
        if (label->buddy() && isInput(label->buddy()) && !spoken(label->text()).isEmpty())
            labelled[label->buddy()] = spoken(label->text());
    QList<QWidget*> inputs;
    QMap<QString, int> times;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!isInput(w) || !w->accessibleName().isEmpty() || qobject_cast<QAbstractItemView*>(w->parentWidget()) ||
            qobject_cast<QAbstractSpinBox*>(w->parentWidget()) || qobject_cast<QComboBox*>(w->parentWidget()))
            continue;  // a cell editor or a part of another control is named by its owner
        QString name = labelled.value(w);
        if (name.isEmpty())
            name = layoutLabel(w).name();
        if (name.isEmpty())
            name = groupTitle(w);
        if (name.isEmpty())
            name = pageTitle(w);
        w->setAccessibleName(name);
        inputs << w;
        ++times[name];
    }
    // A name shared within the window: its group, then its page, tell it apart.
    for (auto title : {&groupTitle, &pageTitle}) {
        QMap<QString, int> now;
        for (QWidget* w : inputs) {
            const QString title_ = title(w);
            if (times.value(w->accessibleName()) > 1 && !title_.isEmpty() && !w->accessibleName().startsWith(title_))
                w->setAccessibleName(title_ + QLatin1Char(' ') + w->accessibleName());
            ++now[w->accessibleName()];
        }
        times = now;
    }
}

}  // namespace dbaware
