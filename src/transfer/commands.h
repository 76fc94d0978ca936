#pragma once
#include <QString>

#include <cstdint>
#include <functional>

class QWidget;
class TfrmTransfer;

namespace campaign {
class Tables;
}

namespace transfer {

// "1 character and 3 provinces", as the messages count them.
QString charactersAndProvinces(std::int64_t characters, std::int64_t provinces);

// The transfer commands of the realm window's menu, which the browser gives
// too: export the shown character, import every transferred one, show the
// transfer window, empty the transfer tables. They work on the shared tables
// and tell their outcome as a status text through `status`.
class Commands {
public:
    using Status = std::function<void(const QString&)>;
    // `boxParent` gives the window their questions and errors go over.
    Commands(campaign::Tables& tables, Status status, std::function<QWidget*()> boxParent);

    // The transfer window that the view command shows; set once it exists.
    void setWindow(TfrmTransfer& window) { window_ = &window; }

    void exportCurrentCharacter();
    void importCharacters();
    void view();
    void empty();
    // The transfer tables as one file written where the user chooses, to be
    // carried to another database folder and opened there.
    void saveTransferFileAs();
    // A transfer file chosen by the user, checked as any file from elsewhere,
    // taken in place of the transfer tables in one step.
    void openTransferFile();

private:
    // The first transfer character whose game and name the character table
    // already holds, as a line of the import's error; empty when none.
    QString characterAlreadyThere();

    campaign::Tables& tables_;
    Status status_;
    std::function<QWidget*()> boxParent_;
    TfrmTransfer* window_ = nullptr;
};

}  // namespace transfer
