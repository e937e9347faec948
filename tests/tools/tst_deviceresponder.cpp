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
    void writeThenRead_valueReadsBack_data();
    void writeThenRead_valueReadsBack();
    void refusedWrite_keepsHeldValue_data();
    void refusedWrite_keepsHeldValue();
    void actionWord_answeredWithOk_data();
    void actionWord_answeredWithOk();
    void poll_givesModelFieldCount_data();
    void poll_givesModelFieldCount();
    void unknownWord_answeredError_data();
    void unknownWord_answeredError();
    void factoryReset_restoresSettingsButKeepsHours();
    void liveValues_followUnitSettings();
    void liveValues_varySlowly();
    void gasCalibration_spanZeroAndParameters();
    void setSetting_plantsUncheckedValue();
};

void TestDeviceResponder::writeThenRead_valueReadsBack_data()
{
    QTest::addColumn<Model>("model");
    QTest::addColumn<QByteArray>("write");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("pm offset 3 negative")
        << Model::Pm << QByteArray("ATCOFF3 -0.25") << QByteArray("ATCOFF3 -0.25");
    QTest::newRow("pm largest offset")
        << Model::Pm << QByteArray("ATCOFF1 1000000.00") << QByteArray("ATCOFF1 1000000.00");
    QTest::newRow("pm baud index") << Model::Pm << QByteArray("ATCMODBR 5") << QByteArray("ATCMODBR 5");
    QTest::newRow("tq20 sensitivity") << Model::Tq20 << QByteArray("ATCWIN 25") << QByteArray("ATCWIN 25");
    QTest::newRow("tq21 barometer") << Model::Tq21 << QByteArray("ATCSPAN 950") << QByteArray("ATCSPAN 950");
    QTest::newRow("tq21 co2 calibration")
        << Model::Tq21 << QByteArray("ATCCAL 450.00") << QByteArray("ATCCAL 450.00");
    QTest::newRow("tq21 calibration time")
        << Model::Tq21 << QByteArray("ATCEXTM 4294967295") << QByteArray("ATCEXTM 4294967295");
    QTest::newRow("tq22 sensor type") << Model::Tq22 << QByteArray("ATCMODE 3") << QByteArray("ATCMODE 3");
    QTest::newRow("tq24 temperature offset")
        << Model::Tq24 << QByteArray("ATCOFF2 1.5") << QByteArray("ATCOFF2 1.50");
}

void TestDeviceResponder::writeThenRead_valueReadsBack()
{
    QFETCH(Model, model);
    QFETCH(QByteArray, write);
    QFETCH(QByteArray, reply);
    DeviceResponder device(model);
    QCOMPARE(device.answer(write + "\r\n", 1), reply);
    const QByteArray word = write.left(write.indexOf(' '));
    QCOMPARE(device.answer(word + "\r\n", 2), reply);
}

void TestDeviceResponder::refusedWrite_keepsHeldValue_data()
{
    QTest::addColumn<Model>("model");
    QTest::addColumn<QByteArray>("write");
    QTest::newRow("pm mode out of range") << Model::Pm << QByteArray("ATCMODE 2");
    QTest::newRow("pm offset not a number") << Model::Pm << QByteArray("ATCOFF1 12,5");
    QTest::newRow("pm hours are read-only") << Model::Pm << QByteArray("ATCUSED 5");
    QTest::newRow("tq20 mode zero") << Model::Tq20 << QByteArray("ATCMODE 0");
    QTest::newRow("tq21 barometer below range") << Model::Tq21 << QByteArray("ATCSPAN 842");
    QTest::newRow("tq22 type 5") << Model::Tq22 << QByteArray("ATCMODE 5");
}

void TestDeviceResponder::refusedWrite_keepsHeldValue()
{
    QFETCH(Model, model);
    QFETCH(QByteArray, write);
    DeviceResponder device(model);
    const QByteArray word = write.left(write.indexOf(' '));
    const QByteArray before = device.answer(word, 0);
    QVERIFY(before.startsWith(word + ' '));
    QCOMPARE(device.answer(write, 1), before);
    QCOMPARE(device.answer(word, 2), before);
}

void TestDeviceResponder::actionWord_answeredWithOk_data()
{
    QTest::addColumn<Model>("model");
    QTest::addColumn<QByteArray>("word");
    QTest::newRow("pm factory reset") << Model::Pm << QByteArray("ATCFTRST");
    QTest::newRow("tq20 user calibration") << Model::Tq20 << QByteArray("ATCUCAL");
    QTest::newRow("tq20 factory calibration") << Model::Tq20 << QByteArray("ATCFCAL");
    QTest::newRow("tq21 celsius") << Model::Tq21 << QByteArray("ATCC");
    QTest::newRow("tq22 fahrenheit") << Model::Tq22 << QByteArray("ATCF");
    QTest::newRow("tq24 fahrenheit") << Model::Tq24 << QByteArray("ATCF");
    QTest::newRow("tq24 drift adjustment") << Model::Tq24 << QByteArray("ATCDRFT");
}

void TestDeviceResponder::actionWord_answeredWithOk()
{
    QFETCH(Model, model);
    QFETCH(QByteArray, word);
    DeviceResponder device(model);
    QCOMPARE(device.answer(word + "\r\n", 0), word + " OK");
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

void TestDeviceResponder::unknownWord_answeredError_data()
{
    QTest::addColumn<Model>("model");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("pm other model's poll") << Model::Pm << QByteArray("ATCD");
    QTest::newRow("tq24 other model's poll") << Model::Tq24 << QByteArray("ATCD");
    QTest::newRow("tq20 has no temperature unit") << Model::Tq20 << QByteArray("ATCC");
    QTest::newRow("tq24 internal name") << Model::Tq24 << QByteArray("ZERO");
    QTest::newRow("tq21 garbage") << Model::Tq21 << QByteArray("\x01\xff ATCOFF1");
}

void TestDeviceResponder::unknownWord_answeredError()
{
    QFETCH(Model, model);
    QFETCH(QByteArray, line);
    DeviceResponder device(model);
    QCOMPARE(device.answer(line + "\r\n", 0), QByteArray("ERROR"));
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

    DeviceResponder pm(Model::Pm);
    pm.answer("ATCOFF4 500", 0);
    QVERIFY(field(pm, "ATCH", 3) > 500.0);
    QVERIFY(field(pm, "ATCH", 2) < 500.0);
}

void TestDeviceResponder::liveValues_varySlowly()
{
    DeviceResponder device(Model::Tq21);
    QList<double> values;
    for (int second = 0; second < 60; ++second)
        values << field(device, "ATCD", 0, second);
    double lowest = values.first(), highest = values.first();
    for (int i = 1; i < values.size(); ++i) {
        QVERIFY2(qAbs(values[i] - values[i - 1]) < 20.0, qPrintable(QString::number(i)));
        lowest = qMin(lowest, values[i]);
        highest = qMax(highest, values[i]);
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
    QCOMPARE(fieldsOf(device.answer("ATCCSP", 11), "ATCCSP"), span);

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
