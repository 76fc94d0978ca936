#pragma once
#include <QString>
#include <QWidget>

#include <functional>
#include <utility>

#include "dbaware/datasource.h"
#include "store/table.h"

class QCloseEvent;
class QFrame;
class QKeyEvent;
class QPushButton;
class QTabWidget;
class QVBoxLayout;

namespace app {
struct Context;
}
namespace dbaware {
class DBEdit;
class DBMemo;
class DBNavigator;
}

// The province details window, with its own cursor on the whole province
// table. The realm window positions tblProv and selects tsGeneral before it
// shows this window modally.
class TfrmProvince final : public QWidget {
    Q_OBJECT
public:
    explicit TfrmProvince(app::Context& context, QWidget* parent = nullptr);

    // Declared before its data source, which must not outlive it.
    store::Table tblProv;
    dbaware::DataSource dsProv;

    // The top panel.
    QFrame* Panel1;
    dbaware::DBEdit* dedtGameName;
    dbaware::DBEdit* dedtCharName;
    dbaware::DBEdit* dedtProvName;
    dbaware::DBEdit* dedtProvLevel;
    dbaware::DBEdit* dedtMaxSrcPotential;
    dbaware::DBEdit* dedtTerrain;
    QPushButton* btnClose;

    QTabWidget* PageControl1;
    QWidget* tsGeneral;
    QWidget* tsTradeRoutes;
    QWidget* tsGuilds;
    QWidget* tsLaw;
    QWidget* tsSource;
    QWidget* tsTemple;

    // Page "General".
    dbaware::DBEdit* dedtProvOwner;
    dbaware::DBEdit* dedtCastleLevel;
    dbaware::DBEdit* dedtTaxationLevel;
    dbaware::DBEdit* dedtLawClaimsLossSource;
    dbaware::DBMemo* dedtArmies;
    dbaware::DBMemo* dedtRealmSpellsInEffect;

    // Page "Trade Routes".
    dbaware::DBMemo* dmemTradeRoutes;
    dbaware::DBEdit* DBEdit5;
    dbaware::DBEdit* DBEdit6;

    // Page "Guilds".
    dbaware::DBEdit *dedtGuild1Level, *dedtGuild1Owner, *DBEdit7, *dedtGuild1LawLossSource;
    dbaware::DBEdit *dedtGuild2Level, *dedtGuild2Owner, *DBEdit8, *dedtGuild2LawLossSource;
    dbaware::DBEdit *dedtGuild3Level, *dedtGuild3Owner, *DBEdit9, *dedtGuild3LawLossSource;
    dbaware::DBEdit *dedtGuild4Level, *dedtGuild4Owner, *DBEdit10, *dedtGuild4LawLossSource;

    // Page "Law".
    dbaware::DBEdit *dedtLaw1Level, *dedtLaw1Owner, *DBEdit11, *DBEdit1;
    dbaware::DBEdit *dedtLaw2Level, *dedtLaw2Owner, *DBEdit12, *DBEdit2;
    dbaware::DBEdit *dedtLaw3Level, *dedtLaw3Owner, *DBEdit13, *DBEdit3;
    dbaware::DBEdit *dedtLaw4Level, *dedtLaw4Owner, *DBEdit14, *DBEdit4;

    // Page "Source".
    dbaware::DBEdit *dedtSource1Level, *dedtSource1Owner, *DBEdit15;
    dbaware::DBEdit *dedtSource2Level, *dedtSource2Owner, *DBEdit16;
    dbaware::DBEdit *dedtSource3Level, *dedtSource3Owner, *DBEdit17;
    dbaware::DBEdit *dedtSource4Level, *dedtSource4Owner, *DBEdit18;
    dbaware::DBMemo* dmemLeyLines;
    dbaware::DBMemo* dmemLeyLinesProt;

    // Page "Temple".
    dbaware::DBEdit *dedtTemple1Level, *dedtTemple1Owner, *DBEdit19, *dedtTemple1LawLoss;
    dbaware::DBEdit *dedtTemple2Level, *dedtTemple2Owner, *DBEdit20, *dedtTemple2LawLoss;
    dbaware::DBEdit *dedtTemple3Level, *dedtTemple3Owner, *DBEdit21, *dedtTemple3LawLoss;
    dbaware::DBEdit *dedtTemple4Level, *dedtTemple4Owner, *DBEdit22, *dedtTemple4LawLoss;

    dbaware::DBNavigator* DBNavigator1;

    // The game and character names of the character whose province list
    // opened this window, as shown there; a new province takes them.
    std::function<std::pair<QString, QString>()> characterNames;

    void FormCreate();
    // Whether the window may close; a pending record is saved first.
    bool FormCloseQuery();
    bool FormKeyUp(QKeyEvent& key);
    void btnCloseClick();
    void tblProvAfterInsert(store::Table& table);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildTopPanel();
    void buildGeneralPage();
    void buildTradeRoutesPage();
    void buildSourceMemos(QVBoxLayout* column);
    void setReadingOrder();
};
