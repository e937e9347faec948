#include "chart/chartview.h"

#include <QtTest>
#include <ctime>

static const double kNo = 1.7E+308;
static const double kStart = 1700000040; // a whole minute, 22:14:00 UTC
static const QRgb kWhite = 0xFFFFFFFF;
static const QRgb kTrace = 0xFF151515;

// The last `count` entries of a 240-sample buffer.
static QVector<double> tail(const double *samples, int count)
{
    return QVector<double>(samples + ChartView::kSampleCount - count, samples + ChartView::kSampleCount);
}

// The chart arithmetic, then the drawing of a 300 x 200 chart whose plot area spans pixels 40..280
// and 10..170, showing two minutes of one-second samples from kStart: the clock's 60 s grid lines
// land on whole pixels 40, 160, 280.
class TestChart : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    void init()
    {
        for (int i = 0; i < 121; ++i) {
            m_times[i] = kStart + i;
            m_values[i] = i >= 80 && i <= 90 ? kNo : 101; // off the grid lines
        }
        m_chart = std::make_unique<XYChart>(300, 200, 0xF4F4F4, 0x000000, 1);
        m_chart->setPlotArea(40, 10, 241, 161, 0xFFFFFF, 0x000000, 0xCCCCCC, 0xCCCCCC);
        m_chart->xAxis()->setTickDensity(75, 15);
        m_chart->xAxis()->setDateScale(kStart, kStart + 120);
        m_chart->xAxis()->setLabelFormat("{value|hh:nn:ss}");
        LineLayer *layer = m_chart->addLineLayer2();
        layer->setXData(m_times, 121);
        layer->addDataSet(m_values, 121, 0x151515, "CH1");
    }

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

    void render_knownGeometry_gridTraceAndGapWhereMapped()
    {
        QCOMPARE(m_chart->getXCoor(kStart), 40);
        QCOMPARE(m_chart->getXCoor(kStart + 120), 280);
        QCOMPARE(m_chart->getNearestXValue(164), kStart + 62);
        QCOMPARE(m_chart->getLayerByZ(0)->getXIndexOf(kStart + 62), 62);
        const int y = m_chart->getYCoor(101);
        QVERIFY(m_chart->getYCoor(102) < y);
        const QImage image = m_chart->makeChart().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(300, 200));
        QCOMPARE(image.pixel(100, m_chart->getYCoor(102)), kWhite);
        QCOMPARE(image.pixel(160, 20), 0xFFCCCCCCu); // the grid line of kStart + 60
        QCOMPARE(image.pixel(100, y), kTrace);
        QCOMPARE(image.pixel(40 + 85 * 2, y), kWhite);
        QCOMPARE(image.pixel(40 + 95 * 2, y), kTrace);
    }

    void yAxis_missingAndOutOfWindowValues_leftOutOfScale()
    {
        m_times[3] = kStart - 500;
        m_values[3] = 1e6;
        m_values[4] = std::numeric_limits<double>::infinity();
        m_values[5] = 104;
        LineLayer *layer = m_chart->addLineLayer2();
        layer->setXData(m_times, 121);
        layer->addDataSet(m_values, 121, 0x151515, "CH2");
        m_chart->layout();
        QVERIFY(m_chart->yAxis()->getMaxValue() >= 104);
        QVERIFY(m_chart->yAxis()->getMaxValue() < 200);
        QVERIFY(m_chart->yAxis()->getMinValue() <= 101);
    }

    void overlay_redrawn_startsFromCleanChart()
    {
        const int top = m_chart->getPlotArea()->getTopY();
        for (int x : {100, 120}) {
            DrawArea *d = m_chart->initDynamicLayer();
            d->vline(top, 170, x, d->dashLineColor(0x151515, 0x0101));
            const QImage shown = m_chart->makeChart().convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(shown.pixel(x, top + 2), kTrace);
            QCOMPARE(shown.pixel(x, top + 3), kWhite); // dashed
            QCOMPARE(shown.pixel(100, top + 2), x == 100 ? kTrace : kWhite);
        }
        m_chart->removeDynamicLayer();
        QCOMPARE(m_chart->makeChart().pixel(120, top + 2), kWhite);
    }

    void text_alignment_placesBoxBesideAnchor_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<QPoint>("inside");
        QTest::addColumn<QPoint>("outside");
        QTest::newRow("left: box starts at the point, centred on it")
            << int(Chart::Left) << QPoint(102, 50) << QPoint(98, 50);
        QTest::newRow("right: box ends at the point")
            << int(Chart::Right) << QPoint(98, 50) << QPoint(102, 50);
        QTest::newRow("top-left: box hangs below the point")
            << int(Chart::TopLeft) << QPoint(102, 52) << QPoint(102, 48);
    }
    void text_alignment_placesBoxBesideAnchor()
    {
        QFETCH(int, alignment);
        QFETCH(QPoint, inside);
        QFETCH(QPoint, outside);
        DrawArea *d = m_chart->initDynamicLayer();
        TTFText text = d->text(" 12.34 ", Chart::boldLabelFont(), 0x373737);
        QVERIFY(text.getWidth() > 20);
        text.draw(100, 50, 0xFFFFFF, alignment);
        const QImage shown = m_chart->makeChart();
        QCOMPARE(shown.pixel(inside), 0xFF373737u);
        QVERIFY(shown.pixel(outside) != 0xFF373737u);
    }

    void tinyChart_rendersWithoutFault()
    {
        XYChart chart(0, -5, 0xF4F4F4, 0x000000, 1);
        chart.setPlotArea(45, 15, -50, -25, 0xFFFFFF);
        chart.xAxis()->setDateScale(kStart, kStart);
        LineLayer *layer = chart.addLineLayer2();
        layer->setXData(m_times, 121);
        layer->addDataSet(m_values, 121, 0x151515, "CH1");
        DrawArea *d = chart.initDynamicLayer();
        d->circle(chart.getXCoor(kStart), chart.getYCoor(101), 4, 4, 0x151515, 0x151515);
        QCOMPARE(chart.makeChart().size(), QSize(1, 1));
        QCOMPARE(chart.getChartMetrics().plotWidth, 1);
    }

    // The cursor stands at the sample nearest the mouse with its value labels on the side towards
    // the middle of the plot; a gap shows "N/A".
    void trackCursor_mouseX_nearestSampleLabelledTowardsMiddle_data()
    {
        QTest::addColumn<int>("mouseX");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("alignment");
        QTest::newRow("left half") << 100 << "22:14:30" << "101.00" << int(Chart::Left);
        QTest::newRow("right half") << 250 << "22:15:45" << "101.00" << int(Chart::Right);
        QTest::newRow("gap") << 210 << "22:15:25" << "N/A" << int(Chart::Right);
    }
    void trackCursor_mouseX_nearestSampleLabelledTowardsMiddle()
    {
        QFETCH(int, mouseX);
        QFETCH(int, alignment);
        const ChartView::TrackCursor cursor = ChartView::drawTrackCursor(m_chart.get(), mouseX);
        QVERIFY(cursor.shown);
        QCOMPARE(cursor.xCoor, mouseX);
        QTEST(cursor.timeLabel, "time");
        QCOMPARE(cursor.values.size(), 1);
        QTEST(cursor.values[0].text, "text");
        QCOMPARE(cursor.values[0].alignment, alignment);
        QCOMPARE(cursor.values[0].anchor.x(), mouseX + (alignment == Chart::Left ? 5 : -5));
    }

    // Samples fill from the right; one at the newest time replaces it; the 241st pushes out the first.
    void samples_sameTimeReplaces_oldestDropped_clearEmpties()
    {
        ChartView view(nullptr, nullptr);
        view.addSample(kStart, 1, 2);
        view.addSample(kStart, 1.5, 2.5);
        view.addSample(kStart + 1, 3.5, 4.5);
        QCOMPARE(tail(view.timeStamps(), 3), (QVector<double>{kNo, kStart, kStart + 1}));
        QCOMPARE(tail(view.values1(), 3), (QVector<double>{kNo, 1.5, 3.5}));
        QCOMPARE(tail(view.values2(), 3), (QVector<double>{kNo, 2.5, 4.5}));
        for (int i = 2; i <= 240; ++i)
            view.addSample(kStart + i, i, -i);
        QCOMPARE(view.timeStamps()[0], kStart + 1);
        QCOMPARE(view.values1()[0], 3.5);
        QCOMPARE(view.values2()[239], -240.0);

        view.clearSamples();
        for (const double *samples : {view.timeStamps(), view.values1(), view.values2()})
            QCOMPARE(tail(samples, 240), QVector<double>(240, kNo));
    }

    // The time window is 240 poll periods back from the newest sample (sub-second periods included);
    // a new sample moves the chart in place, a chart made without samples has no line to move.
    void trendChart_pollPeriod_setsWindow_newSampleMovedInPlace()
    {
        ChartView view(nullptr, nullptr);
        const auto make = [&view](int pollMs) {
            return ChartView::makeTrendChart(QSize(710, 220), view.timeStamps(), view.values1(), "CH1", pollMs);
        };
        const std::unique_ptr<XYChart> empty = make(1000);
        QCOMPARE(empty->getLayerCount(), 0);
        QVERIFY(!ChartView::drawTrackCursor(empty.get(), 600).shown);
        view.addSample(kStart, 7, 8);
        QVERIFY(!ChartView::moveTrendData(empty.get(), view.timeStamps(), view.values1(), 1000));

        for (int pollMs : {1000, 500}) {
            const std::unique_ptr<XYChart> chart = make(pollMs);
            QCOMPARE(chart->xAxis()->getMaxValue(), kStart);
            QCOMPARE(chart->xAxis()->getMinValue(), kStart - 240 * pollMs / 1000);
        }
        const std::unique_ptr<XYChart> chart = make(1000);
        view.addSample(kStart + 1, 99, 98);
        QVERIFY(ChartView::moveTrendData(chart.get(), view.timeStamps(), view.values1(), 1000));
        QCOMPARE(chart->xAxis()->getMaxValue(), kStart + 1);
        QCOMPARE(chart->getLayerByZ(0)->getDataSetByZ(0)->getValue(239), 99.0);
        QCOMPARE(ChartView::drawTrackCursor(chart.get(), 10000).values.value(0).text, QString("99.00"));
    }

private:
    std::unique_ptr<XYChart> m_chart;
    double m_times[121];
    double m_values[121];
};

QTEST_MAIN(TestChart)
#include "tst_chart.moc"
