#include "province/vdprovince.h"
#include "dbaware/text.h"

#include "app/context.h"
#include "app/shell.h"
#include "campaign/catalogue.h"
#include "campaign/columns.h"
#include "dbaware/dbedit.h"
#include "dbaware/dbmemo.h"
#include "dbaware/dbnavigator.h"
#include "dbaware/dialogs.h"
#include "dbaware/guard.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <array>

namespace col = campaign::col;

namespace {

using dbaware::DBEdit;
using dbaware::DBMemo;


// Room for about `chars` characters of the box's font, frame included.
int widthFor(const QWidget* w, int chars) { return w->fontMetrics().horizontalAdvance(QLatin1Char('0')) * chars + 14; }

DBEdit* edit(QWidget* parent, dbaware::DataSource* source, const QString& field)
{
    auto* e = new DBEdit(parent);
    e->setDataSource(source);
    e->setFieldName(field);
    return e;
}

// A box as wide as its values usually are, growing no further.
DBEdit* narrowEdit(QWidget* parent, dbaware::DataSource* source, const QString& field, int chars)
{
    DBEdit* e = edit(parent, source, field);
    e->setFixedWidth(widthFor(e, chars));
    return e;
}

// A box that takes what room there is, but never less than `chars`.
DBEdit* wideEdit(QWidget* parent, dbaware::DataSource* source, const QString& field, int chars)
{
    DBEdit* e = edit(parent, source, field);
    e->setMinimumWidth(widthFor(e, chars));
    return e;
}

DBMemo* memo(QWidget* parent, dbaware::DataSource* source, const QString& field, bool verticalBar)
{
    auto* m = new DBMemo(parent);
    m->setDataSource(source);
    m->setFieldName(field);
    m->setScrollBars(verticalBar ? DBMemo::ScrollBars::Vertical : DBMemo::ScrollBars::None);
    return m;
}

QLabel* label(const char* text, QWidget* buddy, QWidget* parent)
{
    auto* l = new QLabel(QString::fromLatin1(text), parent);
    l->setBuddy(buddy);
    return l;
}

// A memo with its label above it.
QVBoxLayout* labelled(const char* text, DBMemo* m, QWidget* parent)
{
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    column->addWidget(label(text, m, parent));
    column->addWidget(m, 1);
    return column;
}

// One holding: its four edits as members of the window, the second-row edit
// absent for sources.
struct Holding {
    DBEdit*& level;
    DBEdit*& owner;
    DBEdit*& fort;
    DBEdit** second;
};

using Fields = std::array<const char*, 4>;  // one column per holding, by number

struct HoldingKind {
    const char* word;          // "Guild", "Law", "Source", "Temple"
    const char* secondLabel;   // nullptr: no second row
    Fields level, owner, fort;
    Fields second;             // the second row's columns, when there is one
};

// The page's four holding groups, stacked in the order of their numbers. All
// four have the same rows, so their labels and boxes line up.
void buildHoldings(QWidget* page, QVBoxLayout* column, dbaware::DataSource* source, const HoldingKind& kind,
                   const std::array<Holding, 4>& holdings)
{
    for (int i = 0; i < 4; ++i) {
        const auto n = static_cast<std::size_t>(i);
        const Holding& h = holdings[n];
        auto* group = new QGroupBox(QStringLiteral("%1 %2").arg(QString::fromLatin1(kind.word)).arg(i + 1), page);
        auto* grid = new QGridLayout(group);
        grid->setHorizontalSpacing(6);
        grid->setVerticalSpacing(4);
        grid->setContentsMargins(8, 4, 8, 6);
        h.level = narrowEdit(group, source, QString::fromLatin1(kind.level[n]), 5);
        h.owner = wideEdit(group, source, QString::fromLatin1(kind.owner[n]), 16);
        h.fort = narrowEdit(group, source, QString::fromLatin1(kind.fort[n]), 11);
        grid->addWidget(label("Level:", h.level, group), 0, 0);
        grid->addWidget(h.level, 0, 1);
        grid->addWidget(label("Owner:", h.owner, group), 0, 2);
        grid->addWidget(h.owner, 0, 3);
        grid->addWidget(label("Fortification:", h.fort, group), 0, 4);
        grid->addWidget(h.fort, 0, 5);
        grid->setColumnStretch(3, 1);
        if (kind.secondLabel) {
            *h.second = wideEdit(group, source, QString::fromLatin1(kind.second[n]), 24);
            // The second row's box starts under the owner's.
            grid->addWidget(label(kind.secondLabel, *h.second, group), 1, 0, 1, 3);
            grid->addWidget(*h.second, 1, 3, 1, 3);
        }
        column->addWidget(group);
    }
}

}  // namespace

TfrmProvince::TfrmProvince(app::Context& context, QWidget* parent)
    : QWidget(parent, Qt::Window), tblProv(context.session), dsProv(tblProv, this)
{
    setWindowTitle(QStringLiteral("Province Details"));
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);

    buildTopPanel();
    layout->addWidget(Panel1);

    PageControl1 = new QTabWidget(this);
    PageControl1->tabBar()->setAttribute(Qt::WA_Hover);  // the tab under the mouse lights up
    PageControl1->setUsesScrollButtons(false);            // one row, every tab in view
    // The tab bar takes the page control's place in the Tab order; the page
    // control itself would be a second stop on the tab bar after the last
    // box of the page, and the focus would never come back to the top panel.
    PageControl1->setFocusPolicy(Qt::NoFocus);  // passed on to the tab bar...
    PageControl1->tabBar()->setFocusPolicy(Qt::TabFocus);  // ...which keeps its own
    layout->addWidget(PageControl1, 1);

    tsGeneral = new QWidget(PageControl1);
    tsTradeRoutes = new QWidget(PageControl1);
    tsGuilds = new QWidget(PageControl1);
    tsLaw = new QWidget(PageControl1);
    tsSource = new QWidget(PageControl1);
    tsTemple = new QWidget(PageControl1);
    PageControl1->addTab(tsGeneral, QStringLiteral("General"));
    PageControl1->addTab(tsTradeRoutes, QStringLiteral("Trade Routes"));
    PageControl1->addTab(tsGuilds, QStringLiteral("Guilds"));
    PageControl1->addTab(tsLaw, QStringLiteral("Law"));
    PageControl1->addTab(tsSource, QStringLiteral("Source"));
    PageControl1->addTab(tsTemple, QStringLiteral("Temple"));

    buildGeneralPage();
    buildTradeRoutesPage();

    auto holdingsPage = [](QWidget* page) {
        auto* column = new QVBoxLayout(page);
        column->setSpacing(4);
        return column;
    };
    QVBoxLayout* guilds = holdingsPage(tsGuilds);
    buildHoldings(tsGuilds, guilds, &dsProv, {"Guild", "Law Income Loss Source:",
                   {col::Guild1Level, col::Guild2Level, col::Guild3Level, col::Guild4Level},
                   {col::Guild1Owner, col::Guild2Owner, col::Guild3Owner, col::Guild4Owner},
                   {col::Guild1Fort, col::Guild2Fort, col::Guild3Fort, col::Guild4Fort},
                   {col::Guild1LawLossSource, col::Guild2LawLossSource, col::Guild3LawLossSource, col::Guild4LawLossSource}},
                  {{{dedtGuild1Level, dedtGuild1Owner, DBEdit7, &dedtGuild1LawLossSource},
                    {dedtGuild2Level, dedtGuild2Owner, DBEdit8, &dedtGuild2LawLossSource},
                    {dedtGuild3Level, dedtGuild3Owner, DBEdit9, &dedtGuild3LawLossSource},
                    {dedtGuild4Level, dedtGuild4Owner, DBEdit10, &dedtGuild4LawLossSource}}});
    guilds->addStretch(1);
    QVBoxLayout* law = holdingsPage(tsLaw);
    buildHoldings(tsLaw, law, &dsProv, {"Law", "Law Claim Victim:",
                   {col::Law1Level, col::Law2Level, col::Law3Level, col::Law4Level},
                   {col::Law1Owner, col::Law2Owner, col::Law3Owner, col::Law4Owner},
                   {col::Law1Fort, col::Law2Fort, col::Law3Fort, col::Law4Fort},
                   {col::Law1ClaimVictim, col::Law2ClaimVictim, col::Law3ClaimVictim, col::Law4ClaimVictim}},
                  {{{dedtLaw1Level, dedtLaw1Owner, DBEdit11, &DBEdit1},
                    {dedtLaw2Level, dedtLaw2Owner, DBEdit12, &DBEdit2},
                    {dedtLaw3Level, dedtLaw3Owner, DBEdit13, &DBEdit3},
                    {dedtLaw4Level, dedtLaw4Owner, DBEdit14, &DBEdit4}}});
    law->addStretch(1);
    QVBoxLayout* source = holdingsPage(tsSource);
    buildHoldings(tsSource, source, &dsProv, {"Source", nullptr,
                   {col::Source1Level, col::Source2Level, col::Source3Level, col::Source4Level},
                   {col::Source1Owner, col::Source2Owner, col::Source3Owner, col::Source4Owner},
                   {col::Source1Fort, col::Source2Fort, col::Source3Fort, col::Source4Fort},
                   {}},
                  {{{dedtSource1Level, dedtSource1Owner, DBEdit15, nullptr},
                    {dedtSource2Level, dedtSource2Owner, DBEdit16, nullptr},
                    {dedtSource3Level, dedtSource3Owner, DBEdit17, nullptr},
                    {dedtSource4Level, dedtSource4Owner, DBEdit18, nullptr}}});
    buildSourceMemos(source);
    QVBoxLayout* temple = holdingsPage(tsTemple);
    buildHoldings(tsTemple, temple, &dsProv, {"Temple", "Law Income Loss Source:",
                   {col::Temple1Level, col::Temple2Level, col::Temple3Level, col::Temple4Level},
                   {col::Temple1Owner, col::Temple2Owner, col::Temple3Owner, col::Temple4Owner},
                   {col::Temple1Fort, col::Temple2Fort, col::Temple3Fort, col::Temple4Fort},
                   {col::Temple1LawLossSource, col::Temple2LawLossSource, col::Temple3LawLossSource, col::Temple4LawLossSource}},
                  {{{dedtTemple1Level, dedtTemple1Owner, DBEdit19, &dedtTemple1LawLoss},
                    {dedtTemple2Level, dedtTemple2Owner, DBEdit20, &dedtTemple2LawLoss},
                    {dedtTemple3Level, dedtTemple3Owner, DBEdit21, &dedtTemple3LawLoss},
                    {dedtTemple4Level, dedtTemple4Owner, DBEdit22, &dedtTemple4LawLoss}}});
    temple->addStretch(1);

    DBNavigator1 = new dbaware::DBNavigator(this);
    using dbaware::NavButton;
    DBNavigator1->setVisibleButtons({NavButton::First, NavButton::Prior, NavButton::Next, NavButton::Last,
                                     NavButton::Insert, NavButton::Delete, NavButton::Post, NavButton::Cancel});
    // One hint per kind of button, the two hidden ones included.
    DBNavigator1->setHints({QStringLiteral("First Record"), QStringLiteral("Previous Record"),
                            QStringLiteral("Next Record"), QStringLiteral("Last Record"),
                            QStringLiteral("Insert New Province"), QStringLiteral("Delete Current Province"),
                            QStringLiteral("Edit"), QStringLiteral("Save Changes to Database"),
                            QStringLiteral("Cancel Changes to this Record"), QStringLiteral("Refresh")});
    DBNavigator1->setDataSource(&dsProv);
    DBNavigator1->setFixedWidth(8 * 30);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(DBNavigator1);
    layout->addLayout(bottom);

    setReadingOrder();

    connect(btnClose, &QPushButton::clicked, this, [this] { dbaware::guarded(this, [this] { btnCloseClick(); }); });
    tblProv.afterInsert = [this](store::Table& t) { tblProvAfterInsert(t); };

    resize(sizeHint().expandedTo(QSize(640, 0)));
    app::openCentred(*this);
    new app::KeyPreview(*this, [this](QKeyEvent& key) { return FormKeyUp(key); });
}

void TfrmProvince::buildTopPanel()
{
    Panel1 = new QFrame(this);
    Panel1->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(Panel1);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);

    // Names of thirty characters mostly show whole.
    dedtGameName = wideEdit(Panel1, &dsProv, QString::fromLatin1(col::GameName), 22);
    dedtCharName = wideEdit(Panel1, &dsProv, QString::fromLatin1(col::CharacterName), 22);
    // The names belong to the character: the user reads them here and never
    // types them (a new province takes them from the realm window).
    dedtGameName->setAccess(DBEdit::Access::ReadOnly);
    dedtCharName->setAccess(DBEdit::Access::ReadOnly);
    dedtProvName = wideEdit(Panel1, &dsProv, QString::fromLatin1(col::ProvinceName), 22);
    dedtProvLevel = narrowEdit(Panel1, &dsProv, QString::fromLatin1(col::ProvinceLevel), 5);
    dedtMaxSrcPotential = narrowEdit(Panel1, &dsProv, QString::fromLatin1(col::MaxSourcePotential), 5);
    dedtTerrain = wideEdit(Panel1, &dsProv, QString::fromLatin1(col::ProvinceTerrain), 16);
    btnClose = new QPushButton(QStringLiteral("&Close"), Panel1);
    btnClose->setAutoDefault(false);

    // Columns: label, box, label, box, label, box; the last column the button.
    grid->addWidget(label("Game Name:", dedtGameName, Panel1), 0, 0);
    grid->addWidget(dedtGameName, 0, 1);
    grid->addWidget(label("Character Name:", dedtCharName, Panel1), 0, 2);
    grid->addWidget(dedtCharName, 0, 3, 1, 3);
    grid->addWidget(btnClose, 0, 6);
    grid->addWidget(label("Province Name:", dedtProvName, Panel1), 1, 0);
    grid->addWidget(dedtProvName, 1, 1);
    grid->addWidget(label("Prov Lvl:", dedtProvLevel, Panel1), 1, 2);
    grid->addWidget(dedtProvLevel, 1, 3);
    grid->addWidget(label("Max Src:", dedtMaxSrcPotential, Panel1), 1, 4);
    grid->addWidget(dedtMaxSrcPotential, 1, 5);
    grid->addWidget(label("Terrain:", dedtTerrain, Panel1), 2, 0);
    grid->addWidget(dedtTerrain, 2, 1, 1, 5);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(5, 0);
}

void TfrmProvince::buildGeneralPage()
{
    auto* column = new QVBoxLayout(tsGeneral);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    dedtProvOwner = wideEdit(tsGeneral, &dsProv, QString::fromLatin1(col::ProvinceOwner), 16);
    dedtCastleLevel = narrowEdit(tsGeneral, &dsProv, QString::fromLatin1(col::FortificationLevel), 5);
    dedtTaxationLevel = narrowEdit(tsGeneral, &dsProv, QString::fromLatin1(col::TaxationLevel), 9);
    dedtLawClaimsLossSource = wideEdit(tsGeneral, &dsProv, QString::fromLatin1(col::LawClaimsLossSource), 20);
    grid->addWidget(label("Province Owner:", dedtProvOwner, tsGeneral), 0, 0);
    grid->addWidget(dedtProvOwner, 0, 1);
    grid->addWidget(label("Castle Level:", dedtCastleLevel, tsGeneral), 0, 2);
    grid->addWidget(dedtCastleLevel, 0, 3, Qt::AlignLeft);
    grid->addWidget(label("Taxation Level:", dedtTaxationLevel, tsGeneral), 1, 0);
    grid->addWidget(dedtTaxationLevel, 1, 1, Qt::AlignLeft);
    grid->addWidget(label("Law Claims Loss Source:", dedtLawClaimsLossSource, tsGeneral), 1, 2);
    grid->addWidget(dedtLawClaimsLossSource, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    column->addLayout(grid);

    dedtArmies = memo(tsGeneral, &dsProv, QString::fromLatin1(col::Armies), false);
    dedtRealmSpellsInEffect = memo(tsGeneral, &dsProv, QString::fromLatin1(col::RealmSpellsInEffect), false);
    auto* memos = new QHBoxLayout;
    memos->addLayout(labelled("Armies:", dedtArmies, tsGeneral), 1);
    memos->addLayout(labelled("Realm Spells in Effect:", dedtRealmSpellsInEffect, tsGeneral), 1);
    column->addLayout(memos, 1);
}

void TfrmProvince::buildTradeRoutesPage()
{
    auto* column = new QVBoxLayout(tsTradeRoutes);
    dmemTradeRoutes = memo(tsTradeRoutes, &dsProv, QString::fromLatin1(col::GuildTradeRoutes), true);
    column->addLayout(labelled("Guild Sponsored Trade Routes:", dmemTradeRoutes, tsTradeRoutes), 1);

    auto* group = new QGroupBox(QStringLiteral("Number of Trade Routes"), tsTradeRoutes);
    auto* row = new QHBoxLayout(group);
    DBEdit5 = narrowEdit(group, &dsProv, QString::fromLatin1(col::GuildNumLandTR), 5);
    DBEdit6 = narrowEdit(group, &dsProv, QString::fromLatin1(col::GuildNumSeaTR), 5);
    row->addWidget(label("Land:", DBEdit5, group));
    row->addWidget(DBEdit5);
    row->addSpacing(16);
    row->addWidget(label("Sea:", DBEdit6, group));
    row->addWidget(DBEdit6);
    auto* strip = new QHBoxLayout;
    strip->addWidget(group);
    strip->addStretch(1);
    column->addLayout(strip);
}

void TfrmProvince::buildSourceMemos(QVBoxLayout* column)
{
    dmemLeyLines = memo(tsSource, &dsProv, QString::fromLatin1(col::SourceLeyLines), true);
    dmemLeyLinesProt = memo(tsSource, &dsProv, QString::fromLatin1(col::SourceLeyLineProtects), true);
    auto* memos = new QHBoxLayout;
    memos->addLayout(labelled("Ley Line Network:", dmemLeyLines, tsSource), 1);
    memos->addLayout(labelled("Protection Spells on Ley Lines:", dmemLeyLinesProt, tsSource), 1);
    column->addLayout(memos, 1);
}

void TfrmProvince::setReadingOrder()
{
    // Left to right, then top to bottom, page after page; Tab skips the grey
    // name boxes and whatever is on the pages not shown.
    const std::vector<QWidget*> order = {
        dedtGameName, dedtCharName, dedtProvName, dedtProvLevel, dedtMaxSrcPotential, dedtTerrain, btnClose,
        PageControl1->tabBar(),
        dedtProvOwner, dedtCastleLevel, dedtTaxationLevel, dedtLawClaimsLossSource, dedtArmies, dedtRealmSpellsInEffect,
        dmemTradeRoutes, DBEdit5, DBEdit6,
        dedtGuild1Level, dedtGuild1Owner, DBEdit7, dedtGuild1LawLossSource,
        dedtGuild2Level, dedtGuild2Owner, DBEdit8, dedtGuild2LawLossSource,
        dedtGuild3Level, dedtGuild3Owner, DBEdit9, dedtGuild3LawLossSource,
        dedtGuild4Level, dedtGuild4Owner, DBEdit10, dedtGuild4LawLossSource,
        dedtLaw1Level, dedtLaw1Owner, DBEdit11, DBEdit1,
        dedtLaw2Level, dedtLaw2Owner, DBEdit12, DBEdit2,
        dedtLaw3Level, dedtLaw3Owner, DBEdit13, DBEdit3,
        dedtLaw4Level, dedtLaw4Owner, DBEdit14, DBEdit4,
        dedtSource1Level, dedtSource1Owner, DBEdit15,
        dedtSource2Level, dedtSource2Owner, DBEdit16,
        dedtSource3Level, dedtSource3Owner, DBEdit17,
        dedtSource4Level, dedtSource4Owner, DBEdit18,
        dmemLeyLines, dmemLeyLinesProt,
        dedtTemple1Level, dedtTemple1Owner, DBEdit19, dedtTemple1LawLoss,
        dedtTemple2Level, dedtTemple2Owner, DBEdit20, dedtTemple2LawLoss,
        dedtTemple3Level, dedtTemple3Owner, DBEdit21, dedtTemple3LawLoss,
        dedtTemple4Level, dedtTemple4Owner, DBEdit22, dedtTemple4LawLoss,
    };
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void TfrmProvince::FormCreate() { tblProv.open(campaign::alias, campaign::table::provinces); }

void TfrmProvince::btnCloseClick() { close(); }

bool TfrmProvince::FormCloseQuery()
{
    // With no record at all (the last province deleted, or the table could
    // not be opened) there are no names to ask for, and nothing to save: the
    // names could never be filled in, and the window could never close.
    if (!tblProv.isOpen() || (!tblProv.editing() && !tblProv.hasCurrentRecord()))
        return true;
    if (dbaware::isBlank(dedtCharName->text())) {
        dbaware::showMessage(this, QStringLiteral("Character Name Must Be Entered"));
        dedtCharName->setFocus();
        return false;
    }
    if (dbaware::isBlank(dedtGameName->text())) {
        dbaware::showMessage(this, QStringLiteral("Game Name Must Be Entered"));
        dedtGameName->setFocus();
        return false;
    }
    if (tblProv.editing())
        tblProv.post();
    return true;
}

void TfrmProvince::closeEvent(QCloseEvent* event)
{
    bool canClose = false;
    dbaware::guarded(this, [&] { canClose = FormCloseQuery(); });
    event->setAccepted(canClose);
}

bool TfrmProvince::FormKeyUp(QKeyEvent& key) { return app::helpOnF1(key); }

void TfrmProvince::tblProvAfterInsert(store::Table&)
{
    // The names as the window that opened this one shows them, whatever
    // province this window stood on before.
    if (!characterNames)
        return;
    const auto [game, character] = characterNames();
    dedtGameName->setText(game);
    dedtCharName->setText(character);
    // Written at once, so that a re-read of the controls cannot drop them.
    dedtGameName->updateRecord();
    dedtCharName->updateRecord();
}
