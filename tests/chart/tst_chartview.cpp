#include "app/pollinterval.h"
#include "chart/chartview.h"

#include <QtTest>

static const double kNo = 1.7E+308;
static const double kT = 1700000000;

// Two 710 x 220 chart labels on a shown panel, so resizes reach the labels as they do on a form.
class TestChartView : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        pollIntervalMs = 1000;
        m_panel = std::make_unique<QWidget>();
        m_label1 = new QChartViewerLabel(m_panel.get());
        m_label2 = new QChartViewerLabel(m_panel.get());
        m_label1->setGeometry(0, 0, 710, 220);
        m_label2->setGeometry(0, 230, 710, 220);
        m_panel->resize(710, 450);
        m_panel->show();
        m_view = std::make_unique<ChartView>(m_label1, m_label2);
        settle();
    }

    void cleanup()
    {
        m_view.reset();
        m_panel.reset();
        pollIntervalMs = 1000;
    }

    void samples_fillFromTheRight_replaceSameTime_dropOldest_clear()
    {
        m_view->addSample(kT, 1, 2);
        m_view->addSample(kT, 1.5, 2.5);
        m_view->addSample(kT + 1, 3.5, 4.5);
        QCOMPARE(m_view->timeStamps()[238], kT);
        QCOMPARE(m_view->timeStamps()[239], kT + 1);
        QCOMPARE(m_view->values1()[238], 1.5);
        QCOMPARE(m_view->values2()[238], 2.5);
        QCOMPARE(m_view->values1()[239], 3.5);
        for (int i = 0; i < 238; ++i)
            QVERIFY(m_view->timeStamps()[i] == kNo && m_view->values1()[i] == kNo &&
                    m_view->values2()[i] == kNo);

        // The 241st sample pushes out the first one.
        for (int i = 2; i <= 240; ++i)
            m_view->addSample(kT + i, i, -i);
        QCOMPARE(m_view->timeStamps()[0], kT + 1);
        QCOMPARE(m_view->values1()[0], 3.5);
        QCOMPARE(m_view->values2()[239], -240.0);
        settle();
        QCOMPARE(m_view->viewer1()->chart()->xAxis()->getMaxValue(), kT + 240);
        QCOMPARE(m_view->viewer1()->chart()->xAxis()->getMinValue(), kT);
        QVERIFY(m_view->trackCursor(1).shown);

        m_view->clearSamples();
        for (int i = 0; i < ChartView::kSampleCount; ++i)
            QCOMPARE(m_view->timeStamps()[i], kNo);
        QCOMPARE(m_view->values1()[239], kNo);
        QCOMPARE(m_view->values2()[239], kNo);
        settle();
        for (QChartViewer *viewer : {m_view->viewer1(), m_view->viewer2()}) {
            QCOMPARE(viewer->chart()->getLayerCount(), 0);
            QVERIFY(!viewer->chart()->xAxis()->hasScale());
        }
        QVERIFY(!m_view->trackCursor(0).shown);
    }

    void addSample_onlyDataMoved_chartMovedInPlace_resizeBuildsAnew()
    {
        fill(240);
        XYChart *chart = m_view->viewer1()->chart();
        const QImage before = m_view->viewer1()->displayedImage().copy();
        m_view->addSample(kT + 1, 99, 98);
        settle();
        QCOMPARE(m_view->viewer1()->chart(), chart);
        QCOMPARE(chart->xAxis()->getMaxValue(), kT + 1);
        QCOMPARE(chart->getLayerByZ(0)->getDataSetByZ(0)->getValue(239), 99.0);
        QCOMPARE(m_view->trackCursor(0).values.value(0).text, QStringLiteral("99.00"));
        QVERIFY(m_view->viewer1()->displayedImage() != before);

        m_label1->resize(600, 200);
        settle();
        QVERIFY(m_view->viewer1()->chart() != chart);
        QCOMPARE(m_view->viewer1()->chart()->getWidth(), 590);
        QCOMPARE(m_view->viewer1()->chart()->xAxis()->getMaxValue(), kT + 1);
    }

    // The window is 240 poll periods; the 1000 ms one is checked with the samples above.
    void drawChart_pollPeriod_setsTimeWindow()
    {
        fill(5);
        pollIntervalMs = 500; // sub-second, so a whole-second division would show
        m_view->updateChart();
        settle();
        for (QChartViewer *viewer : {m_view->viewer1(), m_view->viewer2()}) {
            QCOMPARE(viewer->chart()->xAxis()->getMaxValue(), kT);
            QCOMPARE(viewer->chart()->xAxis()->getMinValue(), kT - 120);
        }
    }

    void trackCursor_atMouseX_thenAtNewestSample_gapShowsNA()
    {
        fill(240);
        QChartViewer *viewer = m_view->viewer1();
        const double target = kT - 200;
        const int x = viewer->chart()->getXCoor(target);
        QMouseEvent move(QEvent::MouseMove, QPointF(x, 60), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewer, &move);
        QTRY_COMPARE(m_view->trackCursor(0).xValue, target);
        QCOMPARE(m_view->trackCursor(0).values[0].alignment, 4);
        QCOMPARE(m_view->trackCursor(0).values[0].anchor.x(), x + 5);
        QCOMPARE(m_view->trackCursor(0).values[0].text, QString("%1.00").arg(10 + 39 % 5));
        QCOMPARE(m_view->trackCursor(1).xValue, kT);

        // A new sample keeps the cursor under the mouse; after leaving it returns to the newest one.
        m_view->addSample(kT + 1, 1, 1);
        settle();
        QVERIFY(qAbs(m_view->trackCursor(0).xValue - target) <= 1);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(viewer, &leave);
        QVERIFY(qAbs(m_view->trackCursor(0).xValue - target) <= 1);
        m_view->addSample(kT + 2, kNo, 7.5);
        settle();
        QCOMPARE(m_view->trackCursor(0).xValue, kT + 2);
        QCOMPARE(m_view->trackCursor(0).values.size(), 1);
        QCOMPARE(m_view->trackCursor(0).values[0].text, QString("N/A"));

        const ChartView::TrackCursor &cursor = m_view->trackCursor(1);
        QCOMPARE(cursor.xCoor,
                 m_view->viewer2()->getPlotAreaLeft() + m_view->viewer2()->getPlotAreaWidth() - 1);
        QCOMPARE(cursor.timeLabel, QDateTime::fromSecsSinceEpoch(qint64(kT) + 2).toString("hh:mm:ss"));
        QCOMPARE(cursor.values.size(), 1);
        QCOMPARE(cursor.values[0].text, QString("7.50"));
        QCOMPARE(cursor.values[0].alignment, 6);
        QCOMPARE(cursor.values[0].anchor.x(), cursor.xCoor - 5);
    }

    void labels_resizeRedrawsAtNewSize_destroyedFirstLeaveViewWorking()
    {
        fill(3);
        QSignalSpy refresh(m_label2, &QChartViewerLabel::refreshChart);
        m_label2->resize(500, 180);
        QCOMPARE(refresh.count(), 1);
        QCOMPARE(m_view->viewer2()->size(), QSize(490, 180));
        QVERIFY(m_view->viewer2()->isVisible());
        QCOMPARE(m_view->viewer2()->getPlotAreaWidth(), 440);
        QCOMPARE(m_view->viewer1()->chart()->getWidth(), 700);

        m_panel.reset();
        QVERIFY(!m_view->viewer1());
        m_view->addSample(kT + 1, 1, 2);
        m_view->drawChart();
        QCOMPARE(m_view->values2()[239], 2.0);
        m_view.reset();
    }

private:
    void fill(int count)
    {
        for (int i = 0; i < count; ++i)
            m_view->addSample(kT - count + 1 + i, 10 + i % 5, 20 + i % 3);
        settle();
    }
    void settle() { QTest::qWait(30); }

    std::unique_ptr<QWidget> m_panel;
    QChartViewerLabel *m_label1 = nullptr;
    QChartViewerLabel *m_label2 = nullptr;
    std::unique_ptr<ChartView> m_view;
};

QTEST_MAIN(TestChartView)
#include "tst_chartview.moc"
