#include "tools/tq-sim/deviceresponder.h"
#include "tools/tq-sim/lineframer.h"
#include "tools/tq-sim/simulateddevice.h"

#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

using tqsim::Model;
using ByteList = QList<QByteArray>;
Q_DECLARE_METATYPE(tqsim::Model)

namespace {

// The tool's side of the line, kept deliberately plain: no termios set-up of its own, so echo or
// CR translation left on by the simulator would show up in what comes back.
class PlainPort
{
public:
    explicit PlainPort(const QString &p) : m_fd(::open(qPrintable(p), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~PlainPort() { ::close(m_fd); }
    void write(const QByteArray &bytes)
    {
        QCOMPARE(::write(m_fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    }
    // Everything received so far, after waiting for the given number of lines.
    QByteArray readLines(int lines, int timeoutMs = 2000)
    {
        QElapsedTimer timer;
        timer.start();
        while (m_received.count('\n') < lines && timer.elapsed() < timeoutMs)
            drain(2);
        drain(30); // anything beyond the expected lines would be a fault too
        return m_received;
    }

private:
    void drain(int waitMs)
    {
        QTest::qWait(waitMs);
        char buffer[512];
        for (ssize_t n; (n = ::read(m_fd, buffer, sizeof buffer)) > 0;)
            m_received.append(buffer, int(n));
    }
    int m_fd;
    QByteArray m_received;
};

QList<QByteArray> fieldsOf(const QByteArray &reply, const QByteArray &poll)
{
    return reply.startsWith(poll + ' ') ? reply.mid(poll.size() + 1).split(',') : QList<QByteArray>();
}

double field(DeviceResponder &device, const QByteArray &poll, int index, double t = 10.0)
{
    return fieldsOf(device.answer(poll + "\r\n", t), poll).value(index).toDouble();
}

// Starts the tq-sim program the way the start script does; returns its lines up to and including
// the TQ_CALIBRATOR_PORTS line.
QStringList startAndReadPorts(QProcess &sim, const QStringList &args)
{
    sim.start(QStringLiteral(TQ_SIM_PATH), args);
    QStringList lines;
    while ((lines.isEmpty() || !lines.last().startsWith(QLatin1String("TQ_CALIBRATOR_PORTS="))) &&
           (sim.canReadLine() || sim.waitForReadyRead(3000))) {
        if (sim.canReadLine())
            lines << QString::fromLatin1(sim.readLine()).trimmed();
    }
    return lines;
}

} // namespace

class TestTqSim : public QObject
{
    Q_OBJECT
private slots:
    void framer_feed_data()
    {
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<ByteList>("chunks");
        QTest::addColumn<ByteList>("lines");
        QTest::addColumn<QByteArray>("pending");
        QTest::addColumn<int>("overflows");
        QTest::newRow("line across three reads")
            << 64 << ByteList{"ATC", "VER\r", "\n"} << ByteList{"ATCVER\r\n"} << QByteArray() << 0;
        QTest::newRow("two lines in one read") << 64 << ByteList{"ATCVER\r\nATCH\r\n"}
                                               << ByteList{"ATCVER\r\n", "ATCH\r\n"} << QByteArray() << 0;
        QTest::newRow("tail kept for next read")
            << 64 << ByteList{"ATCD\r\nATCOF", "F1"} << ByteList{"ATCD\r\n"} << QByteArray("ATCOFF1") << 0;
        QTest::newRow("bare lf ends line")
            << 64 << ByteList{"ATCD\nATCH\n"} << ByteList{"ATCD\n", "ATCH\n"} << QByteArray() << 0;
        QTest::newRow("overlong across reads dropped up to lf")
            << 8 << ByteList{"0123456789", "ABCDEF", "GH\r\nATCD\r\n"} << ByteList{"ATCD\r\n"} << QByteArray()
            << 1;
        QTest::newRow("overlong in one read dropped, next kept")
            << 8 << ByteList{"0123456789AB\r\nATCH\r\n"} << ByteList{"ATCH\r\n"} << QByteArray() << 1;
        QTest::newRow("line of exact bound kept")
            << 8 << ByteList{"ATCOFF1\r", "\n"} << ByteList{"ATCOFF1\r\n"} << QByteArray() << 0;
    }
    void framer_feed()
    {
        QFETCH(int, maxLength);
        QFETCH(ByteList, chunks);
        QFETCH(ByteList, lines);
        QFETCH(QByteArray, pending);
        QFETCH(int, overflows);
        LineFramer framer(maxLength);
        ByteList got;
        for (const QByteArray &chunk : chunks)
            got += framer.feed(chunk);
        QCOMPARE(got, lines);
        QCOMPARE(framer.pending(), pending);
        QCOMPARE(framer.overflowCount(), overflows);
        QVERIFY(framer.pending().size() <= maxLength);
    }

    void responder_line_answered_data()
    {
        QTest::addColumn<Model>("model");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("reply");
        const auto row = [](const char *name, Model model, const char *line, const char *reply) {
            QTest::newRow(name) << model << QByteArray(line) << QByteArray(reply);
        };
        row("pm negative offset", Model::Pm, "ATCOFF3 -0.25", "ATCOFF3 -0.25");
        row("pm largest offset", Model::Pm, "ATCOFF1 1000000.00", "ATCOFF1 1000000.00");
        row("tq20 sensitivity", Model::Tq20, "ATCWIN 25", "ATCWIN 25");
        row("tq21 barometer", Model::Tq21, "ATCSPAN 950", "ATCSPAN 950");
        row("tq21 latest time", Model::Tq21, "ATCEXTM 4294967295", "ATCEXTM 4294967295");
        row("tq22 sensor type", Model::Tq22, "ATCMODE 3", "ATCMODE 3");
        row("tq24 offset two decimals", Model::Tq24, "ATCOFF2 1.5", "ATCOFF2 1.50");
        row("refused: pm mode 2", Model::Pm, "ATCMODE 2", "ATCMODE 0");
        row("refused: offset not a number", Model::Pm, "ATCOFF1 12,5", "ATCOFF1 0.00");
        row("refused: hours read-only", Model::Pm, "ATCUSED 5", "ATCUSED 1234");
        row("refused: tq20 mode 0", Model::Tq20, "ATCMODE 0", "ATCMODE 2");
        row("refused: barometer below range", Model::Tq21, "ATCSPAN 842", "ATCSPAN 1013");
        row("action: factory reset", Model::Pm, "ATCFTRST", "ATCFTRST OK");
        row("action: user calibration", Model::Tq20, "ATCUCAL", "ATCUCAL OK");
        row("action: factory calibration", Model::Tq20, "ATCFCAL", "ATCFCAL OK");
        row("action: tq21 celsius", Model::Tq21, "ATCC", "ATCC OK");
        row("action: tq22 fahrenheit", Model::Tq22, "ATCF", "ATCF OK");
        row("action: drift adjustment", Model::Tq24, "ATCDRFT", "ATCDRFT OK");
        row("unknown: other model's poll", Model::Pm, "ATCD", "ERROR");
        row("unknown: no temperature unit", Model::Tq20, "ATCC", "ERROR");
        row("unknown: internal name", Model::Tq24, "ZERO", "ERROR");
    }
    // A write must read back as the value the device then holds; a refused one as the old value.
    void responder_line_answered()
    {
        QFETCH(Model, model);
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, reply);
        DeviceResponder device(model);
        QCOMPARE(device.answer(line + "\r\n", 1), reply);
        if (line.contains(' '))
            QCOMPARE(device.answer(line.left(line.indexOf(' ')) + "\r\n", 2), reply);
    }

    void responder_poll_givesModelFieldCount_data()
    {
        QTest::addColumn<Model>("model");
        QTest::addColumn<QByteArray>("mode");
        QTest::addColumn<QByteArray>("poll");
        QTest::addColumn<int>("count");
        QTest::newRow("pm mass") << Model::Pm << QByteArray("ATCMODE 0") << QByteArray("ATCH") << 6;
        QTest::newRow("pm number") << Model::Pm << QByteArray("ATCMODE 1") << QByteArray("ATCH") << 6;
        QTest::newRow("tq20 humidity") << Model::Tq20 << QByteArray("ATCMODE 1") << QByteArray("ATCD") << 2;
        QTest::newRow("tq20 co2") << Model::Tq20 << QByteArray("ATCMODE 2") << QByteArray("ATCD") << 2;
        QTest::newRow("tq21") << Model::Tq21 << QByteArray() << QByteArray("ATCD") << 2;
        for (int type = 1; type <= 4; ++type)
            QTest::addRow("tq22 type %d", type)
                << Model::Tq22 << QByteArray("ATCMODE " + QByteArray::number(type)) << QByteArray("ATCD")
                << 2;
        QTest::newRow("tq24 raw") << Model::Tq24 << QByteArray("ATCMODE 0") << QByteArray("ATCH") << 6;
    }
    void responder_poll_givesModelFieldCount()
    {
        QFETCH(Model, model);
        QFETCH(QByteArray, mode);
        QFETCH(QByteArray, poll);
        QFETCH(int, count);
        DeviceResponder device(model);
        if (!mode.isEmpty())
            device.answer(mode, 0);
        const QList<QByteArray> fields = fieldsOf(device.answer(poll + "\r\n", 3.5), poll);
        QCOMPARE(fields.size(), count);
        for (const QByteArray &f : fields) {
            bool ok = false;
            f.toDouble(&ok);
            QVERIFY2(ok, f.constData());
        }
        device.setNoValues(true);
        const QList<QByteArray> blanks = fieldsOf(device.answer(poll + "\r\n", 4), poll);
        QCOMPARE(blanks.size(), count);
        QCOMPARE(blanks.count("----"), count);
    }

    void responder_factoryReset_restoresSettingsButKeepsHours()
    {
        DeviceResponder device(Model::Pm);
        const QByteArray hours = device.answer("ATCUSED", 0);
        device.answer("ATCOFF1 5.00", 0);
        device.answer("ATCEXTM 1800000000", 0);
        QCOMPARE(device.answer("ATCFTRST", 0), QByteArray("ATCFTRST OK"));
        QCOMPARE(device.answer("ATCOFF1", 0), QByteArray("ATCOFF1 0.00"));
        QCOMPARE(device.answer("ATCUSED", 0), hours);
        QCOMPARE(device.answer("ATCEXTM", 0), QByteArray("ATCEXTM 1800000000"));
    }

    void responder_liveValues_followUnitSettings()
    {
        DeviceResponder tq21(Model::Tq21);
        tq21.answer("ATCF", 0);
        QVERIFY(field(tq21, "ATCD", 1) > 60.0);
        tq21.answer("ATCC", 0);
        QVERIFY(field(tq21, "ATCD", 1) < 40.0);
        QVERIFY(field(tq21, "ATCD", 0) > 100.0);
        tq21.answer("ATCCU 0", 0);
        QVERIFY(field(tq21, "ATCD", 0) < 1.0);
        tq21.answer("ATCOFF2 100", 0);
        QVERIFY(field(tq21, "ATCD", 1) > 100.0);

        DeviceResponder tq22(Model::Tq22);
        tq22.answer("ATCMODE 3", 0);
        QVERIFY(field(tq22, "ATCD", 0) > 100000.0);
        QVERIFY(field(tq22, "ATCD", 1) > 5000.0);
    }

    void responder_gasCalibration_spanZeroAndParameters()
    {
        DeviceResponder device(Model::Tq24);
        const QList<QByteArray> span = fieldsOf(device.answer("ATCCSP 500.00", 10), "ATCCSP");
        QCOMPARE(span.size(), 4);
        QCOMPARE(span[0], QByteArray("500.00"));
        const double slope = span[1].toDouble(), zero = span[2].toDouble(), spanUv = span[3].toDouble();
        QVERIFY(spanUv > zero);
        QVERIFY(qAbs(slope - 500.0 / (spanUv - zero)) < 1e-4);

        const QByteArray zeroReply = device.answer("ATCCZR", 12);
        QVERIFY(zeroReply.startsWith("ATCCZR "));
        QVERIFY(qAbs(field(device, "ATCH", 5, 12) - zeroReply.mid(7).toDouble()) < 0.06);
        const double ppm = field(device, "ATCH", 1, 12);
        QVERIFY2(ppm > 20 && ppm < 90, QByteArray::number(ppm).constData());

        QCOMPARE(device.answer("ATCCAL 400,12.5,56.25", 13), QByteArray("ATCCAL 400.00,12.50,56.25"));
        QCOMPARE(device.answer("ATCCAL", 14), QByteArray("ATCCAL 400.00,12.50,56.25"));
        QCOMPARE(device.answer("ATCCAL 400,12.5", 15), QByteArray("ATCCAL 400.00,12.50,56.25"));
        QVERIFY(qAbs(field(device, "ATCH", 4, 16) - 400.0 / (56.25 - 12.5)) < 1e-4);
    }

    void device_splitAndJoinedCommands_answeredOnceInOrder()
    {
        SimulatedDevice device(Model::Tq24);
        QVERIFY(device.open());
        QSignalSpy received(&device, &SimulatedDevice::commandReceived);
        PlainPort port(device.portName());
        for (const char *piece : {"ATCO", "FF1 2.5", "0\r", "\n"}) {
            port.write(piece);
            QTest::qWait(20);
        }
        QCOMPARE(port.readLines(1), QByteArray("ATCOFF1 2.50\r\n"));
        QCOMPARE(device.setting(QStringLiteral("ATCOFF1")).toDouble(), 2.5);
        port.write("ATCVER\r\nATCOFF1 -3\r\nATCOFF1\r\nATCH\r\n");
        const QByteArray replies = port.readLines(5);
        QVERIFY2(
            replies.startsWith("ATCOFF1 2.50\r\nATCVER TQ24-1v5\r\nATCOFF1 -3.00\r\nATCOFF1 -3.00\r\nATCH "),
            replies);
        QCOMPARE(replies.count('\n'), 5);
        QCOMPARE(replies.split('\n')[4].count(','), 5);

        const QList<QByteArray> expected{"ATCOFF1 2.50\r\n", "ATCVER\r\n", "ATCOFF1 -3\r\n", "ATCOFF1\r\n",
                                         "ATCH\r\n"};
        QCOMPARE(device.receivedCommands(), expected);
        QCOMPARE(device.receivedBytes(), expected.join());
        QCOMPARE(received.size(), 5);
        QCOMPARE(received.at(4).at(0).toByteArray(), QByteArray("ATCH\r\n"));
        const QList<qint64> times = device.receivedTimesMs();
        QCOMPARE(times.size(), 5);
        QVERIFY(std::is_sorted(times.begin(), times.end()));
        device.clearTranscript();
        QVERIFY(device.receivedCommands().isEmpty() && device.receivedBytes().isEmpty());
    }

    void device_silenceDelayAndRawBytes()
    {
        SimulatedDevice device(Model::Tq21);
        QVERIFY(device.open());
        PlainPort port(device.portName());
        device.setResponding(false); // commands recorded, neither acted on nor answered
        port.write("ATCVER\r\nATCSPAN 900\r\n");
        QTRY_COMPARE(device.receivedCommands().size(), 2);
        QCOMPARE(port.readLines(1, 200), QByteArray());
        QCOMPARE(device.setting(QStringLiteral("ATCSPAN")).toInt(), 1013);

        device.setResponding(true);
        device.setReplyDelayMs(300);
        port.write("ATCSPAN\r\n");
        QCOMPARE(port.readLines(1, 150), QByteArray());
        QCOMPARE(port.readLines(1), QByteArray("ATCSPAN 1013\r\n"));

        const QByteArray raw("ATCD 0.3\0junk\r\nATC", 18);
        device.sendRaw(raw);
        QCOMPARE(port.readLines(2), "ATCSPAN 1013\r\n" + raw);
        QCOMPARE(device.receivedCommands().size(), 3);
    }

    void device_serialPortReopened_keepsAnswering()
    {
        SimulatedDevice device(Model::Tq24);
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

    void program_devicesListedThenAnsweredThenStoppedBySigterm()
    {
        QProcess sim;
        const QStringList lines =
            startAndReadPorts(sim, {"--device", "tq24:SIM-A", "--version-reply", "ATCVER TQ23-1v0",
                                    "--device=pm:SIM-B", "--no-values"});
        QCOMPARE(lines.size(), 3);
        const QStringList first = lines[0].split(' ');
        const QStringList second = lines[1].split(' ');
        QCOMPARE(first.mid(1), (QStringList{"SIM-A", "tq24"}));
        QCOMPARE(second.mid(1), (QStringList{"SIM-B", "pm"}));
        QCOMPARE(lines[2], "TQ_CALIBRATOR_PORTS=" + first[0] + "=SIM-A;" + second[0] + "=SIM-B");

        PlainPort gas(first[0]);
        gas.write("ATCVER\r\n");
        QCOMPARE(gas.readLines(1), QByteArray("ATCVER TQ23-1v0\r\n"));
        PlainPort pm(second[0]);
        pm.write("ATCH\r\n");
        QCOMPARE(pm.readLines(1), QByteArray("ATCH ----,----,----,----,----,----\r\n"));

        sim.terminate();
        QVERIFY(sim.waitForFinished(3000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
    }

    // What the start script runs: one device of every model, each answering with its own version.
    void program_noDevices_oneOfEveryModelAnswering()
    {
        QProcess sim;
        const QStringList lines = startAndReadPorts(sim, {});
        QCOMPARE(lines.size(), 6);
        const QStringList models{"pm", "tq20", "tq21", "tq22", "tq24"};
        const QList<QByteArray> versions{"QD700-PM-2v1", "TQ20-3v2", "TQ21-1v5", "TQ22-1v0", "TQ24-1v5"};
        for (int i = 0; i < 5; ++i) {
            const QStringList parts = lines[i].split(' ');
            QCOMPARE(parts.value(2), models[i]);
            PlainPort port(parts[0]);
            port.write("ATCVER\r\n");
            QCOMPARE(port.readLines(1), "ATCVER " + versions[i] + "\r\n");
        }
        QCOMPARE(lines[5].count(';'), 4);
        sim.terminate();
        QVERIFY(sim.waitForFinished(3000));
    }

    void program_badArguments_refusedWithMessage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("unknown model") << QStringList{"--device", "tq23:X"};
        QTest::newRow("version reply before any device") << QStringList{"--version-reply", "ATCVER TQ24-1v5"};
        QTest::newRow("serial breaking the port list") << QStringList{"--device", "pm:A;B"};
        QTest::newRow("device without value") << QStringList{"--device"};
        QTest::newRow("unknown option") << QStringList{"--fast"};
    }
    void program_badArguments_refusedWithMessage()
    {
        QFETCH(QStringList, args);
        QProcess sim;
        sim.start(QStringLiteral(TQ_SIM_PATH), args);
        QVERIFY(sim.waitForFinished(3000));
        QCOMPARE(sim.exitCode(), 2);
        QVERIFY(sim.readAllStandardError().startsWith("tq-sim: "));
        QVERIFY(sim.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTqSim)
#include "tst_tqsim.moc"
