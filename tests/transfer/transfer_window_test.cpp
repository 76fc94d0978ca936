// The transfer window and the view command.
#include "campaign/tables.h"
#include "transfer/transfer_fixture.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "dbaware/binding.h"
#include "dbaware/dbgrid.h"

using testing_support::TransferTest;
using Strings = std::vector<std::string>;
using dbaware::Answer;

class TransferWindowTest : public TransferTest {
protected:
    void SetUp() override
    {
        TransferTest::SetUp();
        addCharacter("vdtrans.DB", "G", "Aric");
        addCharacter("vdtrans.DB", "G", "O'Brien*");
        addCharacter("vdtrans.DB", "H", "Aric");
        addProvince("expprovs.DB", "G", "Aric", "a1");
        addProvince("expprovs.DB", "G", "Aric", "a2");
        addProvince("expprovs.DB", "G", "O'Brien*", "o1");
        addProvince("expprovs.DB", "G", "O'Brien", "o2");
        addProvince("expprovs.DB", "H", "Aric", "h1");
        addProvince("expprovs.DB", "", "", "nameless");
        w->tblTransfer.refresh();
    }
    void select(const std::string& game, const std::string& name)
    {
        ASSERT_TRUE(w->tblTransfer.findKey({game, name}));
    }
    Strings transferCharacters() { return characters("vdtrans.DB"); }
    Strings transferProvinces() { return provinces("expprovs.DB"); }
};

TEST_F(TransferWindowTest, ShowsEveryColumnOfTheTransferCharacterTable)
{
    TfrmTransfer* t = frmTransfer;
    EXPECT_EQ(t->windowTitle(), "Transfer Table Contents");
    EXPECT_EQ(t->Panel1Caption->text(), " Contents of the Transfer Table");
    EXPECT_TRUE(t->Panel1Caption->font().bold());
    EXPECT_GT(t->Panel1Caption->font().pointSizeF(), t->btnDelete->font().pointSizeF());
    EXPECT_EQ(t->btnDelete->text(), "&Delete");
    EXPECT_EQ(t->btnClose->text(), "&Close");
    EXPECT_EQ(t->DBGrid1->dataSource(), &w->dsTransfer);
    EXPECT_FALSE(t->DBGrid1->isReadOnly());
    const auto* model = t->DBGrid1->gridModel();
    ASSERT_EQ(model->columnCount(), 62);
    const auto& layout = w->tblTransfer.layout();
    for (int i = 0; i < 62; ++i)
        EXPECT_EQ(model->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString().toStdString(),
                  layout.columns[static_cast<std::size_t>(i)].name);
    EXPECT_EQ(t->DBGrid1->gridModel()->rowCount(), 3);
}

TEST_F(TransferWindowTest, ViewRereadsTheTableAndShowsTheWindowUntilClosed)
{
    // An export through another table object: the window's table object has
    // not seen it yet.
    w->tblTransfer.first();
    addCharacter("vdtrans.DB", "A", "First");
    std::string shownFirst;
    modal_.action = [&](QWidget& window) {
        shownFirst = w->tblTransfer.text("Game_Name") + "/" + w->tblTransfer.text("Character_Name");
        EXPECT_EQ(frmTransfer->DBGrid1->gridModel()->rowCount(), 4);
        window.show();
        frmTransfer->btnClose->click();
        EXPECT_FALSE(window.isVisible());
    };
    w->ViewContentsofTransferTable1Click();
    ASSERT_EQ(modal_.shown.size(), 1u);
    EXPECT_EQ(modal_.shown[0], frmTransfer);
    EXPECT_EQ(shownFirst, "G/Aric");  // re-read where it stood, the new row listed
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(TransferWindowTest, DeleteRemovesTheSelectedCharacterWithExactlyItsProvinces)
{
    select("G", "Aric");
    dialogs_.answer(Answer::Yes);
    frmTransfer->btnDelete->click();
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].text, "Confirm delete of this record");
    EXPECT_EQ(dialogs_.shown[0].caption, "Confirm");
    EXPECT_EQ(dialogs_.shown[0].buttons, dbaware::Buttons::YesNo);
    EXPECT_EQ(transferCharacters(), (Strings{"G/O'Brien*", "H/Aric"}));
    EXPECT_EQ(transferProvinces(), (Strings{"//nameless", "G/O'Brien/o2", "G/O'Brien*/o1", "H/Aric/h1"}));
    EXPECT_FALSE(w->tblXfrProv.filtered());
    EXPECT_EQ(w->tblXfrProv.recordCount(), 4);
    EXPECT_EQ(frmTransfer->DBGrid1->gridModel()->rowCount(), 2);

    // Quotes and asterisks in a name select that name only.
    select("G", "O'Brien*");
    dialogs_.answer(Answer::Yes);
    frmTransfer->btnDelete->click();
    EXPECT_EQ(transferProvinces(), (Strings{"//nameless", "G/O'Brien/o2", "H/Aric/h1"}));
    EXPECT_EQ(dialogs_.shown.size(), 2u);

    // What is left goes with the next import, the orphans included.
    w->ImportCurrentCharacter1Click();
    EXPECT_EQ(status(), "Import Complete");
    EXPECT_EQ(characters("vddb.DB"), Strings{"H/Aric"});
    EXPECT_EQ(provinces("vdprovs.db"), (Strings{"//nameless", "G/O'Brien/o2", "H/Aric/h1"}));
    EXPECT_TRUE(transferProvinces().empty());
}

TEST_F(TransferWindowTest, NoShowsThatNothingWasDeleted)
{
    select("H", "Aric");
    dialogs_.answer(Answer::No);
    frmTransfer->btnDelete->click();
    ASSERT_EQ(dialogs_.shown.size(), 2u);
    EXPECT_EQ(dialogs_.shown[1].text, "Delete operation canceled");
    EXPECT_EQ(dialogs_.shown[1].caption, "Valdane Campaign Database");
    EXPECT_EQ(dialogs_.shown[1].icon, dbaware::Icon::None);
    EXPECT_EQ(dialogs_.shown[1].buttons, dbaware::Buttons::Ok);
    EXPECT_EQ(transferCharacters().size(), 3u);
    EXPECT_EQ(transferProvinces().size(), 6u);
}

TEST_F(TransferWindowTest, DeleteOnAnEmptyTableIsRefusedAndKeepsTheNamelessProvinces)
{
    dialogs_.answer(Answer::Yes);
    w->tables().EmptyTransferTables();
    addProvince("expprovs.DB", "", "", "nameless");
    w->tblTransfer.refresh();
    w->tblXfrProv.refresh();
    frmTransfer->btnDelete->click();
    ASSERT_EQ(dialogs_.shown.size(), 2u);
    EXPECT_EQ(dialogs_.shown[1].text, "Cannot perform this operation on an empty dataset.");
    EXPECT_EQ(dialogs_.shown[1].icon, dbaware::Icon::Error);
    EXPECT_EQ(transferProvinces(), Strings{"//nameless"});
    EXPECT_FALSE(w->tblXfrProv.filtered());
    EXPECT_FALSE(w->tblTransfer.controlsDisabled());
    EXPECT_FALSE(w->tblXfrProv.controlsDisabled());
}

TEST_F(TransferWindowTest, AChangeTypedIntoTheRowIsDroppedAndTheStoredRowDeletedByItsNames)
{
    select("H", "Aric");
    w->tblTransfer.edit();
    w->tblTransfer.setText("Character_Name", "Aricus");
    addProvince("expprovs.DB", "H", "Aricus", "x1");
    dialogs_.answer(Answer::Yes);
    frmTransfer->btnDelete->click();
    EXPECT_EQ(transferCharacters(), (Strings{"G/Aric", "G/O'Brien*"}));
    // The provinces of the stored name go with it; the typed name was never saved.
    EXPECT_EQ(transferProvinces(),
              (Strings{"//nameless", "G/Aric/a1", "G/Aric/a2", "G/O'Brien/o2", "G/O'Brien*/o1", "H/Aricus/x1"}));
}

TEST_F(TransferWindowTest, AHalfTypedRowIsDroppedBeforeTheQuestion)
{
    // Pressed with the mouse, the typing is ended by the focus leaving the
    // grid; by its accelerator, the cell is still open.
    for (const bool byMouse : {true, false}) {
        SCOPED_TRACE(byMouse ? "clicked" : "by its key");
        dialogs_.shown.clear();
        if (!frmTransfer->isVisible()) {
            frmTransfer->show();
            frmTransfer->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(frmTransfer));
        }
        select("H", "Aric");
        dbaware::DBGrid* grid = frmTransfer->DBGrid1;
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Down);
        ASSERT_EQ(w->tblTransfer.state(), store::State::Insert);
        QTest::keyClick(grid, Qt::Key_J);
        auto* cell = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(cell, nullptr);
        QTest::keyClicks(cell, "unk");
        auto pressDelete = [&] {
            if (byMouse)
                QTest::mouseClick(frmTransfer->btnDelete, Qt::LeftButton);
            else
                frmTransfer->btnDelete->click();
        };
        pressDelete();
        EXPECT_TRUE(dialogs_.shown.empty()) << "a row never saved is simply dropped";
        EXPECT_EQ(w->tblTransfer.state(), store::State::Browse);
        EXPECT_EQ(transferCharacters(), (Strings{"G/Aric", "G/O'Brien*", "H/Aric"}));

        // A stored row half retyped: the question is about it as stored.
        select("H", "Aric");
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_J);
        cell = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(cell, nullptr);
        dialogs_.answer(Answer::No);
        pressDelete();
        EXPECT_EQ(dialogs_.texts(), (QStringList{"Confirm delete of this record", "Delete operation canceled"}));
        EXPECT_EQ(w->tblTransfer.state(), store::State::Browse);
        QApplication::processEvents();
        EXPECT_EQ(transferCharacters(), (Strings{"G/Aric", "G/O'Brien*", "H/Aric"}));
        EXPECT_EQ(grid->gridModel()->rowCount(), 3);
        EXPECT_EQ(w->tblTransfer.state(), store::State::Browse) << "nothing typed comes back from the cell";
    }
    frmTransfer->hide();
    QApplication::processEvents();
    EXPECT_EQ(transferCharacters().size(), 3u);
}

TEST_F(TransferWindowTest, CtrlDeleteInTheGridTakesTheCharacterRowWithItsProvinces)
{
    frmTransfer->show();
    select("G", "Aric");
    frmTransfer->DBGrid1->setFocus();
    dialogs_.answer(Answer::Ok);
    QTest::keyClick(frmTransfer->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].text, "Delete record?");
    EXPECT_EQ(transferCharacters(), (Strings{"G/O'Brien*", "H/Aric"}));
    // The file takes its provinces along: none is left without its character.
    EXPECT_EQ(transferProvinces().size(), 4u);
    frmTransfer->hide();
}

TEST_F(TransferWindowTest, TheFormBindsNoBoxAndTheGridShowsRealColumnsOfTheTransferTable)
{
    TfrmTransfer* t = frmTransfer;
    EXPECT_TRUE(dbaware::boundFields(*t).empty());  // only the grid edits, on the realm window's source
    const store::TableLayout& layout = t->DBGrid1->dataSource()->table().layout();
    const auto* model = t->DBGrid1->gridModel();
    ASSERT_EQ(model->columnCount(), static_cast<int>(layout.columns.size()));
    for (int i = 0; i < model->columnCount(); ++i) {
        const std::string title = model->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString().toStdString();
        EXPECT_GE(layout.columnIndex(title), 0) << title;
    }
}
