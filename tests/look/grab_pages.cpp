// Renders every page of every window over sample data to PNG files, so that
// a change to the forms can be compared pixel by pixel with the pages as they
// were (ImageMagick: compare -metric AE before.png after.png diff.png):
//   grab_pages <scratch folder> <output folder>
// The offscreen platform renders the same pixels on every run.
#include <QApplication>
#include <QPixmap>
#include <QSettings>
#include <QTabWidget>

#include <filesystem>
#include <string>

#include "app/context.h"
#include "app/modal.h"
#include "app/splash.h"
#include "startup/startup.h"
#include "browser/vdsearch.h"
#include "province/vdprovince.h"
#include "realm/vddetails.h"
#include "store/alias_registry.h"
#include "transfer/transfer.h"

namespace fs = std::filesystem;

namespace {

// Every column of the record gets a value that shows its kind: a number, a
// flag, a short text, or a memo of a few lines.
void fillRecord(store::Table& t, int seed)
{
    const store::TableLayout& layout = t.layout();
    for (int c = 0; c < static_cast<int>(layout.columns.size()); ++c) {
        const store::Column& column = layout.columns[c];
        switch (column.type) {
        case store::ColumnType::Short:
            t.setText(c, std::to_string((c * 7 + seed) % 13));
            break;
        case store::ColumnType::Logical:
            t.setText(c, (c + seed) % 2 ? "True" : "False");
            break;
        case store::ColumnType::Memo:
            t.setText(c, column.name + " line one\r\n" + column.name + " line two, which is rather longer than the first");
            break;
        case store::ColumnType::Text:
            t.setText(c, column.name.substr(0, std::min<std::size_t>(column.size, 12)));
            break;
        case store::ColumnType::AutoInc:
            break;
        }
    }
}

void add(store::Session& session, const char* table, int seed, const std::string& game, const std::string& name,
         const std::string& province = {})
{
    store::Table t(session);
    t.open("VDDB", table);
    t.insert();
    fillRecord(t, seed);
    t.setText("Game_Name", game);
    t.setText("Character_Name", name);
    if (!province.empty())
        t.setText("Province_Name", province);
    t.post();
}

void save(QWidget& window, const fs::path& folder, const std::string& name)
{
    QApplication::processEvents();
    window.grab().save(QString::fromStdString((folder / (name + ".png")).string()));
}

void savePages(QWidget& window, QTabWidget& pages, const fs::path& folder, const std::string& prefix)
{
    for (int i = 0; i < pages.count(); ++i) {
        pages.setCurrentIndex(i);
        save(window, folder, prefix + "-" + std::to_string(i));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const fs::path scratch = argv[1], out = argv[2];
    fs::remove_all(scratch);
    // Every window opens as on a first run, and the user's settings stay as they are.
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, QString::fromStdString((scratch / "settings").string()));
    QApplication application(argc, argv);
    fs::create_directories(scratch / "prog");
    fs::create_directories(out);
    app::Context context(store::AliasRegistry(scratch / "aliases.conf"), scratch / "prog", scratch / "user");
    app::Program program(context);
    if (!program.startUp())
        return 1;
    if (frmSplash)
        frmSplash->close();
    add(context.session, "vddb.DB", 1, "Anuire", "Aeric Boeruine");
    add(context.session, "vddb.DB", 2, "Anuire", "Darien Avan");
    add(context.session, "vdprovs.db", 3, "Anuire", "Aeric Boeruine", "Seaharrow");
    add(context.session, "vdprovs.db", 4, "Anuire", "Aeric Boeruine", "Calrie");
    add(context.session, "vdtrans.DB", 5, "Anuire", "Aeric Boeruine");
    add(context.session, "expprovs.DB", 6, "Anuire", "Aeric Boeruine", "Seaharrow");

    TfrmVDDBSearch& browser = *program.frmVDDBSearch;
    browser.tblVDDB.refresh();
    browser.show();
    save(browser, out, "browser");

    TfrmRealmDetails& realm = *program.frmRealmDetails;
    realm.tblVDDB.refresh();
    realm.tblVDDB.findKey({"Anuire", "Aeric Boeruine"});
    realm.show();
    realm.FormActivate();
    savePages(realm, *realm.PageControl1, out, "realm");

    TfrmProvince& province = *program.frmProvince;
    realm.tblProv.first();
    province.tblProv.gotoCurrent(realm.tblProv);
    province.show();
    savePages(province, *province.PageControl1, out, "province");
    province.hide();
    realm.hide();

    TfrmTransfer& transfer = *program.frmTransfer;
    realm.tblTransfer.refresh();
    transfer.show();
    save(transfer, out, "transfer");
    transfer.hide();
    browser.hide();
    return 0;
}
