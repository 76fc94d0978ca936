// The program run from a command line: --version and --help answer without
// a display; an option it does not know is refused.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "startup/command_line.h"

namespace {

TEST(CommandLineTest, TheProgramAnswersItsOptions)
{
    QTemporaryDir home;
    struct Case {
        QStringList arguments;
        bool display;  // the offscreen platform; otherwise none at all
        int status;
        QString out, err;
    } cases[] = {
        {{"--version"}, false, 0, "^vddb \\d+\\.\\d+\\n$", "^$"},
        {{"--help"}, false, 0, "^Usage: vddb .*--version.*--help", "^$"},
        {{"-h"}, false, 0, "^Usage: vddb ", "^$"},
        {{"--bogus"}, false, 2, "^$", "unknown option '--bogus'\\nUsage: vddb "},
        {{"-x", "--version"}, false, 0, "^vddb ", "^$"},
        // Qt's own option is taken by Qt; the one after it is not.
        {{"-style", "fusion", "--nope"}, true, 2, "^$", "unknown option '--nope'"},
        {{"-style", "fusion", "--nope"}, false, 2, "^$", "unknown option '--nope'"},
    };
    for (const Case& c : cases) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        if (c.display)
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // Nothing of the user's is touched if the program went on to start.
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path());
        QProcess vddb;
        vddb.setProcessEnvironment(env);
        vddb.start(QStringLiteral(VDDB_PROGRAM), c.arguments);
        const std::string what = c.arguments.join(' ').toStdString();
        ASSERT_TRUE(vddb.waitForFinished(20000)) << what;
        const QString out = QString::fromLocal8Bit(vddb.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(vddb.readAllStandardError());
        EXPECT_EQ(vddb.exitStatus(), QProcess::NormalExit) << what;
        EXPECT_EQ(vddb.exitCode(), c.status) << what << "\n" << err.toStdString();
        EXPECT_TRUE(QRegularExpression(c.out, QRegularExpression::DotMatchesEverythingOption).match(out).hasMatch())
            << what << ": " << out.toStdString();
        EXPECT_TRUE(QRegularExpression(c.err, QRegularExpression::DotMatchesEverythingOption).match(err).hasMatch())
            << what << ": " << err.toStdString();
    }
}

TEST(CommandLineTest, VersionAndHelpWinWhereverTheyStand)
{
    using app::Command;
    struct Case {
        std::vector<std::string> arguments;
        Command command;
        std::string unknown;
        std::string alias = {};
        std::vector<std::string> values = {};
    } cases[] = {
        {{}, Command::Run, ""},
        {{"notes.txt", "-"}, Command::Run, ""},
        {{"-platform", "--help"}, Command::Help, ""},
        {{"-z", "-y"}, Command::Unknown, "-z"},
        {{"--ver"}, Command::Unknown, "--ver"},
        {{"--alias", "Club", "-style", "x"}, Command::Unknown, "-style", "Club"},
        {{"--alias", "--help"}, Command::Help, ""},
        {{"--player", "Club", "ann", "G"}, Command::Unknown, "--player"},
        {{"--hide", "Club", "G", "Dun", "notes.txt"}, Command::Hide, "", "Club", {"G", "Dun"}},
        {{"--share", "Club", "--copy-back", "Club", "f"}, Command::Unknown, "--copy-back", "Club"},
    };
    for (const Case& c : cases) {
        const app::CommandLine line = app::readCommandLine(c.arguments);
        EXPECT_EQ(line.command, c.command) << c.arguments[0];
        EXPECT_EQ(line.unknown, c.unknown) << c.arguments[0];
        EXPECT_EQ(line.alias, c.alias) << c.arguments[0];
        EXPECT_EQ(line.values, c.values) << c.arguments[0];
    }
}

}  // namespace
