#pragma once
#include <QWidget>

#include <functional>
#include <vector>

#include "app/modal.h"

namespace testing_support {

// Stands in for modal showing: records the windows and returns at once,
// after an optional action that plays the user's part.
class ScriptedModal final : public app::ModalShowing {
public:
    ScriptedModal() { app::setModalShowing(this); }
    ~ScriptedModal() override { app::setModalShowing(nullptr); }
    int show(QWidget& window) override
    {
        shown.push_back(&window);
        if (action)
            action(window);
        return result;
    }
    std::vector<QWidget*> shown;
    std::function<void(QWidget&)> action;
    int result = 0;
};

}  // namespace testing_support
