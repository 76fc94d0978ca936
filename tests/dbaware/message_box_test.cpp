// The real message box, shown without waiting: its caption must fit the frame.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QMessageBox>
#include <QStyle>

#include "dbaware/dialogs.h"

TEST(MessageBox, IsWideEnoughForItsWholeTitleBesideTheFramesButtons)
{
    const QString titles[] = {"Confirm", "Valdane Campaign Database",
                              "Valdane Campaign Database - a caption much longer than its text"};
    for (const QString& title : titles) {
        auto box = dbaware::messageBox(nullptr, title, "OK.", dbaware::Icon::None, dbaware::Buttons::Ok);
        box->show();
        QApplication::processEvents();
        QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
        font.setBold(true);
        const QFontMetrics bold(font);
        // The title in bold, and three buttons as tall as the title bar.
        const int bar = box->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, box.get());
        EXPECT_GE(box->width(), bold.horizontalAdvance(title) + 3 * bar) << title.toStdString();
        EXPECT_EQ(box->windowTitle(), title);
        box->close();
    }
}
