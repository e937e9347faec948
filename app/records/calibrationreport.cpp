#include "app/records/calibrationreport.h"

#include "records/recordschema.h"

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPrinter>
#include <QSaveFile>
#include <QTextDocument>
#include <QUrl>

namespace {

QDateTime utcOf(const RecordEvent &event)
{
    return QDateTime::fromString(event.timeUtc, Qt::ISODateWithMs);
}

QString jsonText(const QJsonValue &value)
{
    return value.isString() ? value.toString() : value.toVariant().toString();
}

// A value a read event holds for a setting: its details are {"name or command": value, ...}, or a
// list of {"setting", "command", "value"}.
QString readValue(const QString &details, const QString &setting, const QString &command)
{
    const QJsonDocument doc = QJsonDocument::fromJson(details.toUtf8());
    if (doc.isObject()) {
        const QJsonObject object = doc.object();
        for (const QString &key : {setting, command}) {
            if (!key.isEmpty() && object.contains(key))
                return jsonText(object.value(key));
        }
    }
    for (const QJsonValue &entry : doc.array()) {
        const QJsonObject object = entry.toObject();
        if ((!setting.isEmpty() && object.value(QLatin1String("setting")).toString() == setting) ||
            (!command.isEmpty() && object.value(QLatin1String("command")).toString() == command))
            return jsonText(object.value(QLatin1String("value")));
    }
    return QString();
}

// An action's details as "name = value" pairs, or as sent when they are no JSON object.
QString detailsText(const QString &details)
{
    const QJsonDocument doc = QJsonDocument::fromJson(details.toUtf8());
    if (!doc.isObject())
        return details;
    QStringList pairs;
    const QJsonObject object = doc.object();
    for (auto it = object.begin(); it != object.end(); ++it)
        pairs.append(it.key() + QLatin1String(" = ") + jsonText(it.value()));
    return pairs.join(QLatin1String(", "));
}

QString cell(const QString &text, const char *tag = "td")
{
    return QStringLiteral("<%1>%2</%1>").arg(QLatin1String(tag), text.toHtmlEscaped());
}

QString pngDataUrl(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QLatin1String("data:image/png;base64,") + QString::fromLatin1(bytes.toBase64());
}

} // namespace

CalibrationReport::CalibrationReport(const RecordedDevice &device, const QList<RecordEvent> &events,
                                     const QDateTime &from, const QDateTime &to, const QString &technician)
    : m_device(device), m_from(from.toUTC()), m_to(to.toUTC()), m_technician(technician)
{
    QString lastRead;
    for (const RecordEvent &event : events) {
        const QDateTime time = utcOf(event);
        const bool inPeriod = time >= m_from && time < m_to;
        if (event.kind == QLatin1String(RecordSchema::kKindRead))
            lastRead = event.details;
        if (!inPeriod)
            continue;
        m_firmware = event.firmware;
        if (!event.toolVersion.isEmpty() && !m_toolVersions.contains(event.toolVersion))
            m_toolVersions.append(event.toolVersion);
        // The refresh after an action is recorded as a read naming it: those are its values after.
        if (event.kind == QLatin1String(RecordSchema::kKindRead) && !event.command.isEmpty() &&
            !m_actions.isEmpty() && m_actions.last().command == event.command && m_actions.last().details.isEmpty()) {
            m_actions.last().details = event.details;
            continue;
        }
        if (event.kind == QLatin1String(RecordSchema::kKindAction)) {
            m_actions.append(event);
            continue;
        }
        if (event.kind != QLatin1String(RecordSchema::kKindWrite))
            continue;
        const QString key = event.setting.isEmpty() ? event.command : event.setting;
        auto change = std::find_if(m_changes.begin(), m_changes.end(), [&](const SettingChange &c) {
            return (c.setting.isEmpty() ? c.command : c.setting) == key;
        });
        if (change == m_changes.end()) {
            const QString found = event.valueBefore.isEmpty()
                                      ? readValue(lastRead, event.setting, event.command)
                                      : event.valueBefore;
            m_changes.append({event.setting, event.command, found, QString(), 0});
            change = m_changes.end() - 1;
        }
        ++change->writes;
        if (event.outcome == QLatin1String(RecordSchema::kOutcomeConfirmed))
            change->asLeft = event.valueConfirmed.isEmpty() ? event.valueWritten : event.valueConfirmed;
    }
}

QString CalibrationReport::localTime(const RecordEvent &event)
{
    const QDateTime utc = utcOf(event);
    const QDateTime offset =
        QDateTime::fromString(QLatin1String("2000-01-01T00:00:00") + event.utcOffset, Qt::ISODate);
    if (!utc.isValid())
        return event.timeUtc;
    const QDateTime local = offset.isValid() ? utc.toOffsetFromUtc(offset.offsetFromUtc()) : utc;
    return local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
           (offset.isValid() ? event.utcOffset : QStringLiteral("UTC"));
}

QString CalibrationReport::html(bool embedImages) const
{
    const QString dateFormat = QStringLiteral("yyyy-MM-dd HH:mm");
    QString h = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title>"
                               "<style>body{font-family:sans-serif} table{border-collapse:collapse}"
                               " th,td{border:1px solid #888;padding:3px 8px;text-align:left}</style>"
                               "</head><body>\n")
                    .arg(tr("Calibration report").toHtmlEscaped());
    h += QStringLiteral("<h1>%1</h1>\n<table>\n").arg(tr("Calibration report").toHtmlEscaped());
    const QList<QPair<QString, QString>> identity = {
        {tr("Model"), m_device.model},
        {tr("Serial number"), m_device.serial},
        {tr("Firmware"), m_firmware},
        // The end is exclusive: a period to midnight ends on the day before.
        {tr("Period"), m_from.toLocalTime().toString(dateFormat) + QStringLiteral(" \u2013 ") +
                           m_to.addMSecs(-1).toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))},
        {tr("Technician"), m_technician},
        {tr("Report made"), QDateTime::currentDateTime().toString(dateFormat)},
        {tr("Tool version"), m_toolVersions.join(QLatin1String(", "))},
    };
    for (const auto &row : identity)
        h += QLatin1String("<tr>") + cell(row.first, "th") + cell(row.second) + QLatin1String("</tr>\n");
    h += QStringLiteral("</table>\n<h2>%1</h2>\n").arg(tr("Settings: as found and as left").toHtmlEscaped());
    if (m_changes.isEmpty()) {
        h += QStringLiteral("<p>%1</p>\n").arg(tr("No setting was written in this period.").toHtmlEscaped());
    } else {
        h += QLatin1String("<table>\n<tr>") + cell(tr("Setting"), "th") + cell(tr("Command"), "th") +
             cell(tr("As found"), "th") + cell(tr("As left"), "th") + cell(tr("Writes"), "th") +
             QLatin1String("</tr>\n");
        for (const SettingChange &c : m_changes) {
            const QString left = c.asLeft.isEmpty() ? tr("not confirmed") : c.asLeft;
            h += QLatin1String("<tr>") + cell(c.setting) + cell(c.command) + cell(c.asFound) + cell(left) +
                 cell(QString::number(c.writes)) + QLatin1String("</tr>\n");
        }
        h += QLatin1String("</table>\n");
    }
    h += QStringLiteral("<h2>%1</h2>\n").arg(tr("Actions").toHtmlEscaped());
    if (m_actions.isEmpty()) {
        h += QStringLiteral("<p>%1</p>\n").arg(tr("No action was run in this period.").toHtmlEscaped());
    } else {
        h += QLatin1String("<table>\n<tr>") + cell(tr("Time"), "th") + cell(tr("Action"), "th") +
             cell(tr("Outcome"), "th") + cell(tr("Values after"), "th") + QLatin1String("</tr>\n");
        for (const RecordEvent &a : m_actions) {
            h += QLatin1String("<tr>") + cell(localTime(a)) +
                 cell(a.setting.isEmpty() ? a.command : a.setting) + cell(a.outcome) +
                 cell(detailsText(a.details)) + QLatin1String("</tr>\n");
        }
        h += QLatin1String("</table>\n");
    }
    h += QStringLiteral("<h2>%1</h2>\n").arg(tr("Trend charts at the time of the report").toHtmlEscaped());
    if (m_charts.isEmpty())
        h += QStringLiteral("<p>%1</p>\n").arg(tr("No device was open.").toHtmlEscaped());
    for (int i = 0; i < m_charts.size(); ++i) {
        const QString source =
            embedImages ? pngDataUrl(m_charts.at(i)) : QStringLiteral("chart%1.png").arg(i + 1);
        h += QStringLiteral("<p><img src=\"%1\" width=\"%2\"></p>\n")
                 .arg(source)
                 .arg(qMin(640, m_charts.at(i).width()));
    }
    return h + QLatin1String("</body></html>\n");
}

bool CalibrationReport::writeHtml(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(html(true).toUtf8()) >= 0 && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

bool CalibrationReport::writePdf(const QString &path, QString *error) const
{
    QFile::remove(path);
    QTextDocument document;
    for (int i = 0; i < m_charts.size(); ++i)
        document.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("chart%1.png").arg(i + 1)),
                             m_charts.at(i));
    document.setHtml(html(false));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setOutputFileName(path);
    printer.setDocName(tr("Calibration report") + QLatin1Char(' ') + m_device.serial);
    document.print(&printer);
    // The printer tells of no failure: a file that is not there or empty is one.
    if (QFile(path).size() > 0)
        return true;
    if (error)
        *error = tr("The PDF file could not be written: %1").arg(path);
    return false;
}
