// Telling bound controls of a table object's changes, held back while
// they are suspended.
#include "store/notifier.h"

#include <algorithm>
#include <utility>

namespace store {

template <class Call>
void Notifier::send(Call call)
{
    // An observer may remove itself (or others) while it is told.
    const auto copy = observers_;
    for (TableObserver* o : copy)
        if (std::find(observers_.begin(), observers_.end(), o) != observers_.end())
            call(*o);
}

void Notifier::add(TableObserver* observer)
{
    if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void Notifier::remove(TableObserver* observer) { std::erase(observers_, observer); }

void Notifier::resume()
{
    if (suspended_ == 0 || --suspended_ > 0)
        return;
    const bool state = std::exchange(heldState_, false);
    const bool record = std::exchange(heldRecord_, false);
    if (state)
        send([this](TableObserver& o) { o.stateChanged(table_); });
    if (record)
        send([this](TableObserver& o) { o.recordChanged(table_); });
}

void Notifier::stateChanged()
{
    if (suspended_) {
        heldState_ = true;
        return;
    }
    send([this](TableObserver& o) { o.stateChanged(table_); });
}

void Notifier::recordChanged()
{
    if (suspended_) {
        heldRecord_ = true;
        return;
    }
    send([this](TableObserver& o) { o.recordChanged(table_); });
}

void Notifier::fieldChanged(int column)
{
    if (suspended_) {
        heldRecord_ = true;
        return;
    }
    send([this, column](TableObserver& o) { o.fieldChanged(table_, column); });
}

void Notifier::updateRecord()
{
    send([this](TableObserver& o) { o.updateRecord(table_); });
}

}  // namespace store
