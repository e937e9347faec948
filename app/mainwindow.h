#pragma once

#include "app/dev_info.h"
#include "app/linesplitter.h"
#include "calib/panelhost.h"

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QtGlobal>

#include <functional>

namespace Ui {
class MainWindow;
}
class AbstractCalibrator;
class QAction;
class QSerialPort;
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
    void setPollTimerActive(bool on) override;
    void setControlsEnabled(bool on) override;
    void showStatusMessage(const QString &text) override;

    void closeLumaWeaveDevice();
    void showDeviceSelection();
    bool openDevice(const Dev_info &dev);
    void requestVersion();
    bool setTQVersion(QString reply);
    bool isPortPresent(const QList<Dev_info> &devices);
    void onDeviceSelected(Dev_info dev);

    // Replaces the device scan (tests and demos); the default is scanDevices().
    void setDeviceScanner(DeviceScanner scanner);
    AbstractCalibrator *panel() const { return m_panel; }
    QWidget *panelWidget() const override;
    SelectDevice *deviceList() const { return m_selectDevice; }
    QTimer *pollTimer() const { return m_pollTimer; }
    QTimer *checkTimer() const { return m_checkTimer; }
    QByteArray pollCommand() const { return m_pollCommand; }
    bool isDeviceOpen() const;
    QString openPortName() const { return m_portName; }

public slots:
    void readData();
    void checkConnection();
    void writeATCDCommand();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void chooseRate(QAction *chosen, int periodMs);
    QList<QAction *> rateActions() const;
    void destroyLogWindow();
    void releasePanel(QWidget *panel);
    void releaseRetiredPanels();
    void onPortError(QSerialPort *port, int error);

    Ui::MainWindow *ui;
    QString m_serialNo;
    AbstractCalibrator *m_panel = nullptr;
    SelectDevice *m_selectDevice = nullptr;
    QTimer *m_checkTimer = nullptr;
    QTimer *m_pollTimer = nullptr;
    QSerialPort *m_port = nullptr;
    bool m_connected = false;
    bool m_wasConnected = false;

    QString m_portName;
    QByteArray m_pollCommand = QByteArrayLiteral("ATCD\r\n");
    LineSplitter m_splitter;
    DeviceScanner m_scan;
    QList<QPointer<QWidget>> m_retiredPanels;
    QtMessageHandler m_previousHandler = nullptr;
};
