#pragma once
#include <string>
#include <vector>

// What the command line asks of the program. It takes no arguments of its
// own beyond --version and --help; Qt takes its own options (-platform,
// -style, ...) out of the list when the application object is made.
namespace app {

enum class Command { Run, Version, Help, Unknown };

struct CommandLine {
    Command command = Command::Run;
    std::string unknown;  // the first option not understood
};

// `arguments` without the program's name. --version or --help anywhere wins;
// otherwise any other option is unknown. A word that is no option is left
// alone, as it always was.
CommandLine readCommandLine(const std::vector<std::string>& arguments);

// "vddb 1.3"
std::string versionText();
// The short usage that --help prints, ending in a newline.
std::string usageText();

}  // namespace app
