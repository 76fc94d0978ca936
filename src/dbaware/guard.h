#pragma once
#include <QString>

#include <exception>
#include <type_traits>
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

// Runs `work`, then `after` however `work` ends: the windows show what is
// stored after a failure too. When both fail, work's error is the one that
// leaves.
template <class Work, class After>
auto thenAlways(Work&& work, After&& after) -> decltype(work())
{
    auto afterFailure = [&after] {
        try {
            after();
        } catch (...) {
            // The work's error is the one to report.
        }
    };
    if constexpr (std::is_void_v<decltype(work())>) {
        try {
            work();
        } catch (...) {
            afterFailure();
            throw;
        }
        after();
    } else {
        auto result = [&] {
            try {
                return work();
            } catch (...) {
                afterFailure();
                throw;
            }
        }();
        after();
        return result;
    }
}

}  // namespace dbaware
