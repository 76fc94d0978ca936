#pragma once
#include <QString>

#include <vector>

class QWidget;

namespace dbaware {

class DataSource;

// A data-aware control of a form and the column it names in its dataField
// property.
struct Binding {
    QWidget* control;
    QString field;
};

// Every data-aware control inside `form` that names a column, in the order
// the form creates them (its reading order).
std::vector<Binding> boundFields(QWidget& form);

// Binds every control of boundFields(form) to `source`, in that order, which
// is also the order in which they write typed text before a post.
void bindFields(QWidget& form, DataSource& source);

}  // namespace dbaware
