#pragma once
#include <QMainWindow>

#include "store/table.h"

class QKeyEvent;

namespace app {
struct Context;
}

// The character browser, the main window: closing it ends the program.
class TfrmVDDBSearch final : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmVDDBSearch(app::Context& context, QWidget* parent = nullptr);

    store::Table tblVDDB;

    void FormCreate();
    void FormActivate();
    bool FormKeyUp(QKeyEvent& key);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    app::Context& context_;
};

extern TfrmVDDBSearch* frmVDDBSearch;
