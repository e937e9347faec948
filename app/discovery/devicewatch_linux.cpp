#include "app/discovery/devicewatch.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSocketNotifier>

#include <cstring>
#include <dirent.h>
#include <sys/inotify.h>
#include <unistd.h>

#ifdef TQ_HAVE_LIBUDEV
#include <libudev.h>
#endif

namespace {

const char kTtyClass[] = "/sys/class/tty";

// The link of a class entry points into the device tree; a USB device there has a "usbN" bus directory.
bool linkHasUsbParent(const QString &path)
{
    char target[4096];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), target, sizeof target - 1);
    if (n <= 0)
        return false;
    target[n] = '\0';
    return std::strstr(target, "/usb") != nullptr;
}

#ifdef TQ_HAVE_LIBUDEV

// The creation and removal of the device files of ports named by path: a pseudo-terminal comes and goes
// without a device event. Only events on those names count; the directory may be busy with others.
class PortFileWatch
{
public:
    ~PortFileWatch() { stop(); }

    bool watch(const QStringList &ports, std::function<void()> onChange)
    {
        stop();
        if (ports.isEmpty())
            return true;
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd < 0)
            return false;
        for (const QString &port : ports) {
            const QFileInfo file(port);
            const int wd = ::inotify_add_watch(m_fd, QFile::encodeName(file.absolutePath()).constData(),
                                               IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO);
            if (wd < 0) {
                stop();
                return false;
            }
            m_names[wd].insert(QFile::encodeName(file.fileName()));
        }
        m_onChange = std::move(onChange);
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier, [this] { readEvents(); });
        return true;
    }

    void stop()
    {
        delete m_notifier;
        m_notifier = nullptr;
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_names.clear();
    }

private:
    void readEvents()
    {
        bool relevant = false;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(m_fd, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                if ((event->mask & IN_Q_OVERFLOW) ||
                    (event->len > 0 && m_names.value(event->wd).contains(QByteArray(event->name))))
                    relevant = true;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        if (relevant && m_onChange)
            m_onChange();
    }

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    QHash<int, QSet<QByteArray>> m_names; // by watch
    std::function<void()> m_onChange;
};

// Device events of the tty subsystem: from udev once its rules have run, or straight from the kernel where
// no udev daemon runs; and the files of ports named by path. The sockets are read only when an event
// waits, so nothing runs while nothing is plugged.
class UdevChangeSource : public DeviceChangeSource
{
public:
    ~UdevChangeSource() override
    {
        delete m_notifier;
        if (m_monitor)
            udev_monitor_unref(m_monitor);
        if (m_udev)
            udev_unref(m_udev);
    }

    static std::unique_ptr<DeviceChangeSource> create()
    {
        // Without its daemon udev passes on no events at all.
        const bool udevRuns = ::access("/run/udev/control", F_OK) == 0;
        auto source = std::make_unique<UdevChangeSource>();
        if (!source->start(udevRuns ? "udev" : "kernel"))
            return nullptr;
        return source;
    }

    bool takeChange() override { return m_events.takeChange(); }
    bool setChangeCallback(std::function<void()> callback) override
    {
        m_callback = callback;
        return m_events.setChangeCallback(std::move(callback));
    }

    bool watchPortFiles(const QStringList &ports) override
    {
        return m_files.watch(ports, [this] {
            if (m_callback)
                m_callback();
        });
    }

private:
    bool start(const char *eventSource)
    {
        m_udev = udev_new();
        if (!m_udev)
            return false;
        m_monitor = udev_monitor_new_from_netlink(m_udev, eventSource);
        if (!m_monitor || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "tty", nullptr) < 0 ||
            udev_monitor_enable_receiving(m_monitor) < 0)
            return false;
        const int fd = udev_monitor_get_fd(m_monitor);
        if (fd < 0)
            return false;
        m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
        QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier, [this] { readEvents(); });
        return true;
    }

    void readEvents()
    {
        while (udev_device *device = udev_monitor_receive_device(m_monitor)) {
            TtyEvent event;
            const char *action = udev_device_get_action(device);
            if (action && std::strcmp(action, "add") == 0)
                event.action = TtyEvent::Add;
            else if (action && std::strcmp(action, "remove") == 0)
                event.action = TtyEvent::Remove;
            event.usbParent =
                udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device") != nullptr;
            m_events.onEvent(event);
            udev_device_unref(device);
        }
    }

    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    EventChangeSource m_events;
    PortFileWatch m_files;
    std::function<void()> m_callback;
};

#endif

} // namespace

TtyLook lookAtTtyClass(const QString &directory, const TtyLook &previous)
{
    QHash<QString, const TtyEntry *> known;
    for (const TtyEntry &entry : previous)
        known.insert(entry.name, &entry);

    TtyLook look;
    DIR *dir = ::opendir(QFile::encodeName(directory).constData());
    if (!dir)
        return look;
    look.reserve(previous.size());
    while (const dirent *item = ::readdir(dir)) {
        if (item->d_name[0] == '.')
            continue;
        TtyEntry entry{QFile::decodeName(item->d_name), quint64(item->d_ino), false};
        const TtyEntry *before = known.value(entry.name);
        entry.usb = before && before->node == entry.node ? before->usb
                                                         : linkHasUsbParent(directory + '/' + entry.name);
        look.append(entry);
    }
    ::closedir(dir);
    return look;
}

std::unique_ptr<DeviceChangeSource> platformDeviceChangeSource()
{
#ifdef TQ_HAVE_LIBUDEV
    if (auto udev = UdevChangeSource::create())
        return udev;
#endif
    if (::access(kTtyClass, R_OK) == 0)
        return std::make_unique<LookChangeSource>(
            [](const TtyLook &previous) { return lookAtTtyClass(QString::fromLatin1(kTtyClass), previous); });
    return std::make_unique<AlwaysChanged>();
}
