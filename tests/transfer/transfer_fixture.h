#pragma once
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/shell_fixture.h"
#include "dbaware/guard.h"
#include "realm/vddetails.h"
#include "store/database.h"
#include "store/table.h"
#include "support/scripted_modal.h"
#include "transfer/transfer.h"

namespace testing_support {

// The whole program started on a scratch data folder, with helpers that write
// and read the four tables through table objects of their own.
class TransferTest : public ShellTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(startUp());
        w = frmRealmDetails;
        for (const store::Table* t : sixTables())
            ASSERT_TRUE(t->isOpen());
    }

    void addRow(const char* table, const Fields& fields)
    {
        store::Table t(context_->session);
        t.open("VDDB", table);
        post(t, fields);
    }
    void addCharacter(const char* table, const std::string& game, const std::string& name, Fields more = {})
    {
        more.insert(more.begin(), {{"Game_Name", game}, {"Character_Name", name}});
        addRow(table, more);
    }
    void addProvince(const char* table, const std::string& game, const std::string& name,
                     const std::string& province, Fields more = {})
    {
        more.insert(more.begin(), {{"Game_Name", game}, {"Character_Name", name}, {"Province_Name", province}});
        addRow(table, more);
    }

    // Every row of a table in key order, as the texts of the named columns
    // joined by slashes.
    std::vector<std::string> rows(const char* table, std::vector<const char*> columns)
    {
        store::Table t(context_->session);
        t.open("VDDB", table);
        std::vector<std::string> out;
        for (t.first(); !t.eof(); t.next()) {
            std::string row;
            for (std::size_t i = 0; i < columns.size(); ++i)
                row += (i ? "/" : "") + t.text(columns[i]);
            out.push_back(row);
        }
        return out;
    }
    std::vector<std::string> characters(const char* table) { return rows(table, {"Game_Name", "Character_Name"}); }
    std::vector<std::string> provinces(const char* table)
    {
        return rows(table, {"Game_Name", "Character_Name", "Province_Name"});
    }
    // One column of one character record, read from the file.
    std::string field(const char* table, const std::string& game, const std::string& name, const char* column)
    {
        store::Table t(context_->session);
        t.open("VDDB", table);
        if (!t.findKey({game, name}))
            return "<missing>";
        return t.text(column);
    }

    // Puts the realm window on a character as the browser does.
    void show(const std::string& game, const std::string& name)
    {
        w->tblVDDB.refresh();
        ASSERT_TRUE(w->tblVDDB.findKey({game, name}));
        w->ApplyProvinceFilter();
    }
    // Runs a handler as a menu item does: an error it does not catch itself
    // ends up in the error box.
    void run(void (TfrmRealmDetails::*handler)())
    {
        TfrmRealmDetails* window = w;
        dbaware::guarded(window, [window, handler] { (window->*handler)(); });
    }
    // Every insert into the table fails from now on, as a full disk would make
    // it; `table` is schema-qualified (main.vdprovs, xfer.expprovs).
    void failInsertsInto(const std::string& table)
    {
        w->tblVDDB.database().connection().exec("CREATE TEMP TRIGGER fail_inserts BEFORE INSERT ON " + table +
                                                " BEGIN SELECT RAISE(ABORT, 'Disk full'); END");
    }
    void insertsWorkAgain() { w->tblVDDB.database().connection().exec("DROP TRIGGER temp.fail_inserts"); }

    QString status() const { return w->StatusBar1->text(); }
    void expectControlsResumed()
    {
        for (const store::Table* t : {&w->tblVDDB, &w->tblProv, &w->tblTransfer, &w->tblXfrProv})
            EXPECT_FALSE(t->controlsDisabled()) << t->tableName();
    }

    TfrmRealmDetails* w = nullptr;
    ScriptedModal modal_;
};

}  // namespace testing_support
