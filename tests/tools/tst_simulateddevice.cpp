#include "plainport.h"
#include "tools/tq-sim/simulateddevice.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QtTest>

class TestSimulatedDevice : public QObject
{
    Q_OBJECT
private slots:
    void versionQuery_answeredWithoutEcho_data();
    void versionQuery_answeredWithoutEcho();
    void commandSplitAcrossWrites_answeredOnce();
    void severalCommandsInOneWrite_answeredInOrder();
    void notResponding_recordsButStaysSilent();
    void replyDelay_holdsReplyBack();
    void sendRaw_reachesPortUnchanged();
    void serialPortReopened_manyTimes_keepsAnswering();
};

void TestSimulatedDevice::versionQuery_answeredWithoutEcho_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("pm") << int(SimulatedDevice::Model::Pm) << QByteArray("ATCVER QD700-PM-2v1\r\n");
    QTest::newRow("tq20") << int(SimulatedDevice::Model::Tq20) << QByteArray("ATCVER TQ20-3v2\r\n");
    QTest::newRow("tq21") << int(SimulatedDevice::Model::Tq21) << QByteArray("ATCVER TQ21-1v5\r\n");
    QTest::newRow("tq22") << int(SimulatedDevice::Model::Tq22) << QByteArray("ATCVER TQ22-1v0\r\n");
    QTest::newRow("tq24") << int(SimulatedDevice::Model::Tq24) << QByteArray("ATCVER TQ24-1v5\r\n");
}

void TestSimulatedDevice::versionQuery_answeredWithoutEcho()
{
    QFETCH(int, model);
    QFETCH(QByteArray, reply);
    SimulatedDevice device(static_cast<SimulatedDevice::Model>(model));
    QVERIFY2(device.open(), qPrintable(device.errorString()));
    QVERIFY(device.portName().startsWith(QLatin1String("/dev/pts/")));
    PlainPort port(device.portName());
    QVERIFY(port.isOpen());
    port.write("ATCVER\r\n");
    QCOMPARE(port.readLines(1), reply);
    QCOMPARE(device.receivedCommands(), QList<QByteArray>{"ATCVER\r\n"});
    device.setVersionReply("ATCVER TQ23-1v0");
    port.write("ATCVER\r\n");
    QCOMPARE(port.readLines(2), reply + "ATCVER TQ23-1v0\r\n");
}

void TestSimulatedDevice::commandSplitAcrossWrites_answeredOnce()
{
    SimulatedDevice device(SimulatedDevice::Model::Pm);
    QVERIFY(device.open());
    PlainPort port(device.portName());
    for (const QByteArray &piece :
         {QByteArray("ATCO"), QByteArray("FF1 2.5"), QByteArray("0\r"), QByteArray("\n")}) {
        port.write(piece);
        QTest::qWait(20);
    }
    QCOMPARE(port.readLines(1), QByteArray("ATCOFF1 2.50\r\n"));
    QCOMPARE(device.receivedCommands(), QList<QByteArray>{"ATCOFF1 2.50\r\n"});
    QCOMPARE(device.receivedBytes(), QByteArray("ATCOFF1 2.50\r\n"));
    QCOMPARE(device.setting(QStringLiteral("ATCOFF1")).toDouble(), 2.5);
}

void TestSimulatedDevice::severalCommandsInOneWrite_answeredInOrder()
{
    SimulatedDevice device(SimulatedDevice::Model::Tq24);
    QVERIFY(device.open());
    QSignalSpy received(&device, &SimulatedDevice::commandReceived);
    PlainPort port(device.portName());
    port.write("ATCVER\r\nATCOFF1 -3\r\nATCOFF1\r\nATCH\r\n");
    const QList<QByteArray> replies = port.readLines(4).split('\n');
    QCOMPARE(replies.size(), 5);
    QCOMPARE(replies[0], QByteArray("ATCVER TQ24-1v5\r"));
    QCOMPARE(replies[1], QByteArray("ATCOFF1 -3.00\r"));
    QCOMPARE(replies[2], QByteArray("ATCOFF1 -3.00\r"));
    QVERIFY(replies[3].startsWith("ATCH "));
    QCOMPARE(replies[3].count(','), 5);

    const QList<QByteArray> expected{"ATCVER\r\n", "ATCOFF1 -3\r\n", "ATCOFF1\r\n", "ATCH\r\n"};
    QCOMPARE(device.receivedCommands(), expected);
    QCOMPARE(received.size(), 4);
    QCOMPARE(received.at(3).at(0).toByteArray(), QByteArray("ATCH\r\n"));
    const QList<qint64> times = device.receivedTimesMs();
    QCOMPARE(times.size(), 4);
    QVERIFY(std::is_sorted(times.begin(), times.end()));
    device.clearTranscript();
    QVERIFY(device.receivedCommands().isEmpty() && device.receivedBytes().isEmpty());
}

void TestSimulatedDevice::notResponding_recordsButStaysSilent()
{
    SimulatedDevice device(SimulatedDevice::Model::Tq21);
    QVERIFY(device.open());
    device.setResponding(false);
    PlainPort port(device.portName());
    port.write("ATCVER\r\nATCSPAN 900\r\n");
    QTRY_COMPARE(device.receivedCommands().size(), 2);
    QCOMPARE(port.readLines(1, 200), QByteArray());
    QCOMPARE(device.setting(QStringLiteral("ATCSPAN")).toInt(), 1013);
    device.setResponding(true);
    port.write("ATCSPAN\r\n");
    QCOMPARE(port.readLines(1), QByteArray("ATCSPAN 1013\r\n"));
}

void TestSimulatedDevice::replyDelay_holdsReplyBack()
{
    SimulatedDevice device(SimulatedDevice::Model::Tq22);
    QVERIFY(device.open());
    device.setReplyDelayMs(300);
    PlainPort port(device.portName());
    port.write("ATCMODE\r\n");
    QCOMPARE(port.readLines(1, 150), QByteArray());
    QCOMPARE(port.readLines(1), QByteArray("ATCMODE 1\r\n"));
}

void TestSimulatedDevice::sendRaw_reachesPortUnchanged()
{
    SimulatedDevice device(SimulatedDevice::Model::Tq20);
    QVERIFY(device.open());
    PlainPort port(device.portName());
    const QByteArray raw("ATCD 0.3\0junk\r\nATC", 18);
    device.sendRaw(raw);
    QCOMPARE(port.readLines(1), raw);
    QVERIFY(device.receivedCommands().isEmpty());
}

void TestSimulatedDevice::serialPortReopened_manyTimes_keepsAnswering()
{
    SimulatedDevice device(SimulatedDevice::Model::Tq24);
    QVERIFY(device.open());
    QSerialPort port;
    port.setPortName(device.portName());
    port.setBaudRate(115200);
    for (int round = 0; round < 5; ++round) {
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
        port.write("ATCOFF2 " + QByteArray::number(round) + "\r\n");
        QByteArray got;
        QTRY_VERIFY((got += port.readAll()).endsWith('\n'));
        QCOMPARE(got, "ATCOFF2 " + QByteArray::number(round) + ".00\r\n");
        port.close();
        QTest::qWait(100); // closed port: the simulator must neither spin nor give up
    }
    QCOMPARE(device.receivedCommands().size(), 5);
}

QTEST_MAIN(TestSimulatedDevice)
#include "tst_simulateddevice.moc"
