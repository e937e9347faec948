#include "plainport.h"

#include <QProcess>
#include <QtTest>

// Runs the tq-sim program the way the start script does: read its port list, talk, stop it.
class TestTqSimProgram : public QObject
{
    Q_OBJECT
private slots:
    void devices_listedThenAnsweredThenStoppedBySigterm();
    void noDevices_oneOfEveryModel();
    void badArguments_refusedWithMessage_data();
    void badArguments_refusedWithMessage();

private:
    // Lines up to and including the TQ_CALIBRATOR_PORTS line.
    QStringList startAndReadPorts(QProcess &sim, const QStringList &args)
    {
        sim.start(QStringLiteral(TQ_SIM_PATH), args);
        QStringList lines;
        while (sim.waitForReadyRead(3000) || sim.canReadLine()) {
            while (sim.canReadLine()) {
                lines << QString::fromLatin1(sim.readLine()).trimmed();
                if (lines.last().startsWith(QLatin1String("TQ_CALIBRATOR_PORTS=")))
                    return lines;
            }
        }
        return lines;
    }
};

void TestTqSimProgram::devices_listedThenAnsweredThenStoppedBySigterm()
{
    QProcess sim;
    const QStringList lines = startAndReadPorts(sim, {"--device", "tq24:SIM-A", "--version-reply",
                                                      "ATCVER TQ23-1v0", "--device=pm:SIM-B", "--no-values"});
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

void TestTqSimProgram::noDevices_oneOfEveryModel()
{
    QProcess sim;
    const QStringList lines = startAndReadPorts(sim, {});
    QCOMPARE(lines.size(), 6);
    QStringList models;
    for (int i = 0; i < 5; ++i)
        models << lines[i].section(' ', 2);
    QCOMPARE(models, (QStringList{"pm", "tq20", "tq21", "tq22", "tq24"}));
    QCOMPARE(lines[5].count(';'), 4);
    sim.terminate();
    QVERIFY(sim.waitForFinished(3000));
}

void TestTqSimProgram::badArguments_refusedWithMessage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown model") << QStringList{"--device", "tq23:X"};
    QTest::newRow("version reply before any device") << QStringList{"--version-reply", "ATCVER TQ24-1v5"};
    QTest::newRow("serial breaking the port list") << QStringList{"--device", "pm:A;B"};
    QTest::newRow("device without value") << QStringList{"--device"};
    QTest::newRow("unknown option") << QStringList{"--fast"};
}

void TestTqSimProgram::badArguments_refusedWithMessage()
{
    QFETCH(QStringList, args);
    QProcess sim;
    sim.start(QStringLiteral(TQ_SIM_PATH), args);
    QVERIFY(sim.waitForFinished(3000));
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY(sim.readAllStandardError().startsWith("tq-sim: "));
    QVERIFY(sim.readAllStandardOutput().isEmpty());
}

QTEST_MAIN(TestTqSimProgram)
#include "tst_tqsimprogram.moc"
