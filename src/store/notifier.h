// What the controls bound to a table object hear, and their suspension:
// while suspended, state and record notices are held back and sent once on
// the last resume; the window's own handlers are not held back.
#pragma once
#include <vector>

namespace store {

class Table;

enum class State { Inactive, Browse, Edit, Insert };

// What bound controls (through their data source) hear from a table object.
class TableObserver {
public:
    virtual ~TableObserver() = default;
    virtual void stateChanged(Table&) {}
    // Another record is shown, or the shown one was re-read.
    virtual void recordChanged(Table&) {}
    // One field of the current record was written.
    virtual void fieldChanged(Table&, int /*column*/) {}
    // Before a post or a browse-mode check: controls write what they hold.
    virtual void updateRecord(Table&) {}
};

class Notifier {
public:
    explicit Notifier(Table& table) : table_(table) {}

    void add(TableObserver* observer);
    void remove(TableObserver* observer);

    void suspend() { ++suspended_; }
    // Unbalanced resumes are ignored.
    void resume();
    bool suspended() const { return suspended_ > 0; }

    void stateChanged();
    void recordChanged();
    void fieldChanged(int column);  // held back as a record notice
    void updateRecord();            // never held back: a post needs what controls hold

private:
    template <class Call>
    void send(Call call);

    Table& table_;
    std::vector<TableObserver*> observers_;
    int suspended_ = 0;
    bool heldState_ = false, heldRecord_ = false;
};

}  // namespace store
