#include "chart/qchartviewer.h"

#include <QtTest>

// A viewer showing a 300 x 200 chart with its plot area at pixels 40..280 by 10..170.
class TestQChartViewer : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_viewer = std::make_unique<QChartViewer>();
        m_chart = std::make_unique<XYChart>(300, 200);
        m_chart->setPlotArea(40, 10, 241, 161, 0xFFFFFF);
        m_chart->initDynamicLayer();
        m_viewer->setChart(m_chart.get());
    }

    void cleanup()
    {
        m_viewer.reset();
        m_chart.reset();
    }

    void mouseMoves_burstAndStream_rateLimitedAndLastHandled()
    {
        QTest::qWait(20);
        QSignalSpy moves(m_viewer.get(), &QChartViewer::mouseMove);
        QSignalSpy handled(m_viewer.get(), &QChartViewer::mouseMovePlotArea);
        QElapsedTimer clock;
        clock.start();
        for (int x = 50; x < 90; ++x) {
            move(x, 60);
            QTest::qWait(2);
        }
        const qint64 burstMs = clock.elapsed();
        QCOMPARE(moves.count(), 40);
        QTRY_COMPARE(m_viewer->chartMouseX(), 89);
        QVERIFY2(handled.count() >= 2 && handled.count() < 40 && handled.count() <= burstMs / 10 + 3,
                 qPrintable(QString::number(handled.count())));

        // A stream with no event loop in between is still handled at least every 250 ms.
        QTest::qWait(20);
        QSignalSpy streamed(m_viewer.get(), &QChartViewer::mouseMoveChart);
        for (clock.start(); clock.elapsed() < 560; QThread::msleep(2))
            move(50 + int(clock.elapsed()) % 200, 60);
        QVERIFY2(streamed.count() >= 3 && streamed.count() <= 4,
                 qPrintable(QString::number(streamed.count())));
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
        QFETCH(bool, onPlotArea);
        QFETCH(int, plotX);
        QTest::qWait(12);
        move(x, 60);
        QTRY_COMPARE(m_viewer->chartMouseX(), x);
        QCOMPARE(m_viewer->mouseOnPlotArea(), onPlotArea);
        QCOMPARE(m_viewer->plotAreaMouseX(), plotX);
    }

    void viewPortUpdate_requestsWithinIntervalMerged_requestsWhileHandledDropped()
    {
        int calls = 0;
        connect(m_viewer.get(), &QChartViewer::viewPortChanged, this, [&] {
            ++calls;
            QVERIFY(m_viewer->inViewPortChangedHandling());
            m_viewer->requestViewPortUpdate(true, true);
        });
        for (int i = 0; i < 5; ++i)
            m_viewer->requestViewPortUpdate(true, true);
        QCOMPARE(calls, 1);
        QTRY_COMPARE_WITH_TIMEOUT(calls, 2, 200);
        QTest::qWait(50);
        QCOMPARE(calls, 2);
    }

    // Timers only while a request waits: an idle viewer gets no timer events at all.
    void viewPortUpdate_afterQuietInterval_servedAtOnceAndNoTimerLeft()
    {
        struct TimerCount : QObject
        {
            int count = 0;
            bool eventFilter(QObject *, QEvent *event) override
            {
                count += event->type() == QEvent::Timer;
                return false;
            }
        } timers;
        m_viewer->installEventFilter(&timers);
        int calls = 0;
        connect(m_viewer.get(), &QChartViewer::viewPortChanged, this, [&] { ++calls; });
        for (int round = 1; round <= 2; ++round) {
            QTest::qWait(40);
            m_viewer->requestViewPortUpdate(true, true);
            QCOMPARE(calls, round);
        }
        QTest::qWait(60);
        QCOMPARE(timers.count, 0);
        QVERIFY(!m_viewer->needUpdateChart());
        QVERIFY(m_viewer->testAttribute(Qt::WA_OpaquePaintEvent)); // the chart image covers the viewer
        m_viewer->setChart(nullptr);
        QVERIFY(!m_viewer->testAttribute(Qt::WA_OpaquePaintEvent));
    }

    void refreshDisplay_duringViewPortChange_deferredToOneRebuild()
    {
        XYChart next(300, 200);
        next.setPlotArea(60, 20, 100, 100, 0x00FF00);
        const qint64 before = m_viewer->displayedImage().cacheKey();
        connect(m_viewer.get(), &QChartViewer::viewPortChanged, this, [&] {
            m_viewer->setChart(&next);
            m_viewer->refreshDisplay();
            m_viewer->refreshDisplay();
            QCOMPARE(m_viewer->displayedImage().cacheKey(), before);
        });
        m_viewer->requestViewPortUpdate(true, false);
        QCOMPARE(m_viewer->displayedImage().pixel(100, 60), 0xFF00FF00u);
        QCOMPARE(m_viewer->getPlotAreaLeft(), 60);
        m_viewer->setChart(nullptr);
    }

    void leave_withTrackCursor_keepsOverlayUnlessAsked()
    {
        QSignalSpy leftPlot(m_viewer.get(), &QChartViewer::mouseLeavePlotArea);
        QSignalSpy leftChart(m_viewer.get(), &QChartViewer::mouseLeaveChart);
        QTest::qWait(12);
        move(100, 60);
        QTRY_VERIFY(m_viewer->mouseOnPlotArea());
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(m_viewer.get(), &leave);
        QCOMPARE(leftPlot.count(), 1);
        QCOMPARE(leftChart.count(), 1);
        QVERIFY(!m_viewer->mouseOnPlotArea());
        QVERIFY(m_chart->hasDynamicLayer());

        m_viewer->removeOverlayOn("MouseLeaveChart");
        QCoreApplication::sendEvent(m_viewer.get(), &leave);
        QVERIFY(!m_chart->hasDynamicLayer());

        m_chart->initDynamicLayer();
        m_viewer->removeOverlayOn("now");
        QVERIFY(!m_chart->hasDynamicLayer());
    }

    void release_anyButton_emitsClicked()
    {
        QSignalSpy clicked(m_viewer.get(), &QChartViewer::clicked);
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(100, 60), button, button, Qt::NoModifier);
            QCoreApplication::sendEvent(m_viewer.get(), &press);
            QVERIFY(press.isAccepted());
            QMouseEvent release(QEvent::MouseButtonRelease, QPointF(100, 60), button, Qt::NoButton,
                                Qt::NoModifier);
            QCoreApplication::sendEvent(m_viewer.get(), &release);
        }
        QCOMPARE(clicked.count(), 2);
    }

    void wheel_nobodyListening_passedOn()
    {
        QWheelEvent first(QPointF(100, 60), QPointF(100, 60), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(m_viewer.get(), &first);
        QVERIFY(!first.isAccepted());

        int turns = 0;
        connect(m_viewer.get(), &QChartViewer::mouseWheel, this, [&turns] { ++turns; });
        QWheelEvent second(first);
        second.setAccepted(true);
        QCoreApplication::sendEvent(m_viewer.get(), &second);
        QCOMPARE(turns, 1);
        QVERIFY(second.isAccepted());
    }

private:
    void move(int x, int y)
    {
        QMouseEvent event(QEvent::MouseMove, QPointF(x, y), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_viewer.get(), &event);
    }

    std::unique_ptr<QChartViewer> m_viewer;
    std::unique_ptr<XYChart> m_chart;
};

QTEST_MAIN(TestQChartViewer)
#include "tst_qchartviewer.moc"
