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

UsbDeviceRecord record(const QString &id, const QString &friendlyName, const QString &location,
                       const QString &description, const QString &node = QString())
{
    return UsbDeviceRecord{QStringList{id}, friendlyName, location, description, node};
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
    void devicesFromPortList_entries_parsed_data();
    void devicesFromPortList_entries_parsed();
    void usbRecordForSerialPort_ids_formattedAsUsbHardwareId();
    void scanDevices_sourceAndEnvironment_sourceFirstEnvironmentReadEachScan();
    void scanDevices_platformSource_endsWithEnvironmentEntry();
};

void TestDeviceScan::devicesFromRecords_oneRecord_listedAsExpected_data()
{
    QTest::addColumn<UsbDeviceRecord>("record");
    QTest::addColumn<QStringList>("expected");
    const QString desc = "TQ_SERIES__TQ24-0001";
    const QStringList none;

    QTest::newRow("lowerCaseIds_listed")
        << record("USB\\VID_04d8&PID_000a&REV_0100", com5, hub, desc) << QStringList{"COM5|TQ24-0001"};
    QTest::newRow("productB_notListed") << record("USB\\VID_04D8&PID_000B", com5, hub, desc) << none;
    QTest::newRow("otherVendor_notListed") << record("USB\\VID_04D9&PID_000A", com5, hub, desc) << none;
    QTest::newRow("noCom_notListed") << record(tqId, "USB Serial Device", hub, desc) << none;
    QTest::newRow("noClosingParen_notListed") << record(tqId, "USB Serial Device (COM5", hub, desc) << none;
    QTest::newRow("lowerCaseCom_upperCasedPort")
        << record(tqId, "usb serial device (com7)", hub, desc) << QStringList{"COM7|TQ24-0001"};
    QTest::newRow("comEarlierInName_portFromParenthesis")
        << record(tqId, "Communications Port (COM12)", hub, desc) << QStringList{"COM12|TQ24-0001"};
    QTest::newRow("locationWithPrefix_usedWithoutDescription")
        << record(tqId, com5, "TQ_SERIES__SN-42", "TQ_SERIES__OTHER") << QStringList{"COM5|SN-42"};
    QTest::newRow("locationWithoutPrefix_descriptionWithoutPrefix")
        << record(tqId, com5, hub, "TQ_SERIES__TQ21-77") << QStringList{"COM5|TQ21-77"};
    QTest::newRow("lowerCasePrefix_notRemoved")
        << record(tqId, com5, "tq_series__X", "tq_series__Y") << QStringList{"COM5|tq_series__Y"};
    QTest::newRow("descriptionWithoutPrefix_keptWhole")
        << record(tqId, com5, hub, "TQ20") << QStringList{"COM5|TQ20"};
    QTest::newRow("prefixTwice_bothRemoved")
        << record(tqId, com5, "TQ_SERIES__ATQ_SERIES__B", "") << QStringList{"COM5|AB"};
    QTest::newRow("emptyDescription_emptySerial") << record(tqId, com5, "", "") << QStringList{"COM5|"};
    QTest::newRow("noHardwareIds_notListed") << UsbDeviceRecord{{}, com5, hub, desc, {}} << none;
    QTest::newRow("onlySecondIdMatches_notListed")
        << UsbDeviceRecord{{"USB\\VID_1234&PID_5678", tqId}, com5, hub, desc, {}} << none;
    QTest::newRow("deviceNode_keptVerbatim")
        << record("USB\\VID_04D8&PID_000A", desc, desc, desc, "/dev/ttyACM0")
        << QStringList{"/dev/ttyACM0|TQ24-0001"};
    QTest::newRow("deviceNodeOtherIds_notListed")
        << record("USB\\VID_0403&PID_6001", "", "", desc, "/dev/ttyUSB0") << none;
}

void TestDeviceScan::devicesFromRecords_oneRecord_listedAsExpected()
{
    QFETCH(UsbDeviceRecord, record);
    QFETCH(QStringList, expected);
    QCOMPARE(describe(devicesFromRecords({record})), expected);
}

void TestDeviceScan::devicesFromPortList_entries_parsed_data()
{
    QTest::addColumn<QString>("envValue");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("oneEntry_listed") << "/dev/pts/3=SIM-TQ24-0001" << QStringList{"/dev/pts/3|SIM-TQ24-0001"};
    QTest::newRow("blanksAndEmptyEntries_trimmedAndSkipped")
        << " ;; /dev/pts/3 = A ;\tCOM9=B \n;" << QStringList{"/dev/pts/3|A", "COM9|B"};
    QTest::newRow("empty_none") << "" << QStringList();
    QTest::newRow("malformedEntries_skipped") << "COM5;=X;COM6= ;COM7=Y" << QStringList{"COM7|Y"};
    QTest::newRow("equalsInSerial_splitAtFirst") << "p=a=b" << QStringList{"p|a=b"};
}

void TestDeviceScan::devicesFromPortList_entries_parsed()
{
    QFETCH(QString, envValue);
    QFETCH(QStringList, expected);
    QCOMPARE(describe(devicesFromPortList(envValue)), expected);
}

void TestDeviceScan::usbRecordForSerialPort_ids_formattedAsUsbHardwareId()
{
    const UsbDeviceRecord tq = usbRecordForSerialPort(0x4d8, 0xa, "TQ_SERIES__TQ24-0001", "/dev/ttyACM1");
    QCOMPARE(tq.hardwareIds, QStringList{"USB\\VID_04D8&PID_000A"});
    QCOMPARE(describe(devicesFromRecords({tq})), QStringList{"/dev/ttyACM1|TQ24-0001"});
    QCOMPARE(usbRecordForSerialPort(0xabcd, 0x1f, "", "").hardwareIds, QStringList{"USB\\VID_ABCD&PID_001F"});
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
    qunsetenv("TQ_CALIBRATOR_PORTS");
    source.records.clear();
    QCOMPARE(describe(scanDevices(source)), QStringList());
}

void TestDeviceScan::scanDevices_platformSource_endsWithEnvironmentEntry()
{
    // Whatever USB devices this machine has, the simulated port comes last.
    qputenv("TQ_CALIBRATOR_PORTS", "/dev/pts/9=SIM-LAST");
    const QList<Dev_info> devices = scanDevices();
    QVERIFY(!devices.isEmpty());
    QCOMPARE(describe({devices.last()}), QStringList{"/dev/pts/9|SIM-LAST"});
}

QTEST_GUILESS_MAIN(TestDeviceScan)
#include "tst_devicescan.moc"
