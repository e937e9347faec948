#include "app/discovery/devicewatch.h"

#include "app/discovery/devicescan.h"

#include <QFileInfo>
#include <QTimer>

namespace {

const int kSettleScans = 2;
// A plug comes as a burst of events (the USB device, its interfaces, the tty): scan once it has passed.
const int kWakeDelayMs = 100;

} // namespace

void EventChangeSource::onEvent(const TtyEvent &event)
{
    // A removed device's parents are gone from sysfs by the time the event is read, so every removal counts.
    if (event.action != TtyEvent::Remove && !(event.action == TtyEvent::Add && event.usbParent))
        return;
    m_changed = true;
    if (m_callback)
        m_callback();
}

bool EventChangeSource::setChangeCallback(std::function<void()> callback)
{
    m_callback = std::move(callback);
    return true;
}

bool EventChangeSource::takeChange()
{
    const bool changed = m_changed;
    m_changed = false;
    return changed;
}

bool usbTtysDiffer(const TtyLook &before, const TtyLook &after)
{
    auto usbOnly = [](const TtyLook &look) {
        QVector<QPair<QString, quint64>> entries;
        for (const TtyEntry &entry : look) {
            if (entry.usb)
                entries.append({entry.name, entry.node});
        }
        std::sort(entries.begin(), entries.end());
        return entries;
    };
    return usbOnly(before) != usbOnly(after);
}

bool LookChangeSource::takeChange()
{
    TtyLook look = m_look(m_last);
    const bool changed = m_first || usbTtysDiffer(m_last, look);
    m_first = false;
    m_last = std::move(look);
    return changed;
}

ChangeDrivenScan::ChangeDrivenScan(UsbDeviceSource &source, std::unique_ptr<DeviceChangeSource> changes)
    : m_source(source), m_changes(std::move(changes))
{
    m_notified = m_changes->setChangeCallback([this] { wake(); });
}

ChangeDrivenScan::~ChangeDrivenScan()
{
    m_changes->setChangeCallback(nullptr);
    if (m_timer && m_paused)
        m_timer->start(m_timerInterval);
}

void ChangeDrivenScan::pauseWhileSettled(QTimer *timer)
{
    m_timer = timer;
    m_timerInterval = timer ? timer->interval() : 0;
}

void ChangeDrivenScan::wake()
{
    if (!m_timer || !m_paused)
        return;
    m_paused = false;
    m_timer->start(kWakeDelayMs);
}

QList<Dev_info> ChangeDrivenScan::devices()
{
    if (m_changes->takeChange())
        m_settleScans = kSettleScans + 1;
    if (m_settleScans > 0) {
        --m_settleScans;
        ++m_enumerations;
        m_usbDevices = devicesFromRecords(m_source.presentUsbDevices());
    }
    const QList<Dev_info> entries = presentPortListEntries();
    if (m_timer && isSettled() && m_timer->isActive()) {
        m_timer->stop();
        m_timer->setInterval(m_timerInterval);
        m_paused = true;
    } else if (m_timer && m_timer->isActive() && m_timer->interval() != m_timerInterval) {
        m_timer->start(m_timerInterval);
    }
    return m_usbDevices + entries;
}

QList<Dev_info> ChangeDrivenScan::presentPortListEntries()
{
    QList<Dev_info> present;
    QStringList files;
    for (const Dev_info &entry : devicesFromPortList(qEnvironmentVariable("TQ_CALIBRATOR_PORTS"))) {
        if (entry.port.startsWith(QLatin1Char('/'))) {
            files << entry.port;
            if (!QFileInfo::exists(entry.port))
                continue;
        }
        present << entry;
    }
    if (files != m_portFiles) {
        m_portFiles = files;
        m_portFilesWatched = m_changes->watchPortFiles(files);
    }
    return present;
}

std::function<QList<Dev_info>()> platformScanner(QTimer *checkTimer)
{
    auto scan = std::make_shared<ChangeDrivenScan>(platformUsbDeviceSource(), platformDeviceChangeSource());
    scan->pauseWhileSettled(checkTimer);
    return [scan] { return scan->devices(); };
}

#ifndef Q_OS_LINUX
std::unique_ptr<DeviceChangeSource> platformDeviceChangeSource()
{
    return std::make_unique<AlwaysChanged>();
}
#endif
