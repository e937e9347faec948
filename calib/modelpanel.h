#pragma once

#include "calib/calibrator.h"

// The panel of model number `Model`: the shared mechanism with the model's Designer form, set up
// before the panel's own constructor runs.
template <typename Form, int Model> class ModelPanel : public Calibrator
{
public:
    static constexpr int kModel = Model;

protected:
    ModelPanel(const PanelDevice &device, QWidget *parent) : Calibrator(Model, device, parent)
    {
        ui->setupUi(this);
    }

    Form m_ui;
    Form *const ui = &m_ui;
};
