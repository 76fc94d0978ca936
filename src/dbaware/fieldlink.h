#pragma once
#include <QMetaObject>
#include <QPointer>
#include <QString>

#include <functional>

#include "dbaware/datasource.h"

class QFocusEvent;
class QWidget;

namespace dbaware {

// The tie of one control to one column of a data source's table: it reloads
// the control when the data changes, asks for edit state before the user's
// changes, and writes what the control holds on request.
class FieldLink final : public RecordWriter {
public:
    // `reload` shows the field's value in the control; `write` puts the
    // control's value into the field (and may throw the store's error).
    FieldLink(QWidget* control, std::function<void()> reload, std::function<void()> write);
    ~FieldLink() override;
    FieldLink(const FieldLink&) = delete;
    FieldLink& operator=(const FieldLink&) = delete;

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return source_; }
    void setFieldName(const QString& name);
    const QString& fieldName() const { return fieldName_; }

    // The bound column of the open table; -1 while unbound, closed, or when
    // the table has no such column.
    int column() const;
    bool active() const { return column() >= 0; }
    store::Table* table() const { return source_ ? &source_->table() : nullptr; }
    const store::Column* columnInfo() const;

    // Set while the control holds a value that the field does not have yet.
    bool modified = false;
    // Set while the control shows the field's value, so that the control can
    // tell the data's changes from the user's.
    bool loading = false;

    // Before the user changes the value: enters edit state when automatic
    // editing allows; an error is shown. False: the change must be refused.
    bool beginChange();
    // The write when the focus leaves the control: false when the field
    // refused the value (the error was shown and the control keeps it).
    bool writeOnExit(const QFocusEvent& e);
    // Whether beginChange() may succeed, without side effects.
    bool canChange() const;

    // Writes the control's value if it was changed; throws on error.
    void updateRecord() override;
    // Shows the field's value again, dropping what was typed.
    void reload();

private:
    void connectSource();

    QWidget* control_;
    bool writing_ = false;
    std::function<void()> reload_, write_;
    QPointer<DataSource> source_;
    QString fieldName_;
    QMetaObject::Connection onRecord_, onField_;
    mutable const store::TableLayout* cachedLayout_ = nullptr;
    mutable int cachedColumn_ = -1;
};

}  // namespace dbaware
