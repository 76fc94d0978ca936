#pragma once
#include <QCheckBox>

#include "dbaware/fieldlink.h"

namespace dbaware {

// A check box bound to a Logical column: ticked for true, empty for false,
// and grey (Qt::PartiallyChecked) while the field holds no value. A click
// toggles between ticked and empty only (grey goes to ticked) and writes the
// field at once, putting the record into edit state first when automatic
// editing allows; otherwise the click is refused.
class DBCheckBox : public QCheckBox {
    Q_OBJECT
    Q_PROPERTY(QString dataField READ fieldName WRITE setDataField)
public:
    explicit DBCheckBox(QWidget* parent = nullptr);
    explicit DBCheckBox(const QString& text, QWidget* parent = nullptr);
    ~DBCheckBox() override;

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return link_.dataSource(); }
    void setFieldName(const QString& name);
    void setDataField(const QString& name) { setFieldName(name); }
    QString fieldName() const { return link_.fieldName(); }

    // Ticked. The grey state counts as not checked, whereas Qt's isChecked()
    // is true for it.
    bool checked() const { return checkState() == Qt::Checked; }

signals:
    // The shown state changed, by a click or because of the data; sent after
    // the change, so the new state can be read.
    void stateClick();

protected:
    void nextCheckState() override;

private:
    void reloadField();
    void writeField();

    FieldLink link_;
};

}  // namespace dbaware
