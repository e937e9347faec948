#include "records/calibrationjournal.h"

#include "device/commandset.h"
#include "records/calibrationrecord.h"
#include "records/recordschema.h"

#include <QDebug>
#include <QJsonDocument>

#include <utility>

CalibrationJournal::CalibrationJournal(CalibrationRecord *record, const QString &model, const QString &serial,
                                       const QString &firmware)
    : m_record(record), m_model(model), m_serial(serial), m_firmware(firmware)
{
}

bool CalibrationJournal::isActionWord(const QString &word)
{
    static const QStringList actions = {QStringLiteral("ATCCAL"),   QStringLiteral("ATCCZR"),
                                        QStringLiteral("ATCCSP"),   QStringLiteral("ATCDRFT"),
                                        QStringLiteral("ATCUCAL"),  QStringLiteral("ATCFCAL"),
                                        QStringLiteral("ATCFTRST"), QStringLiteral("ATCEXTM")};
    return actions.contains(word);
}

bool CalibrationJournal::sameValue(const QString &written, const QString &confirmed)
{
    const std::optional<double> a = Cmd::number(written);
    const std::optional<double> b = Cmd::number(confirmed);
    return a && b ? *a == *b : written == confirmed;
}

void CalibrationJournal::append(CalibrationEvent &event)
{
    if (!m_record || m_unavailable)
        return;
    event.model = m_model;
    event.serial = m_serial;
    event.firmware = m_firmware;
    if (m_record->append(event))
        return;
    // Told once; the device conversation goes on without the record.
    m_unavailable = true;
    qDebug().noquote() << QLatin1String("calibration record: ") + m_record->errorString();
    m_notice = m_record->unavailableMessage();
}

QString CalibrationJournal::takeNotice()
{
    return std::exchange(m_notice, QString());
}

void CalibrationJournal::beginWrite(const QString &setting, const QString &command)
{
    const QString text = command.trimmed();
    const int blank = text.indexOf(QLatin1Char(' '));
    Write write;
    write.active = true;
    write.command = blank < 0 ? text : text.left(blank);
    write.action = isActionWord(write.command);
    write.setting = setting.isEmpty() ? write.command : setting;
    write.before = m_lastRead.value(write.command);
    if (blank >= 0)
        write.written = text.mid(blank + 1).trimmed();
    m_write = write;
}

void CalibrationJournal::replyTaken(bool accepted, const QString &value)
{
    if (!m_write.active)
        return;
    if (accepted)
        m_lastRead.insert(m_write.command, value);
    if (accepted && !m_write.action)
        accepted = sameValue(m_write.written, value);
    endWrite(accepted ? RecordSchema::kOutcomeConfirmed : RecordSchema::kOutcomeRejected, value);
}

void CalibrationJournal::endWrite(const char *outcome, const QString &confirmed, const QString &details)
{
    if (!m_write.active)
        return;
    const Write write = std::exchange(m_write, Write{});
    const bool ok = qstrcmp(outcome, RecordSchema::kOutcomeConfirmed) == 0;
    if (write.action && ok && write.refreshFollows) {
        m_refreshAfter = write.setting;
        m_refreshAfterWord = write.command;
    }
    CalibrationEvent event;
    event.kind = QLatin1String(write.action ? RecordSchema::kKindAction : RecordSchema::kKindWrite);
    event.setting = write.setting;
    event.command = write.command;
    event.valueBefore = write.before;
    event.valueWritten = write.written;
    event.valueConfirmed = confirmed;
    event.outcome = QLatin1String(outcome);
    event.details = details;
    append(event);
}

void CalibrationJournal::valueRead(const QString &word, const QString &value)
{
    m_refreshValues.insert(word, value);
    m_lastRead.insert(word, value);
}

void CalibrationJournal::refreshCompleted()
{
    CalibrationEvent event;
    event.kind = QLatin1String(RecordSchema::kKindRead);
    event.setting = std::exchange(m_refreshAfter, QString());
    event.command = std::exchange(m_refreshAfterWord, QString());
    event.details = QString::fromUtf8(QJsonDocument(m_refreshValues).toJson(QJsonDocument::Compact));
    append(event);
}
