#include "startup/command_line.h"

#include <algorithm>
#include <iterator>

namespace app {

namespace {

// An option and how many values follow it (the alias first).
struct Option {
    const char* name;
    Command command;
    std::size_t values;
};
constexpr Option options[] = {
    {"--alias", Command::Run, 1},         {"--share", Command::Share, 1},  {"--player", Command::Player, 4},
    {"--hide", Command::Hide, 3},         {"--unhide", Command::Unhide, 3}, {"--copy-back", Command::CopyBack, 2},
};

// Qt's options in Qt 6 (QGuiApplication's, QApplication's, the X11 plugin's)
// and whether each takes the next word. One too many here only leaves the
// option to the check after Qt has had its turn; one missing would refuse an
// option Qt accepts.
struct QtOption {
    const char* name;
    bool value;
};
constexpr QtOption qtOptions[] = {
    // QGuiApplication's and QCoreApplication's
    {"-platform", true}, {"-platformpluginpath", true}, {"-platformtheme", true}, {"-plugin", true},
    {"-qwindowgeometry", true}, {"-qwindowtitle", true}, {"-qwindowicon", true}, {"-session", true},
    {"-qmljsdebugger", true}, {"-reverse", false}, {"-qdevel", false}, {"-qdebug", false},
    // QApplication's
    {"-style", true}, {"-stylesheet", true}, {"-widgetcount", false}, {"-testability", false},
    // the X11 plugin's
    {"-display", true}, {"-geometry", true}, {"-title", true}, {"-icon", true}, {"-name", true},
    {"-visual", true}, {"-nograb", false}, {"-dograb", false}, {"-sync", false},
};

// How many words Qt's option at `a` spans: 0 when it is none of Qt's.
std::size_t qtOptionWords(std::string a)
{
    if (a.starts_with("--"))
        a.erase(0, 1);  // Qt reads --style as -style
    for (const QtOption& o : qtOptions) {
        if (a == o.name)
            return o.value ? 2 : 1;
        if (o.value && a.starts_with(std::string(o.name) + '='))
            return 1;
    }
    return 0;
}

}  // namespace

std::vector<std::string> withoutQtOptions(const std::vector<std::string>& arguments)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::size_t words = qtOptionWords(arguments[i]);
        if (words == 0)
            out.push_back(arguments[i]);
        else
            i += words - 1;
    }
    return out;
}

CommandLine readCommandLine(const std::vector<std::string>& arguments)
{
    for (const std::string& a : arguments) {
        if (a == "--version")
            return {Command::Version, {}, {}, {}};
        if (a == "--help" || a == "-h")
            return {Command::Help, {}, {}, {}};
    }
    CommandLine line;
    for (std::size_t i = 0; i < arguments.size() && line.command != Command::Unknown; ++i) {
        const std::string& a = arguments[i];
        const auto* option = std::find_if(std::begin(options), std::end(options),
                                          [&a](const Option& o) { return a == o.name; });
        if (option != std::end(options) && line.command == Command::Run && line.alias.empty()) {
            if (arguments.size() - i - 1 < option->values) {
                line = {Command::Unknown, a, {}, {}, true};
                break;
            }
            line.command = option->command;
            line.alias = arguments[i + 1];
            line.values.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i + 2),
                               arguments.begin() + static_cast<std::ptrdiff_t>(i + 1 + option->values));
            i += option->values;
        } else if (a.size() > 1 && a[0] == '-') {
            // "-" alone is a word (standard input, by custom), not an option.
            line.command = Command::Unknown;
            line.unknown = a;
        }
    }
    return line;
}

std::string versionText() { return std::string("vddb ") + VDDB_VERSION; }

std::string usageText()
{
    return "Usage: vddb [--version | --help | --alias ALIAS]\n"
           "       vddb --share ALIAS | --player ALIAS ROLE GAME CHARACTER\n"
           "       vddb --hide ALIAS GAME CHARACTER | --unhide ALIAS GAME CHARACTER | --copy-back ALIAS FOLDER\n"
           "Valdane Campaign Database: the regents, realms and provinces of a campaign.\n"
           "\n"
           "  --version    print the version and end\n"
           "  --help       print this help and end\n"
           "  --alias      open the campaign of the database alias ALIAS (a folder, or a\n"
           "               PostgreSQL server: TYPE=POSTGRESQL) in place of VDDB\n"
           "\n"
           "A campaign shared on a PostgreSQL server, run by the game master:\n"
           "  --share      make the campaign on the server of ALIAS and copy the local\n"
           "               campaign (the folder of VDDB) onto it\n"
           "  --player     make ROLE a player of it, who may change that character\n"
           "  --hide       keep the character and its provinces from every player\n"
           "  --unhide     show them to the players again\n"
           "  --copy-back  copy the server's campaign into local files in FOLDER\n"
           "\n"
           "Qt's own options (-platform, -style, ...) are accepted as well.\n";
}

}  // namespace app
