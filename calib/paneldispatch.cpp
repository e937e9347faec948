#include "calib/paneldispatch.h"

#include "device/devicemodels.h"

namespace {

QList<PanelKind> &table()
{
    static QList<PanelKind> kinds = [] {
        QList<PanelKind> rows;
        for (int model : DeviceModels::all())
            rows.append({model, {}});
        return rows;
    }();
    return kinds;
}

} // namespace

const PanelKind *PanelDispatch::find(int model)
{
    for (const PanelKind &kind : table()) {
        if (kind.model == model)
            return &kind;
    }
    return nullptr;
}

bool PanelDispatch::setFactory(int model, PanelFactory factory)
{
    for (PanelKind &kind : table()) {
        if (kind.model == model) {
            kind.create = std::move(factory);
            return true;
        }
    }
    return false;
}

QList<int> PanelDispatch::panelModels()
{
    QList<int> models;
    for (const PanelKind &kind : table()) {
        if (kind.create)
            models.append(kind.model);
    }
    return models;
}
