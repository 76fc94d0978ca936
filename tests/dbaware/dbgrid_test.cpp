#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>

#include "dbaware/dbgrid.h"
#include "dbaware_fixture.h"
#include "store/database.h"
#include "support/grid_models.h"

using dbaware::DataSource;
using dbaware::DBGrid;
using dbaware::GridModel;
using store::State;

namespace {

class DBGridTest : public testing_support::DbAwareTest {
protected:
    DBGridTest() : provs(openTable("vdprovs.db"))
    {
        for (const char* p : {"Alpha", "Beta", "Gamma"})
            addProvince(*provs, "G", "Aric", p);
        provs->first();
        ds = std::make_unique<DataSource>(*provs);
        grid = new DBGrid(&window);
        testing_support::testGridModels(window);
        grid->setColumns({{"Province_Name", "Province Name", 156},
                          {"Province_Terrain", "Province Terrain", 164},
                          {"Fortification_Level", "Castle Lvl", -1}});
        grid->setDataSource(ds.get());
        grid->resize(400, 250);
        other = new QLineEdit(&window);
        other->move(0, 260);
        provs->afterInsert = [this](store::Table& t) {
            ++inserted;
            t.setText("Game_Name", "G");
            t.setText("Character_Name", "Aric");
        };
        provs->afterPost = [this](store::Table&) { ++posted; };
        window.show();  // a hidden grid does not follow its table
    }

    QString cell(int row, int column) const { return grid->model()->index(row, column).data().toString(); }
    int rows() const { return grid->model()->rowCount(); }
    // The open cell editor (closed ones linger hidden until deleted).
    QLineEdit* editor() const
    {
        for (QLineEdit* e : grid->viewport()->findChildren<QLineEdit*>())
            if (!e->isHidden())
                return e;
        return nullptr;
    }
    // Types into the current cell as a user does: the first key opens the
    // editor, the others go to it.
    void type(const QString& text)
    {
        QTest::keyClick(grid, text[0].toLatin1());
        ASSERT_NE(editor(), nullptr);
        QTest::keyClicks(editor(), text.mid(1));
    }

    std::unique_ptr<store::Table> provs;
    std::unique_ptr<DataSource> ds;
    DBGrid* grid;
    QLineEdit* other;
    int inserted = 0, posted = 0;
};

TEST_F(DBGridTest, ColumnsHaveTheirTitlesAndWidths)
{
    auto* m = grid->model();
    EXPECT_EQ(m->headerData(0, Qt::Horizontal).toString(), "Province Name");
    EXPECT_EQ(m->headerData(2, Qt::Horizontal).toString(), "Castle Lvl");
    EXPECT_EQ(grid->columnWidth(0), 156);
    EXPECT_EQ(grid->columnWidth(1), 164);
    EXPECT_GE(grid->columnWidth(2), grid->fontMetrics().horizontalAdvance("Castle Lvl"));
    EXPECT_EQ(cell(1, 0), "Beta");

    // Without a column list: every field, titled by its name.
    DataSource cds(*chars);
    DBGrid all(&window);
    testing_support::testGridModels(window);
    all.setDataSource(&cds);
    ASSERT_EQ(all.gridModel()->columnCount(), 62);
    EXPECT_EQ(all.gridModel()->headerData(49, Qt::Horizontal, Qt::DisplayRole).toString(), "Total_Castles/Forts");
}

TEST_F(DBGridTest, CurrentRowIsTheTablesCurrentRecordBothWays)
{
    EXPECT_EQ(grid->currentIndex().row(), 0);
    provs->last();
    EXPECT_EQ(grid->currentIndex().row(), 2);
    grid->setCurrentIndex(grid->model()->index(1, 0));
    EXPECT_EQ(provs->text("Province_Name"), "Beta");
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(provs->text("Province_Name"), "Alpha");
    EXPECT_EQ(grid->model()->headerData(0, Qt::Vertical, GridModel::IndicatorRole).toInt(), GridModel::Current);
}

TEST_F(DBGridTest, DownOnTheLastRowAppendsARecordOnce)
{
    provs->last();
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(inserted, 1);
    EXPECT_EQ(provs->state(), State::Insert);
    ASSERT_EQ(rows(), 4);
    EXPECT_EQ(grid->currentIndex().row(), 3);
    EXPECT_EQ(grid->gridModel()->insertRow(), 3);
    EXPECT_EQ(cell(2, 0), "Gamma");
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(rows(), 4) << "no second row after an untouched one";
    EXPECT_EQ(inserted, 1);
}

TEST_F(DBGridTest, LeavingAChangedRowPostsIt)
{
    activate();
    grid->setFocus();
    provs->last();
    QTest::keyClick(grid, Qt::Key_Down);
    type("Delta");
    QTest::keyClick(editor(), Qt::Key_Up);
    EXPECT_EQ(posted, 1);
    EXPECT_EQ(provs->state(), State::Browse);
    EXPECT_EQ(provs->recordCount(), 4);
    EXPECT_EQ(provs->text("Province_Name"), "Gamma");
    EXPECT_EQ(grid->currentIndex().row(), 2);
    EXPECT_EQ(cell(3, 0), "Delta");

    // A changed stored row too.
    grid->setCurrentIndex(grid->model()->index(0, 1));
    type("Hills");
    QTest::keyClick(editor(), Qt::Key_Down);
    EXPECT_EQ(posted, 2);
    provs->first();
    EXPECT_EQ(provs->text("Province_Terrain"), "Hills");
}

TEST_F(DBGridTest, AnUntouchedNewRowIsDroppedWhenLeavingIt)
{
    activate();
    grid->setFocus();
    provs->last();
    QTest::keyClick(grid, Qt::Key_Down);
    ASSERT_EQ(provs->state(), State::Insert);
    other->setFocus(Qt::MouseFocusReason);  // a click out of the grid
    EXPECT_EQ(provs->state(), State::Browse);
    EXPECT_EQ(rows(), 3);

    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Up);  // leaving the row
    EXPECT_EQ(provs->state(), State::Browse);
    EXPECT_EQ(provs->recordCount(), 3);
    EXPECT_EQ(posted, 0) << "the after-insert values alone are no reason to keep it";

    // Something typed keeps it pending when the focus leaves.
    QTest::keyClick(grid, Qt::Key_Down);
    type("Z");
    QTest::keyClick(editor(), Qt::Key_Return);
    QApplication::processEvents();  // Qt commits on Return from the event loop
    other->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(provs->state(), State::Insert);
    EXPECT_EQ(provs->text("Province_Name"), "Z");
}

TEST_F(DBGridTest, CtrlDeleteAsksBeforeDeletingTheCurrentRow)
{
    provs->next();
    boxes.answer(dbaware::Answer::Cancel);
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Delete record?");
    EXPECT_EQ(boxes.shown[0].caption, "Confirm");
    EXPECT_EQ(boxes.shown[0].buttons, dbaware::Buttons::OkCancel);
    EXPECT_EQ(provs->recordCount(), 3);

    boxes.answer(dbaware::Answer::Ok);
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(provs->recordCount(), 2);
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(cell(0, 0), "Alpha");
    EXPECT_EQ(cell(1, 0), "Gamma");
    EXPECT_EQ(provs->text("Province_Name"), "Gamma");
    EXPECT_EQ(grid->currentIndex().row(), 1);
}

TEST_F(DBGridTest, ACellTheFieldRefusesStaysOpenWithItsText)
{
    activate();
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, 2));
    QTest::keyClick(grid, 'x');  // opens the editor; the key itself is refused
    EXPECT_EQ(boxes.beeps, 1);
    ASSERT_NE(editor(), nullptr);
    QTest::keyClicks(editor(), "-q");
    EXPECT_EQ(boxes.beeps, 2);
    EXPECT_EQ(editor()->text(), "-");
    QTest::keyClick(editor(), Qt::Key_Down);  // commits, then would move
    EXPECT_EQ(errors(), QStringList{"'-' is not a valid integer value for field 'Fortification_Level'"});
    QApplication::processEvents();
    EXPECT_EQ(provs->state(), State::Edit);
    EXPECT_EQ(provs->text("Province_Name"), "Alpha") << "the table did not move";
    EXPECT_EQ(grid->currentIndex().row(), 0);
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->text(), "-");
}

TEST_F(DBGridTest, ReadOnlyGridAndAutomaticEditingOff)
{
    grid->setReadOnly(true);
    provs->last();
    QTest::keyClick(grid, 'x');
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(editor(), nullptr);
    EXPECT_EQ(rows(), 3);
    EXPECT_EQ(provs->state(), State::Browse);
    EXPECT_TRUE(boxes.shown.empty());

    grid->setReadOnly(false);
    ds->setAutoEdit(false);  // typing on a row does not edit it
    QTest::keyClick(grid, 'x');
    EXPECT_EQ(editor(), nullptr);
    EXPECT_EQ(provs->state(), State::Browse);
}

TEST_F(DBGridTest, AHundredThousandRowsAreReadOnlyAsFarAsShown)
{
    chars->database().connection().exec(
        "DELETE FROM vddb; WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 99999) "
        "INSERT INTO vddb (Game_Name, Character_Name, Total_Provinces) SELECT 'G', printf('C%06d', i), i % 100 FROM n");
    chars->refresh();
    DataSource cds(*chars);
    auto* big = new DBGrid(&window);
    testing_support::testGridModels(window);
    big->setColumns({{"Character_Name", "", -1}, {"Total_Provinces", "", -1}});
    big->setDataSource(&cds);
    big->setGeometry(0, 0, 300, 240);
    grid->hide();
    big->show();
    QApplication::processEvents();
    GridModel* m = big->gridModel();
    // The count comes a moment after the first screenful, on a grid that is seen.
    ASSERT_TRUE(QTest::qWaitFor([&] { return m->rowCount() == 100000; }, 5000));
    const int visible = big->viewport()->height() / big->rowHeight(0) + 1;
    auto shownAt = [&](int y) {
        const QModelIndex i = big->indexAt(QPoint(5, y));
        return std::make_pair(i.row(), i.data().toString());
    };
    auto expectedName = [](int row) { return QStringLiteral("C%1").arg(row, 6, 10, QLatin1Char('0')); };

    EXPECT_GT(m->rowsRead(), 0);
    EXPECT_LE(m->rowsRead(), visible + GridModel::blockSize);
    EXPECT_EQ(shownAt(5).second, "C000000");

    // A scroll-bar jump to the middle.
    m->resetCounters();
    big->verticalScrollBar()->setValue(50000);
    big->grab();
    auto [row, text] = shownAt(5);
    EXPECT_NEAR(row, 50000, 1);
    EXPECT_EQ(text, expectedName(row));
    auto [bottom, bottomText] = shownAt(big->viewport()->height() - 3);
    EXPECT_GT(bottom, row + visible / 2);
    EXPECT_EQ(bottomText, expectedName(bottom));
    EXPECT_LE(m->rowsRead(), visible + 2 * GridModel::blockSize);
    EXPECT_LE(m->farJumps(), 1);

    // Scrolling on by a page reads on from the rows known, without a jump.
    m->resetCounters();
    big->verticalScrollBar()->setValue(50000 + visible);
    big->grab();
    EXPECT_EQ(m->farJumps(), 0);
    EXPECT_LE(m->rowsRead(), visible + GridModel::blockSize);

    // A click there moves the table; the table's last record moves the grid.
    big->setCurrentIndex(m->index(50005, 0));
    EXPECT_EQ(chars->text("Character_Name"), "C050005");
    m->resetCounters();
    chars->last();
    big->grab();
    EXPECT_EQ(big->currentIndex().row(), 99999);
    EXPECT_EQ(shownAt(big->visualRect(big->currentIndex()).center().y()).second, "C099999");
    EXPECT_LE(m->rowsRead(), visible + 2 * GridModel::blockSize);

    // A filter that leaves one of them: that row, current.
    chars->setFilter("Character_Name = 'C099990'");
    chars->setFiltered(true);
    big->grab();
    EXPECT_EQ(m->rowCount(), 1);
    EXPECT_EQ(big->currentIndex().row(), 0);
    EXPECT_EQ(shownAt(5).second, "C099990");
}

}  // namespace

TEST_F(DBGridTest, AWriteThroughAnotherTableObjectIsShownWhenTheGridNextReads)
{
    ASSERT_EQ(cell(1, 0), "Beta");  // held in the grid's block
    auto other = openTable("vdprovs.db");
    other->next();
    other->edit();
    other->setText("Province_Name", "Bravo");
    other->post();
    EXPECT_EQ(cell(1, 0), "Bravo");
    addProvince(*other, "G", "Aric", "Delta");
    EXPECT_EQ(cell(1, 0), "Bravo");
    QCoreApplication::processEvents();
    ASSERT_EQ(rows(), 4);
    EXPECT_EQ(cell(3, 0), "Delta");
    EXPECT_EQ(grid->currentIndex().row(), 0);
    EXPECT_EQ(provs->text("Province_Name"), "Alpha");
}

// Past the first block the rows are neither read nor counted until needed:
// a hidden grid never counts, Down on the last row read moves on rather than
// appending, and the count follows once the grid is seen.
TEST_F(DBGridTest, RowsBeyondTheFirstBlockAreReadWhenTheUserGoesOn)
{
    const int n = GridModel::blockSize + 8;
    for (int i = 0; i < n; ++i)
        addProvince(*provs, "G", "Bors", QStringLiteral("P%1").arg(i, 2, 10, QLatin1Char('0')).toStdString());
    provs->setFiltered(true);
    provs->setFilter("Character_Name='Bors'");
    grid->hide();
    QTest::qWait(2 * DBGrid::countDelay);
    GridModel* m = grid->gridModel();
    EXPECT_EQ(rows(), GridModel::blockSize);
    EXPECT_TRUE(m->canFetchMore({}));

    grid->show();
    grid->setFocus();
    grid->setCurrentIndex(m->index(GridModel::blockSize - 1, 0));
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(provs->state(), State::Browse);
    EXPECT_EQ(provs->text("Province_Name"), "P32");
    EXPECT_EQ(grid->currentIndex().row(), GridModel::blockSize);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m->canFetchMore({}); }, 5000));
    EXPECT_EQ(rows(), n);
    EXPECT_EQ(cell(n - 1, 0), "P39");
}

// The count for the scroll bar reads no row again: the rows read stay, and
// the current record keeps its place without counting the rows before it.
TEST_F(DBGridTest, CountingKeepsTheRowsRead)
{
    auto other = openTable("vdprovs.db");
    for (int i = 0; i < 60; ++i)
        addProvince(*other, "G", "Bors", QStringLiteral("P%1").arg(i, 2, 10, QLatin1Char('0')).toStdString());
    provs->refresh();
    provs->first();
    provs->next();
    GridModel* m = grid->gridModel();
    ASSERT_TRUE(m->canFetchMore({}));
    m->resetCounters();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m->canFetchMore({}); }, 5000));
    grid->grab();
    EXPECT_EQ(rows(), 63);
    EXPECT_EQ(grid->currentIndex().row(), 1);
    EXPECT_EQ(m->rowsRead(), 0);
}

// A grid moved while hidden shows its current row once it is shown.
TEST_F(DBGridTest, AGridMovedWhileHiddenShowsItsCurrentRowWhenShown)
{
    for (int i = 0; i < 60; ++i)
        addProvince(*provs, "G", "Bors", QStringLiteral("P%1").arg(i, 2, 10, QLatin1Char('0')).toStdString());
    provs->setFiltered(true);
    provs->setFilter("Character_Name='Bors'");
    activate();
    grid->hide();
    GridModel* m = grid->gridModel();
    const std::int64_t read = m->rowsRead();
    provs->last();
    EXPECT_EQ(m->rowsRead(), read) << "a hidden grid reads nothing";
    EXPECT_EQ(grid->currentIndex().row(), 0);
    grid->show();
    QApplication::processEvents();
    EXPECT_EQ(grid->currentIndex().row(), 59);
    EXPECT_TRUE(grid->viewport()->rect().contains(grid->visualRect(grid->currentIndex()).center()));
}

// A cell shows a memo's first line, and no more of a huge one than fits a
// cell, never cutting a character in two.
TEST_F(DBGridTest, AMemoCellShowsTheStartOfItsFirstLine)
{
    std::string accents;
    for (int i = 0; i < 600; ++i)
        accents += "é";
    chars->database().connection().exec("DELETE FROM vddb");  // the provinces' character, Aric, would come first
    addCharacter(*chars, "G", "Bran", {{"Vassals", "a" + accents + "\r\nsecond"}});
    addCharacter(*chars, "G", "Cara", {{"Vassals", "one\ntwo"}});
    chars->first();
    DataSource cds(*chars);
    DBGrid all(&window);
    testing_support::testGridModels(window);
    all.setColumns({{"Vassals", "Vassals", 100}});
    all.setDataSource(&cds);
    EXPECT_EQ(all.gridModel()->index(0, 0).data().toString(), "a" + QString(499, u'é'));
    EXPECT_EQ(all.gridModel()->index(1, 0).data().toString(), "one");
}
