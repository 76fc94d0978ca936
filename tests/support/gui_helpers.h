// Small steps the GUI tests share: posting a record, typing as a user does,
// and telling a window that it became active.
#pragma once
#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QTest>

#include <string>
#include <utility>
#include <vector>

#include "store/database.h"
#include "store/table.h"

namespace testing_support {

using Fields = std::vector<std::pair<const char*, std::string>>;

// Rows that belong to a character (provinces) are written as an earlier
// version wrote them, with no rule on it: a test may hold orphans.
inline void post(store::Table& t, const Fields& fields)
{
    if (!t.layout().owner.table.empty()) {
        std::string names, marks;
        for (const auto& [k, v] : fields)
            names += (names.empty() ? "" : ", ") + store::sql::quoteIdentifier(k), marks += marks.empty() ? "?" : ", ?";
        store::sql::Connection& c = t.database().connection();
        c.exec("PRAGMA foreign_keys=OFF");
        {
            // In the database's transaction: a server campaign's stores it there too.
            store::Database::Transaction tx(t.database());
            store::sql::Statement st(c, "INSERT INTO " + t.database().schemaFor(t.layout()) + "." + t.layout().name + " (" + names + ") VALUES (" + marks + ")");
            for (std::size_t i = 0; i < fields.size(); ++i)
                st.bind(static_cast<int>(i) + 1, std::string_view(fields[i].second));
            st.run();
            tx.commit();
        }
        c.exec("PRAGMA foreign_keys=ON");
        return;
    }
    t.insert();
    for (const auto& [k, v] : fields)
        t.setText(k, v);
    t.post();
}

// Typed over the box's text, as a user does: the first key puts the record
// into edit state.
inline void type(QLineEdit* e, const QString& text)
{
    e->selectAll();
    if (text.isEmpty())
        QTest::keyClick(e, Qt::Key_Backspace);
    else
        QTest::keyClicks(e, text);
}

inline void activate(QWidget* w)
{
    QEvent e(QEvent::WindowActivate);
    QApplication::sendEvent(w, &e);
}

}  // namespace testing_support
