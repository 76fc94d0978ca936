#include "realm/vddetails.h"
#include "dbaware/text.h"
#include "campaign/catalogue.h"
#include "campaign/columns.h"
#include "store/all_or_nothing.h"

#include "app/about.h"
#include "app/context.h"
#include "app/help.h"
#include "app/modal.h"
#include "app/shell.h"
#include "dbaware/dbcheckbox.h"
#include "dbaware/dbedit.h"
#include "dbaware/dbgrid.h"
#include "dbaware/dbmemo.h"
#include "dbaware/dbnavigator.h"
#include "dbaware/dialogs.h"
#include "dbaware/guard.h"
#include "dbaware/statusbar.h"
#include "province/vdprovince.h"
#include "campaign/tables.h"
#include "transfer/commands.h"
#include "store/database.h"
#include "store/error.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace col = campaign::col;

namespace {

// Set by the window's first activation and kept for the rest of the run:
// until then the tables are still being opened, and the province list is
// left alone.
bool activated = false;

// Widths of the one-line boxes, by what they hold.
constexpr int numberWidth = 64;
constexpr int shortTextWidth = 110;
constexpr int nameWidth = 230;


bool blankField(const store::Table& table, const char* field)
{
    return dbaware::isBlank(QString::fromStdString(table.text(field)));
}

QFormLayout* formOn(QWidget* parent)
{
    auto* form = new QFormLayout(parent);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->setFormAlignment(Qt::AlignLeft | Qt::AlignTop);
    return form;
}

QLabel* label(const char* text, QWidget* parent) { return new QLabel(QString::fromUtf8(text), parent); }

// A hint under or beside a label, in a smaller type.
QLabel* note(const char* text, QWidget* parent)
{
    QLabel* l = label(text, parent);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * 0.9);
    l->setFont(f);
    return l;
}

QGroupBox* group(const char* title, QWidget* parent) { return new QGroupBox(QString::fromUtf8(title), parent); }

// Lines up the boxes of a form inside a group with those of a form under
// the group: the same label column, the same left edge.
void alignWithGroup(QFormLayout* inGroup, QGroupBox* group, QFormLayout* below)
{
    int widest = 0;
    for (QFormLayout* form : {inGroup, below})
        for (int r = 0; r < form->rowCount(); ++r)
            if (QLayoutItem* item = form->itemAt(r, QFormLayout::LabelRole); item && item->widget())
                widest = std::max(widest, item->widget()->sizeHint().width());
    for (QFormLayout* form : {inGroup, below})
        for (int r = 0; r < form->rowCount(); ++r)
            if (QLayoutItem* item = form->itemAt(r, QFormLayout::LabelRole); item && item->widget())
                item->widget()->setMinimumWidth(widest);
    QMargins m = below->contentsMargins();
    m.setLeft(inGroup->contentsMargins().left() + group->contentsMargins().left());
    below->setContentsMargins(m);
}

// A box with a note to its right, as one field of a form row.
QWidget* withNote(QWidget* box, const char* text, QWidget* parent)
{
    auto* holder = new QWidget(parent);
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    box->setParent(holder);
    row->addWidget(box);
    row->addWidget(note(text, holder));
    row->addStretch(1);
    return holder;
}

// A label with a note under it, as the label of a form row.
QWidget* labelOverNote(QLabel* top, QLabel* under, QWidget* parent)
{
    auto* holder = new QWidget(parent);
    auto* column = new QVBoxLayout(holder);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    top->setParent(holder);
    under->setParent(holder);
    column->addWidget(top);
    column->addWidget(under);
    return holder;
}

// A memo under its label, taking the room that is left.
QWidget* memoUnderLabel(const char* text, QWidget* memo, QWidget* parent)
{
    auto* holder = new QWidget(parent);
    auto* column = new QVBoxLayout(holder);
    column->setContentsMargins(0, 0, 0, 0);
    memo->setParent(holder);
    column->addWidget(label(text, holder));
    column->addWidget(memo, 1);
    return holder;
}

}  // namespace

TfrmRealmDetails::TfrmRealmDetails(app::Context& context, campaign::Tables& tables, QWidget* parent)
    : QMainWindow(parent),
      tblVDDB(tables.tblVDDB),
      tblProv(tables.tblProv),
      tblTransfer(tables.tblTransfer),
      tblXfrProv(tables.tblXfrProv),
      dsVDDB(tables.dsVDDB),
      dsProv(tables.dsProv),
      dsTransfer(tables.dsTransfer),
      dsExpProv(tables.dsExpProv),
      Query1(context.session),
      context_(context),
      tables_(tables),
      transfer_(std::make_unique<transfer::Commands>(
          tables, [this](const QString& text) { StatusBar1->setText(text); },
          // Commands given from the browser run while this window is hidden;
          // their boxes go over the window the user is looking at.
          [this]() -> QWidget* { return isVisible() ? this : QApplication::activeWindow(); }))
{
    // The window is created once per run: this is the start of the run.
    activated = false;
    setWindowTitle(QStringLiteral("Realm Details"));
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(4, 4, 4, 0);
    column->setSpacing(4);

    // Created in reading order, which is the order of the Tab key.
    buildTopPanel(central);
    column->addWidget(Panel1);

    PageControl1 = new QTabWidget(central);
    // Eleven tabs in one row (Qt has no rows of tabs): narrower tabs keep
    // every caption whole within a window that fits a 1024 by 768 screen,
    // and scroll buttons take over only when the window is made narrower.
    PageControl1->setUsesScrollButtons(true);
    PageControl1->setElideMode(Qt::ElideNone);
    PageControl1->tabBar()->setAttribute(Qt::WA_Hover);
    PageControl1->tabBar()->setStyleSheet(QStringLiteral(
        "QTabBar::tab { padding: 3px 5px; border: 1px solid palette(mid);"
        " border-bottom: none; border-top-left-radius: 3px; border-top-right-radius: 3px;"
        " background: palette(button); }"
        "QTabBar::tab:!selected { margin-top: 2px; }"
        "QTabBar::tab:selected { background: palette(base); }"
        "QTabBar::tab:hover:!selected { background: palette(highlight); color: palette(highlighted-text); }"));
    tsGeneralInfo = buildGeneralInfo();
    PageControl1->addTab(tsGeneralInfo, QStringLiteral("General Info"));
    tsDiplomacy = buildDiplomacy();
    PageControl1->addTab(tsDiplomacy, QStringLiteral("Diplomacy"));
    tsProvinces = buildProvinces();
    PageControl1->addTab(tsProvinces, QStringLiteral("Provinces"));
    tsMaintenance = buildMaintenance();
    PageControl1->addTab(tsMaintenance, QStringLiteral("Maintenance"));
    tsMagic = buildMagic();
    PageControl1->addTab(tsMagic, QStringLiteral("Magic"));
    tsTradeRoutes = buildTradeRoutes();
    PageControl1->addTab(tsTradeRoutes, QStringLiteral("Trade Routes"));
    tsIncome = buildIncome();
    PageControl1->addTab(tsIncome, QStringLiteral("Income"));
    tsCivicImprovements = buildOneMemoPage(dmemCivicImprovements, col::CivicImprovements, "Civic Improvements:");
    PageControl1->addTab(tsCivicImprovements, QStringLiteral("Civic Improvements"));
    tsBuildingProjects = buildBuildingProjects();
    PageControl1->addTab(tsBuildingProjects, QStringLiteral("Building Projects"));
    tsVassals = buildOneMemoPage(dmemVassals, col::Vassals, "Lieutenant/Vassal Information:");
    PageControl1->addTab(tsVassals, QStringLiteral("Lieutenants/Vassals"));
    tsMisc = buildOneMemoPage(dmemMisc, col::MiscLeftovers, "Misc Leftovers:");
    PageControl1->addTab(tsMisc, QStringLiteral("Misc"));
    column->addWidget(PageControl1, 1);

    DBNavigator1 = new dbaware::DBNavigator(central);
    DBNavigator1->setDataSource(&dsVDDB);
    using dbaware::NavButton;
    DBNavigator1->setVisibleButtons({NavButton::First, NavButton::Prior, NavButton::Next, NavButton::Last,
                                     NavButton::Insert, NavButton::Delete, NavButton::Post, NavButton::Cancel});
    DBNavigator1->setHint(NavButton::First, QStringLiteral("First record"));
    DBNavigator1->setHint(NavButton::Prior, QStringLiteral("Prior record"));
    DBNavigator1->setHint(NavButton::Next, QStringLiteral("Next record"));
    DBNavigator1->setHint(NavButton::Last, QStringLiteral("Last record"));
    DBNavigator1->setHint(NavButton::Insert, QStringLiteral("Insert record"));
    DBNavigator1->setHint(NavButton::Delete, QStringLiteral("Delete record"));
    DBNavigator1->setHint(NavButton::Post, QStringLiteral("Post edit"));
    DBNavigator1->setHint(NavButton::Cancel, QStringLiteral("Cancel edit"));
    column->addWidget(DBNavigator1);
    setCentralWidget(central);

    StatusBar1 = new dbaware::StatusBar(this);
    setStatusBar(StatusBar1);

    buildMenu();
    connectHandlers();

    resize(960, 640);
    app::openCentred(*this);
    new app::KeyPreview(*this, [this](QKeyEvent& key) { return FormKeyUp(key); });
    new app::ActivationWatch(*this, [this] { FormActivate(); });
}

TfrmRealmDetails::~TfrmRealmDetails()
{
    // The shared tables outlive the window: nothing they do then may reach
    // its handlers.
    tblVDDB.beforeDelete = nullptr;
    tblVDDB.afterDelete = nullptr;
    tblVDDB.afterScroll = nullptr;
    tblVDDB.afterCancel = nullptr;
    tblVDDB.afterPost = nullptr;
    tblVDDB.keyChanged = nullptr;
    tblProv.afterInsert = nullptr;
    tblProv.afterPost = nullptr;
}

void TfrmRealmDetails::useWindows(TfrmProvince& province, TfrmTransfer& transfer)
{
    province_ = &province;
    transfer_->setWindow(transfer);
    // A province added there belongs to the character shown here, by the
    // names as they are shown, saved or not.
    province.characterNames = [this] { return std::pair{dedtGameName->text(), dedtCharName->text()}; };
}

// ---- Building the window -------------------------------------------------

dbaware::DBEdit* TfrmRealmDetails::edit(QWidget* parent, const char* field, int width)
{
    auto* e = new dbaware::DBEdit(parent);
    e->setDataSource(&dsVDDB);
    e->setFieldName(QString::fromLatin1(field));
    e->setFixedWidth(width);
    return e;
}

dbaware::DBEdit* TfrmRealmDetails::mirror(QWidget* parent, const char* field, bool readOnly, int width)
{
    dbaware::DBEdit* e = edit(parent, field, width);
    e->setAccess(readOnly ? dbaware::DBEdit::Access::ReadOnly : dbaware::DBEdit::Access::Disabled);
    return e;
}

dbaware::DBEdit* TfrmRealmDetails::computed(QWidget* parent, int width)
{
    auto* e = new dbaware::DBEdit(parent);
    e->setAccess(dbaware::DBEdit::Access::ReadOnly);
    e->setFixedWidth(width);
    return e;
}

dbaware::DBMemo* TfrmRealmDetails::memo(QWidget* parent, const char* field, bool scrollBar)
{
    auto* m = new dbaware::DBMemo(parent);
    m->setDataSource(&dsVDDB);
    m->setFieldName(QString::fromLatin1(field));
    m->setScrollBars(scrollBar ? dbaware::DBMemo::ScrollBars::Vertical : dbaware::DBMemo::ScrollBars::None);
    // Tab leaves the memo, as in the one-line boxes.
    m->setTabChangesFocus(true);
    return m;
}

dbaware::DBCheckBox* TfrmRealmDetails::check(QWidget* parent, const char* caption, const char* field)
{
    auto* c = new dbaware::DBCheckBox(QString::fromUtf8(caption), parent);
    c->setDataSource(&dsVDDB);
    c->setFieldName(QString::fromLatin1(field));
    return c;
}

void TfrmRealmDetails::buildTopPanel(QWidget* parent)
{
    Panel1 = new QFrame(parent);
    Panel1->setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(Panel1);
    QLabel* game = label("Game Name:", Panel1);
    dedtGameName = edit(Panel1, col::GameName, nameWidth);
    QLabel* character = label("Character Name:", Panel1);
    dedtCharName = edit(Panel1, col::CharacterName, nameWidth);
    btnClose = new QPushButton(QStringLiteral("&Close"), Panel1);
    btnClose->setAutoDefault(false);
    // The labels come first in the chain; Tab skips them.
    setTabOrder(dedtGameName, dedtCharName);
    setTabOrder(dedtCharName, btnClose);
    row->addWidget(game);
    row->addWidget(dedtGameName);
    row->addSpacing(16);
    row->addWidget(character);
    row->addWidget(dedtCharName);
    row->addStretch(1);
    row->addWidget(btnClose);
}

QWidget* TfrmRealmDetails::buildGeneralInfo()
{
    auto* page = new QWidget(PageControl1);
    auto* grid = new QGridLayout(page);

    QGroupBox* bloodline = group("Bloodline", page);
    QFormLayout* b = formOn(bloodline);
    dedtBloodlineDerivation = edit(bloodline, col::BloodlineDerivation, shortTextWidth);
    dedtBloodlineStr = edit(bloodline, col::BloodlineStrength, shortTextWidth);
    dedtBloodlineScore = edit(bloodline, col::BloodlineScore, numberWidth);
    b->addRow(label("Bloodline Derivation:", bloodline), dedtBloodlineDerivation);
    b->addRow(label("Bloodline Strength:", bloodline), dedtBloodlineStr);
    b->addRow(label("Bloodline Score:", bloodline), dedtBloodlineScore);

    QGroupBox* classes = group("Classes", page);
    auto* c = new QGridLayout(classes);
    cbWarrior = check(classes, "Warrior", col::Warrior);
    cbRanger = check(classes, "Ranger", col::Ranger);
    cbPaladin = check(classes, "Paladin", col::Paladin);
    cbMage = check(classes, "Mage", col::Mage);
    cbPriest = check(classes, "Priest", col::Priest);
    cbThief = check(classes, "Thief", col::Thief);
    cbBard = check(classes, "Bard", col::Bard);
    cbPsionicist = check(classes, "Psionicist", col::Psionicist);
    dbaware::DBCheckBox* const order[] = {cbWarrior, cbRanger, cbPaladin, cbMage,
                                          cbPriest,  cbThief,  cbBard,    cbPsionicist};
    for (int i = 0; i < 8; ++i)
        c->addWidget(order[i], i % 4, i / 4);
    QLabel* abbrev = label("Class Abbrev", classes);
    dedtClassAbbrev = edit(classes, col::ClassAbbrev, shortTextWidth);
    c->addWidget(abbrev, 0, 2);
    c->addWidget(dedtClassAbbrev, 1, 2);
    c->setColumnMinimumWidth(2, shortTextWidth);
    c->setColumnStretch(3, 1);

    auto* below = new QWidget(page);
    QFormLayout* f = formOn(below);
    f->setContentsMargins(0, 4, 0, 0);
    dedtDomainName = edit(below, col::DomainName, nameWidth);
    dedtCurrRP = edit(below, col::CurrentRP, numberWidth);
    dedtCurrGB = edit(below, col::CurrentGB, numberWidth);
    dedtCurrGP = edit(below, col::CurrentGP, numberWidth);
    f->addRow(label("Domain Name:", below), dedtDomainName);
    f->addRow(label("Current RP:", below), dedtCurrRP);
    f->addRow(label("Current GB:", below), dedtCurrGB);
    f->addRow(label("Current GP:", below), dedtCurrGP);
    alignWithGroup(b, bloodline, f);

    QGroupBox* nwp = group("Non Weapon Proficiencies", page);
    auto* n = new QGridLayout(nwp);
    n->setHorizontalSpacing(16);
    int r = 0;
    for (const char* heading : {"Skill", "Check", "Action"}) {
        QLabel* h = label(heading, nwp);
        QFont bold = h->font();
        bold.setBold(true);
        h->setFont(bold);
        n->addWidget(h, 0, r++);
    }
    struct Skill {
        const char* caption;
        dbaware::DBEdit*& box;
        const char* field;
        const char* action;
    };
    const Skill skills[] = {
        {"Administration", dedtAdminCheck, col::AdministrationCheck, "-1 GB/action 3/4 maintenance"},
        {"Diplomacy", dedtDiplomacyCheck, col::DiplomacyCheck, "+4 success to diplomacy actions"},
        {"Law", dedtLawCheck, col::LawCheck, "+1 Create Holding, Rule, Decree, Espionage"},
        {"Leadership", dedtLeadershipCheck, col::LeadershipCheck, "+1 Loyalty Rating in one province"},
        {"Intrigue", dedtIntrigueCheck, col::IntrigueCheck, "+1 result level vs Intrigue events"},
        {"Research", dedtResearchCheck, col::ResearchCheck, "+5% to spell research"},
    };
    r = 1;
    for (const Skill& s : skills) {
        s.box = edit(nwp, s.field, numberWidth);
        n->addWidget(label(s.caption, nwp), r, 0);
        n->addWidget(s.box, r, 1);
        n->addWidget(label(s.action, nwp), r, 2);
        ++r;
    }
    n->setColumnStretch(2, 1);

    grid->addWidget(bloodline, 0, 0);
    grid->addWidget(classes, 0, 1);
    grid->addWidget(below, 1, 0, Qt::AlignTop);
    grid->addWidget(nwp, 1, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
    return page;
}

QWidget* TfrmRealmDetails::buildDiplomacy()
{
    auto* page = new QWidget(PageControl1);
    auto* grid = new QGridLayout(page);

    auto* left = new QWidget(page);
    auto* leftColumn = new QVBoxLayout(left);
    leftColumn->setContentsMargins(0, 0, 0, 0);
    QGroupBox* palace = group("Palace", left);
    QFormLayout* p = formOn(palace);
    dedtPalaceLocation = edit(palace, col::PalaceLocation, nameWidth);
    dedtPalaceValue = edit(palace, col::PalaceValue, numberWidth);
    edtContrib = computed(palace, numberWidth);
    p->addRow(label("Location:", palace), dedtPalaceLocation);
    p->addRow(label("Value:", palace), dedtPalaceValue);
    p->addRow(label("Effective Contrib:", palace), edtContrib);
    leftColumn->addWidget(palace);

    auto* court = new QWidget(left);
    QFormLayout* c = formOn(court);
    c->setContentsMargins(0, 4, 0, 0);
    dedtCourtExpenditure = edit(court, col::CourtExpenditure, numberWidth);
    edtCourtValue = computed(court, numberWidth);
    c->addRow(label("Court Expenditure:", court), dedtCourtExpenditure);
    c->addRow(label("Total Court Value:", court), edtCourtValue);
    alignWithGroup(p, palace, c);
    leftColumn->addWidget(court);

    QGroupBox* diplomacy = group("Diplomacy", page);
    auto* d = new QGridLayout(diplomacy);
    cbRoyalFacade = check(diplomacy, "Royal Facade (+1 to diplomacy actions)", col::RoyalFacadeSpell);
    Label58 = label("Diplomacy modifier based upon Court Value:", diplomacy);
    pnlDiploMod = new QLabel(diplomacy);
    pnlDiploMod->setFrameStyle(QFrame::Box | QFrame::Plain);
    pnlDiploMod->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pnlDiploMod->setMargin(4);
    pnlDiploMod->setMinimumHeight(pnlDiploMod->fontMetrics().height() + 12);
    Label11 = label("Effective Total Modifier:", diplomacy);
    Label68 = note("(Before Diplomacy NWP)", diplomacy);
    edtDipTotalMod = computed(diplomacy, numberWidth);
    Label10 = label("Diplomacy Check:", diplomacy);
    Label57 = note("(+4 more to diplomacy actions, if successful)", diplomacy);
    dedtRODiplomacyCheck = mirror(diplomacy, col::DiplomacyCheck, false, numberWidth);
    d->addWidget(cbRoyalFacade, 0, 0, 1, 2);
    d->addWidget(Label58, 1, 0, 1, 2);
    d->addWidget(pnlDiploMod, 2, 0, 1, 2);
    d->setRowMinimumHeight(3, 8);
    d->addWidget(Label11, 4, 0);
    d->addWidget(edtDipTotalMod, 4, 1, Qt::AlignLeft);
    d->addWidget(Label68, 5, 0, 1, 2);
    d->setRowMinimumHeight(6, 8);
    d->addWidget(Label10, 7, 0);
    d->addWidget(dedtRODiplomacyCheck, 7, 1, Qt::AlignLeft);
    d->addWidget(Label57, 8, 0, 1, 2);
    // Hidden while no diplomacy is possible; the page keeps its layout then.
    for (QWidget* w : std::initializer_list<QWidget*>{Label68, Label10, Label11, Label57, dedtRODiplomacyCheck,
                                                      edtDipTotalMod}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }
    d->setColumnStretch(1, 1);
    d->setRowStretch(9, 1);

    dmemGeneralAbility = memo(page, col::GeneralAbilityMemo, true);
    grid->addWidget(left, 0, 0, Qt::AlignTop);
    grid->addWidget(diplomacy, 0, 1);
    grid->addWidget(memoUnderLabel("General Ability Memo:", dmemGeneralAbility, page), 1, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    return page;
}

QWidget* TfrmRealmDetails::buildProvinces()
{
    auto* page = new QWidget(PageControl1);
    auto* column = new QVBoxLayout(page);
    column->setSpacing(2);
    column->addWidget(label("* To insert a new province, single click on the last province and press down arrow, "
                            "enter the details and",
                            page));
    column->addWidget(label("then double click.", page));
    column->addWidget(label("* To delete a record, click on it, then press Control-Delete.", page));
    column->addSpacing(6);
    dbgProvinces = new dbaware::DBGrid(page);
    dbgProvinces->setDataSource(&dsProv);
    dbgProvinces->setColumns({{QString::fromLatin1(col::ProvinceName), QStringLiteral("Province Name"), 156},
                              {QString::fromLatin1(col::ProvinceTerrain), QStringLiteral("Province Terrain"), 164},
                              {QString::fromLatin1(col::FortificationLevel), QStringLiteral("Castle Lvl"), -1}});
    column->addWidget(dbgProvinces, 1);
    return page;
}

QWidget* TfrmRealmDetails::buildMaintenance()
{
    auto* page = new QWidget(PageControl1);
    auto* column = new QVBoxLayout(page);

    auto* strip = new QFrame(page);
    strip->setFrameShape(QFrame::StyledPanel);
    auto* s = new QHBoxLayout(strip);
    QLabel* admin = label("Admin Check:", strip);
    dedtROAdminCheck = mirror(strip, col::AdministrationCheck, false, numberWidth);
    s->addWidget(admin);
    s->addWidget(dedtROAdminCheck);
    s->addWidget(label("(-1 GB/action 3/4 maintenance)", strip));
    s->addStretch(1);
    column->addWidget(strip);

    auto* columns = new QHBoxLayout;
    auto* left = new QWidget(page);
    QFormLayout* l = formOn(left);
    dedtTroopCapacity = edit(left, col::TotalTroopCapacity, numberWidth);
    dedtTotalProvinces = edit(left, col::TotalProvinces, numberWidth);
    dedtTotalCastles = edit(left, col::TotalCastlesForts, numberWidth);
    dedtROCourtExpenditure = mirror(left, col::CourtExpenditure, true, numberWidth);
    l->addRow(label("Total Troop Capacity:", left), dedtTroopCapacity);
    l->addRow(labelOverNote(label("Total Provinces:", left), note("(Provinces and Non Source Holdings Above 0)", left),
                            left),
              dedtTotalProvinces);
    l->addRow(label("Total Castles/Forts:", left), dedtTotalCastles);
    l->addRow(label("Court Expenditure:", left), dedtROCourtExpenditure);

    auto* right = new QWidget(page);
    QFormLayout* r = formOn(right);
    dedtShipMaint = edit(right, col::ShipMaintenance, numberWidth);
    dedtProvMaint = edit(right, col::TotalProvCost, numberWidth);
    dedtFortMaint = edit(right, col::FortMaintenance, numberWidth);
    edtPalaceMaint = computed(right, numberWidth);
    dedtArmyMaint = edit(right, col::ArmyMaintenenace, numberWidth);
    dedtConstructionCosts = edit(right, col::TotalBuildingProjects, numberWidth);
    edtMaintTotal = computed(right, numberWidth);
    r->addRow(label("Ship Maintenance:", right), dedtShipMaint);
    r->addRow(label("Province/Holding Maintenance:", right), dedtProvMaint);
    r->addRow(label("Fort Maintenance:", right), dedtFortMaint);
    r->addRow(label("Palace Maintenance:", right), edtPalaceMaint);
    r->addRow(label("Army Maintenance:", right), dedtArmyMaint);
    r->addRow(label("Construction Costs:", right), dedtConstructionCosts);
    r->addRow(label("Total Maintenance Costs:", right), edtMaintTotal);

    columns->addWidget(left, 1, Qt::AlignTop);
    columns->addWidget(right, 1, Qt::AlignTop);
    column->addLayout(columns);
    column->addStretch(1);
    return page;
}

QWidget* TfrmRealmDetails::buildMagic()
{
    auto* page = new QWidget(PageControl1);
    auto* column = new QVBoxLayout(page);
    auto* top = new QWidget(page);
    QFormLayout* f = formOn(top);
    f->setContentsMargins(0, 0, 0, 0);
    dedtROResearchCheck = mirror(top, col::ResearchCheck, false, numberWidth);
    dedtLeyLineMaint = edit(top, col::LeyLineMaint, numberWidth);
    dedtStateReligion = edit(top, col::StateReligion, nameWidth);
    f->addRow(label("Research Check:", top), withNote(dedtROResearchCheck, "(+5% to research)", top));
    f->addRow(label("Ley Line Maint:", top), dedtLeyLineMaint);
    f->addRow(label("State Religion:", top), dedtStateReligion);
    column->addWidget(top);

    auto* memos = new QHBoxLayout;
    dmemLeyLines = memo(page, col::LeyLineNetwork, true);
    dmemPriestSpells = memo(page, col::PriestRealmSpells, true);
    dmemMageSpells = memo(page, col::MageRealmSpells, true);
    memos->addWidget(memoUnderLabel("Ley Line Network:", dmemLeyLines, page));
    memos->addWidget(memoUnderLabel("Priest Realm Spells:", dmemPriestSpells, page));
    memos->addWidget(memoUnderLabel("Mage Realm Spells:", dmemMageSpells, page));
    column->addLayout(memos, 1);
    return page;
}

QWidget* TfrmRealmDetails::buildTradeRoutes()
{
    auto* page = new QWidget(PageControl1);
    auto* row = new QHBoxLayout(page);
    auto side = [&](const char* title, const char* memoLabel, const char* memoField, dbaware::DBMemo*& m,
                    dbaware::DBEdit*& rp, const char* gbField, dbaware::DBEdit*& gb) {
        QGroupBox* g = group(title, page);
        auto* column = new QVBoxLayout(g);
        m = memo(g, memoField, false);
        column->addWidget(memoUnderLabel(memoLabel, m, g), 1);
        auto* figures = new QWidget(g);
        QFormLayout* f = formOn(figures);
        f->setContentsMargins(0, 0, 0, 0);
        rp = computed(figures, numberWidth);
        gb = edit(figures, gbField, numberWidth);
        f->addRow(label("RP Earned:", figures), rp);
        f->addRow(label("GB Earned:", figures), gb);
        column->addWidget(figures);
        row->addWidget(g, 1);
    };
    side("Land", "Land Trade Routes:", col::LandTradeRoutes, dmemLandTR, edtLandRP, col::LandTRGBEarn, dedtLandGB);
    side("Sea", "Sea Trade Routes:", col::SeaTradeRoutes, dmemSeaTR, edtSeaRP, col::SeaTRGBEarn, dedtSeaGB);
    return page;
}

QWidget* TfrmRealmDetails::buildIncome()
{
    auto* page = new QWidget(PageControl1);
    auto* row = new QHBoxLayout(page);

    QGroupBox* rp = group("", page);  // boxed, untitled: RP on the left
    QFormLayout* l = formOn(rp);
    dedtPossibleRP = edit(rp, col::PossibleRPEarnings, numberWidth);
    dedtROBloodlineScore = mirror(rp, col::BloodlineScore, false, numberWidth);
    dedtROLeyLineMaint = mirror(rp, col::LeyLineMaint, false, numberWidth);
    dedtVassalRP = edit(rp, col::IncomeRPFromVassals, numberWidth);
    l->addRow(label("Possible RP:", rp), dedtPossibleRP);
    l->addRow(label("Bloodline Score:", rp), dedtROBloodlineScore);
    l->addRow(label("Ley Line Maint:", rp), dedtROLeyLineMaint);
    l->addRow(label("RP From Vassals:", rp), dedtVassalRP);

    QGroupBox* gb = group("", page);  // and GB on the right
    QFormLayout* r = formOn(gb);
    dedtProvinceGB = edit(gb, col::ProvGBIncome, numberWidth);
    dedtGuildGB = edit(gb, col::GuildGBIncome, numberWidth);
    dedtTempleGB = edit(gb, col::TempleGBIncome, numberWidth);
    edtTRIncome = computed(gb, numberWidth);
    dedtLawIncome = edit(gb, col::LawIncome, numberWidth);
    r->addRow(label("Province GB:", gb), dedtProvinceGB);
    r->addRow(label("Guild GB:", gb), dedtGuildGB);
    r->addRow(label("Temple GB:", gb), dedtTempleGB);
    r->addRow(label("Trade Route Income:", gb), edtTRIncome);
    r->addRow(label("Law Claim Income:", gb), dedtLawIncome);

    // The totals close each column, under the figures they add up.
    edtTotalRP = computed(rp, numberWidth);
    l->addRow(label("Total RP Earned:", rp), edtTotalRP);
    edtTotalGB = computed(gb, numberWidth);
    r->addRow(label("Total GB Earned:", gb), edtTotalGB);

    row->addWidget(rp, 1, Qt::AlignTop);
    row->addWidget(gb, 1, Qt::AlignTop);
    return page;
}

QWidget* TfrmRealmDetails::buildOneMemoPage(dbaware::DBMemo*& m, const char* field, const char* text)
{
    auto* page = new QWidget(PageControl1);
    auto* column = new QVBoxLayout(page);
    m = memo(page, field, true);
    column->addWidget(memoUnderLabel(text, m, page));
    return page;
}

QWidget* TfrmRealmDetails::buildBuildingProjects()
{
    auto* page = new QWidget(PageControl1);
    auto* column = new QVBoxLayout(page);
    auto* top = new QWidget(page);
    QFormLayout* f = formOn(top);
    f->setContentsMargins(0, 0, 0, 0);
    dedtTotalConstructionCosts = edit(top, col::TotalConstructionCost, numberWidth);
    f->addRow(label("Total Construction Costs:", top), dedtTotalConstructionCosts);
    column->addWidget(top);
    dmemBuildingProjects = memo(page, col::ConstructionProjects, true);
    column->addWidget(memoUnderLabel("Construction Projects:", dmemBuildingProjects, page), 1);
    return page;
}

void TfrmRealmDetails::buildMenu()
{
    File1 = menuBar()->addMenu(QStringLiteral("&File"));
    SaveToFile1 = File1->addAction(QStringLiteral("&Save to File"));
    N5 = File1->addSeparator();
    Close1 = File1->addAction(QStringLiteral("&Close"));

    Database1 = menuBar()->addMenu(QStringLiteral("&Database"));
    First1 = Database1->addAction(QStringLiteral("&First"));
    First1->setShortcut(Qt::Key_F2);
    Previous1 = Database1->addAction(QStringLiteral("&Previous"));
    Previous1->setShortcut(Qt::Key_F3);
    Next1 = Database1->addAction(QStringLiteral("&Next"));
    Next1->setShortcut(Qt::Key_F4);
    Last1 = Database1->addAction(QStringLiteral("&Last"));
    Last1->setShortcut(Qt::Key_F5);
    N2 = Database1->addSeparator();
    InsertRecord1 = Database1->addAction(QStringLiteral("&Insert Record"));
    InsertRecord1->setShortcut(Qt::Key_F6);
    DeleteRecord1 = Database1->addAction(QStringLiteral("De&lete Record"));
    DeleteRecord1->setShortcut(Qt::Key_F7);
    N3 = Database1->addSeparator();
    SaveChanges1 = Database1->addAction(QStringLiteral("&Save Changes"));
    SaveChanges1->setShortcut(Qt::Key_F8);
    CancelChanges1 = Database1->addAction(QStringLiteral("&Cancel Changes"));
    CancelChanges1->setShortcut(Qt::Key_F9);

    Transfer1 = menuBar()->addMenu(QStringLiteral("&Transfer"));
    ImportCurrentCharacter1 = Transfer1->addAction(QStringLiteral("Import Characters"));
    ExportCurrentCharacter1 = Transfer1->addAction(QStringLiteral("Export Current Character"));
    N4 = Transfer1->addSeparator();
    ViewContentsofTransferTable1 = Transfer1->addAction(QStringLiteral("View Transfer Table Contents"));
    Delete1 = Transfer1->addAction(QStringLiteral("Delete Transfer Table Contents"));

    Help1 = menuBar()->addMenu(QStringLiteral("&Help"));
    Help2 = Help1->addAction(QStringLiteral("&Help"));
    N1 = Help1->addSeparator();
    About1 = Help1->addAction(QStringLiteral("&About"));
}

void TfrmRealmDetails::connectHandlers()
{
    using dbaware::DBCheckBox;
    using dbaware::DBEdit;
    auto on = [this](auto* sender, auto signal, void (TfrmRealmDetails::*handler)()) {
        connect(sender, signal, this, [this, handler] { dbaware::guarded(this, [this, handler] { (this->*handler)(); }); });
    };
    using W = TfrmRealmDetails;

    on(dedtGameName, &DBEdit::changed, &W::dedtCharNameChange);
    on(dedtCharName, &DBEdit::changed, &W::dedtCharNameChange);
    on(dedtGameName, &DBEdit::exited, &W::dedtGameNameExit);
    on(dedtCharName, &DBEdit::exited, &W::dedtGameNameExit);
    on(btnClose, &QPushButton::clicked, &W::btnCloseClick);
    on(dbgProvinces, &dbaware::DBGrid::dblClick, &W::dbgProvincesDblClick);
    on(&dsVDDB, &dbaware::DataSource::stateChanged, &W::dsVDDBStateChange);
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] {
        // Pages that the program selects itself (the browser does so while
        // the window is hidden) are not the user's choice.
        if (isVisible())
            dbaware::guarded(this, [this] { PageControl1Change(); });
    });

    // A mirror on another page shows what is being typed in its box, so
    // that no page disagrees with another, nor with a figure beside it.
    const std::pair<DBEdit*, DBEdit*> mirrors[] = {
        {dedtRODiplomacyCheck, dedtDiplomacyCheck}, {dedtROAdminCheck, dedtAdminCheck},
        {dedtROCourtExpenditure, dedtCourtExpenditure}, {dedtROResearchCheck, dedtResearchCheck},
        {dedtROBloodlineScore, dedtBloodlineScore}, {dedtROLeyLineMaint, dedtLeyLineMaint}};
    for (auto [mirror, source] : mirrors)
        mirror->mirror(source);

    // The derived figures: each follows every value it reads, on whatever
    // page, so that it always agrees with what the window shows. One change
    // runs the figures that read it, in this order.
    using Figure = void (W::*)();
    auto figures = [this](auto* sender, auto signal, std::initializer_list<Figure> list) {
        connect(sender, signal, this, [this, handlers = std::vector<Figure>(list)] { runFigures(handlers); });
    };
    figures(dedtPalaceValue, &DBEdit::changed, {&W::dedtPalaceValueChange});
    figures(edtContrib, &DBEdit::changed, {&W::edtContribChange});
    figures(dedtCourtExpenditure, &DBEdit::changed, {&W::edtContribChange, &W::dedtShipMaintChange});
    figures(edtCourtValue, &DBEdit::changed, {&W::edtCourtValueChange});
    figures(cbRoyalFacade, &DBCheckBox::stateClick, {&W::edtCourtValueChange});
    for (DBEdit* e : {dedtTotalCastles, dedtShipMaint, dedtProvMaint, dedtFortMaint, edtPalaceMaint, dedtArmyMaint,
                      dedtConstructionCosts})
        figures(e, &DBEdit::changed, {&W::dedtShipMaintChange});
    figures(cbThief, &DBCheckBox::stateClick, {&W::dedtSeaGBChange});
    figures(dedtLandGB, &DBEdit::changed, {&W::dedtSeaGBChange});
    figures(dedtSeaGB, &DBEdit::changed, {&W::dedtSeaGBChange});
    for (DBEdit* e : {dedtProvinceGB, dedtGuildGB, dedtTempleGB, edtTRIncome, dedtLawIncome})
        figures(e, &DBEdit::changed, {&W::dedtProvinceGBChange});
    for (DBEdit* e : {dedtBloodlineScore, dedtPossibleRP, dedtLeyLineMaint, dedtVassalRP})
        figures(e, &DBEdit::changed, {&W::dedtBloodlineScoreChange});
    // Figures whose inputs all stay blank on the first record shown have not
    // run; once every control shows that record (this is connected after
    // them all), every figure is worked out once. From then on each follows
    // its inputs alone.
    connect(&dsVDDB, &dbaware::DataSource::recordChanged, this, [this] {
        if (figuresShown_)
            return;
        figuresShown_ = true;
        RefreshFigures();
    });

    on(SaveToFile1, &QAction::triggered, &W::SaveToFile1Click);
    on(Close1, &QAction::triggered, &W::Close1Click);
    on(First1, &QAction::triggered, &W::First1Click);
    on(Previous1, &QAction::triggered, &W::Previous1Click);
    on(Next1, &QAction::triggered, &W::Next1Click);
    on(Last1, &QAction::triggered, &W::Last1Click);
    on(InsertRecord1, &QAction::triggered, &W::InsertRecord1Click);
    on(DeleteRecord1, &QAction::triggered, &W::DeleteRecord1Click);
    on(SaveChanges1, &QAction::triggered, &W::SaveChanges1Click);
    on(CancelChanges1, &QAction::triggered, &W::CancelChanges1Click);
    on(ImportCurrentCharacter1, &QAction::triggered, &W::ImportCurrentCharacter1Click);
    on(ExportCurrentCharacter1, &QAction::triggered, &W::ExportCurrentCharacter1Click);
    on(ViewContentsofTransferTable1, &QAction::triggered, &W::ViewContentsofTransferTable1Click);
    on(Delete1, &QAction::triggered, &W::Delete1Click);
    on(Help2, &QAction::triggered, &W::Help2Click);
    on(About1, &QAction::triggered, &W::About1Click);

    tblVDDB.beforeDelete = [this](store::Table& t) { tblVDDBBeforeDelete(t); };
    tblVDDB.afterDelete = [this](store::Table& t) { tblVDDBAfterDelete(t); };
    tblVDDB.afterScroll = [this](store::Table& t) { tblVDDBAfterScroll(t); };
    tblVDDB.afterCancel = [this](store::Table& t) { tblVDDBAfterCancel(t); };
    tblVDDB.afterPost = [this](store::Table& t) { tblVDDBAfterPost(t); };
    tblVDDB.keyChanged = [this](store::Table& t, const std::vector<store::Value>& was,
                                const std::vector<store::Value>& now) { tblVDDBKeyChanged(t, was, now); };
    tblProv.afterInsert = [this](store::Table& t) { tblProvAfterInsert(t); };
    tblProv.afterPost = [this](store::Table& t) { tblProvAfterPost(t); };
}

// ---- Window events -------------------------------------------------------

void TfrmRealmDetails::FormCreate() { tables_.open(); }

void TfrmRealmDetails::FormActivate()
{
    activated = true;
    ApplyProvinceFilter();
    dedtGameName->setFocus();
    dbgProvinces->setEnabled(namesFilledIn());
}

void TfrmRealmDetails::FormCloseQuery(bool& canClose)
{
    if (tblVDDB.isEmpty()) {
        canClose = true;
        return;
    }
    const bool noCharacter = dbaware::isBlank(dedtCharName->text());
    const bool noGame = dbaware::isBlank(dedtGameName->text());
    if (noCharacter && noGame) {
        tblVDDB.cancel();
        canClose = true;
        return;
    }
    if (noCharacter) {
        canClose = false;
        dbaware::showMessage(this, QStringLiteral("Character Name Must Be Entered"));
        dedtCharName->setFocus();
        return;
    }
    if (noGame) {
        canClose = false;
        dbaware::showMessage(this, QStringLiteral("Game Name Must Be Entered"));
        dedtGameName->setFocus();
        return;
    }
    if (tblProv.editing())
        tblProv.post();
    if (tblVDDB.editing())
        tblVDDB.post();
    canClose = true;
}

void TfrmRealmDetails::FormClose()
{
    if (tblVDDB.editing()) {
        // The name boxes decide, with what was typed in them and not yet
        // written (closing by the menu or the title bar leaves the focus
        // where it is). A record to be discarded is discarded whatever its
        // other boxes hold; only one to be kept has them written.
        if (dbaware::isBlank(dedtCharName->text()) && dbaware::isBlank(dedtGameName->text())) {
            tblVDDB.cancel();
        } else {
            dsVDDB.updateRecord();
            tblVDDB.post();
        }
        return;
    }
    const bool noNames = blankField(tblVDDB, col::CharacterName) && blankField(tblVDDB, col::GameName);
    if (tblVDDB.state() == store::State::Browse && noNames && !tblVDDB.isEmpty()) {
        // A stored record without names can never be found again.
        tblVDDB.remove();
    }
}

bool TfrmRealmDetails::FormKeyUp(QKeyEvent& key) { return app::helpOnF1(key); }

void TfrmRealmDetails::closeEvent(QCloseEvent* event)
{
    bool canClose = true;
    // A failing step keeps the window open with its record pending.
    if (!dbaware::guarded(this, [&] { FormCloseQuery(canClose); }) || !canClose ||
        !dbaware::guarded(this, [this] { FormClose(); })) {
        event->ignore();
        return;
    }
    event->accept();
}

// ---- Controls --------------------------------------------------------------

bool TfrmRealmDetails::namesFilledIn() const
{
    return !dbaware::isBlank(dedtGameName->text()) && !dbaware::isBlank(dedtCharName->text());
}

void TfrmRealmDetails::dedtCharNameChange()
{
    if (activated)
        ApplyProvinceFilter();
}

void TfrmRealmDetails::dedtGameNameExit()
{
    if (!namesFilledIn()) {
        dbgProvinces->setEnabled(false);
        return;
    }
    dbgProvinces->setEnabled(true);
    if (tblVDDB.editing())
        tblVDDB.post();
}

void TfrmRealmDetails::btnCloseClick() { close(); }

void TfrmRealmDetails::dbgProvincesDblClick()
{
    if (tblVDDB.editing())
        tblVDDB.post();
    if (tblProv.editing()) {
        postedProvince_ = {};
        tblProv.post();  // its handler moves the list to the first row
        // The row that was double-clicked is the one to open.
        if (postedProvince_.valid)
            tblProv.gotoBookmark(postedProvince_);
    }
    if (tblProv.isEmpty() || !province_)
        return;  // no province to open
    province_->tblProv.gotoCurrent(tblProv);
    showMinimized();
    province_->PageControl1->setCurrentWidget(province_->tsGeneral);
    ApplyProvinceFilter();
    // Showing the province window brings it, and with it the program, to the front.
    app::showModal(*province_);
    showNormal();
    tblProv.refresh();
}

void TfrmRealmDetails::PageControl1Change() { StatusBar1->setText({}); }

// ---- Table and data source events ------------------------------------------

void TfrmRealmDetails::tblVDDBAfterCancel(store::Table&) { ApplyProvinceFilter(); }

void TfrmRealmDetails::tblVDDBBeforeDelete(store::Table& table) { tables_.DeleteProvincesOfCharacter(table); }

void TfrmRealmDetails::tblVDDBAfterDelete(store::Table& table)
{
    if (table.isEmpty())
        close();
}

void TfrmRealmDetails::tblVDDBAfterScroll(store::Table&)
{
    if (activated)
        ApplyProvinceFilter();
}

void TfrmRealmDetails::tblVDDBKeyChanged(store::Table& table, const std::vector<store::Value>& storedKey,
                                         const std::vector<store::Value>& newKey)
{
    // Provinces left under the old names would belong to no character that
    // any window shows.
    std::vector<std::string> columns;
    for (int k : table.layout().keyColumns)
        columns.push_back(table.layout().columns[static_cast<std::size_t>(k)].name);
    tblProv.replaceValues(columns, storedKey, newKey);
}

void TfrmRealmDetails::tblVDDBAfterPost(store::Table& table)
{
    // After a rename the list follows the provinces to the new names.
    if (activated && tblProv.filter() != campaign::recordFilter(table.text(col::GameName), table.text(col::CharacterName)))
        ApplyProvinceFilter();
}

void TfrmRealmDetails::tblProvAfterInsert(store::Table& table)
{
    // The names as shown, even when they are not saved yet.
    table.setText(col::GameName, dedtGameName->text().toStdString());
    table.setText(col::CharacterName, dedtCharName->text().toStdString());
    dbgProvinces->setFocus();
}

void TfrmRealmDetails::tblProvAfterPost(store::Table& table)
{
    postedProvince_ = table.bookmark();
    dbgProvinces->setEnabled(true);
    ApplyProvinceFilter();
}

void TfrmRealmDetails::dsVDDBStateChange()
{
    const bool editing = dsVDDB.state() == store::State::Edit || dsVDDB.state() == store::State::Insert;
    SaveChanges1->setEnabled(editing);
    CancelChanges1->setEnabled(editing);
    DeleteRecord1->setEnabled(!editing);
    InsertRecord1->setEnabled(!editing);
    SaveToFile1->setEnabled(!editing);
}

// ---- Menu commands ---------------------------------------------------------

void TfrmRealmDetails::Close1Click() { close(); }

void TfrmRealmDetails::setMoveItems(bool first, bool previous, bool next, bool last)
{
    First1->setEnabled(first);
    Previous1->setEnabled(previous);
    Next1->setEnabled(next);
    Last1->setEnabled(last);
}

void TfrmRealmDetails::First1Click()
{
    tblVDDB.first();
    setMoveItems(false, false, true, true);
}

void TfrmRealmDetails::Previous1Click()
{
    tblVDDB.prior();
    const bool atStart = tblVDDB.bof();
    setMoveItems(!atStart, !atStart, true, true);
}

void TfrmRealmDetails::Next1Click()
{
    tblVDDB.next();
    const bool atEnd = tblVDDB.eof();
    setMoveItems(true, true, !atEnd, !atEnd);
}

void TfrmRealmDetails::Last1Click()
{
    tblVDDB.last();
    setMoveItems(true, true, false, false);
}

void TfrmRealmDetails::InsertRecord1Click()
{
    tblVDDB.insert();
    PageControl1->setCurrentWidget(tsGeneralInfo);
    SetNewRecordDefaults();
}

void TfrmRealmDetails::DeleteRecord1Click()
{
    if (dbaware::confirm(this, QStringLiteral("Confirm delete of this record")) != dbaware::Answer::Yes) {
        StatusBar1->setText(QStringLiteral("Delete operation canceled"));
        return;
    }
    tblVDDB.remove();
}

void TfrmRealmDetails::SaveChanges1Click()
{
    if (dbaware::isBlank(dedtCharName->text())) {
        dbaware::showMessage(this, QStringLiteral("Character Name must be entered"));
        dedtCharName->setFocus();
        return;
    }
    tblVDDB.post();
    ApplyProvinceFilter();
}

void TfrmRealmDetails::CancelChanges1Click() { tblVDDB.cancel(); }

void TfrmRealmDetails::Help2Click() { app::openHelp(); }

void TfrmRealmDetails::About1Click() { showAboutBox(); }

// ---- Operations that other windows use ---------------------------------------

void TfrmRealmDetails::ApplyProvinceFilter() { tables_.applyProvinceFilter(); }

void TfrmRealmDetails::SetNewRecordDefaults()
{
    for (const char* field : {col::Warrior, col::Ranger, col::Paladin, col::Mage, col::Priest, col::Thief, col::Bard, col::Psionicist,
                              col::RoyalFacadeSpell})
        tblVDDB.setBool(field, false);
    dbgProvinces->setEnabled(false);
}

// ---- Transfer commands ---------------------------------------------------------

void TfrmRealmDetails::ImportCurrentCharacter1Click() { transfer_->importCharacters(); }

void TfrmRealmDetails::ExportCurrentCharacter1Click() { transfer_->exportCurrentCharacter(); }

void TfrmRealmDetails::ViewContentsofTransferTable1Click() { transfer_->view(); }

void TfrmRealmDetails::Delete1Click() { transfer_->empty(); }
