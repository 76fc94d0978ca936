#include <gtest/gtest.h>

#include <QApplication>
#include <QDirIterator>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QWindow>

#include "app/about.h"
#include "app/shell.h"
#include "app/splash.h"
#include "shell_fixture.h"
#include "transfer/transfer.h"

using testing_support::ScriptedModal;
using testing_support::ShellTest;

namespace {

// A focused control counting the releases of F1, F2 and A that reach it
// (QTest releases the modifier keys as well).
class Control final : public QWidget {
public:
    explicit Control(QWidget& window) : QWidget(&window)
    {
        setFocusPolicy(Qt::StrongFocus);
        window.show();
        setFocus();
    }
    int releases = 0;

protected:
    void keyReleaseEvent(QKeyEvent* e) override
    {
        releases += e->key() == Qt::Key_F1 || e->key() == Qt::Key_F2 || e->key() == Qt::Key_A;
        QWidget::keyReleaseEvent(e);  // ignores it, so it travels on to the window
    }
};

bool activate(QWidget* window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

// Ends the event loops should a test wait for ever.
struct Watchdog {
    Watchdog()
    {
        timer.callOnTimeout([] {
            ADD_FAILURE() << "the event loop did not end";
            // Whatever modal window waits is hidden, so that its loop ends.
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->hide();
            QCoreApplication::exit(99);
        });
        timer.start(5000);
    }
    QTimer timer;
};

}  // namespace

TEST_F(ShellTest, F1WithOrWithoutShiftCtrlAltOpensHelpBeforeTheControls)
{
    ASSERT_TRUE(startUp());
    const std::vector<Qt::KeyboardModifiers> modifiers{Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier,
                                                       Qt::AltModifier, Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier};
    for (QWidget* window : std::vector<QWidget*>{frmVDDBSearch, frmRealmDetails, frmProvince}) {
        helpCalls_.clear();
        auto* control = new Control(*window);
        for (auto m : modifiers)
            QTest::keyRelease(control, Qt::Key_F1, m);
        EXPECT_EQ(helpCalls_, (std::vector<std::pair<QString, unsigned>>(modifiers.size(), {"vddb.hlp", 3u})));
        // Other keys reach the control; pressing F1, or its repeats, open nothing.
        QTest::keyRelease(control, Qt::Key_F2);
        QTest::keyRelease(control, Qt::Key_A);
        QTest::keyPress(control, Qt::Key_F1);
        QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_F1, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(control, &repeat);
        EXPECT_EQ(helpCalls_.size(), modifiers.size());
        EXPECT_EQ(control->releases, 2) << window->windowTitle().toStdString();
        window->hide();
    }
    for (QWidget* window : std::vector<QWidget*>{AboutBox, frmTransfer}) {
        auto* control = new Control(*window);
        QTest::keyRelease(control, Qt::Key_F1);
        EXPECT_EQ(control->releases, 1);  // not theirs to take
    }
    EXPECT_EQ(helpCalls_.size(), modifiers.size());
}

TEST(KeyPreview, SeesEachKeyOnceBeforeTheControl)
{
    QWidget window;
    std::vector<int> seen;
    new app::KeyPreview(window, [&](QKeyEvent& key) { return seen.push_back(key.key()), key.key() == Qt::Key_B; });
    auto* control = new Control(window);
    QTest::keyRelease(control, Qt::Key_A);
    QTest::keyRelease(control, Qt::Key_B);
    EXPECT_EQ(seen, (std::vector<int>{Qt::Key_A, Qt::Key_B}));
    EXPECT_EQ(control->releases, 1);
}

TEST_F(ShellTest, TheSplashClosesAtTheMainWindowsFirstActivation)
{
    ASSERT_TRUE(startUp());
    QPointer<TfrmSplash> splash = frmSplash;
    ASSERT_TRUE(splash && splash->isVisible());
    ASSERT_TRUE(activate(frmTransfer));  // another window leaves it alone
    EXPECT_EQ(frmSplash, splash.data());
    ASSERT_TRUE(activate(frmVDDBSearch));
    EXPECT_EQ(frmSplash, nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(splash.isNull());  // it freed itself
    ASSERT_TRUE(activate(frmTransfer));
    ASSERT_TRUE(activate(frmVDDBSearch));  // later activations find no splash
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(ShellTest, ClosingTheMainWindowEndsTheProgramClosingAnotherOnlyHidesIt)
{
    bool realmHidden = false;
    QTimer user;  // start-up runs waiting events itself: act once the loop shows the main window
    user.callOnTimeout([&] {
        // The run makes its own windows: found as a user sees them.
        TfrmVDDBSearch* frmVDDBSearch = nullptr;
        TfrmRealmDetails* frmRealmDetails = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* b = qobject_cast<TfrmVDDBSearch*>(w))
                frmVDDBSearch = b;
            if (auto* r = qobject_cast<TfrmRealmDetails*>(w))
                frmRealmDetails = r;
        }
        if (!frmVDDBSearch || !frmVDDBSearch->isVisible() || !frmRealmDetails)
            return;
        if (!realmHidden) {
            frmRealmDetails->show();
            frmRealmDetails->close();
            realmHidden = frmRealmDetails->isHidden();  // and the loop goes on
        } else {
            frmVDDBSearch->close();
        }
    });
    user.start(10);
    const Watchdog watchdog;
    EXPECT_EQ(app::run(*context_), 0);
    EXPECT_TRUE(realmHidden);
}

TEST_F(ShellTest, ModalShowingWaitsUntilTheWindowIsClosed)
{
    ASSERT_TRUE(startUp());
    {
        ScriptedModal modal;
        showAboutBox();
        EXPECT_EQ(modal.shown, std::vector<QWidget*>{AboutBox});
    }
    const Watchdog watchdog;
    QTimer::singleShot(0, [] { QTest::mouseClick(AboutBox->OKButton, Qt::LeftButton); });
    EXPECT_EQ(app::showModal(*AboutBox), QDialog::Accepted);

    bool modalWhileShown = false;  // a plain window: minimising it is not closing it
    QTimer::singleShot(0, [&] {
        modalWhileShown = QApplication::activeModalWidget() == frmRealmDetails;
        frmRealmDetails->showMinimized();
        QTimer::singleShot(0, [this] { frmRealmDetails->close(); });
    });
    EXPECT_EQ(app::showModal(*frmRealmDetails), 0);
    EXPECT_TRUE(modalWhileShown);
    EXPECT_TRUE(frmRealmDetails->isHidden());
    EXPECT_EQ(frmRealmDetails->windowModality(), Qt::NonModal);

    // Help opened from a modal window stays usable beside it.
    frmRealmDetails->setWindowModality(Qt::ApplicationModal);
    frmRealmDetails->show();
    app::setHelpHandler({});
    app::openHelp();
    app::HelpWindow* help = app::helpWindow();
    help->browser->setSource(QUrl("qrc:/help/browser.html"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
    QTest::mouseClick(help->windowHandle(), Qt::LeftButton, {},  // through the window system, as the user clicks
                      help->btnContents->mapTo(help, help->btnContents->rect().center()));
    EXPECT_EQ(help->browser->source(), QUrl(app::HelpWindow::contentsPage()));
}

TEST_F(ShellTest, HelpShowsItsBundledPagesAndEveryLinkLeadsSomewhere)
{
    app::setHelpHandler({});
    app::setHelpFile("vddb.hlp");
    app::openHelp();
    ASSERT_TRUE(app::helpWindow() && app::helpWindow()->isVisible());
    EXPECT_TRUE(app::helpWindow()->browser->toPlainText().contains("Valdane Campaign Database: Contents"));
    app::openHelp("other.hlp", app::helpContents);
    EXPECT_EQ(dialogs_.texts(), QStringList{"Cannot find the help file other.hlp."});

    const QRegularExpression href(R"(href="([^"#]*)(?:#([^"]*))?")");
    int pages = 0, links = 0;
    for (QDirIterator it(":/help", {"*.html"}); it.hasNext(); ++pages) {
        const QString page = it.next();
        QFile file(page);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        for (auto m = href.globalMatch(QString::fromUtf8(file.readAll())); m.hasNext(); ++links) {
            const auto link = m.next();
            QFile target(link.captured(1).isEmpty() ? page : ":/help/" + link.captured(1));
            ASSERT_TRUE(target.open(QIODevice::ReadOnly)) << page.toStdString() << ": " << link.captured(0).toStdString();
            EXPECT_TRUE(link.captured(2).isEmpty() ||
                        QString::fromUtf8(target.readAll()).contains("id=\"" + link.captured(2) + "\""))
                << page.toStdString() << ": " << link.captured(0).toStdString();
        }
    }
    EXPECT_EQ(pages, 8);
    EXPECT_GT(links, 20);
}
