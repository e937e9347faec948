#include "calib/calibrator.h"
#include "calib/panelhost.h"
#include "chart/chartmath.h"
#include "chart/chartview.h"
#include "widgets/qledindicator.h"
#include "widgets/messageboxes.h"

#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLCDNumber>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// The main window as the panel mechanism sees it: what was written, the poll, controls, status.
class FakeHost : public QWidget, public PanelHost
{
public:
    bool writeData(const QByteArray &bytes) override
    {
        written.append(bytes);
        return writable;
    }
    void setPollTimerActive(bool on) override { polling = on; }
    void setControlsEnabled(bool on) override { controls = on; }
    void showStatusMessage(const QString &text) override { status = text; }
    QWidget *panelWidget() const override { return panel; }

    QList<QByteArray> written;
    bool writable = true;
    bool polling = false;
    bool controls = false;
    QString status;
    QWidget *panel = nullptr;
};

// The smallest panel: one offset, a temperature unit, a two-mode filter written in SENSORTYPE, an
// action word, and two live displays.
class ProbePanel : public Calibrator
{
    Q_OBJECT
public:
    explicit ProbePanel(FakeHost *host) : Calibrator(99, QStringLiteral("PROBE-1v0"), 10, QStringLiteral("S1"), host)
    {
        auto *layout = new QVBoxLayout(this);
        auto *offsetBox = new QGroupBox(QStringLiteral("Offset"), this);
        offset = new QDoubleSpinBox(offsetBox);
        offset->setRange(-100, 100);
        apply = new QToolButton(offsetBox);
        celsius = new QRadioButton(this);
        fahrenheit = new QRadioButton(this);
        filterOn = new QRadioButton(this);
        lcd1 = new QLCDNumber(5, this);
        lcd2 = new QLCDNumber(5, this);
        for (QWidget *w : std::initializer_list<QWidget *>{offsetBox, celsius, fahrenheit, filterOn, lcd1, lcd2})
            layout->addWidget(w);
        attachForm({});
        setInputGroups({offsetBox});
        setReplyKeywords({QStringLiteral("ATCOFF"), QStringLiteral("ATCMODE")},
                         {QStringLiteral("ATCOFF"), QStringLiteral("ATCDRFT")});
        setRefreshOrder({{Cmd::ATCMODE, [](const Reply &) { return Outcome::Accepted; }},
                         {Cmd::ATCOFF1, offsetInto(offset)}});
        setLiveLine(QStringLiteral("ATCD"), 2, ShortLine::MissingNoValue);
        setLiveDisplays({lcd1, lcd2}, 0, 1);
        setTemperatureUnitButtons(celsius, fahrenheit, [this] { ++unitChanges; });
        setApplyHandler(Cmd::ATCDRFT, actionReply([this] { ++accepted; }, QStringLiteral("Drift"),
                                                  QStringLiteral("refused!")));
        setApplyHandler(Cmd::ATCMODE, [](const Reply &reply) {
            return reply.integer() == 1 ? Outcome::Accepted : Outcome::Rejected;
        });
        applyOnClick(apply, Cmd::ATCOFF1, [this] { return Cmd::decimal2(offset->value()); },
                     QStringLiteral("apply failed"));
        host->panel = this;
    }

    void writeFilter()
    {
        static const EndTexts texts = {"filter ok", "filter failed", "filter failed..."};
        ApplyOptions options;
        options.mode = SENSORTYPE;
        options.texts = &texts;
        options.onlyWhenIdle = true;
        options.failed = [this] { ++filterFailures; };
        applyLater(Cmd::ATCMODE, [] { return Cmd::write(Cmd::ATCMODE, QStringLiteral("1")); },
                   QStringLiteral("filter write failed"), options);
    }
    void drift()
    {
        applyLater(Cmd::ATCDRFT, [] { return Cmd::query(Cmd::ATCDRFT); }, QStringLiteral("drift write failed"));
    }
    using Calibrator::isBusy;
    int txLamp() const { return m_txLed->m_state; }
    int rxLamp() const { return m_rxLed->m_state; }

    QDoubleSpinBox *offset;
    QToolButton *apply;
    QRadioButton *celsius;
    QRadioButton *fahrenheit;
    QRadioButton *filterOn;
    QLCDNumber *lcd1;
    QLCDNumber *lcd2;
    int unitChanges = 0;
    int accepted = 0;
    int filterFailures = 0;
};

} // namespace

// The shared panel mechanism against a fake main window: sequence ends, time-out, queue, the
// temperature unit, sensor type and refused actions, and the live-line rules.
class TestCalibrator : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void temperatureUnit_data();
    void temperatureUnit();
    void sensorType_ownEndTexts_rejectedValueRunsFailedHook();
    void refusedAction_oneBoxErrorStatus_acceptedHandsOverToRefresh();
    void timeout_endsLikeFailedWrite_lateReplyIgnored_queuedRefreshRuns();
    void liveLines_noValueIsGap_shortLineAndLateReplyChangeNothing();
    void liveLines_silentDevice_displaysSayNoValue();
    void liveLines_readAfterBox_eachChartedAtItsOwnPoll();

private:
    QList<QByteArray> waitWritten(int count);

    FakeHost *m_host = nullptr;
    ProbePanel *m_panel = nullptr;
    QStringList m_boxes;
    std::function<void()> m_duringBox;
};

void TestCalibrator::init()
{
    m_boxes.clear();
    m_duringBox = nullptr;
    MessageBoxes::setResponder([this](const MessageBoxes::Request &request) {
        m_boxes.append(request.title + QLatin1Char('|') + request.text);
        if (m_duringBox)
            m_duringBox();
        return QMessageBox::Ok;
    });
    m_host = new FakeHost;
    m_panel = new ProbePanel(m_host);
}

void TestCalibrator::cleanup()
{
    delete m_host;
    MessageBoxes::setResponder({});
    Calibrator::setReplyTimeoutMs(0);
}

QList<QByteArray> TestCalibrator::waitWritten(int count)
{
    (void)QTest::qWaitFor([this, count] { return m_host->written.size() >= count; }, 2000);
    return m_host->written;
}

// "OK" confirms the unit asked for; anything else leaves the unit the device had.
void TestCalibrator::temperatureUnit_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("fahrenheit");
    QTest::addColumn<QString>("status");
    QTest::newRow("bare OK") << "OK" << true
                             << "success! apply the device's temperature mode to the fahrenheit mode.";
    QTest::newRow("echo into OK") << "ATCFOK" << true
                                  << "success! apply the device's temperature mode to the fahrenheit mode.";
    QTest::newRow("word without OK") << "ATCF" << false
                                     << "error! apply the device's temperature mode to the celsius mode.";
    QTest::newRow("other unit confirmed") << "ATCCOK" << false
                                          << "error! apply the device's temperature mode to the celsius mode.";
}

void TestCalibrator::temperatureUnit()
{
    QFETCH(QString, reply);
    QFETCH(bool, fahrenheit);
    QFETCH(QString, status);
    QVERIFY(m_panel->celsius->isChecked());
    m_panel->fahrenheit->click();
    QCOMPARE(waitWritten(1), QList<QByteArray>{"ATCF\r\n"});
    QCOMPARE(m_panel->mode(), int(Calibrator::TEMPMODE));
    // Late replies of other commands starting with ATCC do not end the unit change.
    m_panel->parsingLine(QStringLiteral("ATCCU1"));
    m_panel->parsingLine(QStringLiteral("ATCCSP1,2,3,4"));
    QCOMPARE(m_panel->mode(), int(Calibrator::TEMPMODE));

    m_panel->parsingLine(reply);
    QCOMPARE(m_panel->mode(), int(Calibrator::DEFAULT));
    QCOMPARE(m_panel->isCelsius(), !fahrenheit);
    QCOMPARE(m_panel->fahrenheit->isChecked(), fahrenheit);
    QCOMPARE(m_host->status, status);
    QCOMPARE(m_boxes.size(), fahrenheit ? 0 : 1);
    QVERIFY(m_host->polling && m_host->controls);
}

void TestCalibrator::sensorType_ownEndTexts_rejectedValueRunsFailedHook()
{
    m_panel->writeFilter();
    QCOMPARE(waitWritten(1), QList<QByteArray>{"ATCMODE 1\r\n"});
    QCOMPARE(m_panel->mode(), int(Calibrator::SENSORTYPE));
    m_panel->writeFilter(); // a mode selector while busy: dropped, shows the mode in force again
    QCOMPARE(m_panel->filterFailures, 1);
    m_panel->parsingLine(QStringLiteral("ATCOFF11.0")); // not the awaited word: ignored
    m_panel->parsingLine(QStringLiteral("ATCMODE1"));
    QCOMPARE(m_host->status, QStringLiteral("filter ok"));
    QVERIFY(m_boxes.isEmpty());

    m_panel->writeFilter();
    waitWritten(2);
    m_panel->parsingLine(QStringLiteral("ATCMODE7"));
    QCOMPARE(m_host->status, QStringLiteral("filter failed"));
    QCOMPARE(m_boxes, QStringList{"ERROR|filter failed..."});
    QCOMPARE(m_panel->filterFailures, 2);
    QCOMPARE(m_panel->mode(), int(Calibrator::DEFAULT));
}

void TestCalibrator::refusedAction_oneBoxErrorStatus_acceptedHandsOverToRefresh()
{
    m_panel->drift();
    waitWritten(1);
    m_panel->parsingLine(QStringLiteral("ATCDRFT"));
    QCOMPARE(m_boxes, QStringList{"Drift|refused!"});
    QCOMPARE(m_host->status, QStringLiteral("error! apply calibration settings."));
    QVERIFY(m_host->polling);

    m_boxes.clear();
    m_panel->drift();
    waitWritten(2);
    m_panel->parsingLine(QStringLiteral("ATCDRFTOK"));
    QCOMPARE(m_panel->accepted, 1);
    QVERIFY(!m_host->polling);
    QCOMPARE(waitWritten(3).last(), QByteArray("ATCMODE\r\n"));
    QVERIFY(!m_host->status.startsWith(QLatin1String("success! apply")));
    QVERIFY(m_boxes.isEmpty());
}

void TestCalibrator::timeout_endsLikeFailedWrite_lateReplyIgnored_queuedRefreshRuns()
{
    Calibrator::setReplyTimeoutMs(300);
    m_panel->offset->setValue(2.5);
    m_panel->apply->click();
    m_panel->writeRefresh(); // asked for during the apply's delay: waits its turn
    QCOMPARE(waitWritten(1), QList<QByteArray>{"ATCOFF1 2.50\r\n"});
    QTest::qWait(200);
    QCOMPARE(m_host->written.size(), 1);

    QTRY_COMPARE(m_boxes, QStringList{"ERROR|apply failed"});
    QCOMPARE(m_host->status, QStringLiteral("error! the device did not answer ATCOFF1."));
    QCOMPARE(waitWritten(2).last(), QByteArray("ATCMODE\r\n"));
    // The stalled write's reply arrives now: dropped as late instead of failing the refresh.
    m_panel->parsingLine(QStringLiteral("ATCOFF12.50"));
    QCOMPARE(m_panel->mode(), int(Calibrator::REFRESH));
    m_panel->parsingLine(QStringLiteral("ATCMODE1"));
    QCOMPARE(m_host->written.last(), QByteArray("ATCOFF1\r\n"));
    m_panel->parsingLine(QStringLiteral("ATCOFF1-3.25"));
    QCOMPARE(m_host->status, QStringLiteral("success! refresh calibration settings."));
    QCOMPARE(m_panel->offset->value(), -3.25);

    // A failed write ends the same way at once.
    m_boxes.clear();
    m_host->writable = false;
    m_panel->apply->click();
    QTRY_COMPARE(m_boxes, QStringList{"ERROR|apply failed"});
    QCOMPARE(m_host->status, QStringLiteral("error! apply calibration settings."));
    QVERIFY(m_host->polling && m_host->controls && !m_panel->isBusy());
}

void TestCalibrator::liveLines_noValueIsGap_shortLineAndLateReplyChangeNothing()
{
    const int last = ChartView::kSampleCount - 1;
    m_panel->writePollCommand("ATCD\r\n");
    QCOMPARE(m_panel->txLamp(), 2); // the poll lights the transmit lamp, the reply the receive lamp
    QCOMPARE(m_panel->rxLamp(), 1);
    m_panel->parsingLine(QStringLiteral("ATCD12.5,nan"));
    QCOMPARE(m_panel->rxLamp(), 3);
    QTRY_COMPARE(m_panel->txLamp(), 1);
    QCOMPARE(m_panel->lcd1->value(), 12.5);
    QCOMPARE(m_panel->chart()->values1()[last], 12.5);
    QCOMPARE(m_panel->chart()->values2()[last], Chart::NoValue);

    QTest::qWait(5); // polls are never in the same millisecond
    m_panel->writePollCommand("ATCD\r\n");
    m_panel->parsingLine(QStringLiteral("ATCD7")); // missing second field: a gap, not 0
    QCOMPARE(m_panel->chart()->values2()[last], Chart::NoValue);
    QCOMPARE(m_panel->chart()->values1()[last], 7.0);
    QCOMPARE(m_panel->chart()->values1()[last - 1], 12.5);

    // Not live lines: a late reply starting with the poll word, the bare word.
    m_panel->writePollCommand("ATCD\r\n");
    m_panel->parsingLine(QStringLiteral("ATCDGFIL32"));
    m_panel->parsingLine(QStringLiteral("ATCD"));
    QCOMPARE(m_panel->lcd1->value(), 7.0);
    QCOMPARE(m_panel->chart()->values1()[last], 7.0);

    // Too long for five digits: the overflow mark, never the last digits.
    m_panel->parsingLine(QStringLiteral("ATCD-123456.789,1"));
    QCOMPARE(m_panel->lcd1->value(), 0.0); // the mark is no number; cut digits would read -123457
}

void TestCalibrator::liveLines_silentDevice_displaysSayNoValue()
{
    m_panel->writePollCommand("ATCD\r\n");
    m_panel->parsingLine(QStringLiteral("ATCD1.5,2"));
    for (int poll = 0; poll < 3; ++poll) {
        m_panel->writePollCommand("ATCD\r\n");
        m_panel->parsingLine(QStringLiteral("ERROR"));
    }
    QCOMPARE(m_panel->lcd1->value(), 1.5);
    m_panel->writePollCommand("ATCD\r\n");
    QCOMPARE(m_host->status, QStringLiteral("the device sends no values."));
    QCOMPARE(m_panel->lcd1->value(), 0.0);
    m_panel->parsingLine(QStringLiteral("ATCD3,4"));
    QCOMPARE(m_panel->lcd1->value(), 3.0);
    QVERIFY(m_host->status.isEmpty());
}

void TestCalibrator::liveLines_readAfterBox_eachChartedAtItsOwnPoll()
{
    // Polls go out while a box is open; their replies are read only when it closes.
    m_duringBox = [this] {
        for (int poll = 0; poll < 3; ++poll) {
            QTest::qWait(15);
            m_panel->writePollCommand("ATCD\r\n");
        }
    };
    MessageBoxes::critical(nullptr, QStringLiteral("ERROR"), QStringLiteral("box"));
    for (int value = 1; value <= 3; ++value)
        m_panel->parsingLine(QStringLiteral("ATCD%1,0").arg(value));
    const double *times = m_panel->chart()->timeStamps();
    const double *values = m_panel->chart()->values1();
    const int last = ChartView::kSampleCount - 1;
    QCOMPARE(values[last - 2], 1.0);
    QCOMPARE(values[last], 3.0);
    QVERIFY(times[last - 2] < times[last - 1] && times[last - 1] < times[last]);
}

QTEST_MAIN(TestCalibrator)
#include "tst_calibrator.moc"
