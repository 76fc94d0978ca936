// Qt's own checker of the model contract on every grid a test builds.
#pragma once
#include <QAbstractItemModelTester>
#include <QWidget>

#include "dbaware/dbgrid.h"

namespace testing_support {

// Watches the model of each grid under `top` that is not yet watched; a
// broken promise of the model ends the test program at once.
inline void testGridModels(QWidget& top)
{
    for (auto* grid : top.findChildren<dbaware::DBGrid*>()) {
        QAbstractItemModel* model = grid->model();
        if (!model->findChild<QAbstractItemModelTester*>())
            new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::Fatal, model);
    }
}

}  // namespace testing_support
