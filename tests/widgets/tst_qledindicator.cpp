#include "widgets/qledindicator.h"

#include <QImage>
#include <QTest>

class TstQLedIndicator : public QObject
{
    Q_OBJECT

private slots:
    void lookFor_state_selectsColours_data();
    void lookFor_state_selectsColours();
    void colourProperty_set_usedByNextPulse();
    void paint_state_centrePixelColour_data();
    void paint_state_centrePixelColour();
    void paint_wideWidget_circleOfSmallerSide();
    void minimumSize_is14();

private:
    static QImage render(QLedIndicator &led);
};

QImage TstQLedIndicator::render(QLedIndicator &led)
{
    QImage image(led.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    led.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

void TstQLedIndicator::lookFor_state_selectsColours_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QColor>("centre");
    QTest::addColumn<QColor>("edge");
    QTest::addColumn<QPointF>("focus");
    QTest::newRow("0 unset") << 0 << QColor(0, 28, 0) << QColor(142, 142, 142) << QPointF(500, 500);
    QTest::newRow("1 idle") << 1 << QColor(28, 28, 28) << QColor(128, 128, 128) << QPointF(500, 500);
    QTest::newRow("2 tx") << 2 << QColor(0, 255, 0) << QColor(0, 192, 0) << QPointF(-500, -500);
    QTest::newRow("3 rx") << 3 << QColor(255, 0, 0) << QColor(192, 0, 0) << QPointF(500, 500);
    QTest::newRow("7 unknown") << 7 << QColor(0, 28, 0) << QColor(142, 142, 142) << QPointF(500, 500);
    QTest::newRow("-1 unknown") << -1 << QColor(0, 28, 0) << QColor(142, 142, 142) << QPointF(500, 500);
}

void TstQLedIndicator::lookFor_state_selectsColours()
{
    QFETCH(int, state);
    QFETCH(QColor, centre);
    QFETCH(QColor, edge);
    QFETCH(QPointF, focus);
    QLedIndicator led;
    const QLedIndicator::Look look = led.lookFor(state);
    QCOMPARE(look.centre, centre);
    QCOMPARE(look.edge, edge);
    QCOMPARE(look.focus, focus);
}

void TstQLedIndicator::colourProperty_set_usedByNextPulse()
{
    QLedIndicator led;
    QVERIFY(led.setProperty("onColor1", QColor(0, 0, 255)));
    QVERIFY(led.setProperty("m_state", 2));
    QCOMPARE(led.m_state, 2);
    QCOMPARE(led.lookFor(led.m_state).centre, QColor(0, 0, 255));
}

void TstQLedIndicator::paint_state_centrePixelColour_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("look");
    QTest::newRow("1 idle grey") << 1 << "grey";
    QTest::newRow("2 tx green") << 2 << "green";
    QTest::newRow("3 rx red") << 3 << "red";
    QTest::newRow("7 like unset") << 7 << "dark green";
}

void TstQLedIndicator::paint_state_centrePixelColour()
{
    QFETCH(int, state);
    QFETCH(QString, look);
    QLedIndicator led;
    led.resize(40, 40);
    led.m_state = state;
    const QColor c = render(led).pixelColor(20, 20);
    if (look == "grey") {
        QVERIFY(qAbs(c.red() - c.green()) < 4 && qAbs(c.green() - c.blue()) < 4);
        QVERIFY(c.green() > 40 && c.green() < 110);
    } else if (look == "green") {
        QVERIFY(c.green() > 200 && c.red() < 20 && c.blue() < 20);
    } else if (look == "red") {
        QVERIFY(c.red() > 200 && c.green() < 20 && c.blue() < 20);
    } else {
        QVERIFY(c.green() > c.red() + 8 && c.green() < 130);
    }
}

void TstQLedIndicator::paint_wideWidget_circleOfSmallerSide()
{
    QLedIndicator led;
    led.resize(40, 20);
    led.m_state = 2;
    const QImage image = render(led);
    // Circle of diameter 20 centred at (20, 10): x 10..30 painted, outside clear.
    QCOMPARE(qAlpha(image.pixel(7, 10)), 0);
    QCOMPARE(qAlpha(image.pixel(32, 10)), 0);
    QCOMPARE(qAlpha(image.pixel(12, 10)), 255);
    QCOMPARE(qAlpha(image.pixel(28, 10)), 255);
    QCOMPARE(qAlpha(image.pixel(20, 1)), 255);
    QCOMPARE(qAlpha(image.pixel(11, 1)), 0);
}

void TstQLedIndicator::minimumSize_is14()
{
    QLedIndicator led;
    QCOMPARE(led.minimumSize(), QSize(14, 14));
}

QTEST_MAIN(TstQLedIndicator)
#include "tst_qledindicator.moc"
