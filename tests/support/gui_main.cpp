// main() of the GUI test programs: Qt's offscreen platform, one QApplication,
// and settings kept in a scratch folder, never the user's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include "dbaware/dialogs.h"

int main(int argc, char** argv)
{
    // A test may choose the offscreen platform's screens (offscreen:configfile=...).
    if (!qEnvironmentVariable("QT_QPA_PLATFORM").startsWith(QLatin1String("offscreen")))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir settingsFolder;
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        for (QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
            QSettings::setPath(format, scope, settingsFolder.path());
    QCoreApplication::setOrganizationName(QStringLiteral("vddb-tests"));
    QCoreApplication::setApplicationName(QStringLiteral("vddb-tests"));
    QApplication app(argc, argv);
    dbaware::setApplicationTitle(QStringLiteral("Valdane Campaign Database"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
