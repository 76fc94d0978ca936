#pragma once
#include <QApplication>

#include <filesystem>
#include <type_traits>
#include <utility>

#include "app/context.h"
#include "dbaware/guard.h"

namespace app {

// The alias check, the first half of the main window's creation handler:
// an alias VDDB known in any letter case is used as it stands; otherwise it
// is registered on the Data folder beside the program. An alias whose folder
// is missing, other than the program's own Data folder, is used only when the
// user agrees to have the folder made. A failed registration, or the user's
// No, sets the context's exit status and returns false.
bool checkAlias(Context& context);

// The folder that a new alias VDDB names: Data beside the program, or the
// user's data folder when the folder beside the program cannot be written.
std::filesystem::path dataFolderFor(const Context& context);

// Creates a window the way start-up does: the reference is set first, then
// the creation handler runs through the error guard.
template <class Window, class... Args>
void createWindow(Window*& reference, Args&&... args)
{
    reference = new Window(std::forward<Args>(args)...);
    if constexpr (requires { reference->FormCreate(); }) {
        Window* window = reference;
        dbaware::guarded(window, [window] { window->FormCreate(); });
    }
}

// Start-up up to the event loop: title, help file, the splash painted, then
// the five windows in their order. False when the program has to end
// (context.exitStatus).
bool startUp(Context& context);
// Frees the windows, the splash and the help window; the references empty.
void shutDown();
// The whole run: start-up, the event loop until the main window closes,
// shut-down. Returns the exit status.
int run(Context& context);

// The program's QApplication: a last net for an error that escaped a
// handler's guard, so that it is shown and never ends the program.
class Application final : public QApplication {
public:
    Application(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace app
