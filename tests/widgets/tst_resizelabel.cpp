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
} // namespace

class TstResizeLabel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void resize_emptyText_keepsFont();
    void resize_doubled_pointSizeAboutDoubles();
    void resize_widerOnly_limitedByHeight();
    void resize_tinyOrZero_pointSizeStaysPositive_data();
    void resize_tinyOrZero_pointSizeStaysPositive();

private:
    qreal pointSizeAt(int w, int h);

    ResizeLabel *m_label = nullptr;
};

void TstResizeLabel::init()
{
    m_label = new ResizeLabel;
    QFont font = m_label->font();
    font.setPointSize(10);
    m_label->setFont(font);
    m_label->setText("ppm");
    m_label->resize(120, 50);
    m_label->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_label));
}

void TstResizeLabel::cleanup()
{
    delete m_label;
}

qreal TstResizeLabel::pointSizeAt(int w, int h)
{
    m_label->resize(w, h);
    return m_label->font().pointSizeF();
}

void TstResizeLabel::resize_emptyText_keepsFont()
{
    m_label->setText(QString());
    const QFont before = m_label->font();
    pointSizeAt(400, 200);
    QCOMPARE(m_label->font(), before);
}

void TstResizeLabel::resize_doubled_pointSizeAboutDoubles()
{
    const qreal fitted = pointSizeAt(200, 80);
    QVERIFY(fitted > 10);
    const qreal doubled = pointSizeAt(400, 160);
    QVERIFY2(doubled > 1.7 * fitted && doubled < 2.3 * fitted,
             qPrintable(QString("%1 -> %2").arg(fitted).arg(doubled)));
    const QSize text = QFontMetrics(m_label->font()).size(0, m_label->text());
    QVERIFY(text.width() <= 400 - 10 + 8 && text.height() <= 160 - 8 + 8);
}

void TstResizeLabel::resize_widerOnly_limitedByHeight()
{
    const qreal fitted = pointSizeAt(200, 80);
    const qreal wider = pointSizeAt(800, 80);
    QVERIFY2(qAbs(wider - fitted) < 0.25 * fitted, qPrintable(QString("%1 -> %2").arg(fitted).arg(wider)));
}

void TstResizeLabel::resize_tinyOrZero_pointSizeStaysPositive_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("margin exactly") << QSize(10, 8);
    QTest::newRow("zero") << QSize(0, 0);
    QTest::newRow("one pixel") << QSize(1, 1);
    QTest::newRow("flat") << QSize(300, 9);
}

void TstResizeLabel::resize_tinyOrZero_pointSizeStaysPositive()
{
    QFETCH(QSize, size);
    fontWarnings.clear();
    testHandler = qInstallMessageHandler(recordFontWarnings);
    const qreal shrunk = pointSizeAt(size.width(), size.height());
    qInstallMessageHandler(testHandler);
    QVERIFY2(fontWarnings.isEmpty(), qPrintable(fontWarnings.join('\n')));
    QVERIFY(shrunk > 0);
    // A label that grows again must recover a readable size.
    QVERIFY(pointSizeAt(200, 80) > 10);
}

QTEST_MAIN(TstResizeLabel)
#include "tst_resizelabel.moc"
