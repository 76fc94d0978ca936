#include "app/context.h"
#include "startup/command_line.h"
#include "startup/server_commands.h"
#include "startup/startup.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

std::vector<std::string> argumentsOf(int argc, char** argv)
{
    std::vector<std::string> out;
    for (int i = 1; i < argc; ++i)
        out.emplace_back(argv[i]);
    return out;
}

// Usage on the error stream, status 2: the convention of command-line tools.
int refuse(const app::CommandLine& line)
{
    std::fprintf(stderr, line.incomplete ? "vddb: option '%s' is short of its values\n%s" : "vddb: unknown option '%s'\n%s",
                 line.unknown.c_str(), app::usageText().c_str());
    return 2;
}

bool isServerCommand(app::Command c)
{
    return c == app::Command::Share || c == app::Command::Player || c == app::Command::Hide ||
           c == app::Command::Unhide || c == app::Command::CopyBack;
}

}  // namespace

int main(int argc, char** argv)
{
    // Answered before anything needs a display, so that they work anywhere.
    const std::vector<std::string> arguments = argumentsOf(argc, argv);
    const app::CommandLine line = app::readCommandLine(arguments);
    switch (line.command) {
    case app::Command::Version:
        std::printf("%s\n", app::versionText().c_str());
        return 0;
    case app::Command::Help:
        std::printf("%s", app::usageText().c_str());
        return 0;
    case app::Command::Unknown: {
        if (line.incomplete)
            return refuse(line);
        // Qt's options are left to Qt, below; an option that is no one's is
        // refused here, since making the application object needs a display.
        const app::CommandLine ours = app::readCommandLine(app::withoutQtOptions(arguments));
        if (ours.command == app::Command::Unknown)
            return refuse(ours);
        break;
    }
    default:
        if (isServerCommand(line.command))
            return app::runServerCommand(line);
        break;
    }
    // Where the settings (the windows' places) are kept.
    QCoreApplication::setOrganizationName(QStringLiteral("vddb"));
    QCoreApplication::setApplicationName(QStringLiteral("vddb"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VDDB_VERSION));
    app::Application application(argc, argv);
    const app::CommandLine left = app::readCommandLine(argumentsOf(argc, argv));
    if (isServerCommand(left.command))
        return app::runServerCommand(left);
    if (left.command != app::Command::Run)
        return refuse(left);
    app::Context context = app::Context::forThisProgram();
    if (!left.alias.empty() && !app::openInstead(context, left.alias))
        return 1;
    return app::run(context);
}
