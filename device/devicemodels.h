#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

constexpr int kPmModel = 404; // the particulate-matter device, which answers "QD700" and "PM"

// One supported model as the wire knows it: its number from "ATCVER", the name records use and
// the word that polls its live values; read from the model table's rows.
struct DeviceModel
{
    int model = 0;
    const char *name = "";
    const char *pollWord = "";
};

namespace DeviceModels {

// The supported model, or nullptr for any other model number.
const DeviceModel *find(int model);
// Every supported model, in table order.
QList<int> all();
// "PM", "TQ20", ...; a model outside the table is named by its number.
QString name(int model);
// "ATCD\r\n" or "ATCH\r\n"; empty for a model outside the table.
QByteArray pollCommand(int model);

} // namespace DeviceModels
