#include "app/discovery/devicescan.h"
#include "app/discovery/devicewatch.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

UsbDeviceRecord tqRecord(const QString &node)
{
    return usbRecordForSerialPort(0x04d8, 0x000a, "TQ_SERIES__" + node.section('/', -1), node);
}

class FakeSource : public UsbDeviceSource
{
public:
    QList<UsbDeviceRecord> records;
    QList<UsbDeviceRecord> presentUsbDevices() override { return records; }
};

// "ttyACM0:7:usb ttyS0:3": name, node id, and whether a USB device is the parent.
TtyLook lookOf(const QString &text)
{
    TtyLook look;
    for (const QString &item : text.split(' ', Qt::SkipEmptyParts))
        look.append(TtyEntry{item.section(':', 0, 0), item.section(':', 1, 1).toULongLong(),
                             item.section(':', 2, 2) == "usb"});
    return look;
}

} // namespace

class TestDeviceWatch : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { qunsetenv("TQ_CALIBRATOR_PORTS"); }

    // Steps between scans: "+X" plugs device X (an add event with a USB parent), "-X" unplugs it (a
    // remove event), "~" is an add event of a tty without a USB parent, "|" is a scan. `enumerated` has
    // one letter per scan: E when it ran the full enumeration, . when it used what it knew.
    void scan_eventsBetweenScans_enumeratesAfterChangesOnly_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("enumerated");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("start, then quiet") << "+A | | | | |"
                                           << "EEE.." << QStringList{"/dev/ttyACM0"};
        QTest::newRow("plug") << "| | | | +A | | | |"
                              << "EEE.EEE." << QStringList{"/dev/ttyACM0"};
        QTest::newRow("unplug") << "+A | | | | -A | | | |"
                                << "EEE.EEE." << QStringList();
        QTest::newRow("replug of the same device") << "+A | | | | -A +A | | | |"
                                                   << "EEE.EEE." << QStringList{"/dev/ttyACM0"};
        QTest::newRow("burst of events, one enumeration")
            << "| | | | -A +A -A +A +B -B +B +A -A +A | | | |"
            << "EEE.EEE." << QStringList{"/dev/ttyACM0", "/dev/ttyACM1"};
        QTest::newRow("a tty without a USB parent") << "+A | | | | ~ | | ~ ~ |"
                                                    << "EEE...." << QStringList{"/dev/ttyACM0"};
    }
    void scan_eventsBetweenScans_enumeratesAfterChangesOnly()
    {
        QFETCH(QString, steps);
        QFETCH(QString, enumerated);
        QFETCH(QStringList, listed);
        FakeSource source;
        auto events = std::make_unique<EventChangeSource>();
        EventChangeSource *feed = events.get();
        ChangeDrivenScan scan(source, std::move(events));
        qputenv("TQ_CALIBRATOR_PORTS", "COM9=SIM-9");
        const QHash<QString, QString> nodes{{"A", "/dev/ttyACM0"}, {"B", "/dev/ttyACM1"}};

        QString got;
        QList<Dev_info> devices;
        for (const QString &step : steps.split(' ')) {
            if (step == "|") {
                const int before = scan.enumerationCount();
                devices = scan.devices();
                got += scan.enumerationCount() > before ? 'E' : '.';
            } else if (step == "~") {
                feed->onEvent({TtyEvent::Add, false});
            } else if (step.startsWith('+')) {
                source.records.append(tqRecord(nodes[step.mid(1)]));
                feed->onEvent({TtyEvent::Add, true});
            } else {
                const QString node = nodes[step.mid(1)];
                source.records.erase(
                    std::remove_if(source.records.begin(), source.records.end(),
                                   [&](const UsbDeviceRecord &r) { return r.deviceNode == node; }),
                    source.records.end());
                feed->onEvent({TtyEvent::Remove, false}); // a removed device has no parents left to read
            }
        }
        QCOMPARE(got, enumerated);
        QStringList ports;
        for (const Dev_info &device : devices)
            ports << device.port;
        std::sort(ports.begin(), ports.end() - 1);
        QCOMPARE(ports, listed + QStringList{"COM9"});
    }

    // An entry naming a device file is listed while the file exists; where the system tells of changes
    // the check timer rests once the scan has settled and the file's removal wakes it.
    void portList_deviceFileEntry_listedWhileFileExists()
    {
        QTemporaryDir dir;
        const QString port = dir.filePath("ttySIM0");
        qputenv("TQ_CALIBRATOR_PORTS", (port + "=SIM-1;COM9=SIM-9").toLocal8Bit());
        FakeSource source;
        QTimer timer;
        timer.start(1000);
        ChangeDrivenScan scan(source, platformDeviceChangeSource());
        scan.pauseWhileSettled(&timer);
        const auto ports = [&scan] {
            QStringList listed;
            for (const Dev_info &device : scan.devices())
                listed << device.port;
            return listed;
        };
        QCOMPARE(ports(), QStringList{"COM9"});
        QFile file(port);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QTest::qWait(50); // its creation is told while the scan is still settling
        QCOMPARE(ports(), (QStringList{port, "COM9"}));
        ports();
        if (!scan.isSettled())
            QSKIP("this system tells of no device changes: the check timer keeps running");
        QVERIFY(!timer.isActive());
        QFile other(dir.filePath("ttySIM1")); // another file in that directory wakes nothing
        QVERIFY(other.open(QIODevice::WriteOnly));
        QTest::qWait(200);
        QVERIFY(!timer.isActive());
        QVERIFY(file.remove());
        QTRY_VERIFY(timer.isActive());
        QVERIFY(timer.interval() < 1000);
        QCOMPARE(ports(), QStringList{"COM9"});
        QVERIFY(!timer.isActive());
        QCOMPARE(timer.interval(), 1000);
    }

    void looks_usbEntriesCompared_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("differ");
        const QString base = "console:2 tty0:3 ttyS0:40";
        QTest::newRow("nothing new") << base + " ttyACM0:90:usb" << base + " ttyACM0:90:usb" << false;
        QTest::newRow("plug") << base << base + " ttyACM0:90:usb" << true;
        QTest::newRow("unplug") << base + " ttyACM0:90:usb" << base << true;
        QTest::newRow("replug under the same name")
            << base + " ttyACM0:90:usb" << base + " ttyACM0:97:usb" << true;
        QTest::newRow("listed in another order") << "ttyACM0:90:usb ttyUSB0:91:usb"
                                                 << "ttyUSB0:91:usb ttyACM0:90:usb" << false;
        QTest::newRow("tty without a USB parent") << base << base + " rfcomm0:95 ttyS9:96" << false;
    }
    void looks_usbEntriesCompared()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(bool, differ);
        QCOMPARE(usbTtysDiffer(lookOf(before), lookOf(after)), differ);
        // The look source says so on the next scan, and it has said "changed" once at its start.
        int call = 0;
        LookChangeSource looks([&](const TtyLook &) { return lookOf(call++ < 2 ? before : after); });
        QVERIFY(looks.takeChange());
        QVERIFY(!looks.takeChange());
        QCOMPARE(looks.takeChange(), differ);
    }

    // A directory laid out like /sys/class/tty: links into the device tree.
    void lookAtTtyClass_fakeTree_usbParentFromLinkTarget()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QList<QPair<const char *, const char *>> links{
            {"ttyACM0", "../../devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/tty/ttyACM0"},
            {"ttyUSB0", "../../devices/pci0000:00/0000:00:14.0/usb3/3-1/3-1:1.0/ttyUSB0/tty/ttyUSB0"},
            {"ttyS0", "../../devices/platform/serial8250/tty/ttyS0"},
            {"tty0", "../../devices/virtual/tty/tty0"}};
        for (const auto &link : links)
            QCOMPARE(::symlink(link.second, qPrintable(dir.filePath(link.first))), 0);
        TtyLook look = lookAtTtyClass(dir.path());
        std::sort(look.begin(), look.end(),
                  [](const TtyEntry &a, const TtyEntry &b) { return a.name < b.name; });
        QStringList got;
        for (const TtyEntry &entry : look)
            got << entry.name + (entry.usb ? ":usb" : "");
        QCOMPARE(got, (QStringList{"tty0", "ttyACM0:usb", "ttyS0", "ttyUSB0:usb"}));

        // A name known with another node is read again; one with the same node is taken as known.
        struct stat info;
        QCOMPARE(::lstat(qPrintable(dir.filePath("ttyS0")), &info), 0);
        const TtyLook known{{"ttyS0", quint64(info.st_ino), true},
                            {"ttyACM0", quint64(info.st_ino) + 100000, false}};
        for (const TtyEntry &entry : lookAtTtyClass(dir.path(), known)) {
            if (entry.name == "ttyS0" || entry.name == "ttyACM0")
                QVERIFY2(entry.usb, qPrintable(entry.name));
        }
        QVERIFY(lookAtTtyClass(dir.filePath("missing")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDeviceWatch)
#include "tst_devicewatch.moc"
