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

// Device events of the tty subsystem: from udev once its rules have run, or straight from the kernel where
// no udev daemon runs; and, for ports named by path, the creation and removal of files in their directories
// (a pseudo-terminal comes and goes without a device event). The sockets are read only when an event
// waits, so nothing runs while nothing is plugged.
class UdevChangeSource : public DeviceChangeSource
{
public:
    ~UdevChangeSource() override
    {
        delete m_notifier;
        delete m_fileNotifier;
        if (m_inotify >= 0)
            ::close(m_inotify);
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
        if (m_inotify >= 0) {
            delete m_fileNotifier;
            m_fileNotifier = nullptr;
            ::close(m_inotify);
            m_inotify = -1;
        }
        if (ports.isEmpty())
            return true;
        m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_inotify < 0)
            return false;
        QSet<QString> directories;
        for (const QString &port : ports)
            directories.insert(QFileInfo(port).absolutePath());
        for (const QString &directory : qAsConst(directories)) {
            if (::inotify_add_watch(m_inotify, QFile::encodeName(directory).constData(),
                                    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO) < 0)
                return false;
        }
        m_fileNotifier = new QSocketNotifier(m_inotify, QSocketNotifier::Read);
        QObject::connect(m_fileNotifier, &QSocketNotifier::activated, m_fileNotifier, [this] {
            char buffer[4096];
            while (::read(m_inotify, buffer, sizeof buffer) > 0) {
            }
            // Entries are checked on every scan: a file event only needs one to run.
            if (m_callback)
                m_callback();
        });
        return true;
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
            event.usbParent = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device") != nullptr;
            m_events.onEvent(event);
            udev_device_unref(device);
        }
    }

    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    EventChangeSource m_events;
    int m_inotify = -1;
    QSocketNotifier *m_fileNotifier = nullptr;
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
