// Start-up until the windows exist: make sure the alias is there, open the
// four tables through it, and end.
#include "store/error.h"
#include "store/session.h"
#include "store/table.h"

#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;

int main(int, char** argv)
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        exe = fs::absolute(argv[0]);
    store::Session session{store::AliasRegistry(store::AliasRegistry::defaultFile())};
    try {
        if (!session.aliases().find("VDDB")) {
            store::Alias alias{"VDDB", "STANDARD", {{"PATH", (exe.parent_path() / "Data").string() + "/"},
                                                    {"DEFAULT DRIVER", "Paradox"}}};
            session.aliases().add(alias, true);
        }
    } catch (const store::StoreError&) {
        std::cerr << "Error Creating Paradox Alias - Terminating\n";
        return 1;
    }
    int failures = 0;
    for (const char* name : {"vddb.DB", "vdprovs.db", "vdtrans.DB", "expprovs.DB"}) {
        store::Table table(session);
        try {
            table.open("VDDB", name);
        } catch (const store::StoreError& e) {
            std::cerr << e.what() << '\n';
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
