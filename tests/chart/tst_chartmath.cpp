#include "chart/chartmath.h"

#include <QtTest>

class TestChartMath : public QObject
{
    Q_OBJECT
private slots:
    void dateSteps_data();
    void dateSteps();
    void autoScale_data();
    void autoScale();
    void tickValues_localOffset_alignsToLocalMultiples();
    void valueToPixel_roundTrip();
    void nearestIndex_skipsMissingTimes_data();
    void nearestIndex_skipsMissingTimes();
    void indexOf_honoursTolerance();
    void formatTime_data();
    void formatTime();
    void formatValue_data();
    void formatValue();
};

static const double kNo = 1.7E+308;

void TestChartMath::dateSteps_data()
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
    QTest::newRow("empty plot") << 240.0 << 0.0 << 1.0 << 0.0;
}

void TestChartMath::dateSteps()
{
    QFETCH(double, span);
    QFETCH(double, pixels);
    QFETCH(double, major);
    QFETCH(double, minor);
    const double step = ChartMath::dateMajorStep(span, pixels, 75);
    QCOMPARE(step, major);
    QCOMPARE(ChartMath::dateMinorStep(step, span, pixels, 15), minor);
}

void TestChartMath::autoScale_data()
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

void TestChartMath::autoScale()
{
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, step);
    const ChartMath::Scale scale = ChartMath::autoScale(min, max, 175, 30);
    QVERIFY2(qFuzzyCompare(scale.low + 1, low + 1), qPrintable(QString::number(scale.low)));
    QVERIFY2(qFuzzyCompare(scale.high, high), qPrintable(QString::number(scale.high)));
    QVERIFY2(qFuzzyCompare(scale.majorStep, step), qPrintable(QString::number(scale.majorStep)));
    QVERIFY(scale.low <= min && scale.high >= max);
    QVERIFY((scale.high - scale.low) / scale.majorStep <= 175 / 30);
}

void TestChartMath::tickValues_localOffset_alignsToLocalMultiples()
{
    // 30-second ticks in a zone 5 h 30 min ahead of UTC fall on local :00 and :30.
    const double low = 1000000005;
    const QVector<double> ticks = ChartMath::tickValues(low, low + 100, 30, 19800);
    QCOMPARE(ticks.size(), 3);
    for (double t : ticks)
        QCOMPARE(std::fmod(t + 19800, 30.0), 0.0);
    QVERIFY(ticks.first() >= low && ticks.first() < low + 30);
    QVERIFY(ChartMath::tickValues(0, 1e12, 1, 0).isEmpty());
}

void TestChartMath::valueToPixel_roundTrip()
{
    QCOMPARE(ChartMath::valueToPixel(1000, 1000, 1240, 45, 694), 45.0);
    QCOMPARE(ChartMath::valueToPixel(1240, 1000, 1240, 45, 694), 694.0);
    QCOMPARE(ChartMath::valueToPixel(1120, 1000, 1240, 45, 694), 369.5);
    // y runs upwards: the low value sits at the bottom pixel.
    QCOMPARE(ChartMath::valueToPixel(390, 390, 440, 189, 15), 189.0);
    QCOMPARE(ChartMath::pixelToValue(369.5, 1000, 1240, 45, 694), 1120.0);
    QCOMPARE(ChartMath::valueToPixel(5, 5, 5, 10, 20), 10.0);
}

void TestChartMath::nearestIndex_skipsMissingTimes_data()
{
    QTest::addColumn<double>("target");
    QTest::addColumn<int>("index");
    QTest::newRow("left of all data") << 0.0 << 2;
    QTest::newRow("between, nearer the later") << 22.0 << 3;
    QTest::newRow("exact") << 30.0 << 4;
    QTest::newRow("right of all data") << 1e9 << 4;
}

void TestChartMath::nearestIndex_skipsMissingTimes()
{
    QFETCH(double, target);
    QFETCH(int, index);
    const double xs[] = {kNo, kNo, 10, 25, 30};
    QCOMPARE(ChartMath::nearestIndex(xs, 5, target), index);
    const double empty[] = {kNo, kNo};
    QCOMPARE(ChartMath::nearestIndex(empty, 2, 1), -1);
}

void TestChartMath::indexOf_honoursTolerance()
{
    const double xs[] = {kNo, 10, 20.5, 30};
    QCOMPARE(ChartMath::indexOf(xs, 4, 20.5, 0), 2);
    QCOMPARE(ChartMath::indexOf(xs, 4, 20, 0), -1);
    QCOMPARE(ChartMath::indexOf(xs, 4, 20, 0.5), 2);
    QCOMPARE(ChartMath::indexOf(xs, 4, kNo, 0), -1);
}

void TestChartMath::formatTime_data()
{
    QTest::addColumn<double>("time");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTC") << 1700000000.0 << 0 << "22:13:20";
    QTest::newRow("fraction is cut, not rounded") << 1700000000.9 << 0 << "22:13:20";
    QTest::newRow("ahead of UTC wraps past midnight") << 1700000000.0 << 9 * 3600 << "07:13:20";
    QTest::newRow("behind UTC") << 1700000000.0 << -5 * 3600 << "17:13:20";
    QTest::newRow("before 1970") << -1.0 << 0 << "23:59:59";
}

void TestChartMath::formatTime()
{
    QFETCH(double, time);
    QFETCH(int, offset);
    QFETCH(QString, text);
    QCOMPARE(ChartMath::formatTime(time, offset), text);
}

void TestChartMath::formatValue_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("step");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole step") << 440.0 << 10.0 << "440";
    QTest::newRow("half step") << 2.5 << 0.5 << "2.5";
    QTest::newRow("fine step") << 0.015 << 0.005 << "0.015";
    QTest::newRow("negative") << -20.0 << 20.0 << "-20";
}

void TestChartMath::formatValue()
{
    QFETCH(double, value);
    QFETCH(double, step);
    QFETCH(QString, text);
    QCOMPARE(ChartMath::formatValue(value, ChartMath::decimalsForStep(step)), text);
    QCOMPARE(ChartMath::formatValue(kNo, 2), QString());
}

QTEST_APPLESS_MAIN(TestChartMath)
#include "tst_chartmath.moc"
