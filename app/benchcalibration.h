#pragma once

#include "calib/calibrationpoint.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>
#include <vector>

class DeviceHost;

// One reference gas for several devices of the bench in one chamber: each device runs its own
// Procedure on its own session, with its own stability, result, record event and certificate.
// A device that cannot take the point is refused alone, and nothing is written to it; one that
// goes ends its own procedure as incomplete. Nothing here waits on a device.
class BenchCalibration : public QObject
{
    Q_OBJECT
public:
    explicit BenchCalibration(QObject *parent = nullptr);
    ~BenchCalibration() override;

    void setTimes(const std::optional<CalibrationTimes> &times) { m_times = times; }
    // The channel by its live field's name ("CO2") and the unit the reference is given in: a
    // device of any model whose channel of that name reads in that unit can take the point.
    // Returns how many procedures started; the others are refused with the reason.
    int start(const QList<DeviceHost *> &hosts, const ReferenceEntry &entry, const QString &channelName,
              const QString &unit);
    // The gas is in the chamber: every device waiting for it starts settling.
    void gasApplied();
    void abort();

    bool isRunning() const;
    bool isWaitingForGas() const;
    QList<DeviceHost *> hosts() const;
    // What the device is waiting for or how it ended ("settling 40 %", "PASS", "refused: …").
    QString stateText(const DeviceHost *host) const;
    // The procedure's last step; Idle for a refused device or one not in this run.
    Procedure::Step step(const DeviceHost *host) const;
    std::optional<ProcedureReport> report(const DeviceHost *host) const;
    // One certificate per passed device into `folder`, named by its number; a line per device.
    QStringList saveCertificates(const QString &folder) const;

signals:
    void changed(DeviceHost *host);
    // Every procedure of the run has ended.
    void finished();

private:
    struct Run
    {
        QPointer<DeviceHost> host;
        CalibrationDevice device;
        ReferenceEntry entry;
        QPointer<Procedure> procedure;
        QStringList lastFields;
        QString text;
        std::optional<ProcedureReport> report;
    };

    Run *runOf(const DeviceHost *host) const;
    bool prepare(Run &run, const QString &channelName, const QString &unit, ProcedurePoint *point);
    void showStep(Run &run);
    void ended(Run &run);

    std::vector<std::unique_ptr<Run>> m_runs;
    std::optional<CalibrationTimes> m_times;
};
