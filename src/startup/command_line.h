#pragma once
#include <string>
#include <vector>

// What the command line asks of the program: --version, --help, the alias
// to open, and the commands that set up a campaign on a server. Qt takes its
// own options (-platform, -style, ...) out of the list when the application
// object is made.
namespace app {

enum class Command { Run, Version, Help, Unknown, Share, Player, Hide, Unhide, CopyBack };

struct CommandLine {
    Command command = Command::Run;
    std::string unknown;              // the first option not understood, or one short of its values
    std::string alias;                // --alias, or the server alias of a server command
    std::vector<std::string> values;  // the server command's values after the alias
    bool incomplete = false;          // `unknown` is one of ours, short of its values
};

// `arguments` without the program's name. --version or --help anywhere wins;
// otherwise any other option is unknown. A word that is no option is left
// alone, as it always was.
CommandLine readCommandLine(const std::vector<std::string>& arguments);

// `arguments` without Qt's own options and their values, as the application
// object will take them out (and a few more to be safe), so that an option
// nobody knows is found before anything needs a display.
std::vector<std::string> withoutQtOptions(const std::vector<std::string>& arguments);

// "vddb 1.3"
std::string versionText();
// The short usage that --help prints, ending in a newline.
std::string usageText();

}  // namespace app
