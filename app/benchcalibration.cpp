#include "app/benchcalibration.h"

#include "app/devicehost.h"
#include "calib/calibrator.h"
#include "device/devicemodels.h"
#include "device/devicesession.h"
#include "records/calibrationrecord.h"
#include "records/certificate.h"

#include <QDir>

BenchCalibration::BenchCalibration(QObject *parent) : QObject(parent) {}

BenchCalibration::~BenchCalibration()
{
    // Nothing more is written once the run is gone, and each panel gets its inputs back.
    abort();
}

int BenchCalibration::start(const QList<DeviceHost *> &hosts, const ReferenceEntry &entry,
                            const QString &channelName, const QString &unit)
{
    if (isRunning())
        return 0;
    for (const auto &run : m_runs)
        delete run->procedure;
    m_runs.clear();
    int started = 0;
    for (DeviceHost *host : hosts) {
        auto run = std::make_unique<Run>();
        run->host = host;
        run->entry = entry;
        Run &r = *run;
        m_runs.push_back(std::move(run));
        ProcedurePoint point;
        if (!prepare(r, channelName, unit, &point)) {
            emit changed(host);
            continue;
        }
        Calibrator *panel = host->panel();
        r.procedure = new Procedure(host->session(), point, this);
        connect(r.procedure, &Procedure::stepChanged, this, [this, &r] { showStep(r); });
        connect(r.procedure, &Procedure::finished, this, [this, &r] { ended(r); });
        connect(host->session(), &DeviceSession::liveSample, r.procedure, [this, &r](const LiveSample &s) {
            if (r.procedure->isFinished())
                return;
            r.lastFields = s.fields;
            showStep(r);
        });
        connect(host, &DeviceHost::changed, r.procedure, [&r] {
            if (r.host && r.host->state() == DeviceHost::State::Gone)
                r.procedure->deviceGone(r.host->statusText());
        });
        // The panel writes nothing of its own meanwhile, as under the single-device dialog.
        panel->setProcedureRunning(true);
        r.procedure->start();
        if (!r.procedure->isFinished())
            ++started;
    }
    if (!isRunning())
        emit finished();
    return started;
}

bool BenchCalibration::prepare(Run &run, const QString &channelName, const QString &unit,
                               ProcedurePoint *point)
{
    DeviceHost *host = run.host;
    Calibrator *panel = host->panel();
    const auto refuse = [&run](const QString &why) {
        run.text = tr("refused: %1").arg(why);
        return false;
    };
    if (host->state() != DeviceHost::State::Ready || !panel)
        return refuse(tr("the device is %1").arg(DeviceHost::stateText(host->state())));
    if (panel->isProcedureRunning())
        return refuse(tr("a procedure is already running on it"));
    run.device = panel->calibrationDevice();
    const QString model = DeviceModels::name(run.device.model);
    run.entry.channel = 0;
    for (const StabilityDefaults::Channel &row : run.device.table.rows(run.device.model)) {
        if (run.device.channelName(row.channel) == channelName)
            run.entry.channel = row.channel;
    }
    if (run.entry.channel == 0)
        return refuse(tr("%1 has no %2 channel").arg(model, channelName));
    const QString own = run.device.unit(run.entry.channel);
    if (own != unit)
        return refuse(tr("%1 reads in %2, the reference is in %3").arg(channelName, own, unit));
    QString why;
    const std::optional<ProcedurePoint> p = CalibrationPoint::make(run.device, run.entry, m_times, &why);
    if (!p)
        return refuse(why);
    *point = *p;
    // One chamber for many devices: no one device can ask at its time-out, it ends timed out.
    point->askAtTimeout = false;
    return true;
}

void BenchCalibration::gasApplied()
{
    for (const auto &run : m_runs) {
        if (run->procedure)
            run->procedure->gasApplied();
    }
}

void BenchCalibration::abort()
{
    for (const auto &run : m_runs) {
        if (run->procedure && !run->procedure->isFinished())
            run->procedure->abort();
    }
}

bool BenchCalibration::isRunning() const
{
    for (const auto &run : m_runs) {
        if (run->procedure && !run->procedure->isFinished())
            return true;
    }
    return false;
}

bool BenchCalibration::isWaitingForGas() const
{
    for (const auto &run : m_runs) {
        if (run->procedure && run->procedure->step() == Procedure::Step::Applying)
            return true;
    }
    return false;
}

QList<DeviceHost *> BenchCalibration::hosts() const
{
    QList<DeviceHost *> hosts;
    for (const auto &run : m_runs) {
        if (run->host)
            hosts.append(run->host);
    }
    return hosts;
}

BenchCalibration::Run *BenchCalibration::runOf(const DeviceHost *host) const
{
    for (const auto &run : m_runs) {
        if (run->host == host)
            return run.get();
    }
    return nullptr;
}

QString BenchCalibration::stateText(const DeviceHost *host) const
{
    const Run *run = runOf(host);
    return run ? run->text : QString();
}

Procedure::Step BenchCalibration::step(const DeviceHost *host) const
{
    const Run *run = runOf(host);
    return run && run->procedure ? run->procedure->step() : Procedure::Step::Idle;
}

std::optional<ProcedureReport> BenchCalibration::report(const DeviceHost *host) const
{
    const Run *run = runOf(host);
    return run ? run->report : std::nullopt;
}

void BenchCalibration::showStep(Run &run)
{
    const Procedure *p = run.procedure;
    const QString reason = p->reason();
    const auto settling = [p](const QString &which) {
        const StabilityTracker &t = p->tracker();
        const int percent = qRound(100 * Stability::progress(t.figures(), t.limits(), t.elapsed()));
        return tr("settling %1 % (%2)").arg(percent).arg(which);
    };
    switch (p->step()) {
    case Procedure::Step::Idle:
        run.text.clear();
        break;
    case Procedure::Step::Applying:
        run.text = tr("waiting for gas");
        break;
    case Procedure::Step::WaitingForStable:
        run.text = settling(tr("as found"));
        break;
    case Procedure::Step::AsFound:
        run.text = tr("as found");
        break;
    case Procedure::Step::Adjusting:
        run.text = tr("adjusting");
        break;
    case Procedure::Step::WaitingAfterAdjust:
        run.text = settling(tr("as left"));
        break;
    case Procedure::Step::AsLeft:
        run.text = tr("as left");
        break;
    case Procedure::Step::Passed:
        run.text = tr("PASS");
        break;
    case Procedure::Step::Failed:
        run.text = tr("FAIL: %1").arg(reason);
        break;
    case Procedure::Step::Refused:
        run.text = tr("refused: %1").arg(reason);
        break;
    case Procedure::Step::Aborted:
        run.text = tr("aborted");
        break;
    case Procedure::Step::Unplugged:
        run.text = tr("gone: incomplete");
        break;
    case Procedure::Step::TimedOut:
        run.text = tr("not stable in time");
        break;
    }
    if (run.host)
        emit changed(run.host);
}

void BenchCalibration::ended(Run &run)
{
    showStep(run);
    run.report = CalibrationPoint::report(run.device, *run.procedure, run.entry, run.lastFields);
    if (run.device.record && !run.device.record->append(run.report->toEvent()))
        run.text += QLatin1String("; ") + run.device.record->unavailableMessage();
    if (Calibrator *panel = run.host ? run.host->panel() : nullptr) {
        panel->setProcedureRunning(false);
        // What the panel shows is out of date after a write.
        if (!run.procedure->writes().isEmpty() && run.host->state() != DeviceHost::State::Gone)
            panel->writeRefresh();
    }
    if (run.host)
        emit changed(run.host);
    if (!isRunning())
        emit finished();
}

QStringList BenchCalibration::saveCertificates(const QString &folder) const
{
    QStringList lines;
    for (const auto &run : m_runs) {
        if (!run->report || !run->report->isComplete() || !run->procedure ||
            run->procedure->step() != Procedure::Step::Passed)
            continue;
        Certificate certificate(*run->report);
        const QString path = QDir(folder).filePath(certificate.number() + QLatin1String(".pdf"));
        lines.append(
            certificate.write(path)
                ? tr("%1: certificate %2 written").arg(run->device.serial, QDir::toNativeSeparators(path))
                : tr("%1: certificate not written: %2").arg(run->device.serial, certificate.errorString()));
    }
    return lines;
}
