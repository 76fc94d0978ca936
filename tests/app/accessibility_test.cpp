// Each window as a screen reader reads it, through Qt's accessibility interface.
#include <QAccessible>
#include <functional>
#include <map>

#include "shell_fixture.h"

using testing_support::ShellTest;

// Every control a listener acts on (boxes, check boxes, lists, buttons) has a
// name, and no two of one window share one.
TEST_F(ShellTest, EveryControlOfEveryWindowHasANameOfItsOwnForAScreenReader)
{
    ASSERT_TRUE(startUp());
    for (QWidget* window : std::vector<QWidget*>{frmVDDBSearch, frmRealmDetails, frmProvince, frmTransfer}) {
        std::map<QString, QStringList> named;
        QStringList unnamed;
        std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* parent) {
            for (int i = 0; i < parent->childCount(); ++i) {
                QAccessibleInterface* a = parent->child(i);
                if (!a || a->role() == QAccessible::Cell || a->role() == QAccessible::ColumnHeader ||
                    a->role() == QAccessible::RowHeader)
                    continue;
                for (auto role : {QAccessible::EditableText, QAccessible::CheckBox, QAccessible::ComboBox,
                                  QAccessible::SpinBox, QAccessible::Table, QAccessible::Button})
                    if (a->role() == role) {
                        const QString name = a->text(QAccessible::Name);
                        (name.isEmpty() ? unnamed : named[name]) << (a->object() ? a->object()->objectName() : "?");
                    }
                walk(a);
            }
        };
        walk(QAccessible::queryAccessibleInterface(window));
        EXPECT_TRUE(unnamed.isEmpty()) << window->objectName().toStdString() << ": " << unnamed.join(", ").toStdString();
        for (const auto& [name, controls] : named)
            EXPECT_EQ(controls.size(), 1) << window->objectName().toStdString() << ": \"" << name.toStdString()
                                          << "\" is said of " << controls.join(", ").toStdString();
    }
}
