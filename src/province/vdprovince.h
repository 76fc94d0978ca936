#pragma once
#include <QString>
#include <QWidget>

#include <functional>
#include <utility>

#include "dbaware/datasource.h"
#include "store/table.h"
#include "ui_vdprovince.h"

class QCloseEvent;
class QShowEvent;
class QKeyEvent;

namespace app {
struct Context;
}

// The province details window, with its own cursor on the whole province
// table. The realm window positions tblProv and selects tsGeneral before it
// shows this window modally. Its controls come from vdprovince.ui.
class TfrmProvince final : public QWidget, public Ui::TfrmProvince {
    Q_OBJECT
public:
    explicit TfrmProvince(app::Context& context, QWidget* parent = nullptr);

    // Declared before its data source, which must not outlive it.
    store::Table tblProv;
    dbaware::DataSource dsProv;

    // The game and character names of the character whose province list
    // opened this window, as shown there; a new province takes them.
    std::function<std::pair<QString, QString>()> characterNames;
    void FormCreate();
    // Whether the window may close; a pending record is saved first.
    bool FormCloseQuery();
    bool FormKeyUp(QKeyEvent& key);
    // Escape, once no control took it: closes as Close does, but a pending
    // province is saved only on the user's Yes (No drops it, Cancel stays).
    void FormEscape();
    // Each showing starts in the first box that takes typing.
    void FormShow();
    void btnCloseClick();
    void tblProvAfterInsert(store::Table& table);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void setReadingOrder();
    bool escaping_ = false;
};
