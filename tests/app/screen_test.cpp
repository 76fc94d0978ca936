// The windows on a small screen at a large scale: 1280 by 1024 pixels at
// 150 % and at 200 % (see tests/app/CMakeLists.txt).
#include "app/help.h"
#include "app/shell.h"
#include "app/window_place.h"
#include "dbaware/dbnavigator.h"
#include "shell_fixture.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QTabWidget>

namespace testing_support {
namespace {

TEST(FitIntoAreasTest, MovesAndShrinksAFrameOntoTheScreens)
{
    const QRect left(0, 0, 1280, 1024), right(1280, 0, 1920, 1080);
    const QRect panelled(0, 30, 1280, 994);  // a panel along the top
    struct Case {
        const char* what;
        QRect frame;
        QList<QRect> areas;
        QRect expected;
    } cases[] = {
        {"inside stays", {100, 100, 600, 400}, {left}, {100, 100, 600, 400}},
        {"off every screen to the right", {5000, 100, 600, 400}, {left}, {680, 100, 600, 400}},
        {"off the top and left", {-700, -50, 600, 400}, {left}, {0, 0, 600, 400}},
        {"partly below the bottom", {100, 900, 600, 400}, {left}, {100, 624, 600, 400}},
        {"under the panel", {100, 0, 600, 400}, {panelled}, {100, 30, 600, 400}},
        {"larger than the screen", {-10, -10, 1440, 1100}, {panelled}, {0, 30, 1280, 994}},
        {"wider only", {200, 100, 1500, 300}, {left}, {0, 100, 1280, 300}},
        {"on the second screen stays", {1500, 100, 600, 400}, {left, right}, {1500, 100, 600, 400}},
        {"across two: onto the one with most", {1100, 100, 600, 400}, {left, right}, {1280, 100, 600, 400}},
        {"across two, most on the first", {900, 100, 600, 400}, {left, right}, {680, 100, 600, 400}},
        {"second screen gone", {1500, 100, 600, 400}, {left}, {680, 100, 600, 400}},
        {"nearest of two when on neither", {4000, 2000, 600, 400}, {left, right}, {2600, 680, 600, 400}},
        {"no screens: as it was", {5000, 5000, 600, 400}, {}, {5000, 5000, 600, 400}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(app::fitIntoAreas(c.frame, c.areas), c.expected) << c.what;
}

class ScreenTest : public ShellTest {
protected:
    static QRect available() { return QGuiApplication::primaryScreen()->availableGeometry(); }
    static QRect globalRect(const QWidget* w) { return {w->mapToGlobal(QPoint(0, 0)), w->size()}; }
    static void expectInside(const QWidget& window, const char* what)
    {
        EXPECT_TRUE(available().contains(window.frameGeometry()))
            << what << ": frame " << window.frameGeometry().x() << "," << window.frameGeometry().y() << " "
            << window.frameGeometry().width() << "x" << window.frameGeometry().height() << " on "
            << available().width() << "x" << available().height();
    }
};

TEST_F(ScreenTest, TheScreenIsTheSmallOneAtALargeScale)
{
    // Guards the rest: at 100 % every window fits anyway.
    EXPECT_TRUE(available().size() == QSize(853, 683) || available().size() == QSize(640, 512));
}

TEST_F(ScreenTest, EveryWindowOpensInsideTheScreenAndTheRealmWindowKeepsItsCommands)
{
    ASSERT_TRUE(startUp());
    frmVDDBSearch->show();
    expectInside(*frmVDDBSearch, "browser");
    frmRealmDetails->show();
    expectInside(*frmRealmDetails, "realm");
    for (QWidget* w : std::initializer_list<QWidget*>{frmRealmDetails->btnClose, frmRealmDetails->DBNavigator1,
                                                        frmRealmDetails->PageControl1->tabBar()})
        EXPECT_TRUE(available().contains(globalRect(w))) << w->objectName().toStdString();
    // The page is larger than the room it has now, and scrolls.
    auto* scroller = frmRealmDetails->tsGeneralInfo->findChild<QScrollArea*>();
    ASSERT_NE(scroller, nullptr);
    EXPECT_GT(scroller->verticalScrollBar()->maximum() + scroller->horizontalScrollBar()->maximum(), 0);
    frmRealmDetails->resize(1, frmRealmDetails->height());  // at its narrowest every caption shows whole
    QTabBar* tabs = frmRealmDetails->PageControl1->tabBar();
    for (int i = 0; i < tabs->count(); ++i) {
        // Where the row does not fit, the chosen tab scrolls into view, clear of the scroll buttons.
        if (i > 0)
            QTest::keyClick(tabs, Qt::Key_Tab, Qt::ControlModifier);
        ASSERT_EQ(frmRealmDetails->PageControl1->currentIndex(), i);
        QRect seen = tabs->rect();
        for (const QWidget* button : tabs->findChildren<QWidget*>())
            if (button->isVisible())
                seen.setRight(std::min(seen.right(), button->x() - 1));
        EXPECT_TRUE(seen.contains(tabs->tabRect(i))) << tabs->tabText(i).toStdString();
    }
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
    EXPECT_EQ(frmRealmDetails->PageControl1->currentIndex(), 0) << "a click chooses";
    frmRealmDetails->hide();

    frmProvince->show();
    expectInside(*frmProvince, "province");
    EXPECT_TRUE(available().contains(globalRect(frmProvince->btnClose)));
    frmProvince->hide();
    frmTransfer->show();
    expectInside(*frmTransfer, "transfer");
    frmTransfer->hide();
    app::HelpWindow help;
    help.show();
    expectInside(help, "help");
}

// A window comes back where it was left, onto the screen when that place no
// longer fits; a first run opens it centred at its own size.
TEST_F(ScreenTest, TheTransferWindowComesBackWhereItFits)
{
    if (available().width() != 853)
        GTEST_SKIP() << "the places below are those of the screen at 150 %";
    ASSERT_TRUE(startUp());
    QWidget& w = *frmTransfer;
    w.show();
    const QSize extra = w.frameGeometry().size() - w.size();
    auto frameOf = [&](QSize size) { return size + extra; };
    const QRect firstRun = w.frameGeometry();
    EXPECT_EQ(w.size(), QSize(760, 420).boundedTo(available().size() - extra));
    EXPECT_LE(std::abs(firstRun.center().x() - available().center().x()), 1);
    EXPECT_LE(std::abs(firstRun.center().y() - available().center().y()), 1);

    // Moved and resized by the user, hidden, shown again.
    w.move(20, 40);
    w.resize(500, 300);
    w.hide();
    w.show();
    EXPECT_EQ(w.frameGeometry().topLeft(), QPoint(20, 40));
    EXPECT_EQ(w.size(), QSize(500, 300));
    w.hide();

    const QPoint inset = w.geometry().topLeft() - w.frameGeometry().topLeft();
    struct Case {
        const char* what;
        QRect frame;
        QRect expected;
        QPoint keptInset = {};  // where the inside sat in the frame, if not where it sits now
    } cases[] = {
        {"kept as it was", {30, 50, 600, 400}, {30, 50, 600, 400}},
        {"off every screen", {4000, 3000, 600, 400}, {253, 283, 600, 400}},
        {"larger than the screen", {-20, -20, 2000, 1500}, available()},
        // Kept smaller than the window can be now: as small as it can be, at the right edge.
        {"below its minimum", {800, 50, 100, 100}, {853 - frameOf(w.minimumSizeHint()).width(), 50,
                                                    frameOf(w.minimumSizeHint()).width(), frameOf(w.minimumSizeHint()).height()}},
        {"framed otherwise", {30, 50, 700, 500}, {QPoint(31, 70) - inset, QSize(700, 500)}, {1, 20}},
    };
    for (const Case& c : cases) {
        QSettings settings;
        settings.setValue(QStringLiteral("Windows/Transfer/frame"), c.frame);
        settings.setValue(QStringLiteral("Windows/Transfer/size"), c.frame.size() - extra);
        settings.setValue(QStringLiteral("Windows/Transfer/client"),
                          QRect(c.frame.topLeft() + (c.keptInset.isNull() ? inset : c.keptInset), c.frame.size() - extra));
        settings.sync();
        w.show();
        EXPECT_EQ(w.frameGeometry(), c.expected) << c.what;
        w.hide();
    }
    // Maximised, it comes back maximised, and returns to its normal place.
    w.show();
    const QRect normal = w.geometry();
    w.showMaximized();
    w.hide();
    w.show();
    EXPECT_TRUE(w.isMaximized());
    w.showNormal();
    EXPECT_EQ(w.geometry(), normal);
}

}  // namespace
}  // namespace testing_support
