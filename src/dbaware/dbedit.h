#pragma once
#include <QLineEdit>

#include "dbaware/fieldlink.h"

namespace dbaware {

// A one-line box bound to a column of a data source's table. Without a data
// source it is a plain box with the same access modes and change signal
// (the computed boxes).
//
// It shows the field's text. The user's first change to a record in browse
// state puts the table into edit state before the key takes effect, when the
// data source's automatic editing is on; otherwise typing is refused. The text
// is written into the field when the focus leaves the box and before every
// post or browse-mode check of the table; a conversion or range error is
// shown in the error box and leaves the record pending with the typed text in
// the box. Text set by the program (setText) counts as typed.
class DBEdit : public QLineEdit {
    Q_OBJECT
    // The column the box shows, as a form names it; see bindFields().
    Q_PROPERTY(QString dataField READ fieldName WRITE setDataField)
    Q_PROPERTY(Access access READ access WRITE setAccess)
public:
    // Editable; ReadOnly: grey, skipped by Tab, can take the focus by a click
    // but not be changed; Disabled: grey and cannot take the focus at all.
    enum class Access { Editable, ReadOnly, Disabled };
    Q_ENUM(Access)

    explicit DBEdit(QWidget* parent = nullptr);
    ~DBEdit() override;

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return link_.dataSource(); }
    void setFieldName(const QString& name);
    void setDataField(const QString& name) { setFieldName(name); }
    QString fieldName() const { return link_.fieldName(); }

    void setAccess(Access access);
    Access access() const { return access_; }

    // A mirror of another box on the same field: it shows what `source`
    // shows, typed text included, and never writes it (the source does).
    void mirror(const DBEdit* source);

    // Whether the box holds text that the field does not have yet.
    bool hasPendingText() const { return link_.modified; }
    // Writes pending text into the field now; throws the store's error.
    void updateRecord() { link_.updateRecord(); }

signals:
    // The shown text really changed, by typing or because of the data.
    void changed();
    // The user moved the focus on to another control of the window, after
    // the box's text was written. A move the program made (another window
    // or page shown, a handler's setFocus) is no exit, nor is a leaving that
    // the field refused (the focus stays in the box).
    void exited();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;

private:
    void reloadField();
    void writeField();
    void userEdited();
    bool bound() const { return link_.active(); }

    FieldLink link_;
    Access access_ = Access::Editable;
    int limit_ = 32767;  // characters the field takes
};

}  // namespace dbaware
