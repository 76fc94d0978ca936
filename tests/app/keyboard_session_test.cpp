// A new game master's first session, by keys alone: each key goes where a
// user's key goes (the open menu, else the box with the focus), the windows
// are shown modally for real, and only the file names come from a script.
#include <QAbstractButton>
#include <QAccessible>
#include <QFile>
#include <QTimer>
#include <deque>

#include "shell_fixture.h"

namespace testing_support {
namespace {

class KeyboardSession : public ShellTest {
protected:
    std::deque<std::function<bool()>> steps_;  // false: not yet, asked again a moment later

    void then(std::function<void()> s) { steps_.push_back([s] { return s(), true; }); }
    void waitUntil(std::function<bool()> seen) { steps_.push_back(std::move(seen)); }
    void waitActive(QWidget* w) { waitUntil([w] { return QApplication::activeWindow() == w; }); }
    static QWidget* keysGoTo()
    {
        QWidget* popup = QApplication::activePopupWidget();
        return popup ? popup : QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
    }
    void key(int k, Qt::KeyboardModifiers m = {}) { then([k, m] { QTest::keyClick(keysGoTo(), Qt::Key(k), m); }); }
    void type(const QString& text)
    {
        then([text] {
            for (QChar c : text)  // a list's first letter opens a cell editor, which takes the rest
                QTest::keyClicks(keysGoTo(), QString(c));
        });
    }
    // A button's letter presses it a moment later, when it comes up again.
    void alt(char letter)
    {
        key(Qt::Key_A + (letter - 'a'), Qt::AltModifier);
        waitUntil([] {
            const QWidget* w = QApplication::activeWindow();
            const auto buttons = w ? w->findChildren<QAbstractButton*>() : QList<QAbstractButton*>();
            return std::none_of(buttons.begin(), buttons.end(), [](auto* b) { return b->isDown(); });
        });
    }
    void tabTo(QWidget* w)
    {
        then([w] {
            for (int i = 0; i < 300 && QApplication::focusWidget() != w; ++i)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), w) << w->objectName().toStdString() << " not reached by Tab";
        });
    }
    // The next step is queued before this one runs: it may run inside a
    // window that this step opens and waits on.
    void play()
    {
        QEventLoop done;
        int tries = 0;
        std::function<void()> next = [&] {
            if (steps_.empty())
                return done.quit();
            QTimer::singleShot(tries ? 10 : 1, frmVDDBSearch, next);  // a timer, not a posted call
            QCoreApplication::sendPostedEvents();  // what the last key left queued, as between a user's keys
            // A window manager gives the keys back to the window under a closed one; offscreen has none.
            if (QWidget* top = QApplication::activeModalWidget(); top && !QApplication::activeWindow())
                top->activateWindow();
            auto step = std::move(steps_.front());
            steps_.pop_front();
            if (step())
                return void(tries = 0);
            if (++tries < 1000)
                return steps_.push_front(std::move(step));
            ADD_FAILURE() << "waited in vain; " << steps_.size() << " steps left";
            steps_.clear();
            while (QWidget* m = QApplication::activeModalWidget())  // their loops end
                m->hide();
        };
        QTimer::singleShot(0, frmVDDBSearch, next);
        done.exec();
    }
};

TEST_F(KeyboardSession, FourCharactersAProvinceFiguresRenameDeleteSearchSheetsAndATransfer)
{
    ASSERT_TRUE(startUp());
    auto file = [this](const char* name) { return QString::fromStdString((temp_.path() / name).string()); };
    auto read = [](const QString& name) {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    TfrmRealmDetails* r = frmRealmDetails;
    dbaware::DBGrid* list = frmVDDBSearch->DBGrid1;
    auto hint = [list] { return QAccessible::queryAccessibleInterface(list)->text(QAccessible::Description); };
    frmVDDBSearch->show();
    EXPECT_TRUE(QTest::qWaitForWindowActive(frmVDDBSearch));
    EXPECT_FALSE(hint().isEmpty()) << "a screen reader hears how to begin";

    for (const char* name : {"Aldric", "Alaina", "Kalan", "Boris"}) {
        alt('d'), waitActive(r);  // Insert on Detail Form
        type("Anuire"), key(Qt::Key_Tab), type(name), key(Qt::Key_Tab);
        if (name == std::string("Aldric")) {
            alt('l');  // Diplomacy: the figures follow the keys
            tabTo(r->dedtPalaceValue), type("12"), tabTo(r->dedtCourtExpenditure), type("3");
            then([r] { EXPECT_EQ(r->edtCourtValue->text(), "5"); });
            alt('p'), alt('o');  // a province row on the Provinces page, opened by Enter
            type("Ghoere"), key(Qt::Key_Tab), type("Plains"), key(Qt::Key_Return), key(Qt::Key_Return);
            waitActive(frmProvince), alt('t'), tabTo(frmProvince->dedtTemple1Level), type("3");
            alt('c'), waitActive(r);
        }
        alt('c'), waitActive(frmVDDBSearch);
    }
    then([&] {
        EXPECT_EQ(characters(), (std::vector<std::string>{"Anuire/Alaina", "Anuire/Aldric", "Anuire/Boris", "Anuire/Kalan"}));
        EXPECT_EQ(provincesOf("Anuire", "Aldric"), std::vector<std::string>{"Ghoere"});
        EXPECT_TRUE(hint().isEmpty());
    });
    // Kalan renamed, Boris deleted: the list's last row, then the one above.
    tabTo(list), key(Qt::Key_End, Qt::ControlModifier), key(Qt::Key_Return), waitActive(r);
    alt('n'), type("Kalanor"), alt('c'), waitActive(frmVDDBSearch);
    tabTo(list), key(Qt::Key_End, Qt::ControlModifier), key(Qt::Key_Up), alt('l');
    then([&] { EXPECT_EQ(characters(), (std::vector<std::string>{"Anuire/Alaina", "Anuire/Aldric", "Anuire/Kalanor"})); });
    alt('k'), type("Al"), alt('n');
    then([list] { EXPECT_EQ(list->model()->rowCount(), 2); });
    alt('a');
    then([list] { EXPECT_EQ(list->model()->rowCount(), 3); });

    // Aldric's sheet as text, as PDF, in the print preview; he goes to a
    // transfer file in another folder; the game to CSV; Exit.
    for (const char* f : {"aldric.txt", "aldric.pdf", "other/vdtrans.sqlite"})
        dialogs_.saveAs(file(f));
    dialogs_.chooseFolder(file(""));
    std::filesystem::create_directories(temp_.path() / "other");
    tabTo(list), key(Qt::Key_Home, Qt::ControlModifier), key(Qt::Key_Down), key(Qt::Key_Return), waitActive(r);
    for (char command : {'s', 'd', 'p'})
        alt('f'), key(Qt::Key_A + command - 'a');
    waitUntil([] { return QApplication::activeWindow() && QApplication::activeWindow()->inherits("QPrintPreviewDialog"); });
    key(Qt::Key_Escape), waitActive(r);
    alt('t'), key(Qt::Key_E), alt('t'), key(Qt::Key_S), alt('c'), waitActive(frmVDDBSearch);
    alt('f'), key(Qt::Key_C), alt('x');
    play();

    EXPECT_TRUE(read(file("aldric.txt")).contains("Ghoere"));
    EXPECT_TRUE(read(file("aldric.pdf")).startsWith("%PDF"));
    EXPECT_TRUE(dialogs_.texts().contains("Saved the transfer tables (1 character and 1 province) to " +
                                          file("other/vdtrans.sqlite") + "."));
    EXPECT_TRUE(read(file("characters.csv")).contains("Kalanor"));
    EXPECT_TRUE(steps_.empty()) << dialogs_.texts().join("\n").toStdString();
    EXPECT_FALSE(frmVDDBSearch->isVisible()) << "Exit closes the program";
}

}  // namespace
}  // namespace testing_support
