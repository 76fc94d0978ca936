#include "sheet/realm_sheet.h"

#include <memory>
#include <optional>

#include "dbaware/dbmemo.h"
#include "sheet/armies_lines.h"
#include "sheet/vdtemp.h"

namespace sheet {

namespace {

// Hands out the rows once they are read.
using RowsReader = std::function<const std::vector<ProvinceRow>&()>;

Sources sourcesOf(const RowsReader& rows, store::Session& session, QWidget* owner)
{
    Sources s;
    s.provinces = [rows](const std::function<void(const ProvinceRow&)>& visit) {
        for (const ProvinceRow& row : rows())
            visit(row);
    };
    s.armies = [rows, &session, owner](const std::function<void(const ProvinceArmies&)>& visit) {
        const std::vector<ProvinceRow>& list = rows();
        const std::unique_ptr<TfrmTemp> window(new TfrmTemp(owner, session));
        frmTemp = window.get();
        ArmiesLines lines(*frmTemp->dmemArmies);
        for (const ProvinceRow& row : list)
            visit({row.name, lines(row.armies)});
    };
    return s;
}

}  // namespace

Sources storeSources(const RealmTexts& texts, store::Query& query, store::Session& session, QWidget* owner)
{
    // Read at the province section, or at the armies when they come first.
    auto read = std::make_shared<std::optional<std::vector<ProvinceRow>>>();
    const QString game = texts.gameName, character = texts.characterName;
    RowsReader rows = [read, &query, game, character]() -> const std::vector<ProvinceRow>& {
        if (!*read)
            *read = provinceRows(query, game, character);
        return **read;
    };
    return sourcesOf(rows, session, owner);
}

}  // namespace sheet
