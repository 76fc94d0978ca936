#include "dbaware/datasource.h"

#include <utility>

#include "dbaware/guard.h"

#include <algorithm>

namespace dbaware {

// The table's observer. Kept apart from DataSource so that the observer's
// virtual functions do not overload the signals of the same names.
class DataSource::Relay final : public store::TableObserver {
public:
    explicit Relay(DataSource& ds) : ds_(ds) {}
    void stateChanged(store::Table&) override { emit ds_.stateChanged(); }
    void recordChanged(store::Table&) override { emit ds_.recordChanged(); }
    void fieldChanged(store::Table&, int column) override { emit ds_.fieldChanged(column); }
    // Called directly, not through a signal: a write error must reach the
    // store's post or move as an exception.
    void updateRecord(store::Table&) override { ds_.updateRecord(); }

private:
    DataSource& ds_;
};

DataSource::DataSource(store::Table& table, QObject* parent) : QObject(parent), table_(table), relay_(new Relay(*this))
{
    table_.addObserver(relay_);
}

DataSource::~DataSource()
{
    table_.removeObserver(relay_);
    delete relay_;
}

bool DataSource::canEdit() const
{
    if (!table_.isOpen())
        return false;
    return table_.editing() || (autoEdit_ && table_.mayChange());
}

bool DataSource::edit()
{
    if (!table_.isOpen())
        return false;
    if (!table_.editing() && autoEdit_)
        table_.edit();
    return table_.editing();
}

void DataSource::addWriter(RecordWriter* writer)
{
    if (std::find(writers_.begin(), writers_.end(), writer) == writers_.end())
        writers_.push_back(writer);
}

void DataSource::removeWriter(RecordWriter* writer) { std::erase(writers_, writer); }

void DataSource::updateRecord()
{
    auto copy = writers_;
    for (RecordWriter* w : copy)
        if (std::find(writers_.begin(), writers_.end(), w) != writers_.end())
            w->updateRecord();
}

bool DataSource::beginChange(QWidget* control)
{
    if (!table_.isOpen())
        return false;
    if (table_.editing())
        return true;
    if (!autoEdit_)
        return false;
    // A record kept for someone else says why once; further keys on it are
    // refused without a word.
    if (!table_.mayChange()) {
        if (std::exchange(refusedRow_, table_.bookmark().rowid) == refusedRow_)
            return false;
    }
    bool editing = false;
    guarded(control, [&] { editing = edit(); });
    return editing;
}

}  // namespace dbaware
