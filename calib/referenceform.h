#pragma once

#include "calib/calibrationpoint.h"

class QWidget;

namespace ReferenceForm {

// The reference gas as a form holds it, read from the widgets its .ui names as the calibration
// dialogs do (checkBox_zero, doubleSpinBox_reference, ...); the channel is left to the form.
ReferenceEntry entry(const QWidget *form);

} // namespace ReferenceForm
