#pragma once
#include <QString>

#include <exception>
#include <utility>

#include "dbaware/dialogs.h"

class QWidget;

namespace dbaware {

// Runs one event handler. An error that the handler does not catch itself
// ends it there and is shown in the error box; it never ends the program.
// Returns false when the handler failed.
template <class F>
bool guarded(QWidget* parent, F&& handler)
{
    try {
        std::forward<F>(handler)();
        return true;
    } catch (const std::exception& e) {
        showError(parent, QString::fromUtf8(e.what()));
    } catch (...) {
        showError(parent, QStringLiteral("Unknown error"));
    }
    return false;
}

}  // namespace dbaware
