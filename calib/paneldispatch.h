#pragma once

#include "device/devicemodels.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

class QWidget;

// Builds the panel of one model with (version reply, firmware version, serial text, main window).
using PanelFactory =
    std::function<QWidget *(const QString &versionText, int version, const QString &serial, QWidget *parent)>;

// One supported model and the factory of its panel (empty until the panel exists). Its poll
// command is the device layer's (DeviceModels::pollCommand).
struct PanelKind
{
    int model = 0;
    PanelFactory create;
};

// The one table identification dispatches through: model -> panel factory.
namespace PanelDispatch {

// The supported model, or nullptr for any other model number.
const PanelKind *find(int model);
// Installs (or, with an empty factory, removes) the panel of a supported model; false for other models.
bool setFactory(int model, PanelFactory factory);
// The models that have a panel installed, in table order.
QList<int> panelModels();

} // namespace PanelDispatch
