#include "device/commandset.h"
#include "device/devicemodels.h"
#include "device/stability.h"
#include "device/stabilitydefaults.h"
#include "tools/tq-sim/deviceresponder.h"

#include <QtTest>

#include <random>

using Stability::Sample;

// The stability figures as pure functions of samples, and the tracker's verdict over time.
class TestStability : public QObject
{
    Q_OBJECT
private slots:
    void figures_data();
    void figures();
    void tracker_data();
    void tracker();
    void defaults_data();
    void defaults();
    void defaults_everyRowNamesALiveFieldItsOffsetCorrects();
};

void TestStability::figures_data()
{
    QTest::addColumn<double>("t0");
    QTest::addColumn<double>("perMinute"); // the ramp
    QTest::addColumn<double>("sigma");     // normal noise on it
    QTest::addColumn<int>("n");
    QTest::newRow("ramp up") << 0.0 << 3.0 << 0.0 << 5;
    QTest::newRow("ramp down") << 10.0 << -60.0 << 0.0 << 7;
    QTest::newRow("ramp on a Unix-second clock") << 1.8e9 << 0.5 << 0.0 << 6;
    QTest::newRow("noise") << 0.0 << 0.0 << 2.0 << 4000;
}

void TestStability::figures()
{
    QFETCH(double, t0);
    QFETCH(double, perMinute);
    QFETCH(double, sigma);
    QFETCH(int, n);
    const double dt = 2.0;
    std::mt19937 random(24);
    std::normal_distribution<double> noise(0.0, sigma > 0 ? sigma : 1.0);
    QVector<Sample> samples;
    for (int i = 0; i < n; ++i)
        samples.append({t0 + i * dt, 400.0 + perMinute * i * dt / 60.0 + (sigma > 0 ? noise(random) : 0.0)});
    const Stability::Figures f = Stability::figures(samples);
    QCOMPARE(f.count, n);
    if (sigma == 0) {
        // Equally spaced points on a line: the slope is the ramp, the SD that of the line's values.
        const double lineSd = qAbs(perMinute / 60.0) * dt * qSqrt(n * (n + 1) / 12.0);
        QVERIFY(qAbs(f.slopePerMinute - perMinute) < 1e-9 * qMax(1.0, qAbs(perMinute)));
        QVERIFY(qAbs(f.sd - lineSd) < 1e-9 * qMax(1.0, lineSd));
    } else {
        QVERIFY(qAbs(f.sd - sigma) < 0.05 * sigma);
        // The slope's standard error over the span is sigma·√12/(span·√n) per second.
        const double span = n * dt;
        QVERIFY(qAbs(f.slopePerMinute) < 4 * 60 * sigma * qSqrt(12.0) / (span * qSqrt(n)));
    }
}

// One field text a second from t = 0; "----" is what the device sends for no value.
void TestStability::tracker_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<double>("maxSlope");
    QTest::addColumn<double>("maxSd");
    QTest::addColumn<bool>("stable");
    const auto series = [](int n, const std::function<QString(int)> &text) {
        QStringList fields;
        for (int i = 0; i < n; ++i)
            fields << text(i);
        return fields;
    };
    const auto steady = [](int) { return QStringLiteral("391.25"); };
    const auto ramp = [](int i) { return QString::number(400 + i / 10.0); }; // 6 units per minute
    const auto jitter = [](int i) { return QString::number(i % 2 ? 401 : 399); };
    // Dwell 20 s, window 10 s.
    QTest::newRow("steady, dwell passed") << series(25, steady) << 1.0 << 0.5 << true;
    QTest::newRow("steady, dwell not yet passed") << series(20, steady) << 1.0 << 0.5 << false;
    QTest::newRow("ramp over the slope limit") << series(40, ramp) << 5.0 << 10.0 << false;
    QTest::newRow("ramp under the slope limit") << series(40, ramp) << 7.0 << 10.0 << true;
    QTest::newRow("jitter over the SD limit") << series(40, jitter) << 10.0 << 1.0 << false;
    QTest::newRow("jitter under the SD limit") << series(40, jitter) << 10.0 << 1.1 << true;
    const auto step = [](int i) { return QString::number(i < 25 ? 0 : 50); };
    QTest::newRow("step still in the window") << series(35, step) << 1.0 << 0.5 << false;
    QTest::newRow("step out of the window") << series(36, step) << 1.0 << 0.5 << true;
    QTest::newRow("gap longer than the window: no figures")
        << series(40, [](int i) { return i < 25 ? QStringLiteral("391.25") : QStringLiteral("----"); }) << 1.0
        << 0.5 << false;
    QTest::newRow("gap ignored, the dwell runs on")
        << series(25, [](int i) { return i % 3 ? QStringLiteral("391.25") : QStringLiteral("----"); }) << 1.0
        << 0.5 << true;
    QTest::newRow("texts that are no number are gaps")
        << series(25, [](int i) { return i % 2 ? QStringLiteral("391.25") : QStringLiteral("12OK"); }) << 1.0
        << 0.5 << true;
}

void TestStability::tracker()
{
    QFETCH(QStringList, fields);
    QFETCH(double, maxSlope);
    QFETCH(double, maxSd);
    QFETCH(bool, stable);
    StabilityTracker tracker({maxSlope, maxSd, 20.0, 10.0});
    for (int i = 0; i < fields.size(); ++i)
        tracker.addText(i, fields.at(i));
    // A sample from the past or without a finite value changes nothing.
    tracker.add(fields.size() - 2.0, 1e9);
    tracker.add(qQNaN(), 1e9);
    tracker.add(fields.size() + 1.0, qInf());
    QCOMPARE(tracker.isStable(), stable);
}

// Limits for a reference: 0.5 % per minute and 0.25 %, never under the resolution; zero gas absolute.
void TestStability::defaults_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("channel");
    QTest::addColumn<double>("reference");
    QTest::addColumn<double>("maxSlope"); // negative: the table has no such channel
    QTest::addColumn<double>("maxSd");
    QTest::newRow("TQ24 span 400 ppm") << 24 << 1 << 400.0 << 2.0 << 1.0;
    QTest::newRow("TQ24 zero gas") << 24 << 1 << 0.0 << 0.5 << 0.3;
    QTest::newRow("TQ24 10 ppm: resolution floor") << 24 << 1 << 10.0 << 0.1 << 0.1;
    QTest::newRow("TQ21 below freezing") << 21 << 2 << -20.0 << 0.1 << 0.05;
    QTest::newRow("TQ20 TVOC 0.5 ppm") << 20 << 1 << 0.5 << 0.0025 << 0.00125;
    QTest::newRow("TQ22 has two channels") << 22 << 3 << 20.9 << -1.0 << -1.0;
}

void TestStability::defaults()
{
    QFETCH(int, model);
    QFETCH(int, channel);
    QFETCH(double, reference);
    QFETCH(double, maxSlope);
    QFETCH(double, maxSd);
    const std::optional<Stability::Limits> limits = StabilityDefaults::limits(model, channel, reference);
    QCOMPARE(limits.has_value(), maxSlope >= 0);
    if (!limits)
        return;
    QCOMPARE(limits->maxSlope, maxSlope);
    QCOMPARE(limits->maxSd, maxSd);
}

// The simulator applies "ATCOFFn" where the device does: only the row's live field moves.
void TestStability::defaults_everyRowNamesALiveFieldItsOffsetCorrects()
{
    for (const StabilityDefaults::Channel &row : StabilityDefaults::all()) {
        tqsim::Model model;
        QVERIFY(tqsim::modelFromName(DeviceModels::name(row.model).toLower(), &model));
        DeviceResponder device(model);
        const QStringList before = Cmd::liveFields(device.answer(device.pollWord(), 0), device.pollWord());
        QVERIFY(device.setSetting(QStringLiteral("ATCOFF%1").arg(row.channel), 5000.0));
        const QStringList after = Cmd::liveFields(device.answer(device.pollWord(), 0), device.pollWord());
        for (int i = 0; i < before.size(); ++i)
            QCOMPARE(*Cmd::number(after.value(i)) - *Cmd::number(before.at(i)) > 1000, i == row.field);
        QVERIFY(row.resolution > 0 && row.zeroSlope >= row.resolution && row.timeoutS > row.dwellS);
    }
}

QTEST_GUILESS_MAIN(TestStability)
#include "tst_stability.moc"
