#include "app/discovery/devicescan.h"

#include <QtTest>

namespace {

QStringList describe(const QList<Dev_info> &devices)
{
    QStringList lines;
    for (const Dev_info &device : devices)
        lines << device.port + '|' + device.serialNo;
    return lines;
}

const QString tqId = "USB\\VID_04D8&PID_000A&REV_0100";
const QString com5 = "USB Serial Device (COM5)";
const QString hub = "Port_#0002.Hub_#0001";
const QString desc = "TQ_SERIES__TQ24-0001";

UsbDeviceRecord record(const QString &id, const QString &friendlyName, const QString &location = hub,
                       const QString &description = desc)
{
    return UsbDeviceRecord{QStringList{id}, friendlyName, location, description, QString()};
}

class FakeSource : public UsbDeviceSource
{
public:
    QList<UsbDeviceRecord> records;
    QList<UsbDeviceRecord> presentUsbDevices() override { return records; }
};

} // namespace

Q_DECLARE_METATYPE(UsbDeviceRecord)

class TestDeviceScan : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { qunsetenv("TQ_CALIBRATOR_PORTS"); }
    void devicesFromRecords_oneRecord_listedAsExpected_data();
    void devicesFromRecords_oneRecord_listedAsExpected();
    void devicesFromPortList_entries_trimmedAndMalformedSkipped();
    void scanDevices_sourceAndEnvironment_sourceFirstEnvironmentReadEachScan();
};

void TestDeviceScan::devicesFromRecords_oneRecord_listedAsExpected_data()
{
    QTest::addColumn<UsbDeviceRecord>("record");
    QTest::addColumn<QStringList>("expected");
    const QStringList none;

    QTest::newRow("lowerCaseIds_listed")
        << record("USB\\VID_04d8&PID_000a&REV_0100", com5) << QStringList{"COM5|TQ24-0001"};
    QTest::newRow("productB_notListed") << record("USB\\VID_04D8&PID_000B", com5) << none;
    QTest::newRow("otherVendor_notListed") << record("USB\\VID_04D9&PID_000A", com5) << none;
    QTest::newRow("noCom_notListed") << record(tqId, "USB Serial Device") << none;
    QTest::newRow("unnumberedCom_notListed") << record(tqId, "(COM)") << none;
    QTest::newRow("lowerCaseCom_upperCasedPort")
        << record(tqId, "usb serial device (com7)") << QStringList{"COM7|TQ24-0001"};
    QTest::newRow("comEarlierInName_portFromParenthesis")
        << record(tqId, "Communications Port (COM12)") << QStringList{"COM12|TQ24-0001"};
    QTest::newRow("locationWithPrefix_usedWithoutDescription")
        << record(tqId, com5, "TQ_SERIES__SN-42", "TQ_SERIES__OTHER") << QStringList{"COM5|SN-42"};
    QTest::newRow("prefixTwice_bothRemoved")
        << record(tqId, com5, "TQ_SERIES__ATQ_SERIES__B", "") << QStringList{"COM5|AB"};
    QTest::newRow("noHardwareIds_notListed") << UsbDeviceRecord{{}, com5, hub, desc, {}} << none;
    QTest::newRow("onlySecondIdMatches_notListed")
        << UsbDeviceRecord{{"USB\\VID_1234&PID_5678", tqId}, com5, hub, desc, {}} << none;
    QTest::newRow("serialPort_idsPaddedAndNodeKept")
        << usbRecordForSerialPort(0x4d8, 0xa, desc, "/dev/ttyACM1") << QStringList{"/dev/ttyACM1|TQ24-0001"};
}

void TestDeviceScan::devicesFromRecords_oneRecord_listedAsExpected()
{
    QFETCH(UsbDeviceRecord, record);
    QFETCH(QStringList, expected);
    QCOMPARE(describe(devicesFromRecords({record})), expected);
}

void TestDeviceScan::devicesFromPortList_entries_trimmedAndMalformedSkipped()
{
    QCOMPARE(describe(devicesFromPortList(" ;; /dev/pts/3 = A ;\tCOM9=B \n;")),
             (QStringList{"/dev/pts/3|A", "COM9|B"}));
    QCOMPARE(describe(devicesFromPortList("COM5;=X;COM6= ;COM7=Y")), QStringList{"COM7|Y"});
    QCOMPARE(describe(devicesFromPortList("p=a=b")), QStringList{"p|a=b"});
}

void TestDeviceScan::scanDevices_sourceAndEnvironment_sourceFirstEnvironmentReadEachScan()
{
    FakeSource source;
    source.records << record("USB\\VID_046D&PID_C52B", "Receiver", hub, "mouse")
                   << record(tqId, "USB Serial Device (COM9)", hub, "TQ_SERIES__B")
                   << record(tqId, "USB Serial Device (COM4)", hub, "TQ_SERIES__A");
    qputenv("TQ_CALIBRATOR_PORTS", "/dev/pts/3=SIM-1;/dev/pts/4=SIM-2");
    QCOMPARE(describe(scanDevices(source)),
             (QStringList{"COM9|B", "COM4|A", "/dev/pts/3|SIM-1", "/dev/pts/4|SIM-2"}));
    qputenv("TQ_CALIBRATOR_PORTS", "/dev/pts/7=SIM-7");
    QCOMPARE(describe(scanDevices(source)), (QStringList{"COM9|B", "COM4|A", "/dev/pts/7|SIM-7"}));
}

QTEST_GUILESS_MAIN(TestDeviceScan)
#include "tst_devicescan.moc"
