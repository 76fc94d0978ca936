#include "app/context.h"
#include "startup/command_line.h"
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
int refuse(const std::string& option)
{
    std::fprintf(stderr, "vddb: unknown option '%s'\n%s", option.c_str(), app::usageText().c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    // Answered before anything needs a display, so that they work anywhere.
    switch (app::readCommandLine(argumentsOf(argc, argv)).command) {
    case app::Command::Version:
        std::printf("%s\n", app::versionText().c_str());
        return 0;
    case app::Command::Help:
        std::printf("%s", app::usageText().c_str());
        return 0;
    case app::Command::Run:
    case app::Command::Unknown:  // perhaps one of Qt's, which Qt takes out below
        break;
    }
    // Where the settings (the windows' places) are kept.
    QCoreApplication::setOrganizationName(QStringLiteral("vddb"));
    QCoreApplication::setApplicationName(QStringLiteral("vddb"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VDDB_VERSION));
    app::Application application(argc, argv);
    if (const app::CommandLine left = app::readCommandLine(argumentsOf(argc, argv)); left.command == app::Command::Unknown)
        return refuse(left.unknown);
    app::Context context = app::Context::forThisProgram();
    return app::run(context);
}
