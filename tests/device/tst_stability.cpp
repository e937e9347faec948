#include "device/stability.h"

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
    void step_data();
    void step();
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
    QTest::newRow("small noise") << 100.0 << 0.0 << 0.01 << 4000;
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
        QVERIFY2(qAbs(f.slopePerMinute - perMinute) < 1e-9 * qMax(1.0, qAbs(perMinute)),
                 qPrintable(QString::number(f.slopePerMinute)));
        QVERIFY2(qAbs(f.sd - lineSd) < 1e-9 * qMax(1.0, lineSd), qPrintable(QString::number(f.sd)));
    } else {
        QVERIFY2(qAbs(f.sd - sigma) < 0.05 * sigma, qPrintable(QString::number(f.sd)));
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
    QTest::newRow("gap longer than the window: no figures")
        << series(40, [](int i) { return i < 25 ? QStringLiteral("391.25") : QStringLiteral("----"); })
        << 1.0 << 0.5 << false;
    QTest::newRow("gap ignored, the dwell runs on")
        << series(25, [](int i) { return i % 3 ? QStringLiteral("391.25") : QStringLiteral("----"); })
        << 1.0 << 0.5 << true;
    QTest::newRow("texts that are no number are gaps")
        << series(25, [](int i) { return i % 2 ? QStringLiteral("391.25") : QStringLiteral("12OK"); })
        << 1.0 << 0.5 << true;
    QTest::newRow("a gap reading as zero would break it")
        << series(25, [](int i) { return i == 23 ? QStringLiteral("") : QStringLiteral("391.25"); }) << 1.0
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
    QVERIFY(tracker.figures().count <= 11);
}

void TestStability::step_data()
{
    QTest::addColumn<bool>("restart");
    QTest::newRow("same gas: the window decides") << false;
    QTest::newRow("gas changed: the dwell starts again") << true;
}

void TestStability::step()
{
    QFETCH(bool, restart);
    const double dwell = 45.0;
    const double window = 30.0;
    const double stepAt = 100.0;
    StabilityTracker tracker({0.1, 0.05, dwell, window});
    bool stableBeforeStep = false;
    double firstStableAfter = -1;
    for (double t = 0; t < 300 && firstStableAfter < 0; t += 1.0) {
        if (restart && t == stepAt)
            tracker.restart();
        tracker.add(t, t < stepAt ? 0.0 : 50.0);
        if (tracker.isStable() && t < stepAt)
            stableBeforeStep = true;
        else if (tracker.isStable())
            firstStableAfter = t;
    }
    QVERIFY(stableBeforeStep);
    // Settling until no sample before the step is left in the window, or the new dwell has passed.
    QCOMPARE(firstStableAfter, stepAt + (restart ? dwell : window));
}

QTEST_GUILESS_MAIN(TestStability)
#include "tst_stability.moc"
