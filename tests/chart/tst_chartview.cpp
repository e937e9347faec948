#include "chart/chartview.h"

#include <QtTest>

static const double kT = 1700000000;

namespace {
// Two 710 x 220 chart labels on a shown panel, so resizes reach the labels as they do on a form; the
// charts show 240 one-second samples up to kT.
struct TrendPanel
{
    std::unique_ptr<QWidget> panel = std::make_unique<QWidget>();
    QChartViewerLabel *label1 = new QChartViewerLabel(panel.get());
    std::unique_ptr<ChartView> view;

    TrendPanel()
    {
        auto *label2 = new QChartViewerLabel(panel.get());
        label1->setGeometry(0, 0, 710, 220);
        label2->setGeometry(0, 230, 710, 220);
        panel->resize(710, 450);
        panel->show();
        view = std::make_unique<ChartView>(label1, label2);
        for (int i = 0; i < 240; ++i)
            view->addSample(kT - 239 + i, 10 + i % 5, 20 + i % 3);
        // Settled once both cursors stand at the newest sample; if never, the test's checks fail.
        (void)QTest::qWaitFor(
            [this] { return view->trackCursor(0).xValue == kT && view->trackCursor(1).xValue == kT; });
    }
};

void move(QWidget *viewer, int x, int y = 60)
{
    QMouseEvent event(QEvent::MouseMove, QPointF(x, y), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewer, &event);
}
} // namespace

// The chart viewer widget on its own, showing a 300 x 200 chart with its plot area at pixels 40..280
// by 10..170; then the trend charts that a panel shows through two viewers.
class TestChartView : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_viewer = std::make_unique<QChartViewer>();
        m_chart = std::make_unique<XYChart>(300, 200);
        m_chart->setPlotArea(40, 10, 241, 161, 0xFFFFFF);
        m_viewer->setChart(m_chart.get());
    }

    void mouseMoves_burst_rateLimitedAndLastHandled()
    {
        QTest::qWait(20);
        QSignalSpy moves(m_viewer.get(), &QChartViewer::mouseMove);
        QSignalSpy handled(m_viewer.get(), &QChartViewer::mouseMovePlotArea);
        QElapsedTimer clock;
        clock.start();
        for (int x = 50; x < 90; ++x) {
            move(m_viewer.get(), x);
            QTest::qWait(2);
        }
        const qint64 burstMs = clock.elapsed();
        QCOMPARE(moves.count(), 40);
        QTRY_COMPARE(m_viewer->chartMouseX(), 89);
        QVERIFY2(handled.count() >= 2 && handled.count() < 40 && handled.count() <= burstMs / 10 + 3,
                 qPrintable(QString::number(handled.count())));
    }

    void mouseOnPlotArea_nearAndOutsideEdges_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<bool>("onPlotArea");
        QTest::addColumn<int>("plotX");
        QTest::newRow("just right of the plot area") << 283 << true << 281;
        QTest::newRow("just left of the plot area") << 37 << true << 40;
        QTest::newRow("over the y labels") << 10 << false << 40;
    }
    void mouseOnPlotArea_nearAndOutsideEdges()
    {
        QFETCH(int, x);
        QTest::qWait(12);
        move(m_viewer.get(), x);
        QTRY_COMPARE(m_viewer->chartMouseX(), x);
        QTEST(m_viewer->mouseOnPlotArea(), "onPlotArea");
        QTEST(m_viewer->plotAreaMouseX(), "plotX");
    }

    // Requests within the update interval are merged into one redraw; those made while a redraw is
    // handled are dropped; one after a quiet spell is served at once.
    void viewPortUpdate_requests_mergedDroppedOrServedAtOnce()
    {
        int calls = 0;
        connect(m_viewer.get(), &QChartViewer::viewPortChanged, this, [&] {
            ++calls;
            m_viewer->requestViewPortUpdate(true, true);
        });
        for (int i = 0; i < 5; ++i)
            m_viewer->requestViewPortUpdate(true, true);
        QCOMPARE(calls, 1);
        QTRY_COMPARE_WITH_TIMEOUT(calls, 2, 200);
        QTest::qWait(50);
        QCOMPARE(calls, 2);
        m_viewer->requestViewPortUpdate(true, true);
        QCOMPARE(calls, 3);
    }

    // Nobody listens to the wheel on a panel: it goes on to the parent, which may scroll.
    void wheel_nobodyListening_passedOn()
    {
        QWheelEvent wheel(QPointF(100, 60), QPointF(100, 60), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(m_viewer.get(), &wheel);
        QVERIFY(!wheel.isAccepted());
    }

    // Only the data moved: the shown chart takes it in place; a resized label gets a chart of its size.
    void trend_newSampleMovesChartInPlace_resizeBuildsAnew_panelGoneLeavesViewWorking()
    {
        TrendPanel p;
        QChartViewer *viewer = p.view->viewer1();
        XYChart *chart = viewer->chart();
        const int width = chart->getWidth();
        const QImage before = viewer->displayedImage().copy();
        p.view->addSample(kT + 1, 99, 98);
        QTRY_COMPARE(p.view->trackCursor(0).values.value(0).text, QStringLiteral("99.00"));
        QCOMPARE(viewer->chart(), chart);
        QVERIFY(viewer->displayedImage() != before);

        p.label1->resize(600, 200);
        QVERIFY(viewer->chart() != chart);
        QCOMPARE(viewer->chart()->getWidth(), width - 110);
        QCOMPARE(viewer->size(), QSize(width - 110, 200));

        p.panel.reset();
        QVERIFY(!p.view->viewer1());
        p.view->addSample(kT + 2, 1, 2);
        p.view->drawChart();
        QCOMPARE(p.view->values2()[239], 2.0);
    }

    // The cursor follows the mouse and stays under it as samples arrive; once the mouse has left, it
    // stays drawn and goes back to the newest sample with the next one.
    void trend_trackCursor_atMouseThenAtNewestSample()
    {
        TrendPanel p;
        QChartViewer *viewer = p.view->viewer1();
        const double target = kT - 200;
        move(viewer, viewer->chart()->getXCoor(target));
        QTRY_COMPARE(p.view->trackCursor(0).xValue, target);
        QCOMPARE(p.view->trackCursor(1).xValue, kT);

        p.view->addSample(kT + 1, 1, 1);
        QTRY_COMPARE(viewer->chart()->xAxis()->getMaxValue(), kT + 1);
        QVERIFY(qAbs(p.view->trackCursor(0).xValue - target) <= 1);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(viewer, &leave);
        QVERIFY(viewer->chart()->hasDynamicLayer());
        p.view->addSample(kT + 2, 1, 1);
        QTRY_COMPARE(p.view->trackCursor(0).xValue, kT + 2);
    }

    // A chart whose value changed meaning starts afresh; the other keeps its line and both the times.
    void trend_oneChartCleared_otherKeepsItsSamples_data()
    {
        QTest::addColumn<int>("cleared");
        QTest::newRow("chart 0") << 0;
        QTest::newRow("chart 1") << 1;
    }
    void trend_oneChartCleared_otherKeepsItsSamples()
    {
        QFETCH(int, cleared);
        TrendPanel p;
        p.view->clearChart(cleared);
        const double *values[] = {p.view->values1(), p.view->values2()};
        QVERIFY(std::all_of(values[cleared], values[cleared] + 240, [](double v) { return v == Chart::NoValue; }));
        QCOMPARE(values[1 - cleared][239], cleared ? 10.0 + 239 % 5 : 20.0 + 239 % 3);
        QCOMPARE(p.view->timeStamps()[239], kT);
        p.view->addSample(kT + 1, 1, 2);
        QCOMPARE(values[cleared][239], cleared ? 2.0 : 1.0);
        QCOMPARE(values[cleared][238], Chart::NoValue);
    }

    // The time window spans 240 poll periods: the period the view is given, one second until then.
    void trend_timeWindow_spansTheSamplesAtThePollPeriod_data()
    {
        QTest::addColumn<int>("periodMs"); // 0: none given
        QTest::addColumn<double>("windowS");
        QTest::newRow("none given") << 0 << 240.0;
        QTest::newRow("500 ms") << 500 << 120.0;
        QTest::newRow("10 s") << 10000 << 2400.0;
    }
    void trend_timeWindow_spansTheSamplesAtThePollPeriod()
    {
        QFETCH(int, periodMs);
        QFETCH(double, windowS);
        TrendPanel p;
        if (periodMs)
            p.view->setPollPeriodMs(periodMs);
        p.view->addSample(kT + 1, 1, 1);
        QTRY_COMPARE(p.view->viewer1()->chart()->xAxis()->getMaxValue(), kT + 1);
        const Axis *axis = p.view->viewer1()->chart()->xAxis();
        QCOMPARE(axis->getMaxValue() - axis->getMinValue(), windowS);
    }

private:
    std::unique_ptr<QChartViewer> m_viewer;
    std::unique_ptr<XYChart> m_chart;
};

QTEST_MAIN(TestChartView)
#include "tst_chartview.moc"
