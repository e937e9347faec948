#include "widgets/qledindicator.h"
#include "widgets/resizelabel.h"

#include <QTest>

namespace {
QStringList fontWarnings;
QtMessageHandler testHandler = nullptr;

void recordFontWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains("QFont"))
        fontWarnings << message;
    testHandler(type, context, message);
}

QImage render(QWidget &widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}
} // namespace

class TstIndicators : public QObject
{
    Q_OBJECT

private slots:
    void led_state_selectsLookAndPaintsCentre_data();
    void led_state_selectsLookAndPaintsCentre();
    void led_onColor1Property_usedByNextPulse();
    void led_wideWidget_circleOfSmallerSide();
    void label_emptyText_keepsFont();
    void label_resized_scalesByTighterDirection();
    void label_tinyOrZero_validFontAndRecovers_data();
    void label_tinyOrZero_validFontAndRecovers();

private:
    ResizeLabel *shownLabel();
};

void TstIndicators::led_state_selectsLookAndPaintsCentre_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QColor>("centre");
    QTest::addColumn<QColor>("edge");
    QTest::addColumn<bool>("litFromUpperLeft");
    QTest::addColumn<QColor>("pixel"); // the gradient a little short of halfway
    const QColor unsetCentre(0, 28, 0), unsetEdge(142, 142, 142), unsetPixel(67, 82, 67);
    QTest::newRow("0 unset") << 0 << unsetCentre << unsetEdge << false << unsetPixel;
    QTest::newRow("1 idle") << 1 << QColor(28, 28, 28) << QColor(128, 128, 128) << false
                            << QColor(75, 75, 75);
    QTest::newRow("2 tx") << 2 << QColor(0, 255, 0) << QColor(0, 192, 0) << true << QColor(0, 225, 0);
    QTest::newRow("3 rx") << 3 << QColor(255, 0, 0) << QColor(192, 0, 0) << false << QColor(225, 0, 0);
    QTest::newRow("7 unknown") << 7 << unsetCentre << unsetEdge << false << unsetPixel;
}

void TstIndicators::led_state_selectsLookAndPaintsCentre()
{
    QFETCH(int, state);
    QFETCH(QColor, centre);
    QFETCH(QColor, edge);
    QFETCH(bool, litFromUpperLeft);
    QFETCH(QColor, pixel);
    QLedIndicator led;
    const QLedIndicator::Look look = led.lookFor(state);
    QCOMPARE(look.centre, centre);
    QCOMPARE(look.edge, edge);
    QCOMPARE(look.focus, litFromUpperLeft ? QPointF(-500, -500) : QPointF(500, 500));

    led.resize(40, 40);
    led.m_state = state;
    const QColor got = render(led).pixelColor(20, 20);
    const int dist =
        qAbs(got.red() - pixel.red()) + qAbs(got.green() - pixel.green()) + qAbs(got.blue() - pixel.blue());
    QVERIFY2(dist < 20, qPrintable(got.name()));
}

void TstIndicators::led_onColor1Property_usedByNextPulse()
{
    QLedIndicator led;
    QVERIFY(led.setProperty("onColor1", QColor(0, 0, 255)));
    QVERIFY(led.setProperty("m_state", 2));
    QCOMPARE(led.lookFor(led.m_state).centre, QColor(0, 0, 255));
}

void TstIndicators::led_wideWidget_circleOfSmallerSide()
{
    QLedIndicator led;
    led.resize(40, 20);
    const QImage image = render(led);
    // Diameter 20 around (20, 10).
    QCOMPARE(qAlpha(image.pixel(7, 10)), 0);
    QCOMPARE(qAlpha(image.pixel(32, 10)), 0);
    QCOMPARE(qAlpha(image.pixel(11, 1)), 0);
    QCOMPARE(qAlpha(image.pixel(12, 10)), 255);
    QCOMPARE(qAlpha(image.pixel(28, 10)), 255);
    QCOMPARE(qAlpha(image.pixel(20, 1)), 255);
}

ResizeLabel *TstIndicators::shownLabel()
{
    auto *label = new ResizeLabel;
    QFont font = label->font();
    font.setPointSize(10);
    label->setFont(font);
    label->setText("ppm");
    label->resize(200, 80);
    label->show();
    return label;
}

void TstIndicators::label_emptyText_keepsFont()
{
    QScopedPointer<ResizeLabel> label(shownLabel());
    label->setText(QString());
    const QFont before = label->font();
    label->resize(400, 200);
    QCOMPARE(label->font(), before);
}

void TstIndicators::label_resized_scalesByTighterDirection()
{
    QScopedPointer<ResizeLabel> label(shownLabel());
    const qreal fitted = label->font().pointSizeF();
    QVERIFY(fitted > 10);
    label->resize(400, 160);
    const qreal doubled = label->font().pointSizeF();
    QVERIFY2(doubled > 1.7 * fitted && doubled < 2.3 * fitted, qPrintable(QString::number(doubled)));
    label->resize(1600, 160);
    QVERIFY2(qAbs(label->font().pointSizeF() - doubled) < 0.25 * doubled, "height is the tighter limit");
}

void TstIndicators::label_tinyOrZero_validFontAndRecovers_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("margin exactly") << QSize(10, 8);
    QTest::newRow("zero") << QSize(0, 0);
    QTest::newRow("flat") << QSize(300, 9);
}

void TstIndicators::label_tinyOrZero_validFontAndRecovers()
{
    QFETCH(QSize, size);
    QScopedPointer<ResizeLabel> label(shownLabel());
    fontWarnings.clear();
    testHandler = qInstallMessageHandler(recordFontWarnings);
    label->resize(size);
    qInstallMessageHandler(testHandler);
    QVERIFY2(fontWarnings.isEmpty(), qPrintable(fontWarnings.join('\n')));
    QVERIFY(label->font().pointSizeF() > 0);
    label->resize(200, 80);
    QVERIFY(label->font().pointSizeF() > 10);
}

QTEST_MAIN(TstIndicators)
#include "tst_indicators.moc"
