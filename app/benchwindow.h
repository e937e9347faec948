#pragma once

#include "app/dev_info.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QSet>

#include <functional>

namespace Ui {
class BenchWindow;
}
class BenchCalibration;
class BenchSettingWrite;
class CalibrationRecord;
class DeviceHost;
class QTimer;

// Every listed device at once, one row and one panel tab each. Devices plugged in later join;
// a device that goes keeps its row and panel, and is attached again when its serial comes back.
class BenchWindow : public QMainWindow
{
    Q_OBJECT
public:
    enum Column
    {
        ModelColumn,
        SerialColumn,
        FirmwareColumn,
        PortColumn,
        ValuesColumn,
        StabilityColumn,
        CalibrationColumn,
        StateColumn,
        ProcedureColumn, // what a calibration or setting write of the selected devices waits for
        StatusColumn,
    };
    using DeviceScanner = std::function<QList<Dev_info>()>;

    // Events go to `record`; with none the bench keeps its own in the user's data folder.
    explicit BenchWindow(CalibrationRecord *record = nullptr, QWidget *parent = nullptr);
    ~BenchWindow() override;

    // Replaces the device scan (tests and demos); the default is the platform's.
    void setDeviceScanner(DeviceScanner scanner);
    void setPollPeriodMs(int ms);
    int pollPeriodMs() const { return m_pollPeriodMs; }
    QList<DeviceHost *> hosts() const { return m_hosts; }
    // The devices whose rows are selected, in row order.
    QList<DeviceHost *> selectedHosts() const;
    DeviceHost *hostOf(const QString &serial) const;
    QString cellText(DeviceHost *host, Column column) const;
    void showPanel(DeviceHost *host);
    BenchCalibration *calibration() const { return m_calibration; }
    BenchSettingWrite *settingWrite() const { return m_settingWrite; }
    // Opens the reference gas form for the selected devices (a check decides and writes nothing).
    void calibrateSelected(bool checkOnly);
    // Opens the setting form for the selected devices; refused with a message when of several models.
    void writeSettingToSelected();

public slots:
    // Marks devices no longer listed as gone, re-attaches those that came back and adds new ones.
    void checkDevices();

private:
    void addHost(const Dev_info &device);
    void updateRow(DeviceHost *host);
    void updateChangedRows();

    Ui::BenchWindow *ui;
    CalibrationRecord *m_record;
    QTimer *m_checkTimer;
    DeviceScanner m_scan;
    QList<DeviceHost *> m_hosts;  // in row order
    QSet<DeviceHost *> m_changed; // rows to show anew at the next update
    QTimer *m_rowTimer;
    int m_pollPeriodMs;
    BenchCalibration *m_calibration;
    BenchSettingWrite *m_settingWrite;
    QHash<DeviceHost *, QString> m_procedureText; // the last calibration or write each row took part in
};
