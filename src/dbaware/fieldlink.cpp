#include "dbaware/fieldlink.h"

#include <QFocusEvent>

#include <QWidget>

#include "dbaware/editing.h"
#include "dbaware/guard.h"

namespace dbaware {

FieldLink::FieldLink(QWidget* control, std::function<void()> reload, std::function<void()> write)
    : control_(control), reload_(std::move(reload)), write_(std::move(write))
{
}

FieldLink::~FieldLink()
{
    QObject::disconnect(onRecord_);
    QObject::disconnect(onField_);
    if (source_)
        source_->removeWriter(this);
}

void FieldLink::setDataSource(DataSource* source)
{
    if (source == source_)
        return;
    QObject::disconnect(onRecord_);
    QObject::disconnect(onField_);
    if (source_)
        source_->removeWriter(this);
    source_ = source;
    connectSource();
    reload();
}

void FieldLink::setFieldName(const QString& name)
{
    fieldName_ = name;
    cachedLayout_ = nullptr;
    reload();
}

void FieldLink::connectSource()
{
    if (!source_)
        return;
    source_->addWriter(this);
    onRecord_ = QObject::connect(source_, &DataSource::recordChanged, control_, [this] { reload(); });
    onField_ = QObject::connect(source_, &DataSource::fieldChanged, control_, [this](int c) {
        if (c == column())
            reload();
    });
}

int FieldLink::column() const
{
    if (!source_ || fieldName_.isEmpty() || !source_->table().isOpen())
        return -1;
    const store::TableLayout& layout = source_->table().layout();
    if (cachedLayout_ != &layout) {
        cachedLayout_ = &layout;
        cachedColumn_ = layout.columnIndex(fieldName_.toStdString());
    }
    return cachedColumn_;
}

const store::Column* FieldLink::columnInfo() const
{
    int c = column();
    return c < 0 ? nullptr : &source_->table().layout().columns[static_cast<std::size_t>(c)];
}

bool FieldLink::canChange() const { return active() && source_->canEdit(); }

bool FieldLink::beginChange() { return active() && source_->beginChange(control_); }

bool FieldLink::writeOnExit(const QFocusEvent& e)
{
    // Only the user leaving the box writes it; what the program moves keeps
    // the typed text pending, to be written when the record is saved.
    if (!leftByUser(control_, e))
        return true;
    if (!modified || !active() || writing_)
        return true;
    writing_ = true;
    const bool ok = guarded(control_, [this] { updateRecord(); });
    writing_ = false;
    return ok;
}

void FieldLink::updateRecord()
{
    if (modified && active()) {
        write_();
        modified = false;
    }
}

void FieldLink::reload()
{
    loading = true;
    try {
        reload_();
    } catch (...) {
        loading = false;
        throw;
    }
    loading = false;
    modified = false;
}

}  // namespace dbaware
