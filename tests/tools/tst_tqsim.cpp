#include "tools/tq-sim/deviceresponder.h"
#include "tools/tq-sim/lineframer.h"
#include "tools/tq-sim/simulateddevice.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
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
    void write(const QByteArray &b)
    {
        QCOMPARE(::write(m_fd, b.constData(), size_t(b.size())), ssize_t(b.size()));
    }
    // Everything received so far, after waiting for the given number of lines and a little more:
    // anything beyond the expected lines would be a fault too.
    QByteArray readLines(int lines, int timeoutMs = 2000)
    {
        QElapsedTimer timer;
        timer.start();
        for (bool last = false; !last;) {
            last = m_received.count('\n') >= lines || timer.elapsed() >= timeoutMs;
            QTest::qWait(last ? 30 : 2);
            char buffer[512];
            for (ssize_t n; (n = ::read(m_fd, buffer, sizeof buffer)) > 0;)
                m_received.append(buffer, int(n));
        }
        return m_received;
    }

private:
    int m_fd;
    QByteArray m_received;
};

ByteList fieldsOf(const QByteArray &reply, const QByteArray &poll)
{
    return reply.startsWith(poll + ' ') ? reply.mid(poll.size() + 1).split(',') : ByteList();
}

bool matchesWhole(const QString &pattern, const QByteArray &text)
{
    const QRegularExpression whole(QRegularExpression::anchoredPattern(pattern));
    return whole.match(QString::fromLatin1(text.constData(), text.size())).hasMatch();
}

} // namespace

class TestTqSim : public QObject
{
    Q_OBJECT
private slots:
    // Reads are separated by '|', and so are the lines that come out, the last being what is pending.
    void framer_feed_data()
    {
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QString>("chunks");
        QTest::addColumn<QString>("lines");
        QTest::addColumn<int>("overflows");
        QTest::newRow("across reads") << 64 << "ATC|VER\r|\nATCD\r\nATCOF|F1"
                                      << "ATCVER\r\n|ATCD\r\n|ATCOFF1" << 0;
        QTest::newRow("bare lf") << 64 << "ATCD\nATCH\n"
                                 << "ATCD\n|ATCH\n|" << 0;
        QTest::newRow("overlong across reads") << 8 << "0123456789|ABCDEF|GH\r\nATCD\r\n"
                                               << "ATCD\r\n|" << 1;
        QTest::newRow("overlong in one read") << 8 << "0123456789AB\r\nATCH\r\n"
                                              << "ATCH\r\n|" << 1;
        QTest::newRow("exact bound") << 8 << "ATCOFF1\r|\n"
                                     << "ATCOFF1\r\n|" << 0;
    }
    void framer_feed()
    {
        QFETCH(int, maxLength);
        QFETCH(QString, chunks);
        LineFramer framer(maxLength);
        ByteList got;
        for (const QByteArray &chunk : chunks.toLatin1().split('|'))
            got += framer.feed(chunk);
        QTEST(QString::fromLatin1((got << framer.pending()).join('|')), "lines");
        QTEST(framer.overflowCount(), "overflows");
    }

    // One conversation per model and firmware: every command the panels send, in the form their parsers
    // take it, and what the firmware gates. Rows are "COMMAND => REPLY", the reply a pattern over the
    // whole line; state carries over. The firmware is set as the panels see it, by version reply or number.
    // Live values follow the unit codes: CO2 and TVOC ppm with three decimals (percent, ppm) or none (ppm,
    // ppb).
    void responder_conversation_data()
    {
        QTest::addColumn<Model>("model");
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<QByteArray>("poll");
        QTest::addColumn<QString>("exchanges");
        QTest::newRow("pm")
            << Model::Pm << QByteArray("2v1") << QByteArray("ATCH")
            << "ATCVER => ATCVER QD700-PM-2v1|ATCMODE => ATCMODE 0|ATCMODE 1 => ATCMODE 1|"
               "ATCMODE 2 => ATCMODE 1|ATCOFF1 1000000.00 => ATCOFF1 1000000.00|"
               "ATCOFF3 -0.25 => ATCOFF3 -0.25|ATCOFF5 12,5 => ATCOFF5 0.00|ATCMODID 17 => ATCMODID 17|"
               "ATCMODBR 5 => ATCMODBR 5|ATCMODTO 4 => ATCMODTO 4|ATCMODSW 1 => ATCMODSW 1|"
               "ATCEXTM 1800000000 => ATCEXTM 1800000000|ATCUSED 5 => ATCUSED 1234|ATCH => ATCH #6|"
               "ATCFTRST => ATCFTRST OK|ATCMODE => ATCMODE 0|ATCOFF3 => ATCOFF3 0.00|ATCMODID => ATCMODID 1|"
               "ATCEXTM => ATCEXTM 1800000000|ATCH => ATCH #6|ATCD => ERROR|ATCBLDTM => ERROR";
        QTest::newRow("tq20 32")
            << Model::Tq20 << QByteArray() << QByteArray("ATCD")
            << "ATCVER => ATCVER TQ20-3v2|ATCMODE => ATCMODE 2|ATCD => ATCD 0\\.\\d{3},\\d{3}|ATCMODE 0 => "
               "ATCMODE 2|"
               "ATCMODE 1 => ATCMODE 1|ATCOFF1 0.5 => ATCOFF1 0.50|ATCOFF2 => ATCOFF2 0.00|ATCVOCU 1 => "
               "ATCVOCU 1|"
               "ATCCU 0 => ATCCU 0|ATCMODE 2 => ATCMODE 2|ATCD => ATCD \\d{3},0\\.\\d{3}|ATCWIN 25 => ATCWIN "
               "25|"
               "ATCWIN 31 => ATCWIN 25|"
               "ATCEXTM => ATCEXTM 1735689600|ATCUSED => ATCUSED 1234|ATCBLDTM => ATCBLDTM \\d{10}|"
               "ATCD => ATCD #2|ATCC => ERROR|ATCFCAL => ERROR";
        QTest::newRow("tq20 11: units from 1")
            << Model::Tq20 << QByteArray("1v1") << QByteArray("ATCD")
            << "ATCVER => ATCVER TQ20-1v1|ATCVOCU => ATCVOCU 1|ATCCU => ATCCU 2|ATCCU 0 => ATCCU 2|"
               "ATCCU 1 => ATCCU 1|ATCD => ATCD 0\\.\\d{3},0\\.\\d{3}|ATCVOCU 2 => ATCVOCU 2|ATCD => ATCD "
               "\\d{3},#n|"
               "ATCUCAL => ATCUCAL OK|ATCFCAL => ATCFCAL OK|ATCWIN => ERROR|"
               "ATCEXTM => ERROR|ATCUSED => ERROR";
        QTest::newRow("tq20 12")
            << Model::Tq20 << QByteArray("ATCVER TQ20-1v2") << QByteArray()
            << "ATCVER => ATCVER TQ20-1v2|ATCWIN => ATCWIN \\d+|ATCEXTM => ATCEXTM \\d+|ATCUCAL => ERROR|"
               "ATCUSED => ERROR|ATCBLDTM => ERROR";
        QTest::newRow("unreadable version: nothing gated")
            << Model::Tq20 << QByteArray("ATCVER TQ20-XvY") << QByteArray()
            << "ATCVER => ATCVER TQ20-XvY|ATCWIN => ATCWIN \\d+|ATCUCAL => ATCUCAL OK|"
               "ATCBLDTM => ATCBLDTM \\d+|ATCC => ERROR";
        QTest::newRow("tq21")
            << Model::Tq21 << QByteArray() << QByteArray("ATCD")
            << "ATCVER => ATCVER TQ21-1v5|ATCD => ATCD \\d{3},2\\d\\.\\d\\d|ATCOFF1 -12.5 => ATCOFF1 -12.50|"
               "ATCOFF2 100 => ATCOFF2 100.00|ATCCAL 400.00 => ATCCAL 400.00|ATCCAL => ATCCAL 400.00|"
               "ATCCU 0 => ATCCU 0|ATCDGFIL 0 => ATCDGFIL 0|ATCSPAN 950 => ATCSPAN 950|ATCSPAN 842 => "
               "ATCSPAN 950|"
               "ATCSINFO => ATCSINFO \\S+|ATCEXTM 4294967295 => ATCEXTM 4294967295|ATCUSED => ATCUSED 1234|"
               "ATCBLDTM => ATCBLDTM \\d{10}|ATCF => ATCF OK|ATCD => ATCD 0\\.\\d{3},2\\d\\d\\.\\d\\d|"
               "ATCC => ATCC OK|ATCD => ATCD 0\\.\\d{3},12\\d\\.\\d\\d|ATCMODE => ERROR";
        QTest::newRow("tq21 9")
            << Model::Tq21 << QByteArray("ATCVER TQ21-0v9") << QByteArray()
            << "ATCCAL => ATCCAL \\S+|ATCC => ATCC OK|ATCDGFIL => ERROR|ATCEXTM => ERROR|ATCCU 1 => ATCCU 1|"
               "ATCD => ATCD 0\\.\\d{3},#n";
        QTest::newRow("tq21 14, T2 ignored")
            << Model::Tq21 << QByteArray("ATCVER TQ21T2-1v4") << QByteArray()
            << "ATCVER => ATCVER TQ21T2-1v4|ATCSPAN => ATCSPAN \\d+|ATCSINFO => ATCSINFO \\S+|"
               "ATCEXTM => ATCEXTM \\d+|ATCUSED => ERROR|ATCBLDTM => ERROR";
        QTest::newRow("tq22")
            << Model::Tq22 << QByteArray() << QByteArray("ATCD")
            << "ATCVER => ATCVER TQ22-1v0|ATCMODE => ATCMODE 1|ATCD => ATCD #2|ATCMODE 3 => ATCMODE 3|"
               "ATCMODE 5 => ATCMODE 3|ATCOFF1 1 => ATCOFF1 1.00|ATCOFF2 => ATCOFF2 0.00|ATCF => ATCF OK|"
               "ATCD => ATCD \\d{6},\\d{5}|ATCMODE 2 => ATCMODE 2|ATCD => ATCD #2|ATCMODE 4 => ATCMODE 4|"
               "ATCD => ATCD #2|ATCEXTM => ERROR|ATCUSED => ERROR";
        QTest::newRow("tq24")
            << Model::Tq24 << QByteArray("1v2") << QByteArray("ATCH")
            << "ATCVER => ATCVER TQ24-1v2|ATCMODE => ATCMODE 1|ATCH => ATCH #6|ATCMODE 0 => ATCMODE 0|"
               "ATCMODE 2 => ATCMODE 0|ATCOFF1 2.5 => ATCOFF1 2.50|ATCOFF2 -1 => ATCOFF2 -1.00|"
               "ATCCSP => ATCCSP 1000.00,#n,#n,#n|ATCCSP 500.00 => ATCCSP 500.00,#n,#n,#n|"
               "ATCCZR => ATCCZR #n|ATCCAL 400,12.5,56.25 => ATCCAL 400.00,12.50,56.25|"
               "ATCCAL 1,2 => ATCCAL 400.00,12.50,56.25|ATCH => ATCH (#n,){4}9\\.14286,#n|ATCDRFT => ATCDRFT "
               "OK|"
               "ATCF => ATCF OK|ATCC => ATCC OK|ATCEXTM => ATCEXTM 1735689600|ATCUSED => ATCUSED 1234|ATCH "
               "=> ATCH #6|"
               "ATCBLDTM => ERROR|ZERO => ERROR|atcoff1 => ERROR";
    }
    void responder_conversation()
    {
        QFETCH(Model, model);
        QFETCH(QByteArray, firmware);
        QFETCH(QByteArray, poll);
        QFETCH(QString, exchanges);
        const QString n = QStringLiteral("-?\\d+(\\.\\d+)?"); // any live value; #2 and #6 stand for that many
        exchanges.replace("#2", "#n,#n").replace("#6", "#n,#n,#n,#n,#n,#n").replace("#n", n);
        DeviceResponder device(model);
        if (firmware.startsWith("ATCVER"))
            device.setVersionReply(firmware + "\r\n");
        else if (!firmware.isEmpty())
            QVERIFY(device.setFirmware(firmware));
        QVERIFY(!device.setFirmware("15")); // refused, and the version stays as it was
        double t = 1;
        for (const QString &exchange : exchanges.split('|')) {
            const QByteArray reply =
                device.answer(exchange.section(" => ", 0, 0).toLatin1() + "\r\n", t += 0.5);
            QVERIFY2(matchesWhole(exchange.section(" => ", 1), reply),
                     qPrintable(exchange + " got: " + reply));
        }
        if (poll.isEmpty())
            return;
        // Live values move only a little from one second to the next; "----" where asked for.
        const ByteList fields = fieldsOf(device.answer(poll + "\r\n", t + 1), poll);
        const ByteList next = fieldsOf(device.answer(poll + "\r\n", t + 2), poll);
        for (int i = 0; i < fields.size(); ++i)
            QVERIFY2(qAbs(fields[i].toDouble() - next.value(i).toDouble()) <=
                         0.05 * qAbs(fields[i].toDouble()) + 0.5,
                     fields[i] + " then " + next.value(i));
        device.setNoValueFields({fields.size()});
        QVERIFY(matchesWhole(poll + " ((?!----)[^,]+,)+----", device.answer(poll + "\r\n", t + 2)));
        device.setNoValues(true);
        QCOMPARE(fieldsOf(device.answer(poll + "\r\n", t + 2), poll).count("----"), fields.size());
    }

    void responder_gasCalibration_spanAndZeroSetTheSlopeAndValues()
    {
        DeviceResponder device(Model::Tq24);
        const ByteList span = fieldsOf(device.answer("ATCCSP 500.00", 10), "ATCCSP");
        const double slope = span.value(1).toDouble(), zero = span.value(2).toDouble(),
                     uv = span.value(3).toDouble();
        QVERIFY(uv > zero && qAbs(slope - 500.0 / (uv - zero)) < 1e-4);
        const double zeroUv = device.answer("ATCCZR", 12).mid(7).toDouble();
        const ByteList live = fieldsOf(device.answer("ATCH\r\n", 12), "ATCH");
        QVERIFY(qAbs(live.value(5).toDouble() - zeroUv) < 0.06);
        const double ppm = live.value(1).toDouble();
        QVERIFY2(ppm > 20 && ppm < 90, QByteArray::number(ppm).constData());
    }

    // The gas model per model: the primary channel reads the gas, and each calibration command
    // moves the reading as a sensor's would; a refused one (and anything without the model) does not.
    void responder_gasModel_calibrationMovesTheReading_data()
    {
        QTest::addColumn<Model>("model");
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<double>("gas");
        QTest::addColumn<QByteArray>("command"); // empty: none
        QTest::addColumn<QByteArray>("reply");   // a pattern
        QTest::addColumn<double>("reading");     // the primary field afterwards
        // clang-format off
        QTest::newRow("tq24 reads the gas") << Model::Tq24 << QByteArray() << false << 391.2 << QByteArray() << QByteArray() << 391.2;
        QTest::newRow("tq24 span: reads the span gas") << Model::Tq24 << QByteArray() << false << 391.2 << QByteArray("ATCCSP 400.00")
                                                       << QByteArray("ATCCSP 400.00,0\\.51\\d+,100.00,882.40") << 400.0;
        QTest::newRow("tq24 span refused") << Model::Tq24 << QByteArray() << true << 391.2 << QByteArray("ATCCSP 400.00")
                                           << QByteArray("ATCCSP") << 391.2;
        QTest::newRow("tq24 zero") << Model::Tq24 << QByteArray() << false << 3.2 << QByteArray("ATCCZR")
                                   << QByteArray("ATCCZR 106.40") << 0.0;
        QTest::newRow("tq24 zero refused") << Model::Tq24 << QByteArray() << true << 3.2 << QByteArray("ATCCZR")
                                           << QByteArray("ATCCZR") << 3.2;
        QTest::newRow("tq24 offset on top") << Model::Tq24 << QByteArray() << false << 391.2 << QByteArray("ATCOFF1 -1.2")
                                            << QByteArray("ATCOFF1 -1.20") << 390.0;
        QTest::newRow("tq21 CO2 calibration") << Model::Tq21 << QByteArray() << false << 950.0 << QByteArray("ATCCAL 1000.00")
                                              << QByteArray("ATCCAL 1000.00") << 1000.0;
        QTest::newRow("tq21 CO2 calibration refused") << Model::Tq21 << QByteArray() << true << 950.0
                                                      << QByteArray("ATCCAL 1000.00") << QByteArray("ATCCAL") << 950.0;
        QTest::newRow("tq20 clean air") << Model::Tq20 << QByteArray("1v1") << false << 0.2 << QByteArray("ATCUCAL")
                                        << QByteArray("ATCUCAL OK") << 0.0;
        QTest::newRow("tq20 clean air refused") << Model::Tq20 << QByteArray("1v1") << true << 0.2 << QByteArray("ATCUCAL")
                                                << QByteArray("ATCUCAL") << 0.2;
        QTest::newRow("tq22 O2 offset") << Model::Tq22 << QByteArray() << false << 20.5 << QByteArray("ATCOFF1 0.4")
                                        << QByteArray("ATCOFF1 0.40") << 20.9;
        QTest::newRow("pm pm2.5 offset") << Model::Pm << QByteArray() << false << 30.0 << QByteArray("ATCOFF1 -2")
                                         << QByteArray("ATCOFF1 -2.00") << 28.0;
        // clang-format on
    }
    void responder_gasModel_calibrationMovesTheReading()
    {
        QFETCH(Model, model);
        QFETCH(QByteArray, firmware);
        QFETCH(bool, refuse);
        QFETCH(double, gas);
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, reply);
        QFETCH(double, reading);
        DeviceResponder device(model);
        if (!firmware.isEmpty())
            QVERIFY(device.setFirmware(firmware));
        device.setRefuseActions(refuse);
        GasModel::Params params;
        params.gas = gas;
        device.setGasModel(params);
        const int field = model == Model::Tq24 ? 1 : 0;
        const auto primary = [&](double t) {
            return fieldsOf(device.answer(device.pollWord(), t), device.pollWord()).value(field).toDouble();
        };
        QCOMPARE(primary(1), gas);
        if (!command.isEmpty())
            QVERIFY2(matchesWhole(QString::fromLatin1(reply), device.answer(command, 2)),
                     device.answer(command, 2).constData());
        QCOMPARE(primary(3), reading);
        QVERIFY(device.setGas(gas + 1, 4)); // one more unit of gas reads one more unit (the span held)
        QVERIFY(qAbs(primary(5) - (reading + 1)) < 0.03);
    }

    // Settling, drift and noise over time, and the simulator as it always was without the model.
    void gasModel_settlesDriftsAndJitters()
    {
        GasModel gas({400, 2, 0, 6});
        QCOMPARE(gas.level(0), 400.0);
        gas.setGas(500, 10);
        QVERIFY(qAbs(gas.level(10) - 401) < 1e-9); // the drift of 10 s, nothing settled yet
        QVERIFY(qAbs(gas.level(12) - (500 - 100 * qExp(-1) + 1.2)) < 1e-9);
        QVERIFY(qAbs(gas.level(70) - 507) < 1e-6); // settled, and a minute of drift more
        GasModel noisy({20, 0, 0.5, 0});
        double low = 99, high = 0;
        for (int i = 0; i < 200; ++i) {
            const double r = noisy.reading(i);
            low = qMin(low, r), high = qMax(high, r);
        }
        QVERIFY(low >= 19.5 && high <= 20.5 && high - low > 0.5);
        DeviceResponder plain(Model::Tq24);
        QVERIFY(!plain.setGas(400, 1));
        QVERIFY(!plain.hasGasModel());
    }

    // The gas changed from standard input while it runs; a line it does not know changes nothing.
    void program_gasFromStandardInput()
    {
        QProcess sim;
        sim.start(QStringLiteral(TQ_SIM_PATH), {"--model", "tq24", "--gas", "100"});
        QVERIFY(sim.waitForReadyRead(3000));
        PlainPort port(QString::fromLatin1(sim.readLine()).section(' ', 0, 0));
        const auto gas = [&] {
            port.write("ATCH\r\n");
            const QByteArray lines = port.readLines(1);
            return fieldsOf(lines.split('\r').value(lines.count('\r') - 1).trimmed(), "ATCH").value(1);
        };
        QCOMPARE(gas(), QByteArray("100.00"));
        sim.write("gas 250.25\nwind 3\n");
        QByteArray told;
        QTRY_VERIFY((told += sim.readAllStandardError()).contains("\"wind 3\" not understood"));
        QVERIFY(told.contains("tq-sim: gas 250.25\n"));
        QCOMPARE(gas(), QByteArray("250.25")); // to the hundredth, as set
        sim.terminate();
        QVERIFY(sim.waitForFinished(3000));
    }

    // Each fault through a real QSerialPort on a TQ24; the pattern covers everything that arrives.
    // Pieces of what is sent, separated by '|', are written 20 ms apart. Nothing arrives before the first
    // command; streaming starts with it and never outruns 115200 baud 8N1 (11520 bytes a second).
    void device_faults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("received");
        QTest::addColumn<double>("offset"); // ATCOFF1 afterwards
        QTest::newRow("command in pieces, then several at once")
            << "" << QByteArray("ATCO|FF1 2.5|0\r|\nATCVER\r\nATCOFF1 -3\r\nATCOFF1\r\nATCH\r\n")
            << "ATCOFF1 2.50\r\nATCVER TQ24-1v5\r\nATCOFF1 -3.00\r\nATCOFF1 -3.00\r\n"
               "ATCH ([^,\r\n]+,){5}[^,\r\n]+\r\n"
            << -3.0;
        QTest::newRow("split") << "split" << QByteArray("ATCOFF1 1\r\n") << "ATCOFF1 1.00\r\n" << 1.0;
        QTest::newRow("silent word") << "silent" << QByteArray("ATCOFF1 5\r\nATCOFF2\r\n")
                                     << "ATCOFF2 0.00\r\n"
                                     << 0.0;
        QTest::newRow("refused actions") << "refuse" << QByteArray("ATCDRFT\r\nATCF\r\nATCOFF2 1\r\n")
                                         << "ATCDRFT\r\nATCF\r\nATCOFF2 1.00\r\n"
                                         << 0.0;
        QTest::newRow("echo") << "echo" << QByteArray("ATCOFF2 1\r\n") << "ATCOFF2 1ATCOFF2 1.00\r\n" << 0.0;
        QTest::newRow("noise")
            << "noise" << QByteArray("ATCOFF2\r\n")
            << "ATCOFF2 0.00\r\n#noise \\d+\r\n\\x00\\x00\\x00\r\n\\xff\\xfe\\xc3\\(\\x80\r\n"
            << 0.0;
        QTest::newRow("vanish after 2") << "vanish" << QByteArray("ATCOFF2\r\nATCOFF1\r\nATCOFF2 3\r\n")
                                        << "ATCOFF2 0.00\r\nATCOFF1 0.00\r\n"
                                        << 0.0;
        // Not responding: commands recorded, neither acted on nor answered.
        QTest::newRow("silence") << "mute" << QByteArray("ATCVER\r\nATCOFF1 5\r\n") << "" << 0.0;
        QTest::newRow("delay") << "delay" << QByteArray("ATCOFF1\r\n") << "ATCOFF1 0.00\r\n" << 0.0;
        QTest::newRow("streaming") << "stream" << QByteArray("ATCVER\r\n")
                                   << "((ATCVER TQ24-1v5|ATCH ([^,\r]+,){5}[^,\r]+)\r\n)+" << 0.0;
        QTest::newRow("reopened port") << "reopen" << QByteArray("ATCOFF2 7\r\n") << "ATCOFF2 7.00\r\n"
                                       << 0.0;
    }
    void device_faults()
    {
        QFETCH(QString, fault);
        QFETCH(QByteArray, sent);
        QFETCH(QString, received);
        SimulatedDevice device(Model::Tq24);
        QVERIFY(device.open());
        QSignalSpy vanished(&device, &SimulatedDevice::vanished);
        device.setReplyDelayMs(fault == "delay" ? 300 : 0);
        device.setResponding(fault != "mute");
        if (fault == "split")
            device.setSplitReplies(4, 60);
        device.setSilentWords(fault == "silent" ? QSet<QByteArray>{"ATCOFF1"} : QSet<QByteArray>{});
        device.setRefuseActions(fault == "refuse");
        device.setEcho(fault == "echo");
        const auto noise =
            SimulatedDevice::NoiseLines | SimulatedDevice::NulBytes | SimulatedDevice::InvalidUtf8;
        device.setNoise(fault == "noise" ? noise : SimulatedDevice::NoNoise);
        device.setVanishAfter(fault == "vanish" ? 2 : 0);
        device.setStreaming(fault == "stream");

        QSerialPort port;
        port.setPortName(device.portName());
        QVERIFY(port.open(QIODevice::ReadWrite));
        if (fault == "reopen") { // after a close the simulator must neither spin nor give up
            port.write(sent);
            QTest::qWait(100);
            port.close();
            QTest::qWait(100);
            QVERIFY(port.open(QIODevice::ReadWrite));
            device.clearTranscript();
        }
        QByteArray got;
        int reads = 0;
        connect(&port, &QSerialPort::readyRead, [&] { got += port.readAll(), ++reads; });
        QTest::qWait(50);
        QVERIFY(got.isEmpty());
        QElapsedTimer clock;
        clock.start();
        for (const QByteArray &piece : sent.split('|'))
            port.write(piece), QTest::qWait(20);
        QTest::qWait(250); // the simulator runs on this thread's event loop
        QCOMPARE(got.isEmpty(), fault == "delay" || fault == "mute");
        QTest::qWait(250);
        const qint64 wireBytes = clock.elapsed() * 11520 / 1000;
        QVERIFY2(fault != "stream" || (got.size() <= wireBytes + 64 && got.size() >= wireBytes / 4),
                 QByteArray::number(got.size()));
        device.setStreaming(false);
        QTest::qWait(30);
        QVERIFY2(matchesWhole(received, got), got.toPercentEncoding(" \\"));
        QTEST(device.setting(QStringLiteral("ATCOFF1")).toDouble(), "offset");
        QCOMPARE(device.isOpen(), fault != "vanish");
        QCOMPARE(vanished.size(), fault == "vanish" ? 1 : 0);
        const QByteArray taken = fault == "vanish" ? "ATCOFF2\r\nATCOFF1\r\n" : sent.replace('|', "");
        QCOMPARE(device.receivedCommands().join(), taken);
        // The transcript holds both sides in time order, each reply before the next command.
        ByteList in, out;
        qint64 lastMs = 0;
        for (const SimulatedDevice::TranscriptEntry &entry : device.transcript()) {
            (entry.direction == SimulatedDevice::TranscriptEntry::Sent ? out : in) << entry.bytes;
            QVERIFY(entry.timeMs >= lastMs);
            lastMs = entry.timeMs;
        }
        QCOMPARE(in, device.receivedCommands());
        QCOMPARE(out.join(), got);
        if (fault == "split") {
            QVERIFY2(reads >= 3, QByteArray::number(reads));
            const auto log = device.transcript();
            QCOMPARE(log.size(), 5); // the command and four chunks of 4, 4, 4 and 2 bytes
            // Each chunk is due a pause after the one before; a late first chunk must not hide that
            // the last one kept its time after the command.
            QVERIFY(log[4].timeMs - log[0].timeMs >= 3 * 60);
        }
    }

    // The listing is a pattern over the lines printed before any command, its groups the ports;
    // exchanges are "GROUP COMMAND => REPLY"; logged lines are looked for in the transcript on stderr.
    void program_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("listing");
        QTest::addColumn<QString>("exchanges");
        QTest::addColumn<QString>("logged");
        QTest::newRow("devices")
            << QStringList{"--device",        "tq24:SIM-A",        "--version-reply",
                           "ATCVER TQ23-1v0", "--device=pm:SIM-B", "--no-values"}
            << "(\\S+) SIM-A tq24\n(\\S+) SIM-B pm\nTQ_CALIBRATOR_PORTS=\\1=SIM-A;\\2=SIM-B"
            << "1 ATCVER => ATCVER TQ23-1v0|2 ATCH => ATCH ----,----,----,----,----,----"
            << "";
        // What the start script runs: one device of every model, each answering with its own version.
        QTest::newRow("no devices: one of every model")
            << QStringList()
            << "(\\S+) \\S+ pm\n(\\S+) \\S+ tq20\n(\\S+) \\S+ tq21\n(\\S+) \\S+ tq22\n(\\S+) \\S+ tq24\n"
               "TQ_CALIBRATOR_PORTS=\\1=[^;]+;\\2=[^;]+;\\3=[^;]+;\\4=[^;]+;\\5=[^;]+"
            << "1 ATCVER => ATCVER QD700-PM-2v1|2 ATCVER => ATCVER TQ20-3v2|3 ATCVER => ATCVER TQ21-1v5|"
               "4 ATCVER => ATCVER TQ22-1v0|5 ATCVER => ATCVER TQ24-1v5"
            << "";
        QTest::newRow("one model with faults and transcript")
            << QStringList{"--model",          "tq24",        "--firmware", "1v2", "--serial=BENCH-7",
                           "--refuse-actions", "--transcript"}
            << "(\\S+) TQ_CALIBRATOR_PORTS=\\1=BENCH-7"
            << "1 ATCVER => ATCVER TQ24-1v2|1 ATCDRFT => ATCDRFT"
            << "BENCH-7 <- ATCVER|BENCH-7 <- ATCDRFT|BENCH-7 -> ATCVER TQ24-1v2|BENCH-7 -> ATCDRFT";
        // Bad arguments: no listing, exit code 2 and a message.
        const auto bad = [](const char *name, const QStringList &args) {
            QTest::newRow(name) << args << QString() << QString() << QString("tq-sim: ");
        };
        bad("unknown model", {"--device", "tq23:X"});
        bad("version reply before any device", {"--version-reply", "ATCVER TQ24-1v5"});
        bad("serial breaking the port list", {"--device", "pm:A;B"});
        bad("unknown option", {"--fast"});
        bad("firmware not DvD", {"--model", "tq24", "--firmware", "15"});
        bad("firmware without model", {"--firmware", "1v5"});
        bad("model and device", {"--model", "pm", "--device", "tq24"});
        bad("split of zero bytes", {"--split", "0"});
        bad("model without value", {"--model"});
        bad("gas not a number", {"--model", "tq24", "--gas", "lots"});
        bad("drift without gas", {"--model", "tq24", "--drift", "1"});
        bad("negative settling time", {"--model", "tq24", "--gas", "1", "--settle-s", "-1"});
        bad("link without model", {"--link", "/tmp/tq-sim-link"});
    }
    // A tool started earlier lists the name; the device behind it answers there until the end.
    void link_namesThePortUntilTheEnd()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("pm-b"));
        QProcess sim;
        sim.start(QStringLiteral(TQ_SIM_PATH), {"--model", "pm", "--link", link});
        QVERIFY(sim.waitForReadyRead(3000));
        const QString port = QString::fromLatin1(sim.readLine()).section(' ', 0, 0);
        QCOMPARE(QFileInfo(link).symLinkTarget(), port);
        PlainPort named(link);
        named.write("ATCVER\r\n");
        QCOMPARE(named.readLines(1), QByteArray("ATCVER QD700-PM-2v1\r\n"));
        sim.terminate();
        QVERIFY(sim.waitForFinished(3000));
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    }
    void program()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, listing);
        QFETCH(QString, exchanges);
        QFETCH(QString, logged);
        QProcess sim;
        sim.start(QStringLiteral(TQ_SIM_PATH), args);
        if (listing.isEmpty()) {
            QVERIFY(sim.waitForFinished(3000));
            QCOMPARE(sim.exitCode(), 2);
            QVERIFY(sim.readAllStandardError().startsWith(logged.toLatin1()));
            QVERIFY(sim.readAllStandardOutput().isEmpty());
            return;
        }
        QString lines; // up to and including the one with the port list
        while (!(lines.contains("TQ_CALIBRATOR_PORTS=") && lines.endsWith('\n')) &&
               (sim.canReadLine() || sim.waitForReadyRead(3000)))
            lines += QString::fromLatin1(sim.readLine());
        const auto listed =
            QRegularExpression(QRegularExpression::anchoredPattern(listing + "\n")).match(lines);
        QVERIFY2(listed.hasMatch(), qPrintable(lines));
        for (const QString &exchange : exchanges.split('|')) {
            PlainPort port(listed.captured(exchange.section(' ', 0, 0).toInt()));
            port.write(exchange.section(' ', 1).section(" => ", 0, 0).toLatin1() + "\r\n");
            QCOMPARE(port.readLines(1), exchange.section(" => ", 1).toLatin1() + "\r\n");
        }
        sim.terminate();
        QVERIFY(sim.waitForFinished(3000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        const QString log = QString::fromLatin1(sim.readAllStandardError());
        for (const QString &line : logged.split('|', Qt::SkipEmptyParts))
            QVERIFY2(log.contains(QRegularExpression("\\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\+\\d+ " +
                                                     QRegularExpression::escape(line + "[CR][LF]\n"))),
                     qPrintable(log));
    }
};

QTEST_GUILESS_MAIN(TestTqSim)
#include "tst_tqsim.moc"
