#include "calib/calibrationdialog.h"
#include "calib/calibrator.h"
#include "calib/paneldispatch.h"
#include "calib/panelhost.h"
#include "calib/stabilityindicator.h"
#include "device/adjustment.h"
#include "device/conversation.h"
#include "device/devicemodels.h"
#include "device/devicesession.h"
#include "device/responderport.h"
#include "panelharness.h"
#include "panels/panelregistry.h"
#include "records/recordschema.h"
#include "widgets/messageboxes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

// Quick times for every channel, so a point settles in a fraction of a second.
const double kDwellS = 0.2;
const double kWindowS = 0.2;

// The main window as a panel sees it, over a device in the test process: the session, its poll at
// 20 ms and the settings table with quick times.
class Host : public QWidget, public PanelHost
{
public:
    explicit Host(tqsim::Model model) : port(model)
    {
        m_session.attach(&port, QStringLiteral("mem0"), QStringLiteral("SIM-1"));
        m_session.setPollPeriod(20);
        connect(&m_session, &DeviceSession::pollDue, this, [this] {
            if (auto *calibrator = qobject_cast<Calibrator *>(panel))
                calibrator->writePollCommand(m_session.pollCommand());
        });
        connect(m_session.conversation(), &Conversation::unclaimedLine, this, [this](const QString &line) {
            if (auto *calibrator = qobject_cast<Calibrator *>(panel))
                calibrator->parsingLine(line);
        });
    }
    bool writeData(const QByteArray &bytes) override
    {
        return m_session.conversation()->writeUnawaited(bytes);
    }
    Conversation *conversation() const override { return m_session.conversation(); }
    void setPollTimerActive(bool on) override { m_session.setPolling(on); }
    int pollPeriodMs() const override { return 20; }
    void setControlsEnabled(bool) override {}
    void showStatusMessage(const QString &) override {}
    QWidget *panelWidget() const override { return panel; }
    DeviceSession *session() const override { return const_cast<DeviceSession *>(&m_session); }
    StabilitySettings::Table stabilityTable() const override
    {
        QList<StabilityDefaults::Channel> rows = StabilityDefaults::all();
        for (StabilityDefaults::Channel &row : rows) {
            row.dwellS = kDwellS;
            row.windowS = kWindowS;
        }
        return StabilitySettings::Table(rows);
    }

    ResponderPort port;
    DeviceSession m_session;
    QWidget *panel = nullptr;
};

QString stepName(Procedure::Step step)
{
    return QString::fromLatin1(QMetaEnum::fromType<Procedure::Step>().valueToKey(int(step)));
}

} // namespace

// Every registered panel: an indicator beside each live display, going from settling to stable
// on a steady reading, and "Calibrate…" guiding one point on channel 1 to its end while the
// panel goes on reading.
class TestCalibrationDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerPanels(); }
    void point_data();
    void point();
};

void TestCalibrationDialog::point_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("fault"); // "", "jitter" (never stable: accepted at the time-out), "unplug"
    QTest::addColumn<QString>("step");
    const QList<int> models = PanelDispatch::panelModels();
    QVERIFY(!models.isEmpty());
    for (int model : models)
        QTest::newRow(qPrintable(DeviceModels::name(model))) << model << ""
                                                             << "Passed";
    const QString first = DeviceModels::name(models.first());
    QTest::newRow(qPrintable(first + " never stable, accepted")) << models.first() << "jitter"
                                                                 << "Passed";
    QTest::newRow(qPrintable(first + " unplugged while waiting")) << models.first() << "unplug"
                                                                  << "Unplugged";
}

void TestCalibrationDialog::point()
{
    QFETCH(int, model);
    QFETCH(QString, fault);
    QFETCH(QString, step);
    MessageBoxes::setResponder([](const MessageBoxes::Request &) { return QMessageBox::Ok; });

    // Channel 1 off by half the largest correction the model makes; a sensor that takes the
    // adjustment then reads the reference. Every other field holds still at its first value.
    const StabilityDefaults::Channel *row = StabilityDefaults::find(model, 1);
    QVERIFY(row);
    const double maxCorrection = Adjustment::maxCorrection(model, 1);
    QVERIFY(maxCorrection > 0);
    const double reference = 10 * maxCorrection;
    double reading = reference - maxCorrection / 2;
    double jitter = fault == QLatin1String("jitter") ? maxCorrection / 4 : 0.0;
    bool adjusted = false;
    Host host(simulatedModel(model));
    QByteArray frozen;
    host.port.override = [&](const QByteArray &line) -> QByteArray {
        const QByteArray reply = host.port.responder.answer(line, 0);
        if (line != host.port.responder.pollWord()) {
            // The writes that adjust, not the refresh's queries of the same words.
            const bool value = line.contains(' ') && (line.startsWith("ATCCSP") ||
                                                      line.startsWith("ATCCAL") || line.startsWith("ATCOFF"));
            adjusted = adjusted || value || line == "ATCCZR" || line == "ATCUCAL";
            return reply;
        }
        if (frozen.isEmpty())
            frozen = reply;
        const QByteArray word = host.port.responder.pollWord();
        QList<QByteArray> fields = frozen.mid(word.size()).trimmed().split(',');
        jitter = adjusted ? 0.0 : -jitter;
        fields[row->field] = QByteArray::number(adjusted ? reference : reading + jitter, 'f', 3);
        return word + ' ' + fields.join(',');
    };

    QSignalSpy identified(&host.m_session, &DeviceSession::identified);
    host.m_session.identify();
    QVERIFY(identified.wait(2000));
    const DeviceIdentity id = host.m_session.identity();
    host.panel = PanelDispatch::find(model)->create(id.versionText, id.firmware, id.serial, &host);
    auto *panel = qobject_cast<Calibrator *>(host.panel);
    QVERIFY(panel);
    QVERIFY(QTest::qWaitFor(
        [&] { return panel->mode() == Calibrator::DEFAULT && host.m_session.isPolling(); }, 5000));

    // Beside each live display, in the place the form gave the display.
    QList<StabilityIndicator *> indicators;
    for (QLCDNumber *lcd : panel->findChildren<QLCDNumber *>()) {
        if (StabilityIndicator *indicator = panel->indicator(lcd)) {
            QCOMPARE(indicator->parentWidget(), lcd->parentWidget());
            indicators.append(indicator);
        }
    }
    QVERIFY(!indicators.isEmpty());
    QVERIFY(QTest::qWaitFor(
        [&] {
            const StabilityTracker *tracker = panel->liveTracker(row->field);
            return tracker && tracker->figures().count > 0;
        },
        2000));
    const auto shown = [&](const QString &state) {
        int count = 0;
        for (StabilityIndicator *indicator : indicators)
            count += indicator->stateText() == state;
        return count;
    };
    if (fault.isEmpty()) {
        QVERIFY(shown(QStringLiteral("settling")) > 0);
        QCOMPARE(shown(QStringLiteral("stable")), 0);
        QVERIFY(QTest::qWaitFor([&] { return shown(QStringLiteral("settling")) == 0; }, 3000));
        QVERIFY(shown(QStringLiteral("stable")) > 0);
    }

    auto *button = panel->findChild<QPushButton *>(QStringLiteral("pushButton_calibrate"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("Calibrate…"));
    button->click();
    QPointer<CalibrationDialog> dialog = host.findChild<CalibrationDialog *>();
    QVERIFY(dialog && dialog->isVisible() && !dialog->isModal());
    // The device in the test answers at once: no gap after the poll.
    dialog->setTimes({kDwellS, kWindowS, 1.0, 0});
    auto *channel = dialog->findChild<QComboBox *>(QStringLiteral("comboBox_channel"));
    channel->setCurrentIndex(channel->findData(1));
    dialog->findChild<QDoubleSpinBox *>(QStringLiteral("doubleSpinBox_reference"))->setValue(reference);
    dialog->findChild<QDoubleSpinBox *>(QStringLiteral("doubleSpinBox_tolerance"))
        ->setValue(maxCorrection / 10);
    dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit_lot"))->setText(QStringLiteral("L"));
    const auto click = [&](const char *name) {
        auto *b = dialog->findChild<QPushButton *>(QLatin1String(name));
        QVERIFY2(b && b->isVisible() && b->isEnabled(), name);
        b->click();
    };
    click("pushButton_start");
    QVERIFY(dialog->procedure());
    QCOMPARE(dialog->procedure()->step(), Procedure::Step::Applying);
    // The panel writes nothing of its own meanwhile, and goes on reading.
    QVERIFY(panel->isProcedureRunning());
    click("pushButton_applied");
    QPointer<Procedure> procedure = dialog->procedure();
    QSignalSpy finished(procedure, &Procedure::finished);
    if (fault == QLatin1String("jitter")) {
        QVERIFY(QTest::qWaitFor([&] { return procedure->isPastTimeout(); }, 3000));
        click("pushButton_accept");
    } else if (fault == QLatin1String("unplug")) {
        QVERIFY(QTest::qWaitFor([&] { return procedure->tracker().figures().count > 0; }, 2000));
        // What the main window does when the device leaves the scan: the panel goes, the port closes.
        host.m_session.close();
        delete host.panel;
        host.panel = nullptr;
    }
    QVERIFY(finished.count() || finished.wait(5000));
    QCOMPARE(stepName(procedure->step()), step);
    QVERIFY(dialog);
    const QString stepShown = dialog->findChild<QLabel *>(QStringLiteral("label_step"))->text();
    if (step == QLatin1String("Passed")) {
        QCOMPARE(stepShown, QStringLiteral("PASS"));
        QVERIFY(procedure->adjusted());
        QVERIFY(qAbs(procedure->asFound().value - reading) <= maxCorrection / 4);
        QCOMPARE(procedure->asFound().stable, fault.isEmpty());
        QCOMPARE(procedure->asLeft().value, reference);
        QVERIFY(!panel->isProcedureRunning());
        // On record, and a certificate offered and written.
        QCOMPARE(dialog->report()->result, QLatin1String(RecordSchema::kOutcomePass));
        QVERIFY(dialog->findChild<QPushButton *>(QStringLiteral("pushButton_certificate"))->isVisible());
        QTemporaryDir dir;
        QVERIFY(dialog->saveCertificate(dir.filePath(QStringLiteral("c.pdf"))));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("c.pdf"))).size() > 0);
        // What the panel shows of the device's settings is read again after the writes: the
        // refresh waits for its delay.
        QVERIFY(panel->isBusy());
    } else {
        QVERIFY2(stepShown.contains(QStringLiteral("unplugged")), qPrintable(stepShown));
        QVERIFY(!dialog->findChild<QPushButton *>(QStringLiteral("pushButton_start"))->isEnabled());
        QCOMPARE(dialog->report()->result, QLatin1String(RecordSchema::kOutcomeIncomplete));
        QVERIFY(!dialog->findChild<QPushButton *>(QStringLiteral("pushButton_certificate"))->isVisible());
    }
    delete dialog;
    delete host.panel;
    MessageBoxes::setResponder({});
}

QTEST_MAIN(TestCalibrationDialog)
#include "tst_calibrationdialog.moc"
