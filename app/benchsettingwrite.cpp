#include "app/benchsettingwrite.h"

#include "app/devicehost.h"
#include "calib/calibrator.h"
#include "device/conversation.h"
#include "device/devicemodels.h"
#include "device/devicereply.h"
#include "device/modeltable.h"
#include "records/calibrationjournal.h"
#include "records/calibrationrecord.h"
#include "records/recordschema.h"

struct BenchSettingWrite::Run
{
    QPointer<DeviceHost> host;
    Outcome outcome = Outcome::None;
    QString text;
    QString written;
    std::unique_ptr<CalibrationJournal> journal;
    bool locked = false; // the panel's own writes are held back
};

BenchSettingWrite::BenchSettingWrite(QObject *parent) : QObject(parent) {}

BenchSettingWrite::~BenchSettingWrite()
{
    for (const auto &run : m_runs) {
        if (run->locked && run->host && run->host->panel())
            run->host->panel()->setProcedureRunning(false);
    }
}

int BenchSettingWrite::commonModel(const QList<DeviceHost *> &hosts, QString *why)
{
    QStringList names;
    int model = 0;
    for (DeviceHost *host : hosts) {
        const int own = host->identity().model;
        const QString name = own ? DeviceModels::name(own) : tr("unidentified");
        if (!names.contains(name))
            names.append(name);
        model = own;
    }
    if (names.size() == 1 && model)
        return model;
    if (why) {
        *why = hosts.isEmpty() ? tr("Select the devices to write to first.")
                               : tr("A setting is written to devices of one model; the selection holds %1. "
                                    "Select the devices of one model.")
                                     .arg(names.join(QLatin1String(", ")));
    }
    return 0;
}

QStringList BenchSettingWrite::writableWords(int model)
{
    QStringList words;
    const ModelTable::Model *table = ModelTable::find(model);
    for (int i = 0; table && i < table->settings.size(); ++i) {
        const ModelTable::Setting &s = table->settings.at(i);
        const QString word = QString::fromLatin1(s.word);
        if (s.writable && s.format != ModelTable::Format::Stamp && !words.contains(word))
            words.append(word);
    }
    return words;
}

bool BenchSettingWrite::start(const QList<DeviceHost *> &hosts, const QString &word, const QString &value)
{
    if (isRunning()) {
        m_error = tr("A write is still waiting for a reply.");
        return false;
    }
    if (!commonModel(hosts, &m_error))
        return false;
    m_error.clear();
    m_runs.clear();
    m_word = word;
    m_value = value.trimmed();
    for (DeviceHost *host : hosts) {
        auto run = std::make_unique<Run>();
        run->host = host;
        m_runs.push_back(std::move(run));
    }
    for (const auto &run : m_runs)
        begin(*run);
    if (!isRunning())
        emit finished();
    return true;
}

void BenchSettingWrite::begin(Run &run)
{
    DeviceHost *host = run.host;
    Calibrator *panel = host->panel();
    const DeviceIdentity id = host->identity();
    const ModelTable::Setting *setting = ModelTable::setting(id.model, id.firmware, m_word);
    if (!setting || !setting->writable) {
        end(run, Outcome::NotOnFirmware, tr("not on this firmware (%1)").arg(id.versionText.trimmed()));
        return;
    }
    run.written = ModelTable::formatValue(*setting, m_value);
    if (run.written.isEmpty()) {
        end(run, Outcome::Refused,
            tr("refused: %1 takes %2 to %3").arg(m_word).arg(setting->min).arg(setting->max));
        return;
    }
    if (host->state() != DeviceHost::State::Ready || !panel) {
        end(run, Outcome::Refused, tr("refused: the device is %1").arg(DeviceHost::stateText(host->state())));
        return;
    }
    if (panel->isProcedureRunning()) {
        end(run, Outcome::Refused, tr("refused: a procedure is running on it"));
        return;
    }
    panel->setProcedureRunning(true);
    run.locked = true;
    run.outcome = Outcome::Writing;
    run.text = tr("writing");
    run.journal = std::make_unique<CalibrationJournal>(
        host->calibrationRecord(), CalibrationRecord::modelName(id.model), id.serial, id.versionText);
    // What the device holds first, so that the record keeps the value before.
    DeviceRequest request = DeviceRequest::query(m_word);
    request.otherReplies = QStringList{QStringLiteral("ERROR")};
    request.gapMs = m_gapMs;
    request.timeoutMs = m_timeoutMs;
    DeviceReply *reply = host->conversation()->send(request);
    connect(reply, &DeviceReply::finished, this, [this, &run, reply] { onBefore(run, reply); });
    emit changed(host);
}

void BenchSettingWrite::onBefore(Run &run, DeviceReply *reply)
{
    if (reply->error() != DeviceReply::NoError || !run.host) {
        end(run, reply->error() == DeviceReply::NoAnswer ? Outcome::NoReply : Outcome::Rejected,
            tr("%1: nothing written").arg(DeviceReply::errorText(reply->error())));
        return;
    }
    run.journal->valueRead(m_word, reply->value());
    run.journal->beginWrite(m_word, m_word + QLatin1Char(' ') + run.written);
    DeviceRequest request = DeviceRequest::write(m_word, run.written);
    request.otherReplies = QStringList{QStringLiteral("ERROR")};
    request.gapMs = m_gapMs;
    request.timeoutMs = m_timeoutMs;
    DeviceReply *next = run.host->conversation()->send(request);
    connect(next, &DeviceReply::finished, this, [this, &run, next] { onWritten(run, next); });
}

void BenchSettingWrite::onWritten(Run &run, DeviceReply *reply)
{
    switch (reply->error()) {
    case DeviceReply::NoError:
        break;
    case DeviceReply::NoAnswer:
        run.journal->endWrite(RecordSchema::kOutcomeNoReply);
        end(run, Outcome::NoReply, tr("no reply"));
        return;
    case DeviceReply::WriteFailed:
        run.journal->endWrite(RecordSchema::kOutcomeFailedWrite);
        end(run, Outcome::NoReply, tr("not sent: %1").arg(DeviceReply::errorText(reply->error())));
        return;
    case DeviceReply::Closed:
        run.journal->endWrite(RecordSchema::kOutcomePortLost);
        end(run, Outcome::NoReply, tr("gone before the reply"));
        return;
    default:
        run.journal->endWrite(RecordSchema::kOutcomeRejected, reply->value());
        end(run, Outcome::Rejected, tr("rejected: %1").arg(reply->line()));
        return;
    }
    // Confirmed only when the device kept the value written.
    const bool kept = CalibrationJournal::sameValue(run.written, reply->value());
    run.journal->endWrite(kept ? RecordSchema::kOutcomeConfirmed : RecordSchema::kOutcomeRejected,
                          reply->value());
    if (kept)
        end(run, Outcome::Confirmed, tr("confirmed: %1 %2").arg(m_word, reply->value()));
    else
        end(run, Outcome::Rejected,
            tr("rejected: wrote %1, the device kept %2").arg(run.written, reply->value()));
}

void BenchSettingWrite::end(Run &run, Outcome outcome, const QString &text)
{
    run.outcome = outcome;
    run.text = text;
    if (run.journal) {
        const QString notice = run.journal->takeNotice();
        if (!notice.isEmpty())
            run.text += QLatin1String("; ") + notice;
    }
    Calibrator *panel = run.host ? run.host->panel() : nullptr;
    if (run.locked && panel) {
        panel->setProcedureRunning(false);
        // The panel shows what the device holds now.
        if (outcome == Outcome::Confirmed || outcome == Outcome::Rejected)
            panel->writeRefresh();
    }
    run.locked = false;
    if (run.host)
        emit changed(run.host);
    if (!isRunning())
        emit finished();
}

bool BenchSettingWrite::isRunning() const
{
    for (const auto &run : m_runs) {
        if (run->outcome == Outcome::Writing)
            return true;
    }
    return false;
}

QList<DeviceHost *> BenchSettingWrite::hosts() const
{
    QList<DeviceHost *> hosts;
    for (const auto &run : m_runs) {
        if (run->host)
            hosts.append(run->host);
    }
    return hosts;
}

BenchSettingWrite::Run *BenchSettingWrite::runOf(const DeviceHost *host) const
{
    for (const auto &run : m_runs) {
        if (run->host == host)
            return run.get();
    }
    return nullptr;
}

BenchSettingWrite::Outcome BenchSettingWrite::outcome(const DeviceHost *host) const
{
    const Run *run = runOf(host);
    return run ? run->outcome : Outcome::None;
}

QString BenchSettingWrite::stateText(const DeviceHost *host) const
{
    const Run *run = runOf(host);
    return run ? run->text : QString();
}
