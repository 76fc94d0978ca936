#pragma once
#include <QString>

#include <exception>
#include <utility>

#include "dbaware/dialogs.h"

class QWidget;

namespace dbaware {

// A step refused with a message the user has already been shown (a name
// that must be entered): it ends the handler as an error does, with no
// error box after the message.
class Refused : public std::exception {
public:
    const char* what() const noexcept override { return "Refused"; }
};

// Runs one event handler. An error that the handler does not catch itself
// ends it there and is shown in the error box (a refusal already told is
// not shown again); it never ends the program.
// Returns false when the handler failed.
template <class F>
bool guarded(QWidget* parent, F&& handler)
{
    try {
        std::forward<F>(handler)();
        return true;
    } catch (const Refused&) {
    } catch (const std::exception& e) {
        showError(parent, QString::fromUtf8(e.what()));
    } catch (...) {
        showError(parent, QStringLiteral("Unknown error"));
    }
    return false;
}

}  // namespace dbaware
