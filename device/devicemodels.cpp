#include "device/devicemodels.h"

#include "device/modeltable.h"

// The models are the rows of the model table: one place to add one.

const DeviceModel *DeviceModels::find(int model)
{
    static const QList<DeviceModel> rows = [] {
        QList<DeviceModel> out;
        for (int number : ModelTable::models()) {
            if (const ModelTable::Model *m = ModelTable::find(number))
                out.append({m->model, m->name, m->pollWord});
        }
        return out;
    }();
    for (const DeviceModel &row : rows) {
        if (row.model == model)
            return &row;
    }
    return nullptr;
}

QList<int> DeviceModels::all()
{
    return ModelTable::models();
}

QString DeviceModels::name(int model)
{
    if (const DeviceModel *row = find(model))
        return QLatin1String(row->name);
    return QStringLiteral("TQ%1").arg(model);
}

QByteArray DeviceModels::pollCommand(int model)
{
    const DeviceModel *row = find(model);
    return row ? QByteArray(row->pollWord) + "\r\n" : QByteArray();
}
