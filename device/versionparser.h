#pragma once

#include "device/devicemodels.h"

#include <QString>

// Model and firmware version read from the reply to "ATCVER" (with "ATCVER" and blanks removed).
struct TqVersion
{
    bool ok = false;
    int model = 0;   // 20, 21, 22, 24, ... or kPmModel
    int version = 0; // "1v5" gives 15
};

TqVersion parseTqVersion(const QString &reply);
