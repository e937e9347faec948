#pragma once

#include "app/dev_info.h"
#include "calib/panelhost.h"
#include "device/devicesession.h"
#include "device/stability.h"

#include <QDateTime>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class Calibrator;
class QIODevice;

// One device of the bench: its own session and its own panel, which it hosts as the main window
// hosts its one panel. When the device goes, the panel and its chart stay; when a device with the
// same serial and model comes back, on any port, the session re-attaches and the panel reads it
// afresh. Hosts never wait on each other.
class DeviceHost : public QWidget, public PanelHost
{
    Q_OBJECT
public:
    enum class State
    {
        Connecting,
        Refreshing,
        Ready,
        Error,
        Gone
    };
    Q_ENUM(State)

    explicit DeviceHost(CalibrationRecord *record, QWidget *parent = nullptr);
    ~DeviceHost() override;

    // Opens the port and asks who is there; false (state Error, statusText() says why) when the
    // port does not open.
    bool open(const Dev_info &device);
    // The same over a device already open (tests); the host does not own it.
    void attach(QIODevice *device, const Dev_info &info);
    // Whether a listed device may take this host's place: only the same serial, and only while gone.
    bool takesBack(const Dev_info &device) const;
    // The device was unplugged or its port failed: state Gone, panel and chart kept.
    void markGone(const QString &why);

    State state() const { return m_state; }
    static QString stateText(State state);
    QString statusText() const { return m_status; }
    Dev_info device() const { return m_device; }
    DeviceIdentity identity() const { return m_identity; }
    DeviceSession *session() const { return m_session; }
    Calibrator *panel() const;
    // The last live fields, each with its unit ("412 ppm").
    QStringList liveValues() const;
    // "settling" or "stable" for the model's first channel; empty before any verdict can be given.
    QString stability() const;
    // The device's last calibration time as the last refresh read it; invalid when unknown.
    QDateTime lastCalibration() const;
    int liveSampleCount() const { return m_liveSamples; }

    void setPollPeriodMs(int ms);
    // Whether the panel can be seen: its charts draw only then.
    void setOnScreen(bool on);

    // PanelHost
    bool writeData(const QByteArray &bytes) override;
    Conversation *conversation() const override;
    void setPollTimerActive(bool on) override;
    int pollPeriodMs() const override { return m_session->pollPeriod(); }
    void setControlsEnabled(bool on) override;
    void showStatusMessage(const QString &text) override;
    QWidget *panelWidget() const override;
    CalibrationRecord *calibrationRecord() const override { return m_record; }

signals:
    // State, status, values or stability changed.
    void changed();

private:
    void setState(State state);
    void onIdentified(const DeviceIdentity &identity);
    void failIdentification(const QString &why);
    void onLiveValues(const QDateTime &pollTime, const QStringList &fields);
    void startOn(const Dev_info &device);

    DeviceSession *m_session;
    CalibrationRecord *m_record;
    QPointer<QWidget> m_panel;
    Dev_info m_device;
    DeviceIdentity m_identity;
    State m_state = State::Connecting;
    QString m_status;
    QStringList m_fields;
    StabilityTracker m_stability;
    int m_stabilityField = -1;
    int m_liveSamples = 0;
    bool m_onScreen = false;
    bool m_current = false; // identified as this host's device on the port open now
};
