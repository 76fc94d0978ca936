#pragma once
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QWidget>

#include <memory>

#include "store/fixture.h"
#include "support/scripted_dialogs.h"

// Readable failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
namespace store {
inline void PrintTo(State s, std::ostream* os)
{
    const char* names[] = {"Inactive", "Browse", "Edit", "Insert"};
    *os << names[static_cast<int>(s)];
}
}  // namespace store

namespace testing_support {

// A character table with a window to put controls on; boxes are scripted.
// Members are declared so that the controls (children of `window`) go
// before the table they show.
class DbAwareTest : public StoreTest {
protected:
    DbAwareTest() : chars(openTable("vddb.DB")) { window.resize(400, 300); }

    // Focus moves need a shown, active window.
    void activate()
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    // The texts of the error boxes shown so far.
    QStringList errors() const
    {
        QStringList out;
        for (const auto& s : boxes.shown)
            if (s.icon == dbaware::Icon::Error)
                out << s.text;
        return out;
    }

    static void paste(QWidget* w, const QString& text)
    {
        QApplication::clipboard()->setText(text);
        QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
    }

    std::unique_ptr<store::Table> chars;
    ScriptedDialogs boxes;
    QWidget window;
};

}  // namespace testing_support
