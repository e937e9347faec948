#include "calib/calibrator.h"
#include "calib/panelhost.h"
#include "chart/chartmath.h"
#include "chart/chartview.h"
#include "device/conversation.h"
#include "device/linechannel.h"
#include "widgets/messageboxes.h"
#include "widgets/qledindicator.h"

#include <QBuffer>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLCDNumber>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// The main window as the panel mechanism sees it: a conversation over an in-memory port, the poll,
// controls, status. `device`, when set, answers each command a few milliseconds later.
class FakeHost : public QWidget, public PanelHost
{
public:
    FakeHost()
    {
        port.open(QIODevice::WriteOnly);
        channel.setDevice(&port);
        // The buffer signals its own writes as readable: the device's lines come through says().
        QObject::disconnect(&port, &QIODevice::readyRead, &channel, nullptr);
        QObject::connect(&m_conversation, &Conversation::unclaimedLine, [this](const QString &line) {
            if (auto *calibrator = dynamic_cast<AbstractCalibrator *>(panel))
                calibrator->parsingLine(line);
        });
        QObject::connect(&channel, &LineChannel::bytesSent, [this](const QByteArray &bytes) {
            written.append(bytes);
            const QByteArray reply = device ? device(bytes.trimmed()) : QByteArray();
            if (!reply.isEmpty())
                QTimer::singleShot(5, &channel, [this, reply] { channel.receive(reply + "\r\n"); });
        });
    }
    bool writeData(const QByteArray &bytes) override { return m_conversation.writeUnawaited(bytes); }
    Conversation *conversation() const override { return const_cast<Conversation *>(&m_conversation); }
    // A line from the device, handed on as the port's reader would.
    void says(const QString &line)
    {
        channel.receive(line.toLatin1() + "\r\n");
        QCoreApplication::sendPostedEvents(&channel, QEvent::MetaCall);
    }
    void setPollTimerActive(bool on) override { polling = on; }
    int pollPeriodMs() const override { return 1000; }
    void setControlsEnabled(bool on) override { controls = on; }
    void showStatusMessage(const QString &text) override { status = text; }
    QWidget *panelWidget() const override { return panel; }

    QBuffer port;
    LineChannel channel;
    Conversation m_conversation{&channel};
    std::function<QByteArray(const QByteArray &)> device;
    QList<QByteArray> written;
    bool polling = false;
    bool controls = false;
    QString status;
    QWidget *panel = nullptr;
};

// The smallest panel: one offset, a temperature unit, a two-mode filter written in SENSORTYPE and
// two live displays.
class ProbePanel : public Calibrator
{
    Q_OBJECT
public:
    explicit ProbePanel(FakeHost *host)
        : Calibrator(99, QStringLiteral("PROBE-1v0"), 10, QStringLiteral("S1"), host)
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
        for (QWidget *w :
             std::initializer_list<QWidget *>{offsetBox, celsius, fahrenheit, filterOn, lcd1, lcd2})
            layout->addWidget(w);
        attachForm({});
        setInputGroups({offsetBox});
        setReplyKeywords({QStringLiteral("ATCOFF"), QStringLiteral("ATCMODE")}, {QStringLiteral("ATCOFF")});
        setRefreshOrder({{Cmd::ATCMODE,
                          [this](const Reply &) {
                              if (onModeRead)
                                  onModeRead();
                              return Outcome::Accepted;
                          }},
                         {Cmd::ATCOFF1, offsetInto(offset)}});
        setLiveLine(QStringLiteral("ATCD"), 2, ShortLine::MissingNoValue);
        setLiveDisplays({lcd1, lcd2}, 0, 1);
        setTemperatureUnitButtons(celsius, fahrenheit, 1, [this] { ++unitChanges; });
        setApplyHandler(Cmd::ATCMODE, [](const Reply &reply) {
            return reply.integer() == 1 ? Outcome::Accepted : Outcome::Rejected;
        });
        setApplyHandler(Cmd::ATCDRFT, actionReply(
                                          [this] {
                                              MessageBoxes::information(this, QStringLiteral("Drift Adj."),
                                                                        QStringLiteral("completed"));
                                          },
                                          QStringLiteral("Drift Adj."), QStringLiteral("failed")));
        applyOnClick(
            apply, Cmd::ATCOFF1, [this] { return Cmd::decimal2(offset->value()); },
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
        applyLater(
            Cmd::ATCMODE, [] { return Cmd::write(Cmd::ATCMODE, QStringLiteral("1")); },
            QStringLiteral("filter write failed"), options);
    }
    void adjustDrift()
    {
        applyLater(
            Cmd::ATCDRFT, [] { return Cmd::query(Cmd::ATCDRFT); }, QStringLiteral("failed"));
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
    int filterFailures = 0;
    std::function<void()> onModeRead;
};

} // namespace

// The shared panel mechanism against a fake main window: sequence ends, time-out, queue, the
// temperature unit and sensor type, lamps and live lines read after a box. Actions are checked end
// to end on each panel.
class TestCalibrator : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void temperatureUnit_data();
    void temperatureUnit();
    void sensorType_ownEndTexts_rejectedValueRunsFailedHook();
    void timeout_endsWithBox_lateReplyIgnored_queuedRefreshRuns();
    void refreshReplyBox_panelClosedMeanwhile_endsQuietly();
    void liveLines_lampsNoValueGapAndOverflow();
    void liveLines_duringBox_readAndChartedAtTheirOwnPolls();
    void replyBoxHeldOpen_sequenceAfterItCompletes();

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
    QTest::newRow("other unit confirmed")
        << "ATCCOK" << false << "error! apply the device's temperature mode to the celsius mode.";
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
    m_host->says(QStringLiteral("ATCCU1"));
    m_host->says(QStringLiteral("ATCCSP1,2,3,4"));
    QCOMPARE(m_panel->mode(), int(Calibrator::TEMPMODE));

    m_host->says(reply);
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
    m_host->says(QStringLiteral("ATCOFF11.0")); // not the awaited word: ignored
    m_host->says(QStringLiteral("ATCMODE1"));
    QCOMPARE(m_host->status, QStringLiteral("filter ok"));
    QVERIFY(m_boxes.isEmpty());

    m_panel->writeFilter();
    waitWritten(2);
    m_host->says(QStringLiteral("ATCMODE7"));
    QCOMPARE(m_host->status, QStringLiteral("filter failed"));
    QCOMPARE(m_boxes, QStringList{"ERROR|filter failed..."});
    QCOMPARE(m_panel->filterFailures, 2);
    QCOMPARE(m_panel->mode(), int(Calibrator::DEFAULT));
}

void TestCalibrator::timeout_endsWithBox_lateReplyIgnored_queuedRefreshRuns()
{
    m_host->m_conversation.setDefaultTimeoutMs(300);
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
    m_host->says(QStringLiteral("ATCOFF12.50"));
    QCOMPARE(m_panel->mode(), int(Calibrator::REFRESH));
    m_host->says(QStringLiteral("ATCMODE1"));
    QCOMPARE(m_host->written.last(), QByteArray("ATCOFF1\r\n"));
    m_host->says(QStringLiteral("ATCOFF1-3.25"));
    QCOMPARE(m_host->status, QStringLiteral("success! refresh calibration settings."));
    QCOMPARE(m_panel->offset->value(), -3.25);
}

void TestCalibrator::refreshReplyBox_panelClosedMeanwhile_endsQuietly()
{
    // A reply handler's box runs the event loop: the device is closed meanwhile, the panel not yet deleted.
    m_panel->onModeRead = [this] {
        MessageBoxes::critical(m_panel, QStringLiteral("ERROR"), QStringLiteral("odd mode"));
    };
    m_duringBox = [this] { m_host->panel = nullptr; };
    m_panel->writeRefresh();
    QCOMPARE(waitWritten(1), QList<QByteArray>{"ATCMODE\r\n"});
    m_host->says(QStringLiteral("ATCMODE1"));
    QCOMPARE(m_boxes, QStringList{"ERROR|odd mode"});
    QCOMPARE(m_host->written.size(), 1);
    QVERIFY(!m_host->status.startsWith(QLatin1String("error!")));
}

void TestCalibrator::liveLines_lampsNoValueGapAndOverflow()
{
    const int last = ChartView::kSampleCount - 1;
    m_panel->writePollCommand("ATCD\r\n");
    QCOMPARE(m_panel->txLamp(), 2); // the poll lights the transmit lamp, the reply the receive lamp
    QCOMPARE(m_panel->rxLamp(), 1);
    m_host->says(QStringLiteral("ATCD12.5,nan"));
    QCOMPARE(m_panel->rxLamp(), 3);
    QTRY_COMPARE(m_panel->txLamp(), 1);
    QCOMPARE(m_panel->lcd1->value(), 12.5);
    QCOMPARE(m_panel->chart()->values1()[last], 12.5);
    QCOMPARE(m_panel->chart()->values2()[last], Chart::NoValue);

    // Too long for five digits: the overflow mark, never the last digits.
    m_host->says(QStringLiteral("ATCD-123456.789,1"));
    QCOMPARE(m_panel->lcd1->value(), 0.0); // the mark is no number; cut digits would read -123457
}

void TestCalibrator::liveLines_duringBox_readAndChartedAtTheirOwnPolls()
{
    // A box does not stop the reading: each poll's reply is shown while it is open.
    QStringList shown;
    m_duringBox = [&] {
        for (int value = 1; value <= 3; ++value) {
            QTest::qWait(15);
            m_panel->writePollCommand("ATCD\r\n");
            m_host->channel.receive(QStringLiteral("ATCD%1,0\r\n").arg(value).toLatin1());
            QTest::qWait(5);
            shown.append(QString::number(m_panel->lcd1->value()));
        }
    };
    MessageBoxes::critical(nullptr, QStringLiteral("ERROR"), QStringLiteral("box"));
    QCOMPARE(shown, QStringList({"1", "2", "3"}));
    const double *times = m_panel->chart()->timeStamps();
    const double *values = m_panel->chart()->values1();
    const int last = ChartView::kSampleCount - 1;
    QCOMPARE(values[last - 2], 1.0);
    QCOMPARE(values[last], 3.0);
    QVERIFY(times[last - 2] < times[last - 1] && times[last - 1] < times[last]);
}

void TestCalibrator::replyBoxHeldOpen_sequenceAfterItCompletes()
{
    // The action's box stays open for ten reply time-outs while the refresh that follows the
    // action runs against a device that answers at once.
    m_host->m_conversation.setDefaultTimeoutMs(100);
    m_host->device = [](const QByteArray &command) -> QByteArray {
        return command == "ATCDRFT"   ? "ATCDRFT OK"
               : command == "ATCMODE" ? "ATCMODE1"
               : command == "ATCOFF1" ? "ATCOFF1 -1.25"
                                      : "";
    };
    QStringList statusDuringBox;
    m_duringBox = [&] {
        for (int wait = 0; wait < 10; ++wait) {
            QTest::qWait(100);
            statusDuringBox.append(m_host->status);
        }
    };
    m_panel->adjustDrift();
    QTRY_COMPARE(m_boxes, QStringList{"Drift Adj.|completed"});
    QCOMPARE(m_host->written, QList<QByteArray>({"ATCDRFT\r\n", "ATCMODE\r\n", "ATCOFF1\r\n"}));
    QCOMPARE(m_panel->offset->value(), -1.25);
    QVERIFY2(statusDuringBox.filter(QStringLiteral("did not answer")).isEmpty(),
             qPrintable(statusDuringBox.join('|')));
    QCOMPARE(m_host->status, QStringLiteral("success! refresh calibration settings."));
    QVERIFY(m_host->polling);
}

QTEST_MAIN(TestCalibrator)
#include "tst_calibrator.moc"
