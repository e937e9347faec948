#include "chart/qchartviewer.h"

#include <QBitmap>
#include <QtTest>

// A viewer showing a 300 x 200 chart with its plot area at pixels 40..280 by 10..170.
class TestQChartViewer : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void mouseMoveBurst_2msApart_rateLimitedAndLastHandled();
    void mouseMoveStream_noEventLoop_handledEvery250ms();
    void mouseOnPlotArea_nearAndOutsideEdges_data();
    void mouseOnPlotArea_nearAndOutsideEdges();
    void viewPortUpdate_requestsWithinInterval_mergedIntoOne();
    void viewPortUpdate_requestedWhileHandled_dropped();
    void refreshDisplay_duringViewPortChange_deferredToOneRebuild();
    void leave_withTrackCursor_keepsOverlayUnlessAsked();
    void removeOverlayOn_now_removesAtOnce();
    void release_anyButton_emitsClicked_data();
    void release_anyButton_emitsClicked();
    void wheel_nobodyListening_passedOn();
    void labelResize_emitsRefreshChart();
    void zoomCursors_32x32_hotSpotAtCentre();

private:
    void move(int x, int y);
    std::unique_ptr<XYChart> makeChart();

    std::unique_ptr<QChartViewer> m_viewer;
    std::unique_ptr<XYChart> m_chart;
};

void TestQChartViewer::init()
{
    m_viewer = std::make_unique<QChartViewer>();
    m_chart = makeChart();
    m_chart->initDynamicLayer();
    m_viewer->setChart(m_chart.get());
}

void TestQChartViewer::cleanup()
{
    m_viewer.reset();
    m_chart.reset();
}

std::unique_ptr<XYChart> TestQChartViewer::makeChart()
{
    auto chart = std::make_unique<XYChart>(300, 200);
    chart->setPlotArea(40, 10, 241, 161, 0xFFFFFF);
    return chart;
}

void TestQChartViewer::move(int x, int y)
{
    QMouseEvent event(QEvent::MouseMove, QPointF(x, y), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_viewer.get(), &event);
}

void TestQChartViewer::mouseMoveBurst_2msApart_rateLimitedAndLastHandled()
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
    QVERIFY2(handled.count() < 40, qPrintable(QString::number(handled.count())));
    QVERIFY(handled.count() >= 2);
    QVERIFY(handled.count() <= burstMs / 10 + 3);
    QCOMPARE(m_viewer->plotAreaMouseX(), 89);
}

void TestQChartViewer::mouseMoveStream_noEventLoop_handledEvery250ms()
{
    QTest::qWait(20);
    QSignalSpy handled(m_viewer.get(), &QChartViewer::mouseMoveChart);
    QElapsedTimer clock;
    clock.start();
    int x = 50;
    while (clock.elapsed() < 560) {
        move(x++ % 200 + 50, 60);
        QThread::msleep(2);
    }
    QVERIFY2(handled.count() >= 3 && handled.count() <= 4, qPrintable(QString::number(handled.count())));
}

void TestQChartViewer::mouseOnPlotArea_nearAndOutsideEdges_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<bool>("onPlotArea");
    QTest::addColumn<int>("plotX");
    QTest::newRow("inside") << 100 << true << 100;
    QTest::newRow("just right of the plot area") << 283 << true << 281;
    QTest::newRow("just left of the plot area") << 37 << true << 40;
    QTest::newRow("over the y labels") << 10 << false << 40;
}

void TestQChartViewer::mouseOnPlotArea_nearAndOutsideEdges()
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

void TestQChartViewer::viewPortUpdate_requestsWithinInterval_mergedIntoOne()
{
    QSignalSpy changed(m_viewer.get(), &QChartViewer::viewPortChanged);
    for (int i = 0; i < 5; ++i)
        m_viewer->requestViewPortUpdate(true, true);
    QCOMPARE(changed.count(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 2, 200);
    QTest::qWait(50);
    QCOMPARE(changed.count(), 2);
}

void TestQChartViewer::viewPortUpdate_requestedWhileHandled_dropped()
{
    int calls = 0;
    connect(m_viewer.get(), &QChartViewer::viewPortChanged, this, [&] {
        ++calls;
        QVERIFY(m_viewer->inViewPortChangedHandling());
        m_viewer->requestViewPortUpdate(true, true);
    });
    m_viewer->requestViewPortUpdate(true, false);
    QTest::qWait(60);
    QCOMPARE(calls, 1);
}

void TestQChartViewer::refreshDisplay_duringViewPortChange_deferredToOneRebuild()
{
    auto next = makeChart();
    next->setPlotArea(60, 20, 100, 100, 0x00FF00);
    const qint64 before = m_viewer->displayedImage().cacheKey();
    connect(m_viewer.get(), &QChartViewer::viewPortChanged, this, [&] {
        m_viewer->setChart(next.get());
        m_viewer->refreshDisplay();
        m_viewer->refreshDisplay();
        QCOMPARE(m_viewer->displayedImage().cacheKey(), before);
    });
    m_viewer->requestViewPortUpdate(true, false);
    QCOMPARE(m_viewer->displayedImage().pixel(100, 60), 0xFF00FF00u);
    QCOMPARE(m_viewer->getPlotAreaLeft(), 60);
    m_viewer->setChart(nullptr);
}

void TestQChartViewer::leave_withTrackCursor_keepsOverlayUnlessAsked()
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
    QTest::qWait(12);
    move(100, 60);
    QCoreApplication::sendEvent(m_viewer.get(), &leave);
    QVERIFY(!m_chart->hasDynamicLayer());
}

void TestQChartViewer::removeOverlayOn_now_removesAtOnce()
{
    m_viewer->removeOverlayOn("now");
    QVERIFY(!m_chart->hasDynamicLayer());
}

void TestQChartViewer::release_anyButton_emitsClicked_data()
{
    QTest::addColumn<int>("button");
    QTest::newRow("left") << int(Qt::LeftButton);
    QTest::newRow("right") << int(Qt::RightButton);
    QTest::newRow("middle") << int(Qt::MiddleButton);
}

void TestQChartViewer::release_anyButton_emitsClicked()
{
    QFETCH(int, button);
    QSignalSpy clicked(m_viewer.get(), &QChartViewer::clicked);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(100, 60), Qt::MouseButton(button),
                      Qt::MouseButton(button), Qt::NoModifier);
    QCoreApplication::sendEvent(m_viewer.get(), &press);
    QVERIFY(press.isAccepted());
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(100, 60), Qt::MouseButton(button), Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(m_viewer.get(), &release);
    QCOMPARE(clicked.count(), 1);
}

void TestQChartViewer::wheel_nobodyListening_passedOn()
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

void TestQChartViewer::labelResize_emitsRefreshChart()
{
    QChartViewerLabel label;
    label.resize(300, 200);
    label.show();
    QSignalSpy refresh(&label, &QChartViewerLabel::refreshChart);
    label.resize(400, 250);
    QCOMPARE(refresh.count(), 1);
}

void TestQChartViewer::zoomCursors_32x32_hotSpotAtCentre()
{
    for (const QCursor *cursor : {&QChartViewer::zoomInCursor(), &QChartViewer::zoomOutCursor()}) {
        QCOMPARE(cursor->hotSpot(), QPoint(15, 15));
        QCOMPARE(cursor->bitmap(Qt::ReturnByValue).size(), QSize(32, 32));
    }
    QVERIFY(QChartViewer::zoomInCursor().bitmap(Qt::ReturnByValue).toImage() !=
            QChartViewer::zoomOutCursor().bitmap(Qt::ReturnByValue).toImage());
}

QTEST_MAIN(TestQChartViewer)
#include "tst_qchartviewer.moc"
