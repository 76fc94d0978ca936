#pragma once
#include <QObject>

class QWidget;

#include <vector>

#include "store/table.h"

namespace dbaware {

// A control that may hold a value typed but not yet written into the record.
class RecordWriter {
public:
    virtual ~RecordWriter() = default;
    // Writes what the control holds into the current record. Throws the
    // store's error, which refuses the post or the move that asked for it.
    virtual void updateRecord() = 0;
};

// Stands between one table object and the controls bound to it. It owns no
// table: the table must outlive it (declare the table first). The table's
// suspension of its controls (disableControls/enableControls) holds back the
// signals here as well; the last resume sends them.
class DataSource : public QObject {
    Q_OBJECT
public:
    explicit DataSource(store::Table& table, QObject* parent = nullptr);
    ~DataSource() override;

    store::Table& table() const { return table_; }
    store::State state() const { return table_.state(); }

    // With automatic editing on (the default), the first change a user makes
    // to a record in browse state puts the table into edit state.
    bool autoEdit() const { return autoEdit_; }
    void setAutoEdit(bool on) { autoEdit_ = on; }

    // Makes the current record changeable before a user's change: true when
    // the table is in edit or insert state afterwards. Throws the store's
    // error when entering edit state fails.
    bool edit();
    // Whether edit() could succeed without trying it.
    bool canEdit() const;
    // Before a user's change in a control: true when the record may be
    // changed now, entering edit state if automatic editing allows. An error
    // is shown over `control`; the change must then be refused.
    bool beginChange(QWidget* control);

    // Controls that hold typed text register here; they are asked to write
    // it, in registration order, before every post or browse-mode check.
    void addWriter(RecordWriter* writer);
    void removeWriter(RecordWriter* writer);
    // Has every registered control write what it holds into the current
    // record now, as before a post (for a window that reads the fields
    // without posting). Throws the store's error.
    void updateRecord();

signals:
    // Browse, edit, insert or inactive.
    void stateChanged();
    // Another record is shown, or the shown one was re-read: controls reload.
    void recordChanged();
    // One field of the current record was written.
    void fieldChanged(int column);

private:
    class Relay;
    friend class Relay;

    store::Table& table_;
    bool autoEdit_ = true;
    std::int64_t refusedRow_ = 0;  // the record whose refusal was told last
    std::vector<RecordWriter*> writers_;
    Relay* relay_;
};

}  // namespace dbaware
