#include "sheet/vdtemp.h"

#include "campaign/columns.h"
#include "dbaware/dbmemo.h"
#include "sheet/realm_sheet.h"

namespace col = campaign::col;

TfrmTemp* frmTemp = nullptr;

TfrmTemp::TfrmTemp(QWidget* owner, store::Session& session)
    : tblProv(session), dsProv(tblProv, this)
{
    // A window takes its owner's font only when told to before it joins it.
    setAttribute(Qt::WA_WindowPropagation);
    setAttribute(Qt::WA_DontShowOnScreen);
    setParent(owner, Qt::Window);
    dmemArmies = new dbaware::DBMemo(this);
    dmemArmies->setDataSource(&dsProv);
    dmemArmies->setFieldName(QString::fromLatin1(col::Armies));
    dmemArmies->setWordWrap(true);
    dmemArmies->setScrollBars(dbaware::DBMemo::ScrollBars::None);
    dmemArmies->setReadOnly(true);  // nobody types here; nothing may be written back
    dmemArmies->setFixedWidth(sheet::width::armies);
}

TfrmTemp::~TfrmTemp()
{
    if (frmTemp == this)
        frmTemp = nullptr;
}
