#pragma once

#include <QMetaType>
#include <QString>

// One attached device as the scan reports it: the port to open and the device's serial text.
struct Dev_info
{
    QString port;
    QString serialNo;

    bool operator==(const Dev_info &other) const { return port == other.port && serialNo == other.serialNo; }
};

Q_DECLARE_METATYPE(Dev_info)
