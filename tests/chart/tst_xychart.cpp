#include "chart/chartlib.h"

#include <QtTest>
#include <ctime>

static const double kNo = 1.7E+308;
static const double kStart = 1700000040; // a whole minute
static const QRgb kWhite = 0xFFFFFFFF;
static const QRgb kGrid = 0xFFCCCCCC;
static const QRgb kTrace = 0xFF151515;

// A 300 x 200 chart whose plot area spans pixels 40..280 and 10..170, showing two minutes of
// one-second samples from kStart: the clock's 60 s grid lines land on whole pixels 40, 160, 280.
class TestXYChart : public QObject
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

    void render_knownPoints_showBackgroundGridTraceAndGap()
    {
        const int y = m_chart->getYCoor(101);
        const QImage image = m_chart->makeChart().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(300, 200));
        QCOMPARE(image.pixel(100, m_chart->getYCoor(102)), kWhite);
        QCOMPARE(image.pixel(160, 20), kGrid);
        QCOMPARE(image.pixel(100, y), kTrace);
        QCOMPARE(image.pixel(40 + 85 * 2, y), kWhite);
        QCOMPARE(image.pixel(40 + 95 * 2, y), kTrace);
    }

    void coordinates_knownGeometry_mapBothWays()
    {
        QCOMPARE(m_chart->getXCoor(kStart), 40);
        QCOMPARE(m_chart->getXCoor(kStart + 60), 160);
        QCOMPARE(m_chart->getXCoor(kStart + 120), 280);
        QCOMPARE(m_chart->getNearestXValue(164), kStart + 62);
        QCOMPARE(m_chart->getNearestXValue(0), kStart);
        QCOMPARE(m_chart->getNearestXValue(1000), kStart + 120);
        QCOMPARE(m_chart->getLayerByZ(0)->getXIndexOf(kStart + 62), 62);
        QCOMPARE(m_chart->getLayerByZ(0)->getXIndexOf(kStart + 62.5), -1);
        QVERIFY(m_chart->getYCoor(105) < m_chart->getYCoor(101));
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
        DrawArea *d = m_chart->initDynamicLayer();
        d->vline(top, 170, 100, d->dashLineColor(0x151515, 0x0101));
        QImage shown = m_chart->makeChart().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(shown.pixel(100, top + 2), kTrace);
        QCOMPARE(shown.pixel(100, top + 3), kWhite); // dashed

        d = m_chart->initDynamicLayer();
        d->vline(top, 170, 120, d->dashLineColor(0x151515, 0x0101));
        shown = m_chart->makeChart().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(shown.pixel(100, top + 2), kWhite);
        QCOMPARE(shown.pixel(120, top + 2), kTrace);

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

private:
    std::unique_ptr<XYChart> m_chart;
    double m_times[121];
    double m_values[121];
};

QTEST_MAIN(TestXYChart)
#include "tst_xychart.moc"
