#include "device/devicemodels.h"

#include "device/modeltable.h"

bool DeviceModels::isSupported(int model)
{
    return ModelTable::find(model) != nullptr;
}

QList<int> DeviceModels::all()
{
    return ModelTable::models();
}

QString DeviceModels::name(int model)
{
    if (const ModelTable::Model *row = ModelTable::find(model))
        return QLatin1String(row->name);
    return QStringLiteral("TQ%1").arg(model);
}

QByteArray DeviceModels::pollCommand(int model)
{
    const ModelTable::Model *row = ModelTable::find(model);
    return row ? QByteArray(row->pollWord) + "\r\n" : QByteArray();
}
