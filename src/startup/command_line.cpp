#include "startup/command_line.h"

namespace app {

CommandLine readCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine line;
    for (const std::string& a : arguments) {
        if (a == "--version")
            return {Command::Version, {}};
        if (a == "--help" || a == "-h")
            return {Command::Help, {}};
        // "-" alone is a word (standard input, by custom), not an option.
        if (line.command == Command::Run && a.size() > 1 && a[0] == '-')
            line = {Command::Unknown, a};
    }
    return line;
}

std::string versionText() { return std::string("vddb ") + VDDB_VERSION; }

std::string usageText()
{
    return "Usage: vddb [--version | --help]\n"
           "Valdane Campaign Database: the regents, realms and provinces of a campaign.\n"
           "\n"
           "  --version  print the version and end\n"
           "  --help     print this help and end\n"
           "\n"
           "Qt's own options (-platform, -style, ...) are accepted as well.\n";
}

}  // namespace app
