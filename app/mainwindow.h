#pragma once

#include "app/dev_info.h"
#include "calib/panelhost.h"
#include "records/recordsdatabase.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QtGlobal>

#include <functional>

namespace Ui {
class MainWindow;
}
class AbstractCalibrator;
class CalibrationRecord;
class LabSync;
class LiveRecorder;
class QAction;
class QLabel;
class RecordsWindow;

class DeviceSession;
struct DeviceIdentity;
class QTimer;
class SelectDevice;

// The tool's one window: lists attached devices, owns the serial port and the current model panel,
// and offers the panels the channel, the poll timer and the status bar.
class MainWindow : public QMainWindow, public PanelHost
{
    Q_OBJECT
public:
    using DeviceScanner = std::function<QList<Dev_info>()>;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Operations the panels call.
    bool writeData(const QByteArray &bytes) override;
    Conversation *conversation() const override;
    void setPollTimerActive(bool on) override;
    int pollPeriodMs() const override { return m_pollPeriodMs; }
    // The poll period as the Rate menu sets it, its mark on the matching entry if there is one.
    void setPollPeriodMs(int ms);
    int commandDelayMs() const override { return m_commandDelayMs; }
    void setCommandDelayMs(int ms) { m_commandDelayMs = ms; }
    void setControlsEnabled(bool on) override;
    void showStatusMessage(const QString &text) override;

    void closeLumaWeaveDevice();
    void showDeviceSelection();
    bool openDevice(const Dev_info &dev);
    bool isPortPresent(const QList<Dev_info> &devices);
    void onDeviceSelected(Dev_info dev);

    // Replaces the device scan (tests and demos); the default is scanDevices().
    void setDeviceScanner(DeviceScanner scanner);
    AbstractCalibrator *panel() const { return m_panel; }
    QWidget *panelWidget() const override;
    CalibrationRecord *calibrationRecord() const override { return m_record; }
    SelectDevice *deviceList() const { return m_selectDevice; }
    QTimer *pollTimer() const;
    // The open device's session; it lives as long as the window and is reopened per device.
    DeviceSession *session() const override { return m_session; }
    // Read from the settings file for each new panel, so a changed limit counts from the next device.
    StabilitySettings::Table stabilityTable() const override;
    QTimer *checkTimer() const { return m_checkTimer; }
    QByteArray pollCommand() const;
    bool isDeviceOpen() const;
    QString openPortName() const { return m_portName; }
    // Records the current panel's live values ("Record").
    LiveRecorder *liveRecorder() const { return m_recorder; }
    // The calibration record of the current device, or of any recorded one.
    RecordsWindow *showRecordsWindow();

public slots:
    void checkConnection();
    void writeATCDCommand();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void chooseRate(QAction *chosen);
    QList<QAction *> rateActions() const;
    void destroyLogWindow();
    void releasePanel(QWidget *panel);
    void releaseRetiredPanels();
    void onDeviceLost();
    // The device went away: a panel that can wait for it stays open, otherwise the list comes back.
    void deviceWentAway();
    // The device kept waited for, listed again under its serial: opened and identified anew.
    void reattach(const QList<Dev_info> &devices);
    void openBench();
    void onIdentified(const DeviceIdentity &identity);
    void onNotSupported();
    void setUpRecording();
    // The upload to the lab database (when one is configured) and the due dates of connected sensors.
    void setUpLabRecords();
    void checkDue(const QString &model, const QString &serial);
    void showDue(const QString &model, const QString &serial, const QString &text);
    void toggleRecording(bool on);
    RecordedDevice currentDevice() const;
    QList<QImage> currentCharts() const;

    Ui::MainWindow *ui;
    QString m_serialNo;
    AbstractCalibrator *m_panel = nullptr;
    SelectDevice *m_selectDevice = nullptr;
    QTimer *m_checkTimer = nullptr;
    DeviceSession *m_session = nullptr;
    bool m_deviceOpen = false;
    bool m_connected = false;
    bool m_wasConnected = false;
    int m_pollPeriodMs = 0; // set in the constructor
    int m_commandDelayMs = kDefaultCommandDelayMs;

    QString m_portName;
    DeviceScanner m_scan;
    QList<QPointer<QWidget>> m_retiredPanels;
    CalibrationRecord *m_record = nullptr;
    QtMessageHandler m_previousHandler = nullptr;
    LiveRecorder *m_recorder = nullptr;
    QLabel *m_recordLabel = nullptr;
    LabSync *m_labSync = nullptr; // only with a lab database configured
    QLabel *m_labLabel = nullptr; // "records: N waiting for the lab database"
    QLabel *m_dueLabel = nullptr; // above the panel of a sensor that is due
    RecordedDevice m_dueFor;      // the sensor whose due date was asked for last
    QPointer<RecordsWindow> m_recordsWindow;
    QPointer<QWidget> m_bench;
    bool m_gone = false; // the panel waits for its device to come back
};
