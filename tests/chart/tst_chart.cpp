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

// The chart arithmetic and drawing, and the trend charts' samples, window and cursor, without widgets.
// The drawn chart is 300 x 200 with its plot area at pixels 40..280 by 10..170, showing two minutes of
// one-second samples from kStart: the clock's 60 s grid lines land on whole pixels 40, 160, 280.
class TestChart : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        qputenv("TZ", "UTC");
        tzset();
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

    void dateSteps_windowOverPlot_wholeClockSteps()
    {
        // The trend chart's windows (240 poll periods) over a 650-pixel plot, 75 / 15 pixel density.
        const struct
        {
            double span, pixels, major, minor;
        } cases[] = {{120, 650, 15, 5},    // 500 ms poll
                     {240, 650, 30, 10},   // 1000 ms poll
                     {480, 650, 60, 15},   // 2000 ms poll
                     {2400, 650, 300, 60}, // 10000 ms poll
                     {240, 150, 120, 30}}; // a narrow plot takes coarser steps
        for (const auto &c : cases) {
            const double step = ChartMath::dateMajorStep(c.span, c.pixels, 75);
            QCOMPARE(step, c.major);
            QCOMPARE(ChartMath::dateMinorStep(step, c.span, c.pixels, 15), c.minor);
        }
    }

    void autoScale_valueRange_roundedOutWithRoomForLabels()
    {
        const struct
        {
            double min, max, low, high, step;
        } cases[] = {
            {399, 431, 390, 440, 10},       // CO2 near 415
            {3, 90, 0, 100, 20},            // close to zero starts at zero
            {-90, -3, -100, 0, 20},         // negative values end at zero
            {50, 50, 45, 55, 5},            // a flat value gets a band
            {0, 0, -1, 1, 0.5},             // so does a flat zero
            {0.012, 0.018, 0, 0.02, 0.005}, // small fractions
        };
        for (const auto &c : cases) {
            const ChartMath::Scale s = ChartMath::autoScale(c.min, c.max, 175, 30);
            QVERIFY2(qFuzzyCompare(s.low + 1, c.low + 1) && qFuzzyCompare(s.high, c.high) &&
                         qFuzzyCompare(s.majorStep, c.step),
                     qPrintable(QString("%1..%2 by %3").arg(s.low).arg(s.high).arg(s.majorStep)));
            QVERIFY((s.high - s.low) / s.majorStep <= 175 / 30);
        }
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
        QCOMPARE(m_chart->getNearestXValue(164), kStart + 62);
        QCOMPARE(m_chart->getLayerByZ(0)->getXIndexOf(kStart + 62), 62);
        const int y = m_chart->getYCoor(101);
        QVERIFY(m_chart->getYCoor(102) < y);
        const QImage image = m_chart->makeChart().convertToFormat(QImage::Format_ARGB32);
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
        const Axis *y = m_chart->yAxis();
        QVERIFY2(y->getMinValue() <= 101 && y->getMaxValue() >= 104 && y->getMaxValue() < 200,
                 qPrintable(QString("%1..%2").arg(y->getMinValue()).arg(y->getMaxValue())));
    }

    // A window shrunk to nothing still draws, with a one-pixel chart.
    void tinyChart_rendersWithoutFault()
    {
        XYChart chart(0, -5, 0xF4F4F4, 0x000000, 1);
        chart.setPlotArea(45, 15, -50, -25, 0xFFFFFF);
        chart.xAxis()->setDateScale(kStart, kStart);
        LineLayer *layer = chart.addLineLayer2();
        layer->setXData(m_times, 121);
        layer->addDataSet(m_values, 121, 0x151515, "CH1");
        chart.initDynamicLayer()->circle(chart.getXCoor(kStart), chart.getYCoor(101), 4, 4, 0x151515, 0x151515);
        QCOMPARE(chart.makeChart().size(), QSize(1, 1));
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

    // The cursor stands at the sample nearest the mouse with its value labels on the side towards
    // the middle of the plot; a gap shows "N/A".
    void trackCursor_mouseX_nearestSampleLabelledTowardsMiddle_data()
    {
        QTest::addColumn<int>("mouseX");
        QTest::addColumn<QString>("time");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<QString>("text");
        QTest::newRow("left half") << 100 << "22:14:30" << int(Chart::Left) << "101.00";
        QTest::newRow("right half") << 250 << "22:15:45" << int(Chart::Right) << "101.00";
        QTest::newRow("gap") << 210 << "22:15:25" << int(Chart::Right) << "N/A";
    }
    void trackCursor_mouseX_nearestSampleLabelledTowardsMiddle()
    {
        QFETCH(int, mouseX);
        QFETCH(int, alignment);
        const ChartView::TrackCursor cursor = ChartView::drawTrackCursor(m_chart.get(), mouseX);
        QCOMPARE(cursor.xCoor, mouseX);
        QTEST(cursor.timeLabel, "time");
        QCOMPARE(cursor.values.size(), 1);
        QTEST(cursor.values[0].text, "text");
        QCOMPARE(cursor.values[0].alignment, alignment);
        const QPoint anchor = cursor.values[0].anchor;
        const int side = alignment == Chart::Left ? 1 : -1;
        QCOMPARE(anchor.x(), mouseX + 5 * side);
        // The label's box stands beside its anchor, on that side.
        const QImage shown = m_chart->makeChart();
        QCOMPARE(shown.pixel(anchor + QPoint(3 * side, -5)), kTrace);
        QVERIFY(shown.pixel(anchor + QPoint(-3 * side, -5)) != kTrace);
    }

    // Samples fill from the right: one at the newest time replaces it, the 241st pushes out the first.
    // A trend chart shows 240 poll periods back from the newest sample (sub-second periods included);
    // a new sample moves it in place, while one made before any sample has no line to move.
    void trend_samplesAndTimeWindow()
    {
        ChartView view(nullptr, nullptr);
        const auto make = [&view](int pollMs) {
            return ChartView::makeTrendChart({710, 220}, view.timeStamps(), view.values1(), "CH1", pollMs);
        };
        const std::unique_ptr<XYChart> empty = make(1000);
        QCOMPARE(empty->getLayerCount(), 0);
        QVERIFY(!ChartView::drawTrackCursor(empty.get(), 600).shown);
        view.addSample(kStart, 1, 2);
        view.addSample(kStart, 1.5, 2.5);
        view.addSample(kStart + 1, 3.5, 4.5);
        QCOMPARE(tail(view.timeStamps(), 3), (QVector<double>{kNo, kStart, kStart + 1}));
        QCOMPARE(tail(view.values1(), 3), (QVector<double>{kNo, 1.5, 3.5}));
        QCOMPARE(tail(view.values2(), 3), (QVector<double>{kNo, 2.5, 4.5}));
        QVERIFY(!ChartView::moveTrendData(empty.get(), view.timeStamps(), view.values1(), 1000));
        for (int pollMs : {1000, 500}) {
            const std::unique_ptr<XYChart> chart = make(pollMs);
            QCOMPARE(chart->xAxis()->getMaxValue(), kStart + 1);
            QCOMPARE(chart->xAxis()->getMinValue(), kStart + 1 - 240 * pollMs / 1000);
        }

        const std::unique_ptr<XYChart> chart = make(1000);
        for (int i = 2; i <= 240; ++i)
            view.addSample(kStart + i, i, -i);
        QCOMPARE(view.timeStamps()[0], kStart + 1);
        QCOMPARE(view.values1()[0], 3.5);
        QCOMPARE(view.values2()[239], -240.0);
        QVERIFY(ChartView::moveTrendData(chart.get(), view.timeStamps(), view.values1(), 1000));
        QCOMPARE(chart->xAxis()->getMaxValue(), kStart + 240);
        QCOMPARE(ChartView::drawTrackCursor(chart.get(), 10000).values.value(0).text, QString("240.00"));

        view.clearSamples();
        for (const double *samples : {view.timeStamps(), view.values1(), view.values2()})
            QCOMPARE(tail(samples, 240), QVector<double>(240, kNo));
    }

private:
    std::unique_ptr<XYChart> m_chart;
    double m_times[121];
    double m_values[121];
};

QTEST_MAIN(TestChart)
#include "tst_chart.moc"
