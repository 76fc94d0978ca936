// main() of the GUI test programs: Qt's offscreen platform, one QApplication.
#include <gtest/gtest.h>

#include <QApplication>

#include "dbaware/dialogs.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    dbaware::setApplicationTitle(QStringLiteral("Valdane Campaign Database"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
