#pragma once

#include "device/stabilitysettings.h"

#include <QByteArray>
#include <QString>

class CalibrationRecord;
class Conversation;
class DeviceSession;
class QWidget;

// What a panel needs of the window that shows it: the serial channel, the poll, the controls and
// the status bar. The main window implements it; tests drive the panel mechanism with a fake.
class PanelHost
{
public:
    virtual ~PanelHost() = default;
    // Writes the poll when no command is on the wire; true when at least one byte was accepted.
    virtual bool writeData(const QByteArray &bytes) = 0;
    // The conversation with the open device, or nullptr when none is open.
    virtual Conversation *conversation() const = 0;
    virtual void setPollTimerActive(bool on) = 0;
    // The poll period in milliseconds the host polls at (and the charts span).
    virtual int pollPeriodMs() const = 0;
    // The Rate menu and the current panel's inputs.
    virtual void setControlsEnabled(bool on) = 0;
    virtual void showStatusMessage(const QString &text) = 0;
    // The panel the host shows now, or nullptr.
    virtual QWidget *panelWidget() const = 0;
    // Where the panels record what they read, write and do; nullptr keeps no record. Asked when a
    // panel is created, so it must outlive the panels.
    virtual CalibrationRecord *calibrationRecord() const { return nullptr; }
    // How long a refresh or an apply waits before its first command, so the device has answered
    // its last poll; tests that drive many sequences shorten it.
    static constexpr int kDefaultCommandDelayMs = 500;
    virtual int commandDelayMs() const { return kDefaultCommandDelayMs; }
    // The session of the open device, for a calibration procedure; nullptr offers none.
    virtual DeviceSession *session() const { return nullptr; }
    // The stability limits as the settings file holds them; asked when a panel is created.
    virtual StabilitySettings::Table stabilityTable() const { return {}; }
};
