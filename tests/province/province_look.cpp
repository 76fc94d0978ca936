// Shows the province window over sample data in a scratch folder, as the
// realm window opens it, to look at it on a real display:
//   province_look <scratch folder> [page index]
#include <QApplication>
#include <QTabWidget>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/context.h"
#include "app/modal.h"
#include "app/splash.h"
#include "startup/startup.h"
#include "province/vdprovince.h"
#include "realm/vddetails.h"
#include "store/alias_registry.h"

namespace fs = std::filesystem;

namespace {

void post(store::Table& t, const std::vector<std::pair<std::string, std::string>>& fields)
{
    t.insert();
    for (const auto& [k, v] : fields)
        t.setText(k, v);
    t.post();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc < 2)
        return 2;
    const fs::path scratch = argv[1];
    fs::create_directories(scratch / "prog");
    app::Context context(store::AliasRegistry(scratch / "aliases.conf"), scratch / "prog", scratch / "user");
    if (!app::startUp(context))
        return 1;
    if (frmSplash)
        frmSplash->close();
    {
        store::Table chars(context.session), provs(context.session);
        chars.open("VDDB", "vddb.DB");
        provs.open("VDDB", "vdprovs.db");
        if (chars.isEmpty()) {
            post(chars, {{"Game_Name", "Anuire Campaign"}, {"Character_Name", "Aeric Boeruine"}});
            std::vector<std::pair<std::string, std::string>> fields = {
                {"Game_Name", "Anuire Campaign"}, {"Character_Name", "Aeric Boeruine"},
                {"Province_Name", "Seaharrow"}, {"Province_Level", "4"}, {"Max_Source_Potential", "3"},
                {"Province_Terrain", "Temperate forest and coast"}, {"Fortification_Level", "2"},
                {"Taxation_Level", "Moderate"}, {"Province_Owner", "Aeric Boeruine"},
                {"Law_Claims_Loss_Source", "Baron of Tariene"},
                {"Armies", "2 units of Boeruine Infantry\r\n1 unit of Knights"},
                {"Realm_Spells_In_Effect", "Bless Land (Priest of Haelyn)"},
                {"Guild_Trade_Routes", "Seaharrow to Calrie (sea)"}, {"Guild_Num_Land_TR", "1"},
                {"Guild_Num_Sea_TR", "2"}, {"Source_Ley_Lines", "To Aerele"},
                {"Source_Ley_Line_Protects", "Warding"}};
            for (const char* kind : {"Guild", "Law", "Source", "Temple"})
                for (int n = 1; n <= 4; ++n) {
                    const std::string p = kind + std::to_string(n);
                    fields.push_back({p + "_Level", std::to_string(n)});
                    fields.push_back({p + "_Owner", "Owner of " + p});
                    fields.push_back({p + "_Fort", "Keep"});
                }
            post(provs, fields);
        }
    }
    frmRealmDetails->tblVDDB.refresh();
    frmRealmDetails->ApplyProvinceFilter();
    frmRealmDetails->tblProv.first();
    frmProvince->tblProv.gotoCurrent(frmRealmDetails->tblProv);
    frmProvince->PageControl1->setCurrentIndex(argc > 2 ? std::atoi(argv[2]) : 0);
    app::showModal(*frmProvince);
    app::shutDown();
    return 0;
}
