// main() of the GUI test programs: Qt's offscreen platform, one QApplication
// that stops the test at an exception escaping to its event loop, and settings
// kept in a scratch folder, never the user's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "dbaware/dialogs.h"

namespace {

// An exception that a handler lets escape must not unwind through Qt's
// frames, which are not written for it: the test stops there, saying what
// was thrown and where it was going.
class TestApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            fail(receiver, event, e.what());
        } catch (...) {
            fail(receiver, event, "an exception of unknown type");
        }
    }

private:
    [[noreturn]] static void fail(QObject* receiver, QEvent* event, const char* what)
    {
        std::fprintf(stderr, "Exception in the event loop: %s (event %d to a %s named '%s')\n", what,
                     static_cast<int>(event->type()), receiver ? receiver->metaObject()->className() : "null object",
                     receiver ? qPrintable(receiver->objectName()) : "");
        std::fflush(stderr);
        std::abort();
    }
};

}  // namespace

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
    TestApplication app(argc, argv);
    dbaware::setApplicationTitle(QStringLiteral("Valdane Campaign Database"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
