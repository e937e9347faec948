#pragma once

// The bench window over simulated devices on pseudo-terminals, with the scan under the test's
// control, every box answered, the polls each device receives timed, and the record in a folder
// of its own.

#include "app/benchwindow.h"
#include "app/devicehost.h"
#include "calib/calibrator.h"
#include "chart/chartmath.h"
#include "chart/chartview.h"
#include "panels/panelharness.h"
#include "records/calibrationrecord.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <memory>

class BenchHarness
{
public:
    // Short enough for quick tests, long enough that a period held is not timer noise.
    static constexpr int kPollPeriodMs = 250;

    BenchHarness()
    {
        registerPanels();
        MessageBoxes::setResponder([this](const MessageBoxes::Request &) {
            ++boxes;
            if (duringBox)
                duringBox();
            return QMessageBox::Ok;
        });
        record = new CalibrationRecord(folder.path());
        window = new BenchWindow(record);
        window->setDeviceScanner([this] { return devices; });
        window->setPollPeriodMs(kPollPeriodMs);
        clock.start();
    }
    ~BenchHarness()
    {
        delete window;
        qDeleteAll(sims);
        delete record;
        MessageBoxes::setResponder({});
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // A device of `model` listed under `serial`; its polls are timed from here on.
    SimulatedDevice *add(int model, const QString &serial)
    {
        auto *sim = new SimulatedDevice(simulatedModel(model));
        sims.append(sim);
        if (!sim->open())
            qWarning("simulator: %s", qPrintable(sim->errorString()));
        QObject::connect(sim, &SimulatedDevice::commandReceived, window,
                         [this, serial](const QByteArray &line) {
                             if (line.trimmed() == "ATCD" || line.trimmed() == "ATCH")
                                 polls[serial].append(clock.elapsed());
                         });
        devices.append({sim->portName(), serial});
        return sim;
    }
    void unplug(const QString &serial)
    {
        for (int i = devices.size() - 1; i >= 0; --i) {
            if (devices.at(i).serialNo == serial)
                devices.removeAt(i);
        }
        window->checkDevices();
    }
    void list(const QString &port, const QString &serial)
    {
        devices.append({port, serial});
        window->checkDevices();
    }
    DeviceHost *host(const QString &serial) const { return window->hostOf(serial); }
    bool waitState(const QStringList &serials, DeviceHost::State state, int timeoutMs = 8000) const
    {
        return QTest::qWaitFor(
            [&] {
                for (const QString &serial : serials) {
                    if (!host(serial) || host(serial)->state() != state)
                        return false;
                }
                return true;
            },
            timeoutMs);
    }
    // Whether the device's polls since `fromMs` came at the bench's period: on average within
    // 10 %, and none later than one and a half periods.
    bool keptPeriod(const QString &serial, qint64 fromMs) const
    {
        QList<qint64> times;
        for (qint64 t : polls.value(serial)) {
            if (t >= fromMs)
                times.append(t);
        }
        if (times.size() < 3)
            return false;
        const double mean = double(times.last() - times.first()) / (times.size() - 1);
        for (int i = 1; i < times.size(); ++i) {
            if (times.at(i) - times.at(i - 1) > kPollPeriodMs * 3 / 2)
                return false;
        }
        return qAbs(mean - kPollPeriodMs) <= kPollPeriodMs / 10.0;
    }
    // The refreshes the record holds for a serial: one per completed read of its settings.
    int recordedReads(const QString &serial) const
    {
        const QString name = QStringLiteral("bench-harness-read");
        int count = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(record->filePath());
            if (db.open()) {
                QSqlQuery query(db);
                query.prepare(
                    QStringLiteral("SELECT COUNT(*) FROM events WHERE kind = 'read' AND serial = ?"));
                query.addBindValue(serial);
                if (query.exec() && query.next())
                    count = query.value(0).toInt();
            }
        }
        QSqlDatabase::removeDatabase(name);
        return count;
    }
    // The times of the samples a device's first chart holds, oldest first.
    static QVector<double> chartTimes(const Calibrator *panel)
    {
        QVector<double> times;
        const ChartView *chart = panel ? panel->chart() : nullptr;
        for (int i = 0; chart && i < ChartView::kSampleCount; ++i) {
            if (chart->timeStamps()[i] != Chart::NoValue)
                times.append(chart->timeStamps()[i]);
        }
        return times;
    }

    QTemporaryDir folder;
    CalibrationRecord *record = nullptr;
    BenchWindow *window = nullptr;
    QList<SimulatedDevice *> sims;
    QList<Dev_info> devices;
    QMap<QString, QList<qint64>> polls;
    QElapsedTimer clock;
    std::function<void()> duringBox; // runs while a box is open, as long as the user reads it
    int boxes = 0;
};
