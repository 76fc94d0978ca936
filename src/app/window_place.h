#pragma once
#include <QList>
#include <QRect>

// Where a window goes on the screens there are now; no widget involved, so
// the rule can be tried on any set of screens.
namespace app {

// The frame rectangle a window gets when it was last at `frame` and the
// screens offer `areas` (their available areas, the primary first): it stays
// on the area that holds most of it (the nearest one when none holds any of
// it, as when a screen has gone) and is shrunk to that area and moved until
// it lies wholly inside. With no areas the frame stays as it is.
QRect fitIntoAreas(const QRect& frame, const QList<QRect>& areas);

}  // namespace app
