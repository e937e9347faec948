#pragma once

#include "calib/calibrator.h"

// A model's panel: the shared mechanism with the model's Designer form, set up before the
// panel's own constructor runs.
template <typename Form> class ModelPanel : public Calibrator
{
protected:
    ModelPanel(int model, const PanelDevice &device, QWidget *parent) : Calibrator(model, device, parent)
    {
        ui->setupUi(this);
    }

    Form m_ui;
    Form *const ui = &m_ui;
};
