#include "records/procedurereport.h"

#include "device/adjustment.h"
#include "device/commandset.h"
#include "device/modeltable.h"
#include "device/procedure.h"
#include "device/stabilitydefaults.h"
#include "records/recordschema.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>

namespace {

// Names the JSON as a report, so that the details of another action are not taken for one.
const QLatin1String kFormat("tq-procedure-report");
constexpr int kFormatVersion = 1;

QString tr(const char *text)
{
    return QCoreApplication::translate("ProcedureReport", text);
}

QString resultOf(Procedure::Step step)
{
    switch (step) {
    case Procedure::Step::Passed:
        return QLatin1String(RecordSchema::kOutcomePass);
    case Procedure::Step::Failed:
        return QLatin1String(RecordSchema::kOutcomeFail);
    default:
        // Refused, aborted, unplugged, timed out, or not finished at all.
        return QLatin1String(RecordSchema::kOutcomeIncomplete);
    }
}

ReportReading readingOf(const ProcedureReading &r)
{
    ReportReading out;
    out.taken = r.taken;
    out.value = r.value;
    out.error = r.error;
    out.stable = r.stable;
    out.slopePerMinute = r.figures.slopePerMinute;
    out.sd = r.figures.sd;
    out.samples = r.figures.count;
    return out;
}

const ModelTable::LiveField *liveField(int tqModel, int channel)
{
    const StabilityDefaults::Channel *row = StabilityDefaults::find(tqModel, channel);
    const ModelTable::Model *model = ModelTable::find(tqModel);
    if (!row || !model || row->field < 0 || row->field >= model->live.size())
        return nullptr;
    return &model->live.at(row->field);
}

std::optional<double> optionalNumber(const QJsonValue &value)
{
    if (value.isDouble())
        return value.toDouble();
    return std::nullopt;
}

QJsonObject readingJson(const ReportReading &r)
{
    return QJsonObject{{"taken", r.taken},
                       {"value", r.value},
                       {"error", r.error},
                       {"stable", r.stable},
                       {"slopePerMinute", r.slopePerMinute},
                       {"sd", r.sd},
                       {"samples", r.samples}};
}

ReportReading readingFrom(const QJsonObject &o)
{
    ReportReading r;
    r.taken = o.value("taken").toBool();
    r.value = o.value("value").toDouble();
    r.error = o.value("error").toDouble();
    r.stable = o.value("stable").toBool();
    r.slopePerMinute = o.value("slopePerMinute").toDouble();
    r.sd = o.value("sd").toDouble();
    r.samples = o.value("samples").toInt();
    return r;
}

bool isResult(const QString &text)
{
    return text == QLatin1String(RecordSchema::kOutcomePass) ||
           text == QLatin1String(RecordSchema::kOutcomeFail) ||
           text == QLatin1String(RecordSchema::kOutcomeIncomplete);
}

// A value as the record's columns show it: the device's two decimals, a third where it has one.
QString valueText(double value)
{
    QString text = QString::number(value, 'f', 3);
    if (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    return text;
}

} // namespace

ProcedureReport ProcedureReport::started()
{
    ProcedureReport report;
    report.calibrated = QDateTime::currentDateTime();
    report.technician = technicianName();
    report.toolVersion = CalibrationRecord::toolVersion();
    report.decisionRule = Procedure::decisionRule();
    return report;
}

QString ProcedureReport::technicianName()
{
    const QString named = QSettings().value(QLatin1String(kTechnicianKey)).toString().trimmed();
    if (!named.isEmpty())
        return named;
    for (const char *name : {"USER", "USERNAME", "LOGNAME"}) {
        const QString user = qEnvironmentVariable(name).trimmed();
        if (!user.isEmpty())
            return user;
    }
    return QString();
}

void ProcedureReport::conclude()
{
    if (writes.isEmpty()) {
        for (const ReportPoint &p : qAsConst(points))
            writes += p.writes;
    }
    const QLatin1String incomplete(RecordSchema::kOutcomeIncomplete);
    const QLatin1String fail(RecordSchema::kOutcomeFail);
    if (points.isEmpty()) {
        result = incomplete;
        if (reason.isEmpty())
            reason = tr("no point was taken");
        return;
    }
    for (const QLatin1String &verdict : {incomplete, fail}) {
        for (const ReportPoint &p : qAsConst(points)) {
            if (p.result == verdict || (verdict == incomplete && !isResult(p.result))) {
                result = verdict;
                reason = p.reason.isEmpty() && verdict == incomplete ? tr("a point has no result") : p.reason;
                return;
            }
        }
    }
    result = QLatin1String(RecordSchema::kOutcomePass);
    // A pass may carry a note ("last calibration time not written").
    reason.clear();
    for (const ReportPoint &p : qAsConst(points)) {
        if (!p.reason.isEmpty()) {
            reason = p.reason;
            break;
        }
    }
}

bool ProcedureReport::isComplete() const
{
    if (points.isEmpty() || result == QLatin1String(RecordSchema::kOutcomeIncomplete) || !isResult(result))
        return false;
    for (const ReportPoint &p : points) {
        if (!isResult(p.result) || p.result == QLatin1String(RecordSchema::kOutcomeIncomplete) ||
            !p.asFound.taken)
            return false;
    }
    return true;
}

void ProcedureReport::setTemperatureFrom(int tqModel, const QStringList &liveFields)
{
    temperature.reset();
    temperatureUnit.clear();
    const ModelTable::Model *model = ModelTable::find(tqModel);
    if (!model)
        return;
    for (int i = 0; i < model->live.size() && i < liveFields.size(); ++i) {
        if (qstrcmp(model->live.at(i).name, "temperature") != 0)
            continue;
        temperature = Cmd::number(liveFields.at(i).trimmed());
        if (temperature)
            temperatureUnit = QString::fromUtf8(model->live.at(i).unit);
        return;
    }
}

QJsonObject ProcedureReport::toJson() const
{
    QJsonArray gasArray;
    for (const ReferenceGas &g : gases) {
        QJsonObject o{{"gas", g.gas},
                      {"concentration", g.concentration},
                      {"unit", g.unit},
                      {"lot", g.lot},
                      {"expiry", g.expiry.toString(Qt::ISODate)}};
        if (g.uncertainty)
            o.insert("uncertainty", *g.uncertainty);
        gasArray.append(o);
    }
    QJsonArray pointArray;
    for (const ReportPoint &p : points) {
        QJsonObject o{{"channel", p.channel},
                      {"channelName", p.channelName},
                      {"unit", p.unit},
                      {"reference", p.reference},
                      {"tolerance", p.tolerance},
                      {"maxSlope", p.maxSlope},
                      {"maxSd", p.maxSd},
                      {"dwellS", p.dwellS},
                      {"windowS", p.windowS},
                      {"asFound", readingJson(p.asFound)},
                      {"adjusted", p.adjusted},
                      {"adjustment", p.adjustment},
                      {"asLeft", readingJson(p.asLeft)},
                      {"result", p.result},
                      {"reason", p.reason},
                      {"writes", QJsonArray::fromStringList(p.writes)}};
        if (p.uncertainty)
            o.insert("uncertainty", *p.uncertainty);
        pointArray.append(o);
    }
    QJsonObject json{{"format", kFormat},
                     {"version", kFormatVersion},
                     {"model", model},
                     {"serial", serial},
                     {"firmware", firmware},
                     {"method", method},
                     {"checkOnly", checkOnly},
                     {"calibrated", CalibrationRecord::utcText(calibrated)},
                     {"utcOffset", CalibrationRecord::offsetText(calibrated)},
                     {"technician", technician},
                     {"toolVersion", toolVersion},
                     {"decisionRule", decisionRule},
                     {"gases", gasArray},
                     {"points", pointArray},
                     {"result", result},
                     {"reason", reason},
                     {"writes", QJsonArray::fromStringList(writes)}};
    if (temperature) {
        json.insert("temperature", *temperature);
        json.insert("temperatureUnit", temperatureUnit);
    }
    return json;
}

std::optional<ProcedureReport> ProcedureReport::fromJson(const QJsonObject &json, QString *error)
{
    const auto refuse = [error](const QString &why) -> std::optional<ProcedureReport> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (json.value("format").toString() != kFormat)
        return refuse(tr("not a procedure report"));
    if (json.value("version").toInt() > kFormatVersion)
        return refuse(tr("a procedure report of a newer version of the tool"));
    ProcedureReport r;
    r.model = json.value("model").toString();
    r.serial = json.value("serial").toString();
    r.firmware = json.value("firmware").toString();
    r.method = json.value("method").toString();
    r.checkOnly = json.value("checkOnly").toBool();
    r.calibrated = QDateTime::fromString(json.value("calibrated").toString(), Qt::ISODateWithMs);
    r.technician = json.value("technician").toString();
    r.toolVersion = json.value("toolVersion").toString();
    r.decisionRule = json.value("decisionRule").toString();
    r.result = json.value("result").toString();
    r.reason = json.value("reason").toString();
    for (const QJsonValue &w : json.value("writes").toArray())
        r.writes.append(w.toString());
    if (r.model.isEmpty() || !r.calibrated.isValid() || !isResult(r.result))
        return refuse(tr("a procedure report without its model, time or result"));
    // Shown in the time zone it was made in, as the record shows its events.
    const QDateTime withOffset =
        QDateTime::fromString(r.calibrated.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
                                  json.value("utcOffset").toString(),
                              Qt::ISODateWithMs);
    if (withOffset.isValid())
        r.calibrated = r.calibrated.toOffsetFromUtc(withOffset.offsetFromUtc());
    r.temperature = optionalNumber(json.value("temperature"));
    if (r.temperature)
        r.temperatureUnit = json.value("temperatureUnit").toString();
    for (const QJsonValue &v : json.value("gases").toArray()) {
        const QJsonObject o = v.toObject();
        ReferenceGas g;
        g.gas = o.value("gas").toString();
        g.concentration = o.value("concentration").toDouble();
        g.unit = o.value("unit").toString();
        g.lot = o.value("lot").toString();
        g.expiry = QDate::fromString(o.value("expiry").toString(), Qt::ISODate);
        g.uncertainty = optionalNumber(o.value("uncertainty"));
        r.gases.append(g);
    }
    for (const QJsonValue &v : json.value("points").toArray()) {
        const QJsonObject o = v.toObject();
        ReportPoint p;
        p.channel = o.value("channel").toInt();
        p.channelName = o.value("channelName").toString();
        p.unit = o.value("unit").toString();
        p.reference = o.value("reference").toDouble();
        p.tolerance = o.value("tolerance").toDouble();
        p.uncertainty = optionalNumber(o.value("uncertainty"));
        p.maxSlope = o.value("maxSlope").toDouble();
        p.maxSd = o.value("maxSd").toDouble();
        p.dwellS = o.value("dwellS").toDouble();
        p.windowS = o.value("windowS").toDouble();
        p.asFound = readingFrom(o.value("asFound").toObject());
        p.adjusted = o.value("adjusted").toBool();
        p.adjustment = o.value("adjustment").toString();
        p.asLeft = readingFrom(o.value("asLeft").toObject());
        p.result = o.value("result").toString();
        p.reason = o.value("reason").toString();
        for (const QJsonValue &w : o.value("writes").toArray())
            p.writes.append(w.toString());
        if (!isResult(p.result))
            return refuse(tr("a procedure report with a point without result"));
        r.points.append(p);
    }
    return r;
}

CalibrationEvent ProcedureReport::toEvent() const
{
    CalibrationEvent event;
    event.kind = QLatin1String(RecordSchema::kKindAction);
    event.model = model;
    event.serial = serial;
    event.firmware = firmware;
    event.setting = QLatin1String(checkOnly ? RecordSchema::kSettingCheck : RecordSchema::kSettingGuided);
    event.outcome = result;
    event.details = QString::fromUtf8(QJsonDocument(toJson()).toJson(QJsonDocument::Compact));
    event.time = calibrated;
    // The columns of the records table tell a single point at a glance; the details hold the rest.
    if (points.size() == 1) {
        const ReportPoint &p = points.first();
        const QString adjustment = p.adjustment.trimmed();
        event.command = adjustment.section(QLatin1Char(' '), 0, 0);
        event.valueWritten = adjustment.section(QLatin1Char(' '), 1);
        if (event.valueWritten.isEmpty())
            event.valueWritten = QString();
        if (p.asFound.taken)
            event.valueBefore = valueText(p.asFound.value);
        if (p.asLeft.taken)
            event.valueConfirmed = valueText(p.asLeft.value);
        else if (p.asFound.taken && !p.adjusted &&
                 p.result != QLatin1String(RecordSchema::kOutcomeIncomplete))
            event.valueConfirmed = event.valueBefore; // left as found
    }
    return event;
}

ReportPoint reportPoint(const Procedure &procedure, const QString &channelName, const QString &unit)
{
    const ProcedurePoint point = procedure.point();
    ReportPoint p;
    p.channel = point.channel;
    p.channelName = channelName;
    p.unit = unit;
    p.reference = point.reference;
    p.tolerance = point.tolerance;
    p.maxSlope = point.limits.maxSlope;
    p.maxSd = point.limits.maxSd;
    p.dwellS = point.limits.dwellS;
    p.windowS = point.limits.windowS;
    p.asFound = readingOf(procedure.asFound());
    p.adjusted = procedure.adjusted();
    p.asLeft = readingOf(procedure.asLeft());
    p.writes = procedure.writes();
    for (const QString &w : p.writes) {
        // The last calibration time is no adjustment of the reading.
        if (!w.startsWith(QLatin1String("ATCEXTM"))) {
            p.adjustment = w;
            break;
        }
    }
    p.result = resultOf(procedure.isFinished() ? procedure.step() : Procedure::Step::Aborted);
    p.reason = procedure.isFinished() ? procedure.reason() : tr("the procedure has not finished");
    return p;
}

ReportPoint reportPoint(const Procedure &procedure, int tqModel)
{
    const int channel = procedure.point().channel;
    return reportPoint(procedure, channelName(tqModel, channel), channelUnit(tqModel, channel));
}

QString methodName(int tqModel, int firmware, const ProcedurePoint &point)
{
    const QString model = CalibrationRecord::modelName(tqModel);
    QString channel = channelName(tqModel, point.channel);
    if (channel.isEmpty())
        channel = tr("channel %1").arg(point.channel);
    if (point.checkOnly)
        return tr("%1 %2 check against a reference").arg(model, channel);
    // The plan for a reading equal to the reference: which command, never a refused correction.
    const Adjustment::Plan plan =
        Adjustment::plan(tqModel, firmware, point.channel, point.reference, point.reference);
    switch (plan.kind) {
    case Adjustment::Kind::Zero:
        return tr("%1 zero calibration (%2)").arg(model, plan.word);
    case Adjustment::Kind::Span:
        return tr("%1 span calibration (%2)").arg(model, plan.word);
    case Adjustment::Kind::Co2:
        return tr("%1 CO2 calibration (%2)").arg(model, plan.word);
    case Adjustment::Kind::CleanAir:
        return tr("%1 clean air calibration (%2)").arg(model, plan.word);
    case Adjustment::Kind::Offset:
        break;
    }
    return tr("%1 %2 offset adjustment (%3)").arg(model, channel, plan.word);
}

QString channelName(int tqModel, int channel)
{
    const ModelTable::LiveField *field = liveField(tqModel, channel);
    return field ? QString::fromUtf8(field->name) : QString();
}

QString channelUnit(int tqModel, int channel)
{
    const ModelTable::LiveField *field = liveField(tqModel, channel);
    return field ? QString::fromUtf8(field->unit) : QString();
}
