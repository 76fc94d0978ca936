#pragma once
#include <deque>
#include <optional>
#include <vector>

#include <QString>

#include "dbaware/dialogs.h"

namespace testing_support {

// Answers the program's boxes from a script and remembers what was shown.
// A box with no scripted answer gets the first button (OK or Yes).
class ScriptedDialogs final : public dbaware::Dialogs {
public:
    struct Shown {
        QString caption, text;
        dbaware::Icon icon;
        dbaware::Buttons buttons;
    };

    ScriptedDialogs() { dbaware::setDialogs(this); }
    ~ScriptedDialogs() override { dbaware::setDialogs(nullptr); }

    void answer(dbaware::Answer a) { answers.push_back(a); }
    // The file name the next save dialog returns; nothing: the user cancels.
    void saveAs(std::optional<QString> file) { files.push_back(file ? *file : QString()); }

    dbaware::Answer ask(QWidget*, const QString& caption, const QString& text, dbaware::Icon icon,
                        dbaware::Buttons buttons) override
    {
        shown.push_back({caption, text, icon, buttons});
        if (!answers.empty()) {
            auto a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == dbaware::Buttons::Ok || buttons == dbaware::Buttons::OkCancel ? dbaware::Answer::Ok
                                                                                         : dbaware::Answer::Yes;
    }
    std::optional<QString> saveFileName(QWidget*, const dbaware::SaveRequest& r) override
    {
        saveRequests.push_back(r);
        if (files.empty())
            return std::nullopt;
        QString f = files.front();
        files.pop_front();
        if (f.isNull())
            return std::nullopt;
        return f;
    }
    void beep() override { ++beeps; }

    QStringList texts() const
    {
        QStringList out;
        for (const auto& s : shown)
            out << s.text;
        return out;
    }

    std::deque<dbaware::Answer> answers;
    std::deque<QString> files;  // a null string stands for a cancelled dialog
    std::vector<Shown> shown;
    std::vector<dbaware::SaveRequest> saveRequests;
    int beeps = 0;
};

}  // namespace testing_support
