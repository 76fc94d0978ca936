#include "dbaware/dbcheckbox.h"

#include "dbaware/guard.h"

namespace dbaware {

DBCheckBox::DBCheckBox(QWidget* parent) : DBCheckBox(QString(), parent) {}

DBCheckBox::DBCheckBox(const QString& text, QWidget* parent)
    : QCheckBox(text, parent), link_(this, [this] { reloadField(); }, [this] { writeField(); })
{
    connect(this, &QCheckBox::stateChanged, this, [this] { emit stateClick(); });
}

DBCheckBox::~DBCheckBox() = default;

void DBCheckBox::setDataSource(DataSource* source) { link_.setDataSource(source); }

void DBCheckBox::setFieldName(const QString& name) { link_.setFieldName(name); }

void DBCheckBox::reloadField()
{
    if (!link_.dataSource())
        return;
    Qt::CheckState s = Qt::Unchecked;
    if (link_.active()) {
        const store::Table& t = *link_.table();
        const int c = link_.column();
        s = t.isNull(c) ? Qt::PartiallyChecked : t.asBool(c) ? Qt::Checked : Qt::Unchecked;
    }
    setCheckState(s);
}

void DBCheckBox::writeField() { link_.table()->setBool(link_.column(), checkState() == Qt::Checked); }

void DBCheckBox::nextCheckState()
{
    const Qt::CheckState next = checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked;
    if (!link_.dataSource()) {
        setCheckState(next);
        return;
    }
    if (!link_.beginChange())
        return;
    setCheckState(next);
    link_.modified = true;
    if (!guarded(this, [this] { link_.updateRecord(); }))
        link_.reload();
}

}  // namespace dbaware
