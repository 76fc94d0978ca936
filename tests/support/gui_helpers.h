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

#include "store/table.h"

namespace testing_support {

using Fields = std::vector<std::pair<const char*, std::string>>;

inline void post(store::Table& t, const Fields& fields)
{
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
