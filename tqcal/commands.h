#pragma once

#include "tqcal/invocation.h"

#include <QList>
#include <QPair>
#include <QString>

class DeviceLink;

// The subcommands; each returns tqcal's exit code and has printed its data and messages.
int runList(const Invocation &invocation);
int runInfo(const Invocation &invocation);
int runGet(const Invocation &invocation);
int runSet(const Invocation &invocation);
int runDo(const Invocation &invocation);
int runWatch(const Invocation &invocation);
// One point against a reference: check decides on the reading, calibrate adjusts when needed.
int runCheck(const Invocation &invocation);
int runCalibrate(const Invocation &invocation);

// Tells why input is refused; the usage exit code.
int refuse(const QString &text);
// Finds the invocation's target and opens and identifies it; a message on failure.
int connectTarget(const Invocation &invocation, DeviceLink &link);
// Queries the words in order, each value as the device sent it, stopping at the first failure
// (told on stderr); with `printLines` each "WORD VALUE" line is printed as it comes.
using WordValues = QList<QPair<QString, QString>>;
int readWords(DeviceLink &link, const QStringList &words, WordValues *values, bool printLines);
// {"ATCOFF1": "1.25", ...} in the order read.
QString valuesJson(const WordValues &values);
