#include "tools/tq-sim/deviceresponder.h"
#include "tools/tq-sim/lineframer.h"
#include "tools/tq-sim/simulateddevice.h"

#include <QProcess>
#include <QRegularExpression>
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

// Starts the tq-sim program; returns its lines up to and including the one with TQ_CALIBRATOR_PORTS.
QStringList startAndReadPorts(QProcess &sim, const QStringList &args)
{
    sim.start(QStringLiteral(TQ_SIM_PATH), args);
    QStringList lines;
    while ((lines.isEmpty() || !lines.last().contains(QLatin1String("TQ_CALIBRATOR_PORTS="))) &&
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

    // One conversation per model: every command the panels send, in the form their parsers take it.
    // Rows are "COMMAND => REPLY", the reply a pattern over the whole line; state carries over.
    void responder_conversation_data()
    {
        QTest::addColumn<Model>("model");
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<QStringList>("exchanges");
        const QString n = QStringLiteral("-?\\d+(\\.\\d+)?");
        QTest::newRow("pm") << Model::Pm << QByteArray("2v1") << QStringList{
            "ATCVER => ATCVER QD700-PM-2v1", "ATCMODE => ATCMODE 0", "ATCMODE 1 => ATCMODE 1",
            "ATCMODE 2 => ATCMODE 1", "ATCOFF1 1000000.00 => ATCOFF1 1000000.00", "ATCOFF3 -0.25 => ATCOFF3 -0.25",
            "ATCOFF5 12,5 => ATCOFF5 0.00", "ATCMODID 17 => ATCMODID 17", "ATCMODBR 5 => ATCMODBR 5",
            "ATCMODTO 4 => ATCMODTO 4", "ATCMODSW 1 => ATCMODSW 1", "ATCEXTM 1800000000 => ATCEXTM 1800000000",
            "ATCUSED 5 => ATCUSED 1234", QStringLiteral("ATCH => ATCH (%1,){5}%1").arg(n),
            "ATCFTRST => ATCFTRST OK", "ATCMODE => ATCMODE 0", "ATCOFF3 => ATCOFF3 0.00",
            "ATCMODID => ATCMODID 1", "ATCEXTM => ATCEXTM 1800000000", "ATCD => ERROR", "ATCBLDTM => ERROR"};
        QTest::newRow("tq20") << Model::Tq20 << QByteArray() << QStringList{
            "ATCVER => ATCVER TQ20-3v2", "ATCMODE => ATCMODE 2", "ATCMODE 0 => ATCMODE 2", "ATCMODE 1 => ATCMODE 1",
            "ATCOFF1 0.5 => ATCOFF1 0.50", "ATCOFF2 => ATCOFF2 0.00", "ATCVOCU 1 => ATCVOCU 1",
            "ATCCU 0 => ATCCU 0", "ATCWIN 25 => ATCWIN 25", "ATCWIN 31 => ATCWIN 25",
            "ATCEXTM => ATCEXTM 1735689600", "ATCUSED => ATCUSED 1234", "ATCBLDTM => ATCBLDTM \\d{10}",
            QStringLiteral("ATCD => ATCD %1,%1").arg(n), "ATCC => ERROR"};
        QTest::newRow("tq20 before 12: units from 1") << Model::Tq20 << QByteArray("1v1") << QStringList{
            "ATCVER => ATCVER TQ20-1v1", "ATCVOCU => ATCVOCU 1", "ATCCU => ATCCU 2", "ATCCU 0 => ATCCU 2",
            "ATCCU 1 => ATCCU 1", "ATCUCAL => ATCUCAL OK", "ATCFCAL => ATCFCAL OK"};
        QTest::newRow("tq21") << Model::Tq21 << QByteArray() << QStringList{
            "ATCVER => ATCVER TQ21-1v5", "ATCOFF1 -12.5 => ATCOFF1 -12.50", "ATCOFF2 0.25 => ATCOFF2 0.25",
            "ATCCAL 400.00 => ATCCAL 400.00", "ATCCAL => ATCCAL 400.00", "ATCCU 0 => ATCCU 0",
            "ATCDGFIL 0 => ATCDGFIL 0", "ATCSPAN 950 => ATCSPAN 950", "ATCSPAN 842 => ATCSPAN 950",
            "ATCSINFO => ATCSINFO \\S+", "ATCEXTM 4294967295 => ATCEXTM 4294967295", "ATCUSED => ATCUSED 1234",
            "ATCBLDTM => ATCBLDTM \\d{10}", "ATCF => ATCF OK", "ATCC => ATCC OK",
            QStringLiteral("ATCD => ATCD %1,%1").arg(n), "ATCMODE => ERROR"};
        QTest::newRow("tq22") << Model::Tq22 << QByteArray() << QStringList{
            "ATCVER => ATCVER TQ22-1v0", "ATCMODE => ATCMODE 1", "ATCMODE 3 => ATCMODE 3",
            "ATCMODE 5 => ATCMODE 3", "ATCOFF1 1 => ATCOFF1 1.00", "ATCOFF2 => ATCOFF2 0.00", "ATCF => ATCF OK",
            QStringLiteral("ATCD => ATCD %1,%1").arg(n), "ATCEXTM => ERROR", "ATCUSED => ERROR"};
        QTest::newRow("tq24") << Model::Tq24 << QByteArray("1v2") << QStringList{
            "ATCVER => ATCVER TQ24-1v2", "ATCMODE => ATCMODE 1", "ATCMODE 0 => ATCMODE 0",
            "ATCMODE 2 => ATCMODE 0", "ATCOFF1 2.5 => ATCOFF1 2.50", "ATCOFF2 -1 => ATCOFF2 -1.00",
            QStringLiteral("ATCCSP => ATCCSP 1000.00,%1,%1,%1").arg(n),
            QStringLiteral("ATCCSP 500.00 => ATCCSP 500.00,%1,%1,%1").arg(n),
            QStringLiteral("ATCCZR => ATCCZR %1").arg(n), "ATCCAL 400,12.5,56.25 => ATCCAL 400.00,12.50,56.25",
            "ATCCAL 1,2 => ATCCAL 400.00,12.50,56.25",
            "ATCDRFT => ATCDRFT OK", "ATCF => ATCF OK", "ATCC => ATCC OK", "ATCEXTM => ATCEXTM 1735689600",
            "ATCUSED => ATCUSED 1234", QStringLiteral("ATCH => ATCH (%1,){5}%1").arg(n), "ATCBLDTM => ERROR",
            "ZERO => ERROR", "atcoff1 => ERROR"};
    }
    void responder_conversation()
    {
        QFETCH(Model, model);
        QFETCH(QByteArray, firmware);
        QFETCH(QStringList, exchanges);
        DeviceResponder device(model);
        if (!firmware.isEmpty())
            QVERIFY(device.setFirmware(firmware));
        double t = 1;
        for (const QString &exchange : exchanges) {
            const QByteArray command = exchange.section(QLatin1String(" => "), 0, 0).toLatin1();
            const QString reply = QString::fromLatin1(device.answer(command + "\r\n", t += 0.5));
            const QRegularExpression pattern(
                QRegularExpression::anchoredPattern(exchange.section(QLatin1String(" => "), 1)));
            QVERIFY2(pattern.match(reply).hasMatch(), qPrintable(exchange + " got: " + reply));
        }
    }

    void responder_firmwareGates_data()
    {
        QTest::addColumn<Model>("model");
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<int>("firmware");
        QTest::addColumn<QByteArrayList>("answered");
        QTest::addColumn<QByteArrayList>("gated");
        QTest::newRow("tq20 11") << Model::Tq20 << QByteArray("ATCVER TQ20-1v1") << 11
                                 << QByteArrayList{"ATCUCAL", "ATCFCAL", "ATCCU"}
                                 << QByteArrayList{"ATCWIN", "ATCEXTM", "ATCUSED"};
        QTest::newRow("tq20 12") << Model::Tq20 << QByteArray("ATCVER TQ20-1v2") << 12
                                 << QByteArrayList{"ATCWIN", "ATCEXTM"}
                                 << QByteArrayList{"ATCUCAL", "ATCUSED", "ATCBLDTM"};
        QTest::newRow("tq20 32") << Model::Tq20 << QByteArray("ATCVER TQ20-3v2") << 32
                                 << QByteArrayList{"ATCUSED", "ATCBLDTM"} << QByteArrayList{"ATCFCAL"};
        QTest::newRow("tq21 9") << Model::Tq21 << QByteArray("ATCVER TQ21-0v9") << 9
                                << QByteArrayList{"ATCCAL", "ATCC"} << QByteArrayList{"ATCDGFIL", "ATCEXTM"};
        QTest::newRow("tq21 14, T2 ignored") << Model::Tq21 << QByteArray("ATCVER TQ21T2-1v4") << 14
                                             << QByteArrayList{"ATCSPAN", "ATCSINFO", "ATCEXTM"}
                                             << QByteArrayList{"ATCUSED", "ATCBLDTM"};
        QTest::newRow("unreadable version: nothing gated")
            << Model::Tq20 << QByteArray("ATCVER TQ20-XvY") << -1 << QByteArrayList{"ATCWIN", "ATCUCAL", "ATCBLDTM"}
            << QByteArrayList{"ATCC"};
        QTest::newRow("tq24 without v: version 2") << Model::Tq24 << QByteArray("ATCVER TQ24") << 2
                                                  << QByteArrayList{"ATCCSP"} << QByteArrayList{"ATCWIN"};
    }
    void responder_firmwareGates()
    {
        QFETCH(Model, model);
        QFETCH(QByteArray, version);
        QFETCH(int, firmware);
        QFETCH(QByteArrayList, answered);
        QFETCH(QByteArrayList, gated);
        DeviceResponder device(model);
        device.setVersionReply(version + "\r\n");
        QCOMPARE(device.firmware(), firmware);
        QCOMPARE(device.answer("ATCVER", 0), version);
        for (const QByteArray &word : answered)
            QVERIFY2(device.answer(word, 0).startsWith(word), word.constData());
        for (const QByteArray &word : gated)
            QCOMPARE(device.answer(word, 0), QByteArray("ERROR"));
        QVERIFY(!device.setFirmware("15"));
        QCOMPARE(device.firmware(), firmware);
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
    // Numbers in every field that move only a little from one second to the next; "----" on request.
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
        const QList<QByteArray> next = fieldsOf(device.answer(poll + "\r\n", 4.5), poll);
        QCOMPARE(fields.size(), count);
        QCOMPARE(next.size(), count);
        for (int i = 0; i < count; ++i) {
            bool ok = false;
            const double a = fields[i].toDouble(&ok), b = next[i].toDouble();
            QVERIFY2(ok, fields[i].constData());
            QVERIFY2(qAbs(a - b) <= 0.05 * qAbs(a) + 0.5, fields[i] + " then " + next[i]);
        }
        device.setNoValueFields({count});
        const QList<QByteArray> lastBlank = fieldsOf(device.answer(poll + "\r\n", 4), poll);
        QCOMPARE(lastBlank.count("----"), 1);
        QCOMPARE(lastBlank.last(), QByteArray("----"));
        device.setNoValues(true);
        QCOMPARE(fieldsOf(device.answer(poll + "\r\n", 4), poll).count("----"), count);
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

        DeviceResponder tq20(Model::Tq20);
        QVERIFY(field(tq20, "ATCD", 0) < 5.0);
        tq20.answer("ATCVOCU 1", 0); // ppb
        QVERIFY(field(tq20, "ATCD", 0) > 50.0);
        tq20.setFirmware("1v1"); // older firmware: 2 is ppb, 1 ppm
        QVERIFY(field(tq20, "ATCD", 0) < 5.0);
        tq20.answer("ATCVOCU 2", 0);
        QVERIFY(field(tq20, "ATCD", 0) > 50.0);

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
        QVERIFY(qAbs(field(device, "ATCH", 4, 16) - 400.0 / (56.25 - 12.5)) < 1e-4);
    }

    void device_splitAndJoinedCommands_answeredOnceInOrder()
    {
        SimulatedDevice device(Model::Tq24);
        QVERIFY(device.open());
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
        QCOMPARE(replies.split('\n')[4].count(','), 5);

        const QList<QByteArray> expected{"ATCOFF1 2.50\r\n", "ATCVER\r\n", "ATCOFF1 -3\r\n", "ATCOFF1\r\n",
                                         "ATCH\r\n"};
        QCOMPARE(device.receivedCommands(), expected);
        QCOMPARE(device.receivedBytes(), expected.join());
        QCOMPARE(device.receivedTimesMs().size(), 5);
        // The transcript holds both sides in time order, the first reply before the next command.
        const QList<SimulatedDevice::TranscriptEntry> log = device.transcript();
        ByteList in, out;
        for (int i = 0; i < log.size(); ++i) {
            (log[i].direction == SimulatedDevice::TranscriptEntry::Sent ? out : in) << log[i].bytes;
            QVERIFY(i == 0 || log[i].timeMs >= log[i - 1].timeMs);
        }
        QCOMPARE(in, expected);
        QCOMPARE(out.join(), replies);
        device.clearTranscript();
        QVERIFY(device.receivedCommands().isEmpty() && device.receivedBytes().isEmpty());
        QVERIFY(device.transcript().isEmpty());
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

    // Each fault through a real QSerialPort on a TQ24; the pattern covers everything that arrives.
    void device_faults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("received");
        QTest::newRow("split") << "split" << QByteArray("ATCOFF1 1\r\n") << "ATCOFF1 1.00\r\n";
        QTest::newRow("silent word") << "silent" << QByteArray("ATCOFF1 5\r\nATCOFF2\r\n") << "ATCOFF2 0.00\r\n";
        QTest::newRow("refused actions") << "refuse" << QByteArray("ATCDRFT\r\nATCF\r\nATCOFF2 1\r\n")
                                         << "ATCDRFT\r\nATCF\r\nATCOFF2 1.00\r\n";
        QTest::newRow("echo") << "echo" << QByteArray("ATCOFF2 1\r\n") << "ATCOFF2 1\r\nATCOFF2 1.00\r\n";
        QTest::newRow("noise") << "noise" << QByteArray("ATCOFF2\r\n")
                               << "ATCOFF2 0.00\r\n#noise \\d+\r\n\\x00\\x00\\x00\r\n\\xff\\xfe\\xc3\\(\\x80\r\n";
        QTest::newRow("no value in field 2") << "field" << QByteArray("ATCH\r\n")
                                             << "ATCH [^,]+,----(,[^,-]+){4}\r\n";
        QTest::newRow("vanish after 2") << "vanish" << QByteArray("ATCOFF2\r\nATCOFF1\r\nATCOFF2 3\r\n")
                                        << "ATCOFF2 0.00\r\nATCOFF1 0.00\r\n";
    }
    void device_faults()
    {
        QFETCH(QString, fault);
        QFETCH(QByteArray, sent);
        QFETCH(QString, received);
        SimulatedDevice device(Model::Tq24);
        QVERIFY(device.open());
        QSignalSpy vanished(&device, &SimulatedDevice::vanished);
        device.setReplyDelayMs(0);
        if (fault == "split")
            device.setSplitReplies(4, 60);
        device.setSilentWords(fault == "silent" ? QSet<QByteArray>{"ATCOFF1"} : QSet<QByteArray>{});
        device.setRefuseActions(fault == "refuse");
        device.setEcho(fault == "echo");
        device.setNoise(fault == "noise" ? SimulatedDevice::NoiseLines | SimulatedDevice::NulBytes |
                                               SimulatedDevice::InvalidUtf8
                                         : SimulatedDevice::NoNoise);
        device.setNoValueFields(fault == "field" ? QSet<int>{2} : QSet<int>{});
        device.setVanishAfter(fault == "vanish" ? 2 : 0);

        QSerialPort port;
        port.setPortName(device.portName());
        QVERIFY(port.open(QIODevice::ReadWrite));
        QByteArray got;
        int reads = 0;
        connect(&port, &QSerialPort::readyRead, [&] { got += port.readAll(), ++reads; });
        port.write(sent);
        QTest::qWait(400); // the simulator runs on this thread's event loop
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(received));
        QVERIFY2(pattern.match(QString::fromLatin1(got.constData(), got.size())).hasMatch(),
                 got.toPercentEncoding(" \\"));
        QCOMPARE(device.setting(QStringLiteral("ATCOFF1")).toDouble(), fault == "split" ? 1.0 : 0.0);
        QCOMPARE(device.setting(QStringLiteral("TEMPUNIT")).toString(), QStringLiteral("C"));
        QCOMPARE(device.isOpen(), fault != "vanish");
        QCOMPARE(vanished.size(), fault == "vanish" ? 1 : 0);
        if (fault == "split") {
            QVERIFY2(reads >= 3, QByteArray::number(reads));
            const auto log = device.transcript();
            QCOMPARE(log.size(), 5); // the command and four chunks of 4, 4, 4 and 2 bytes
            QVERIFY(log[4].timeMs - log[1].timeMs >= 3 * 60);
        }
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

    // One device: its port and port-list entry on the first line, faults and transcript on request.
    void program_oneModel_servesItWithTranscript()
    {
        QProcess sim;
        const QStringList lines = startAndReadPorts(
            sim, {"--model", "tq24", "--firmware", "1v2", "--serial=BENCH-7", "--refuse-actions", "--transcript"});
        QCOMPARE(lines.size(), 1);
        const QString port = lines[0].section(QLatin1Char(' '), 0, 0);
        QCOMPARE(lines[0], port + " TQ_CALIBRATOR_PORTS=" + port + "=BENCH-7");
        PlainPort device(port);
        device.write("ATCVER\r\nATCDRFT\r\n");
        QCOMPARE(device.readLines(2), QByteArray("ATCVER TQ24-1v2\r\nATCDRFT\r\n"));
        sim.terminate();
        QVERIFY(sim.waitForFinished(3000));
        const QString log = QString::fromLatin1(sim.readAllStandardError());
        const QString stamp = QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\+\\d+ BENCH-7 ");
        for (const QString &line : {"<- ATCVER", "<- ATCDRFT", "-> ATCVER TQ24-1v2", "-> ATCDRFT"})
            QVERIFY2(log.contains(QRegularExpression(stamp + QRegularExpression::escape(line + "[CR][LF]\n"))),
                     qPrintable(log));
    }

    void program_badArguments_refusedWithMessage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("unknown model") << QStringList{"--device", "tq23:X"};
        QTest::newRow("version reply before any device") << QStringList{"--version-reply", "ATCVER TQ24-1v5"};
        QTest::newRow("serial breaking the port list") << QStringList{"--device", "pm:A;B"};
        QTest::newRow("unknown option") << QStringList{"--fast"};
        QTest::newRow("firmware not DvD") << QStringList{"--model", "tq24", "--firmware", "15"};
        QTest::newRow("firmware without model") << QStringList{"--firmware", "1v5"};
        QTest::newRow("model and device") << QStringList{"--model", "pm", "--device", "tq24"};
        QTest::newRow("split of zero bytes") << QStringList{"--split", "0"};
        QTest::newRow("model without value") << QStringList{"--model"};
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
