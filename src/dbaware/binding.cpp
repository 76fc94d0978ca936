#include "dbaware/binding.h"

#include <QWidget>

#include "dbaware/dbcheckbox.h"
#include "dbaware/dbedit.h"
#include "dbaware/dbmemo.h"

namespace dbaware {

namespace {

template <class Control>
bool take(QWidget* w, std::vector<Binding>& out)
{
    auto* c = qobject_cast<Control*>(w);
    if (!c)
        return false;
    if (!c->fieldName().isEmpty())
        out.push_back({c, c->fieldName()});
    return true;
}

void collect(QWidget& parent, std::vector<Binding>& out)
{
    for (QWidget* w : parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!(take<DBEdit>(w, out) || take<DBMemo>(w, out) || take<DBCheckBox>(w, out)))
            collect(*w, out);
    }
}

}  // namespace

std::vector<Binding> boundFields(QWidget& form)
{
    std::vector<Binding> out;
    collect(form, out);
    return out;
}

void bindFields(QWidget& form, DataSource& source)
{
    for (const Binding& b : boundFields(form)) {
        if (auto* e = qobject_cast<DBEdit*>(b.control))
            e->setDataSource(&source);
        else if (auto* m = qobject_cast<DBMemo*>(b.control))
            m->setDataSource(&source);
        else if (auto* c = qobject_cast<DBCheckBox*>(b.control))
            c->setDataSource(&source);
    }
}

}  // namespace dbaware
