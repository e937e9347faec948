#include "tools/tq-sim/deviceresponder.h"

#include <QtTest>

using tqsim::Model;
Q_DECLARE_METATYPE(tqsim::Model)

namespace {

QList<QByteArray> fieldsOf(const QByteArray &reply, const QByteArray &poll)
{
    if (!reply.startsWith(poll + ' '))
        return {};
    return reply.mid(poll.size() + 1).split(',');
}

double field(DeviceResponder &device, const QByteArray &poll, int index, double t = 10.0)
{
    return fieldsOf(device.answer(poll + "\r\n", t), poll).value(index).toDouble();
}

} // namespace

class TestDeviceResponder : public QObject
{
    Q_OBJECT
private slots:
    void line_answered_data();
    void line_answered();
    void poll_givesModelFieldCount_data();
    void poll_givesModelFieldCount();
    void factoryReset_restoresSettingsButKeepsHours();
    void liveValues_followUnitSettings();
    void liveValues_varySlowly();
    void gasCalibration_spanZeroAndParameters();
    void setSetting_plantsUncheckedValue();
};

void TestDeviceResponder::line_answered_data()
{
    QTest::addColumn<Model>("model");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("reply");
    const auto row = [](const char *name, Model model, const char *line, const char *reply) {
        QTest::newRow(name) << model << QByteArray(line) << QByteArray(reply);
    };
    row("pm negative offset", Model::Pm, "ATCOFF3 -0.25", "ATCOFF3 -0.25");
    row("pm largest offset", Model::Pm, "ATCOFF1 1000000.00", "ATCOFF1 1000000.00");
    row("pm baud index", Model::Pm, "ATCMODBR 5", "ATCMODBR 5");
    row("tq20 sensitivity", Model::Tq20, "ATCWIN 25", "ATCWIN 25");
    row("tq21 barometer", Model::Tq21, "ATCSPAN 950", "ATCSPAN 950");
    row("tq21 co2 calibration", Model::Tq21, "ATCCAL 450.00", "ATCCAL 450.00");
    row("tq21 latest time", Model::Tq21, "ATCEXTM 4294967295", "ATCEXTM 4294967295");
    row("tq22 sensor type", Model::Tq22, "ATCMODE 3", "ATCMODE 3");
    row("tq24 offset two decimals", Model::Tq24, "ATCOFF2 1.5", "ATCOFF2 1.50");
    row("refused: pm mode 2", Model::Pm, "ATCMODE 2", "ATCMODE 0");
    row("refused: offset not a number", Model::Pm, "ATCOFF1 12,5", "ATCOFF1 0.00");
    row("refused: hours read-only", Model::Pm, "ATCUSED 5", "ATCUSED 1234");
    row("refused: tq20 mode 0", Model::Tq20, "ATCMODE 0", "ATCMODE 2");
    row("refused: barometer below range", Model::Tq21, "ATCSPAN 842", "ATCSPAN 1013");
    row("refused: tq22 type 5", Model::Tq22, "ATCMODE 5", "ATCMODE 1");
    row("action: factory reset", Model::Pm, "ATCFTRST", "ATCFTRST OK");
    row("action: user calibration", Model::Tq20, "ATCUCAL", "ATCUCAL OK");
    row("action: factory calibration", Model::Tq20, "ATCFCAL", "ATCFCAL OK");
    row("action: tq21 celsius", Model::Tq21, "ATCC", "ATCC OK");
    row("action: tq22 fahrenheit", Model::Tq22, "ATCF", "ATCF OK");
    row("action: drift adjustment", Model::Tq24, "ATCDRFT", "ATCDRFT OK");
    row("unknown: other model's poll", Model::Pm, "ATCD", "ERROR");
    row("unknown: no temperature unit", Model::Tq20, "ATCC", "ERROR");
    row("unknown: internal name", Model::Tq24, "ZERO", "ERROR");
    row("unknown: garbage", Model::Tq21, "\x01\xff ATCOFF1", "ERROR");
}

// A write must read back as the value the device then holds; a refused one as the old value.
void TestDeviceResponder::line_answered()
{
    QFETCH(Model, model);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, reply);
    DeviceResponder device(model);
    QCOMPARE(device.answer(line + "\r\n", 1), reply);
    if (line.contains(' ') && line.startsWith("ATC"))
        QCOMPARE(device.answer(line.left(line.indexOf(' ')) + "\r\n", 2), reply);
}

void TestDeviceResponder::poll_givesModelFieldCount_data()
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
            << Model::Tq22 << QByteArray("ATCMODE " + QByteArray::number(type)) << QByteArray("ATCD") << 2;
    QTest::newRow("tq24 raw") << Model::Tq24 << QByteArray("ATCMODE 0") << QByteArray("ATCH") << 6;
}

void TestDeviceResponder::poll_givesModelFieldCount()
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

void TestDeviceResponder::factoryReset_restoresSettingsButKeepsHours()
{
    DeviceResponder device(Model::Pm);
    const QByteArray hours = device.answer("ATCUSED", 0);
    const QByteArray id = device.answer("ATCMODID", 0);
    device.answer("ATCOFF1 5.00", 0);
    device.answer("ATCMODID 99", 0);
    device.answer("ATCEXTM 1800000000", 0);
    QCOMPARE(device.answer("ATCFTRST", 0), QByteArray("ATCFTRST OK"));
    QCOMPARE(device.answer("ATCOFF1", 0), QByteArray("ATCOFF1 0.00"));
    QCOMPARE(device.answer("ATCMODID", 0), id);
    QCOMPARE(device.answer("ATCUSED", 0), hours);
    QCOMPARE(device.answer("ATCEXTM", 0), QByteArray("ATCEXTM 1800000000"));
}

void TestDeviceResponder::liveValues_followUnitSettings()
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

void TestDeviceResponder::liveValues_varySlowly()
{
    DeviceResponder device(Model::Tq21);
    double previous = field(device, "ATCD", 0, 0), lowest = previous, highest = previous;
    for (int second = 1; second < 60; ++second) {
        const double value = field(device, "ATCD", 0, second);
        QVERIFY2(qAbs(value - previous) < 20.0, qPrintable(QString::number(second)));
        lowest = qMin(lowest, value);
        highest = qMax(highest, value);
        previous = value;
    }
    QVERIFY(highest - lowest > 5.0);
}

void TestDeviceResponder::gasCalibration_spanZeroAndParameters()
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

void TestDeviceResponder::setSetting_plantsUncheckedValue()
{
    DeviceResponder device(Model::Pm);
    QVERIFY(device.setSetting(QStringLiteral("ATCMODE"), 2));
    QCOMPARE(device.answer("ATCMODE", 0), QByteArray("ATCMODE 2"));
    QCOMPARE(device.setting(QStringLiteral("ATCMODE")).toInt(), 2);
    QVERIFY(!device.setSetting(QStringLiteral("ATCWIN"), 3));
    QVERIFY(!device.setSetting(QStringLiteral("ATCOFF1"), QStringLiteral("abc")));
}

QTEST_APPLESS_MAIN(TestDeviceResponder)
#include "tst_deviceresponder.moc"
