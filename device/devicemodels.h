#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

constexpr int kPmModel = 404; // the particulate-matter device, which answers "QD700" and "PM"

// The supported models as the wire knows them, read from the model table's rows: the number
// "ATCVER" gives, the name records use and the word that polls the live values.
namespace DeviceModels {

bool isSupported(int model);
// Every supported model, in table order.
QList<int> all();
// "PM", "TQ20", ...; a model outside the table is named by its number.
QString name(int model);
// "ATCD\r\n" or "ATCH\r\n"; empty for a model outside the table.
QByteArray pollCommand(int model);

} // namespace DeviceModels
