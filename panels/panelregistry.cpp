#include "panels/panelregistry.h"

#include "calib/paneldispatch.h"
#include "panels/pmcalibrator.h"
#include "panels/tq20calibrator.h"
#include "panels/tq21calibrator.h"
#include "panels/tq22calibrator.h"
#include "panels/tq24calibrator.h"

namespace {

template <typename Panel> void registerPanel(int model)
{
    PanelDispatch::setFactory(
        model,
        [](const QString &versionText, int version, const QString &serial, QWidget *parent) -> QWidget * {
            return new Panel(PanelDevice{versionText, version, serial}, parent);
        });
}

} // namespace

void registerPanels()
{
    registerPanel<PmCalibrator>(PmCalibrator::kModel);
    registerPanel<Tq20Calibrator>(Tq20Calibrator::kModel);
    registerPanel<Tq21Calibrator>(Tq21Calibrator::kModel);
    registerPanel<Tq22Calibrator>(Tq22Calibrator::kModel);
    registerPanel<Tq24Calibrator>(Tq24Calibrator::kModel);
}
