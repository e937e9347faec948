#pragma once

#include "records/calibrationrecord.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class Procedure;
struct ProcedurePoint;

// The cylinder a point was read against, with what makes it traceable.
struct ReferenceGas
{
    QString gas; // "CO2", "zero air"
    double concentration = 0;
    QString unit;
    QString lot; // lot or certificate number
    QDate expiry;
    std::optional<double> uncertainty; // expanded, in `unit`; empty when none was entered
};

// A reading as the report keeps it: the value, its error and how settled it was.
struct ReportReading
{
    bool taken = false;
    double value = 0;
    double error = 0; // value − reference
    bool stable = false;
    double slopePerMinute = 0;
    double sd = 0;
    int samples = 0;
};

// One calibration point: the reference, as found, the adjustment, as left and the verdict.
struct ReportPoint
{
    int channel = 1;
    QString channelName; // "gas", "CO2"
    QString unit;        // as the device gives the channel: "ppm", "µV"
    double reference = 0;
    double tolerance = 0;              // absolute, in `unit`
    std::optional<double> uncertainty; // of the result, in `unit`; empty when none was entered
    // The stability limits the readings were judged by.
    double maxSlope = 0;
    double maxSd = 0;
    double dwellS = 0;
    double windowS = 0;
    ReportReading asFound;
    bool adjusted = false;
    QString adjustment; // the adjustment command as sent, "ATCCSP 400.00"; empty when none
    ReportReading asLeft;
    QString result;     // RecordSchema::kOutcomePass, kOutcomeFail or kOutcomeIncomplete
    QString reason;     // why it failed or ended early
    QStringList writes; // every command of the point that could change the device, in order
};

// One guided procedure as the record and the certificate keep it. Plain data: the caller fills the
// device, the reference gas and the conditions, and adds the points taken from finished procedures.
struct ProcedureReport
{
    Q_DECLARE_TR_FUNCTIONS(ProcedureReport)

public:
    QString model; // "TQ24"
    QString serial;
    QString firmware; // the version reply's text
    QString method;   // the procedure's name, see methodName()
    bool checkOnly = false;
    QDateTime calibrated; // when the procedure ended
    QString technician;
    QString toolVersion;
    QString decisionRule;
    QList<ReferenceGas> gases;
    std::optional<double> temperature; // read from the device during the procedure
    QString temperatureUnit;
    QList<ReportPoint> points;
    QString result;     // RecordSchema::kOutcomePass, kOutcomeFail or kOutcomeIncomplete
    QString reason;     // why it failed or is incomplete
    QStringList writes; // every command that could change the device, in the order sent

    // Today's date and time, the technician (technicianName()), this tool's version and the procedure's
    // decision rule; everything else empty.
    static ProcedureReport started();
    // The technician's name as the records window keeps it in the settings ("report/technician"),
    // else the login name.
    static QString technicianName();
    static constexpr const char *kTechnicianKey = "report/technician";

    // Sets result and reason from the points: incomplete when any is (or there are none), else
    // fail when any failed, else pass. Also gathers the points' adjustments into `writes` when
    // the caller has not set them.
    void conclude();
    bool isComplete() const;
    // Takes the temperature from a live line of the model (the field the model table names
    // "temperature"); leaves it empty when the model has none or the field is no number.
    void setTemperatureFrom(int tqModel, const QStringList &liveFields);

    QJsonObject toJson() const;
    // Empty, with `error` set, when the object is not a report this tool wrote.
    static std::optional<ProcedureReport> fromJson(const QJsonObject &json, QString *error = nullptr);
    // The one record event for this procedure: an action named RecordSchema::kSettingGuided (or
    // kSettingCheck), the adjustment's command and value, as found and as left of a single point,
    // the result as outcome and this report as JSON in the details.
    CalibrationEvent toEvent() const;
};

// A point from a finished procedure, with the channel named as the caller shows it.
ReportPoint reportPoint(const Procedure &procedure, const QString &channelName, const QString &unit);
// The same with the name and default unit of the model table's live field for the channel.
ReportPoint reportPoint(const Procedure &procedure, int tqModel);

// "TQ24 span calibration (ATCCSP)": what the procedure does to the model's channel at this
// reference, by the adjustment it would make; a check's name when the point writes nothing.
QString methodName(int tqModel, int firmware, const ProcedurePoint &point);
// The model table's live field of a channel ("gas", "ppm"); empty texts for a channel it lacks.
QString channelName(int tqModel, int channel);
QString channelUnit(int tqModel, int channel);
