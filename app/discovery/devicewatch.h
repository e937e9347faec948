#pragma once

#include "app/dev_info.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

#include <functional>
#include <memory>

class QTimer;
class UsbDeviceSource;

// Says when the set of present serial devices may have changed, so the scan of every second runs the
// costly full enumeration only then.
class DeviceChangeSource
{
public:
    virtual ~DeviceChangeSource() = default;
    // True on the first call and whenever something may have changed since the previous call.
    virtual bool takeChange() = 0;
    // Asks to be told of each change as it happens; false when the source learns of changes only when asked.
    virtual bool setChangeCallback(std::function<void()> callback)
    {
        Q_UNUSED(callback)
        return false;
    }
    // Asks to be told, through the callback, when the device files of these ports appear or vanish;
    // false when the source cannot watch all of them.
    virtual bool watchPortFiles(const QStringList &ports) { return ports.isEmpty(); }
};

// No way to learn of changes: every call is one, so every scan enumerates.
class AlwaysChanged : public DeviceChangeSource
{
public:
    bool takeChange() override { return true; }
};

// A kernel device event on the tty subsystem, as far as the scan cares.
struct TtyEvent
{
    enum Action
    {
        Add,
        Remove,
        Other, // change, bind, move ...
    };
    Action action = Other;
    bool usbParent = false;
};

// Collects device events between two scans; a burst of them makes one change.
class EventChangeSource : public DeviceChangeSource
{
public:
    void onEvent(const TtyEvent &event);
    bool takeChange() override;
    bool setChangeCallback(std::function<void()> callback) override;

private:
    bool m_changed = true;
    std::function<void()> m_callback;
};

// One entry of the tty class directory: its name, the node id the kernel gives it (a new one each
// time the device appears) and whether a USB device is its parent.
struct TtyEntry
{
    QString name;
    quint64 node = 0;
    bool usb = false;
};
using TtyLook = QVector<TtyEntry>;

// Whether the USB entries of two looks differ: one appeared, went, or came back as a new node.
bool usbTtysDiffer(const TtyLook &before, const TtyLook &after);

// Compares each look at the tty class directory with the one before.
class LookChangeSource : public DeviceChangeSource
{
public:
    // `look` gets the previous look, so it can skip what it already knows.
    using Look = std::function<TtyLook(const TtyLook &previous)>;
    explicit LookChangeSource(Look look) : m_look(std::move(look)) {}
    bool takeChange() override;

private:
    Look m_look;
    TtyLook m_last;
    bool m_first = true;
};

// The entries of a tty class directory such as /sys/class/tty; the USB parent is read from the link
// target, only for entries not already in `previous` with the same node.
TtyLook lookAtTtyClass(const QString &directory, const TtyLook &previous = {});

// The scan the main window runs every second: the full enumeration of `source` when `changes` reports a
// change and on the two scans after it (a device may still be being set up when first seen), otherwise
// the devices found last time. The TQ_CALIBRATOR_PORTS entries are read anew each time; one that names a
// device file (an absolute path) is listed only while the file exists, so a simulator's device leaves
// the list when the simulator ends.
class ChangeDrivenScan
{
public:
    ChangeDrivenScan(UsbDeviceSource &source, std::unique_ptr<DeviceChangeSource> changes);
    ~ChangeDrivenScan();
    QList<Dev_info> devices();
    int enumerationCount() const { return m_enumerations; }
    // Whether another scan now would only repeat the last one, and the source will tell of a change.
    bool isSettled() const { return m_notified && m_settleScans == 0 && m_portFilesWatched; }

    // The timer that runs the scans: stopped while the scan is settled, woken by a change to scan again
    // soon and then at its own interval. Once the scan is gone a timer it stopped runs again.
    void pauseWhileSettled(QTimer *timer);

private:
    void wake();
    QList<Dev_info> presentPortListEntries();

    UsbDeviceSource &m_source;
    std::unique_ptr<DeviceChangeSource> m_changes;
    QList<Dev_info> m_usbDevices;
    QStringList m_portFiles;
    bool m_portFilesWatched = true;
    int m_settleScans = 0;
    int m_enumerations = 0;
    bool m_notified = false;
    QPointer<QTimer> m_timer;
    int m_timerInterval = 0;
    bool m_paused = false;
};

// The scan a window runs every `checkTimer` tick: ChangeDrivenScan over this system's sources, the timer
// resting while the scan is settled. The scan is shared, so the function stays copyable.
std::function<QList<Dev_info>()> platformScanner(QTimer *checkTimer);

// The cheapest change source this system offers: device events through udev, or straight from the kernel
// where udev's daemon does not run, with inotify for port files; else looks at /sys/class/tty; else none
// (every scan enumerates, as on Windows).
std::unique_ptr<DeviceChangeSource> platformDeviceChangeSource();
