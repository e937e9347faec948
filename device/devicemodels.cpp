#include "device/devicemodels.h"

#include <array>

namespace {

// Adding a model: one row here.
constexpr std::array<DeviceModel, 5> kModels{{
    {20, "TQ20", "ATCD"},
    {21, "TQ21", "ATCD"},
    {22, "TQ22", "ATCD"},
    {24, "TQ24", "ATCH"},
    {kPmModel, "PM", "ATCH"},
}};

} // namespace

const DeviceModel *DeviceModels::find(int model)
{
    for (const DeviceModel &row : kModels) {
        if (row.model == model)
            return &row;
    }
    return nullptr;
}

QList<int> DeviceModels::all()
{
    QList<int> models;
    for (const DeviceModel &row : kModels)
        models.append(row.model);
    return models;
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
