#include "chart/chartmath.h"

#include <QtTest>

static const double kNo = 1.7E+308;

class TestChartMath : public QObject
{
    Q_OBJECT
private slots:
    void dateSteps_data()
    {
        QTest::addColumn<double>("span");
        QTest::addColumn<double>("pixels");
        QTest::addColumn<double>("major");
        QTest::addColumn<double>("minor");
        // The trend chart's windows (240 poll periods) over a 650-pixel plot, 75 / 15 pixel density.
        QTest::newRow("500 ms poll") << 120.0 << 650.0 << 15.0 << 5.0;
        QTest::newRow("1000 ms poll") << 240.0 << 650.0 << 30.0 << 10.0;
        QTest::newRow("2000 ms poll") << 480.0 << 650.0 << 60.0 << 15.0;
        QTest::newRow("10000 ms poll") << 2400.0 << 650.0 << 300.0 << 60.0;
        QTest::newRow("narrow plot takes coarser steps") << 240.0 << 150.0 << 120.0 << 30.0;
    }
    void dateSteps()
    {
        QFETCH(double, span);
        QFETCH(double, pixels);
        const double step = ChartMath::dateMajorStep(span, pixels, 75);
        QTEST(step, "major");
        QTEST(ChartMath::dateMinorStep(step, span, pixels, 15), "minor");
    }

    void autoScale_data()
    {
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<double>("step");
        QTest::newRow("CO2 near 415") << 399.0 << 431.0 << 390.0 << 440.0 << 10.0;
        QTest::newRow("far from zero keeps its band") << 20.4 << 24.6 << 18.0 << 26.0 << 2.0;
        QTest::newRow("close to zero starts at zero") << 3.0 << 90.0 << 0.0 << 100.0 << 20.0;
        QTest::newRow("negative values end at zero") << -90.0 << -3.0 << -100.0 << 0.0 << 20.0;
        QTest::newRow("flat value gets a band") << 50.0 << 50.0 << 45.0 << 55.0 << 5.0;
        QTest::newRow("flat zero") << 0.0 << 0.0 << -1.0 << 1.0 << 0.5;
        QTest::newRow("small fractions") << 0.012 << 0.018 << 0.0 << 0.02 << 0.005;
    }
    void autoScale()
    {
        QFETCH(double, min);
        QFETCH(double, max);
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(double, step);
        const ChartMath::Scale scale = ChartMath::autoScale(min, max, 175, 30);
        const QString got = QString("%1..%2 by %3").arg(scale.low).arg(scale.high).arg(scale.majorStep);
        QVERIFY2(qFuzzyCompare(scale.low + 1, low + 1) && qFuzzyCompare(scale.high, high) &&
                     qFuzzyCompare(scale.majorStep, step),
                 qPrintable(got));
        QVERIFY((scale.high - scale.low) / scale.majorStep <= 175 / 30);
    }

    void tickValues_localOffset_alignsToLocalMultiples()
    {
        // Hourly ticks in a zone 5 h 30 min ahead of UTC fall on whole local hours, which are UTC half hours.
        const double low = 1000000005;
        const QVector<double> ticks = ChartMath::tickValues(low, low + 10000, 3600, 19800);
        QCOMPARE(ticks.size(), 3);
        for (double t : ticks)
            QCOMPARE(std::fmod(t + 19800, 3600.0), 0.0);
        QVERIFY(ticks.first() >= low && ticks.first() < low + 3600);
        QVERIFY(ChartMath::tickValues(0, 1e12, 1, 0).isEmpty());
        // Both ends of an axis that fall on a step are ticks.
        QCOMPARE(ChartMath::tickValues(-0.5, 1.0, 0.5, 0), (QVector<double>{-0.5, 0.0, 0.5, 1.0}));
    }

    void lookups_skipMissingTimes()
    {
        const double xs[] = {kNo, kNo, 10, 20.5, 30};
        QCOMPARE(ChartMath::nearestIndex(xs, 5, 0), 2);
        QCOMPARE(ChartMath::nearestIndex(xs, 5, 22), 3);
        QCOMPARE(ChartMath::nearestIndex(xs, 2, 1), -1);
        QCOMPARE(ChartMath::indexOf(xs, 5, 20, 0), -1);
        QCOMPARE(ChartMath::indexOf(xs, 5, 20, 0.5), 3);
        QCOMPARE(ChartMath::indexOf(xs, 5, kNo, 0), -1);
        // An empty range maps everything to its first pixel instead of dividing by zero.
        QCOMPARE(ChartMath::valueToPixel(5, 5, 5, 10, 20), 10.0);
    }

    void labels_timeAndValue()
    {
        QCOMPARE(ChartMath::formatTime(1700000000.9, 0), QString("22:13:20")); // cut, not rounded
        QCOMPARE(ChartMath::formatTime(1700000000, 9 * 3600), QString("07:13:20"));
        QCOMPARE(ChartMath::formatTime(-1, 0), QString("23:59:59"));
        QCOMPARE(ChartMath::formatValue(440, ChartMath::decimalsForStep(10)), QString("440"));
        QCOMPARE(ChartMath::formatValue(0.015, ChartMath::decimalsForStep(0.005)), QString("0.015"));
        QCOMPARE(ChartMath::formatValue(kNo, 2), QString());
    }
};

QTEST_APPLESS_MAIN(TestChartMath)
#include "tst_chartmath.moc"
