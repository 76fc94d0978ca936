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
    using Step = std::function<bool()>;  // false: not yet, asked again a moment later
    std::deque<Step> steps_;
    QEventLoop done_;

    void then(std::function<void()> s) { steps_.push_back([s] { return s(), true; }); }
    void key(int k, Qt::KeyboardModifiers m = {})
    {
        then([k, m] {
            QWidget* to = QApplication::activePopupWidget();
            to = to ? to : QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
            ASSERT_NE(to, nullptr) << "no window takes keys";
            QTest::keyClick(to, Qt::Key(k), m);
        });
    }
    // A button's letter presses it a moment later, when it comes up again.
    void alt(char letter)
    {
        key(Qt::Key_A + (letter - 'a'), Qt::AltModifier);
        waitUntil([] {
            const QWidget* w = QApplication::activeWindow();
            const auto buttons = w ? w->findChildren<QAbstractButton*>() : QList<QAbstractButton*>();
            return std::none_of(buttons.begin(), buttons.end(), [](QAbstractButton* b) { return b->isDown(); });
        });
    }
    void menu(char title, char command) { alt(title), key(Qt::Key_A + (command - 'a')); }
    void type(const QString& text)
    {
        for (QChar c : text)
            then([c] { QTest::keyClicks(QApplication::focusWidget(), QString(c)); });
    }
    void waitUntil(Step seen) { steps_.push_back(std::move(seen)); }
    void waitActive(QWidget* w) { waitUntil([w] { return QApplication::activeWindow() == w; }); }
    // Tab, as a user does, until the box has the focus.
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
        int tries = 0;
        std::function<void()> next = [&] {
            if (steps_.empty())
                return done_.quit();
            QTimer::singleShot(tries ? 10 : 1, frmVDDBSearch, next);  // a timer, not a posted call
            QCoreApplication::sendPostedEvents();  // what the last key left queued, as between a user's keys
            // A window manager gives the keys back to the window under a closed
            // one; the offscreen platform has none.
            if (QWidget* top = QApplication::activeModalWidget(); top && !QApplication::activeWindow())
                top->activateWindow();
            Step step = std::move(steps_.front());
            steps_.pop_front();
            if (step())
                tries = 0;
            else if (++tries < 1000)
                steps_.push_front(std::move(step));
            else {
                const QWidget* w = QApplication::activeWindow();
                ADD_FAILURE() << "waited in vain in " << (w ? w->objectName().toStdString() : "no window") << "; "
                              << steps_.size() << " steps left";
                steps_.clear();
                while (QWidget* m = QApplication::activeModalWidget())  // their loops end
                    m->hide();
            }
        };
        QTimer::singleShot(0, frmVDDBSearch, next);
        done_.exec();
    }
    QString file(const char* name) const { return QString::fromStdString((temp_.path() / name).string()); }
    static QByteArray read(const QString& name)
    {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(KeyboardSession, FourCharactersAProvinceFiguresRenameDeleteSearchSheetsAndATransfer)
{
    ASSERT_TRUE(startUp());
    TfrmRealmDetails* r = frmRealmDetails;
    TfrmProvince* p = frmProvince;
    dbaware::DBGrid* list = frmVDDBSearch->DBGrid1;
    frmVDDBSearch->show();
    EXPECT_TRUE(QTest::qWaitForWindowActive(frmVDDBSearch));
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(list)->text(QAccessible::Description).isEmpty())
        << "a screen reader hears how to begin";

    for (const char* name : {"Aldric", "Alaina", "Kalan", "Boris"}) {
        alt('d');  // Insert on Detail Form
        waitActive(r);
        type("Anuire"), key(Qt::Key_Tab), type(name), key(Qt::Key_Tab);
        if (std::string(name) == "Aldric") {
            alt('l');  // Diplomacy: the figures follow the keys
            tabTo(r->dedtPalaceValue), type("12"), tabTo(r->dedtCourtExpenditure), type("3");
            then([r] { EXPECT_EQ(r->edtCourtValue->text(), "5"); });
            alt('p'), alt('o');  // a province row on the Provinces page
            type("Ghoere"), key(Qt::Key_Tab), type("Plains"), key(Qt::Key_Return), key(Qt::Key_Return);
            waitActive(p);
            alt('t'), tabTo(p->dedtTemple1Level), type("3"), tabTo(p->dedtTemple1Owner), type("Haelyn");
            alt('c');
            waitActive(r);
        }
        alt('c');
        waitActive(frmVDDBSearch);
    }
    then([&] {
        EXPECT_EQ(characters(), (std::vector<std::string>{"Anuire/Alaina", "Anuire/Aldric", "Anuire/Boris", "Anuire/Kalan"}));
        EXPECT_EQ(provincesOf("Anuire", "Aldric"), std::vector<std::string>{"Ghoere"});
        EXPECT_TRUE(QAccessible::queryAccessibleInterface(list)->text(QAccessible::Description).isEmpty());
    });

    // Kalan renamed, Boris deleted: the list's last row, then the one above.
    tabTo(list), key(Qt::Key_End, Qt::ControlModifier), key(Qt::Key_Return);
    waitActive(r);
    alt('n'), type("Kalanor"), alt('c');
    waitActive(frmVDDBSearch);
    tabTo(list), key(Qt::Key_End, Qt::ControlModifier), key(Qt::Key_Up), alt('l');
    then([&] { EXPECT_EQ(characters(), (std::vector<std::string>{"Anuire/Alaina", "Anuire/Aldric", "Anuire/Kalanor"})); });

    alt('k'), type("Al"), alt('n');
    then([list] { EXPECT_EQ(list->model()->rowCount(), 2); });
    alt('a');
    then([list] { EXPECT_EQ(list->model()->rowCount(), 3); });

    // Aldric's sheet as text, as PDF, in the print preview; he goes to a
    // transfer file in another folder.
    dialogs_.saveAs(file("aldric.txt")), dialogs_.saveAs(file("aldric.pdf")), dialogs_.saveAs(file("other/vdtrans.sqlite"));
    std::filesystem::create_directories(temp_.path() / "other");
    tabTo(list), key(Qt::Key_Home, Qt::ControlModifier), key(Qt::Key_Down), key(Qt::Key_Return);
    waitActive(r);
    menu('f', 's'), menu('f', 'd'), menu('f', 'p');
    waitUntil([] { return QApplication::activeWindow() && QApplication::activeWindow()->inherits("QPrintPreviewDialog"); });
    key(Qt::Key_Escape);
    waitActive(r);
    menu('t', 'e'), menu('t', 's'), alt('c');
    waitActive(frmVDDBSearch);
    dialogs_.chooseFolder(file("csv"));
    std::filesystem::create_directories(temp_.path() / "csv");
    menu('f', 'c'), alt('x');
    play();

    EXPECT_TRUE(read(file("aldric.txt")).contains("Ghoere"));
    EXPECT_TRUE(read(file("aldric.pdf")).startsWith("%PDF"));
    EXPECT_TRUE(dialogs_.texts().contains("Saved the transfer tables (1 character and 1 province) to " + file("other/vdtrans.sqlite") + "."))
        << dialogs_.texts().join("\n").toStdString();
    EXPECT_TRUE(read(file("csv/characters.csv")).contains("Kalanor"));
    EXPECT_TRUE(steps_.empty()) << dialogs_.texts().join("\n").toStdString();
    EXPECT_FALSE(frmVDDBSearch->isVisible()) << "Exit closes the program";
}

}  // namespace
}  // namespace testing_support
