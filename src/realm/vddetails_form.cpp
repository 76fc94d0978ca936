// The realm window's form: what its .ui file cannot say, and the
// connections of its controls to their handlers.
#include "realm/vddetails.h"

#include "dbaware/binding.h"
#include "dbaware/dbcheckbox.h"
#include "dbaware/dbedit.h"
#include "dbaware/dbgrid.h"
#include "dbaware/dbmemo.h"
#include "dbaware/dbnavigator.h"
#include "dbaware/guard.h"
#include "app/shell.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>

namespace {

// One control enabled exactly while another is, whoever changes that.
class FollowEnabled final : public QObject {
public:
    FollowEnabled(QWidget& leader, QWidget& follower) : QObject(&follower), leader_(leader), follower_(follower)
    {
        leader.installEventFilter(this);
        follower.setEnabled(leader.isEnabled());
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::EnabledChange)
            follower_.setEnabled(leader_.isEnabled());
        return false;
    }

private:
    QWidget& leader_;
    QWidget& follower_;
};

}  // namespace

// ---- The form ----------------------------------------------------------------

void TfrmRealmDetails::finishForm()
{
    // The tab bar belongs to the tab widget, out of the form's reach.
    // Eleven tabs in one row (Qt has no rows of tabs), and the window goes
    // no narrower than the row, so that no caption is ever cut by the scroll
    // buttons. Where the screen is narrower than the row (a small screen, a
    // large scale) the tabs take smaller type and margins to fit it; only
    // on a screen narrower still do scroll buttons take over.
    QTabBar* tabs = PageControl1->tabBar();
    tabs->setAttribute(Qt::WA_Hover);
    const auto tabStyle = [tabs](int padding) {
        tabs->setStyleSheet(QStringLiteral(
            "QTabBar::tab { padding: 3px %1px; border: 1px solid palette(mid);"
            " border-bottom: none; border-top-left-radius: 3px; border-top-right-radius: 3px;"
            " background: palette(button); }"
            "QTabBar::tab:!selected { margin-top: 2px; }"
            "QTabBar::tab:selected { background: palette(base); }"
            "QTabBar::tab:hover:!selected { background: palette(highlight); color: palette(highlighted-text); }")
                                .arg(padding));
        tabs->ensurePolished();
        return tabs->sizeHint().width();
    };
    int row = tabStyle(5);
    const QMargins margins = columnWindow->contentsMargins();
    const int room = app::roomAcross(*this) - margins.left() - margins.right();
    if (row > room) {
        QFont f = tabs->font();
        f.setPointSizeF(f.pointSizeF() * 0.85);
        tabs->setFont(f);
        row = tabStyle(2);
    }
    // The tab widget's frame beside the row.
    PageControl1->setMinimumWidth(std::min(row + 4, room));
    app::narrowToRoom(*Panel1, {dedtGameName, dedtCharName});

    // A hint is set a tenth smaller than the window's type; a form can only
    // give whole points.
    for (QLabel* note : {Label68, Label57, lblTotalProvincesNote, lblResearchNote}) {
        QFont f = note->font();
        f.setPointSizeF(f.pointSizeF() * 0.9);
        note->setFont(f);
    }

    // The boxes of the form under a group line up with those inside it: the
    // same label column, the same left edge. Both follow the type and the
    // style, so they are measured here.
    auto lineUp = [](QFormLayout* inGroup, QGroupBox* group, QFormLayout* below) {
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
    };
    lineUp(formBloodline, gbBloodline, formDomain);
    lineUp(formPalace, gbPalace, formCourt);

    // Adding a province is for when the list takes one.
    new FollowEnabled(*dbgProvinces, *btnAddProvince);

    // Room for one line of the type in use, inside the frame and margin.
    pnlDiploMod->setMinimumHeight(pnlDiploMod->fontMetrics().height() + 12);
    // Hidden while no diplomacy is possible; the page keeps its layout then
    // (a form's size policy cannot say so).
    for (QWidget* w : std::initializer_list<QWidget*>{Label68, Label10, Label11, Label57, dedtRODiplomacyCheck,
                                                      edtDipTotalMod}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }
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
    on(dbgProvinces, &dbaware::DBGrid::enterPressed, &W::dbgProvincesDblClick);  // the same from the keyboard
    on(btnAddProvince, &QPushButton::clicked, &W::btnAddProvinceClick);
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
    on(SaveAsPDF1, &QAction::triggered, &W::SaveAsPDF1Click);
    on(Print1, &QAction::triggered, &W::Print1Click);
    on(Close1, &QAction::triggered, &W::Close1Click);
    // The record commands (F2 to F9) move or end the character record, and
    // with it the province list: a province row that may not be stored stops
    // them before the character moves.
    auto record = [this](QAction* action, void (TfrmRealmDetails::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] {
            dbaware::guarded(this, [this, handler] {
                if (tblProv.editing())
                    dsProv.updateRecord();
                (this->*handler)();
            });
        });
    };
    record(First1, &W::First1Click);
    record(Previous1, &W::Previous1Click);
    record(Next1, &W::Next1Click);
    record(Last1, &W::Last1Click);
    record(InsertRecord1, &W::InsertRecord1Click);
    record(DeleteRecord1, &W::DeleteRecord1Click);
    record(SaveChanges1, &W::SaveChanges1Click);
    record(CancelChanges1, &W::CancelChanges1Click);
    on(ImportCurrentCharacter1, &QAction::triggered, &W::ImportCurrentCharacter1Click);
    on(ExportCurrentCharacter1, &QAction::triggered, &W::ExportCurrentCharacter1Click);
    on(ViewContentsofTransferTable1, &QAction::triggered, &W::ViewContentsofTransferTable1Click);
    on(Delete1, &QAction::triggered, &W::Delete1Click);
    on(SaveTransferFileAs1, &QAction::triggered, &W::SaveTransferFileAs1Click);
    on(OpenTransferFile1, &QAction::triggered, &W::OpenTransferFile1Click);
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
