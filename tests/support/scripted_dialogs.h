#pragma once
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include <QString>

#include "dbaware/dialogs.h"

namespace testing_support {

// Long work's progress as a script plays it: the stages are noted, and the
// user presses Cancel once the chosen stage is under way.
class ScriptedProgress final : public dbaware::Progress {
public:
    struct Script {
        int cancelInStage = -1;     // counted from 0 as stage() reports them; -1: never
        int cancelledInStage = -1;  // where keepGoing() first answered no
        int calls = 0;
        std::vector<QString> stages;
    };
    explicit ScriptedProgress(Script& script) : script_(script) {}
    void stage(int done, int total, const QString& text) override
    {
        script_.stages.push_back(QStringLiteral("%1/%2 %3").arg(done).arg(total).arg(text));
    }
    bool keepGoing() override
    {
        ++script_.calls;
        const int now = static_cast<int>(script_.stages.size()) - 1;
        if (script_.cancelInStage < 0 || now < script_.cancelInStage)
            return true;
        if (script_.cancelledInStage < 0)
            script_.cancelledInStage = now;
        return false;
    }

private:
    Script& script_;
};

// Answers the program's boxes from a script and remembers what was shown.
// A box with no scripted answer gets its default button (OK or Yes, No where
// No is the default).
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
        if (buttons == dbaware::Buttons::YesNoDefaultNo)
            return dbaware::Answer::No;
        return buttons == dbaware::Buttons::Ok || buttons == dbaware::Buttons::OkCancel ? dbaware::Answer::Ok
                                                                                         : dbaware::Answer::Yes;
    }
    std::unique_ptr<dbaware::Progress> progress(QWidget*, const QString& title) override
    {
        progressTitles.push_back(title);
        return std::make_unique<ScriptedProgress>(progressScript);
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
    // The folder the next folder chooser returns; nothing: the user cancels.
    void chooseFolder(std::optional<QString> folder) { folders.push_back(folder ? *folder : QString()); }
    std::optional<QString> folderName(QWidget*, const QString& title, const QString&) override
    {
        folderTitles.push_back(title);
        if (folders.empty())
            return std::nullopt;
        QString f = folders.front();
        folders.pop_front();
        if (f.isNull())
            return std::nullopt;
        return f;
    }
    // What the next open dialog and list return; a null string or -1, or none
    // left: the user cancels.
    std::deque<QString> opens;
    std::deque<int> choices;
    std::vector<QStringList> lists;  // the items of each list shown
    std::optional<QString> openFileName(QWidget*, const dbaware::OpenRequest&) override
    {
        const QString f = opens.empty() ? QString() : opens.front();
        if (!opens.empty())
            opens.pop_front();
        return f.isNull() ? std::nullopt : std::optional<QString>(f);
    }
    std::optional<int> chooseItem(QWidget*, const QString&, const QString&, const QStringList& items) override
    {
        lists.push_back(items);
        const int row = choices.empty() ? -1 : choices.front();
        if (!choices.empty())
            choices.pop_front();
        return row < 0 ? std::nullopt : std::optional<int>(row);
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
    std::deque<QString> folders;  // a null string stands for a cancelled chooser
    QStringList folderTitles;
    int beeps = 0;
    std::vector<QString> progressTitles;
    ScriptedProgress::Script progressScript;
};

}  // namespace testing_support
