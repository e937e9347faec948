#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

// One tqcal command line, parsed: the subcommand, its target and what it was given.
struct Invocation
{
    QString command;   // list, info, get, set, do, watch, check, calibrate; empty with help or version
    QString port;      // --port
    QString serial;    // --serial
    QStringList words; // get: words; set: word and value; do: the action
    bool json = false;
    bool yes = false;
    bool help = false;
    bool version = false;
    int count = 0; // watch: lines before it ends; 0 runs until stopped
    int intervalMs = 1000;
    QString format = QStringLiteral("text"); // watch: text, csv or json
    int timeoutMs = 10000;                   // per reply

    // check and calibrate: one point against a reference.
    std::optional<double> reference;
    bool zero = false; // calibrate: zero gas, a reference of 0
    int channel = 1;
    double tolerance = 1; // with tolerancePercent, a percentage of the reference
    bool tolerancePercent = true;
    QString toleranceText = QStringLiteral("1%");
    std::optional<double> dwellS;
    std::optional<double> windowS;
    std::optional<double> stableTimeoutS; // --timeout: seconds for check and calibrate
    QString timeoutText;                  // --timeout as given
    std::optional<double> maxSlope;
    std::optional<double> maxSd;
    QString gasLot;
    QDate gasExpiry;
    QString certificate; // calibrate: the PDF to write

    bool hasTarget() const { return !port.isEmpty() || !serial.isEmpty(); }
};

struct ParsedArguments
{
    Invocation invocation;
    QString error; // a usage error; empty when the line is good
};

// Parses the arguments after the program name. A value that starts with "-" and a digit or a
// point ("-2.5") is a value, not an option.
ParsedArguments parseArguments(const QStringList &arguments);
QString usageText();
