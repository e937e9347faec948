#include "benchharness.h"
#include "panelharness.h"

#include <QAbstractButton>
#include <QDoubleSpinBox>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <memory>

namespace {

const QList<QByteArray> kActionWords = {"ATCFTRST", "ATCUCAL", "ATCFCAL", "ATCDRFT", "ATCCZR"};

} // namespace

// Every registered panel against every fault of the simulator: unplugged after each command of
// the refresh and of one apply of each kind, each refresh word unanswered, replies cut into single
// bytes, echoed, mixed with junk lines or late, and actions refused. A cell passes when the tool
// lives on, the device list is back within 1.5 s of an unplug, a failed step is never reported as
// "success!", the values shown are the device's, and polling resumes when the panel stays.
class TestFaultMatrixE2e : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();
    void firstRefresh_inputsLockedUntilRead_earlyClickSendsNothing_data() { addPanelModelRows(); }
    void firstRefresh_inputsLockedUntilRead_earlyClickSendsNothing();
    void unpluggedAfterEachRefreshCommand_data() { addPanelModelRows(); }
    void unpluggedAfterEachRefreshCommand();
    void unpluggedAtEachKindOfApply_data() { addPanelModelRows(); }
    void unpluggedAtEachKindOfApply();
    void silentRefreshWord_timesOutAndPollingResumes_data() { addPanelModelRows(); }
    void silentRefreshWord_timesOutAndPollingResumes();
    void wireFaults_refreshAndApplyReadTheDevice_data();
    void wireFaults_refreshAndApplyReadTheDevice();
    void refusedActions_neverSuccess_data() { addPanelModelRows(); }
    void refusedActions_neverSuccess();
    void bench_oneDeviceFaulty_othersKeepPollingAndRecords_data();
    void bench_oneDeviceFaulty_othersKeepPollingAndRecords();

private:
    void newHarness(int model);
    bool openIdle() { return m_h->openPanel() && m_h->waitIdle(8000); }
    Calibrator *panel() const { return m_h->panel<Calibrator>(); }
    QAbstractButton *button(const QString &name) const { return m_h->child(qPrintable(name)); }
    // The apply buttons of the panel by kind: value, action, question, password.
    QMap<QString, QString> applyKinds();
    // Clicks an apply of that kind through its question and password; false when the panel has none.
    bool startApply(const QString &kind, const QString &name);
    bool sawSuccess() const;
    void record(const QString &fault, bool passed);
    bool listBackSoon();

    std::unique_ptr<PanelHarness> m_h;
    QStringList m_statuses;
    QStringList m_cells;
    int m_model = 0;
};

void TestFaultMatrixE2e::initTestCase()
{
    registerPanels();
}

void TestFaultMatrixE2e::cleanup()
{
    m_h.reset();
}

void TestFaultMatrixE2e::cleanupTestCase()
{
    const QString table =
        QStringLiteral("| model | fault | outcome |\n|---|---|---|\n") + m_cells.join(QLatin1Char('\n'));
    qInfo().noquote() << "\n" << table;
    QFile file(QStringLiteral("faultmatrix.md"));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(table.toUtf8() + '\n');
}

void TestFaultMatrixE2e::newHarness(int model)
{
    m_model = model;
    m_h.reset(); // its destructor takes the box responder with it
    m_h = std::make_unique<PanelHarness>(simulatedModel(model));
    m_h->answer = sayYes;
    m_statuses.clear();
    QObject::connect(m_h->window->statusBar(), &QStatusBar::messageChanged, m_h->window,
                     [this](const QString &text) { m_statuses.append(text); });
    // A device that vanishes is gone from the enumeration too.
    QObject::connect(m_h->sim, &SimulatedDevice::vanished, m_h->window, [this] { m_h->devices.clear(); });
}

bool TestFaultMatrixE2e::sawSuccess() const
{
    return !m_statuses.filter(QRegularExpression(QStringLiteral("^success!"))).isEmpty();
}

void TestFaultMatrixE2e::record(const QString &fault, bool passed)
{
    m_cells.append(QStringLiteral("| %1 | %2 | %3 |").arg(m_model).arg(fault, passed ? "pass" : "FAIL"));
}

bool TestFaultMatrixE2e::listBackSoon()
{
    return QTest::qWaitFor(
        [this] {
            return !m_h->window->isDeviceOpen() && m_h->window->deviceList()->isVisibleTo(m_h->window);
        },
        1500);
}

QMap<QString, QString> TestFaultMatrixE2e::applyKinds()
{
    QMap<QString, QString> kinds{{QStringLiteral("value"), QStringLiteral("toolButton_offset_apply_ch1")}};
    if (QAbstractButton *stamp = button(QStringLiteral("toolButton_exec_datetime"));
        stamp && stamp->isVisibleTo(panel()))
        kinds.insert(QStringLiteral("password"), QStringLiteral("toolButton_exec_datetime"));
    // Buttons whose command is an action word: with a question first, or without. "Calibrate…"
    // only opens the guided dialog.
    for (QPushButton *push : panel()->findChildren<QPushButton *>()) {
        const QString name = push->objectName();
        if (!name.startsWith(QLatin1String("pushButton_")) || name == QLatin1String("pushButton_refresh") ||
            name == QLatin1String("pushButton_mannual") || name == QLatin1String("pushButton_calibrate") ||
            !push->isVisibleTo(panel()))
            continue;
        m_h->boxes.clear();
        m_h->answer = [](const MessageBoxes::Request &) { return QMessageBox::No; };
        push->click();
        const bool asks = !m_h->boxes.isEmpty();
        m_h->answer = sayYes;
        QTest::qWait(600);
        m_h->waitIdle();
        kinds.insert(asks ? QStringLiteral("question") : QStringLiteral("action"), name);
    }
    m_h->boxes.clear();
    return kinds;
}

bool TestFaultMatrixE2e::startApply(const QString &kind, const QString &name)
{
    QAbstractButton *apply = button(name);
    if (apply && kind == QLatin1String("password"))
        return m_h->enterPassword(apply, QStringLiteral("quirbentol57"));
    if (apply && kind == QLatin1String("value"))
        QTest::mouseClick(apply, Qt::LeftButton);
    else if (apply)
        apply->click();
    return apply;
}

void TestFaultMatrixE2e::firstRefresh_inputsLockedUntilRead_earlyClickSendsNothing()
{
    QFETCH(int, model);
    newHarness(model);
    m_h->sim->setReplyDelayMs(60);
    // The tool's own delay before the refresh, so the click below lands while it is under way.
    m_h->window->setCommandDelayMs(PanelHost::kDefaultCommandDelayMs);
    const QVariant deviceOffset = m_h->sim->setting(QStringLiteral("ATCOFF1"));
    QVERIFY(m_h->openPanel());
    QTest::qWait(300);
    const bool locked = !m_h->child<QWidget>("doubleSpinBox_offset_ch1")->isEnabled();
    QTest::mouseClick(button(QStringLiteral("toolButton_offset_apply_ch1")), Qt::LeftButton);
    QVERIFY(m_h->waitIdle(8000));
    QTest::qWait(600);
    // The version, then each setting once, and nothing written.
    const bool passed = locked &&
                        m_h->commands() == QList<QByteArray>{"ATCVER\r\n"} + m_h->refreshCommands() &&
                        m_h->sim->setting(QStringLiteral("ATCOFF1")) == deviceOffset;
    record(QStringLiteral("apply clicked during the first refresh, replies 60 ms late"), passed);
    QVERIFY2(passed, m_h->commands().join(' ').constData());
}

void TestFaultMatrixE2e::unpluggedAfterEachRefreshCommand()
{
    QFETCH(int, model);
    newHarness(model);
    QVERIFY(openIdle());
    const int steps = panel()->refreshOrder().size();
    for (int step = 1; step <= steps; ++step) {
        newHarness(model);
        m_h->sim->setVanishAfter(1 + step); // the version query is the first command
        QVERIFY(m_h->openPanel());
        // The list is back within 1.5 s of the device's going, whenever in the refresh that is.
        QVERIFY(QTest::qWaitFor([this] { return m_h->devices.isEmpty(); }, 3000 + 300 * step));
        const bool back = listBackSoon();
        const bool passed = back && (step == steps || !sawSuccess());
        record(QStringLiteral("unplugged after refresh command %1").arg(step), passed);
        QVERIFY2(passed, qPrintable(QStringLiteral("step %1: %2").arg(step).arg(m_statuses.join(" / "))));
    }
}

void TestFaultMatrixE2e::unpluggedAtEachKindOfApply()
{
    QFETCH(int, model);
    newHarness(model);
    QVERIFY(openIdle());
    const QMap<QString, QString> kinds = applyKinds();
    for (auto kind = kinds.cbegin(); kind != kinds.cend(); ++kind) {
        newHarness(model);
        QVERIFY(openIdle());
        // Pulled the moment the apply's command arrives, before the device could answer it.
        auto armed = std::make_shared<bool>(true);
        const QByteArray poll = m_h->window->pollCommand();
        connect(m_h->sim, &SimulatedDevice::commandReceived, m_h->window,
                [this, armed, poll](const QByteArray &line) {
                    if (!*armed || line + "\r\n" == poll || line == poll)
                        return;
                    *armed = false;
                    m_h->sim->setResponding(false);
                    m_h->devices.clear();
                    QTimer::singleShot(0, m_h->window, [this] { m_h->window->checkConnection(); });
                });
        m_statuses.clear();
        QVERIFY(startApply(kind.key(), kind.value()));
        const bool passed =
            QTest::qWaitFor([this] { return listBackSoon(); }, 2500) && !*armed && !sawSuccess();
        record(QStringLiteral("unplugged at the %1 apply (%2)").arg(kind.key(), kind.value()), passed);
        QVERIFY2(passed, qPrintable(kind.value() + ": " + m_statuses.join(" / ")));
    }
}

void TestFaultMatrixE2e::silentRefreshWord_timesOutAndPollingResumes()
{
    QFETCH(int, model);
    newHarness(model);
    m_h->setReplyTimeoutMs(300);
    QVERIFY(openIdle());
    auto *offset = m_h->child<QDoubleSpinBox>("doubleSpinBox_offset_ch1");
    for (int id : panel()->refreshOrder()) {
        const QString word = Cmd::word(id);
        m_h->boxes.clear();
        m_h->sim->setSetting(QStringLiteral("ATCOFF1"), 3.25);
        m_h->sim->setSilentWords({word.toLatin1()});
        m_statuses.clear();
        button(QStringLiteral("pushButton_refresh"))->click();
        const bool boxed = QTest::qWaitFor(
            [this] { return m_h->boxTexts() == QStringList{"ERROR|error! refresh calibration settings..."}; },
            3000);
        const bool resumed = m_h->waitIdle();
        const bool named =
            m_h->status().startsWith(QStringLiteral("error! the device did not answer %1.").arg(word));
        // What was read before the silent step is the device's.
        const bool readBefore =
            panel()->refreshOrder().indexOf(Cmd::ATCOFF1) >= panel()->refreshOrder().indexOf(id) ||
            !offset->isVisibleTo(panel()) || offset->value() == 3.25;
        const bool passed = boxed && resumed && named && readBefore && !sawSuccess();
        record(QStringLiteral("no reply to %1").arg(word), passed);
        QVERIFY2(passed, qPrintable(word + ": " + m_statuses.join(" / ")));
        m_h->sim->setSetting(QStringLiteral("ATCOFF1"), 0.0);
    }
}

void TestFaultMatrixE2e::wireFaults_refreshAndApplyReadTheDevice_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("fault");
    registerPanels();
    for (int model : PanelDispatch::panelModels()) {
        for (const char *fault : {"1-byte pieces", "echo", "junk lines", "300 ms late"})
            QTest::newRow(qPrintable(QStringLiteral("model %1, %2").arg(model).arg(QLatin1String(fault))))
                << model << QString::fromLatin1(fault);
    }
}

void TestFaultMatrixE2e::wireFaults_refreshAndApplyReadTheDevice()
{
    QFETCH(int, model);
    QFETCH(QString, fault);
    newHarness(model);
    if (fault == QLatin1String("1-byte pieces"))
        m_h->sim->setSplitReplies(1, 1);
    else if (fault == QLatin1String("echo"))
        m_h->sim->setEcho(true);
    else if (fault == QLatin1String("junk lines"))
        m_h->sim->setNoise(SimulatedDevice::NoiseLines | SimulatedDevice::NulBytes |
                           SimulatedDevice::InvalidUtf8);
    else
        m_h->sim->setReplyDelayMs(300);
    m_h->sim->setSetting(QStringLiteral("ATCOFF1"), -4.75);
    bool passed = openIdle();
    auto *offset = m_h->child<QDoubleSpinBox>("doubleSpinBox_offset_ch1");
    passed = passed && offset->value() == -4.75;
    offset->setValue(6.5);
    QTest::mouseClick(button(QStringLiteral("toolButton_offset_apply_ch1")), Qt::LeftButton);
    passed = passed &&
             QTest::qWaitFor([this] { return m_h->commands().contains("ATCOFF1 6.50\r\n"); }, 3000) &&
             m_h->waitIdle(8000) && offset->value() == 6.5 &&
             m_h->sim->setting(QStringLiteral("ATCOFF1")).toDouble() == 6.5 && m_h->boxes.isEmpty() &&
             m_h->status().startsWith(QLatin1String("success! apply calibration settings."));
    record(fault, passed);
    QVERIFY2(passed, qPrintable(m_statuses.join(" / ") + " | " + m_h->boxTexts().join(" / ")));
}

void TestFaultMatrixE2e::refusedActions_neverSuccess()
{
    QFETCH(int, model);
    newHarness(model);
    QVERIFY(openIdle());
    const QMap<QString, QString> kinds = applyKinds();
    m_h->sim->setRefuseActions(true);
    for (const QString &kind : {QStringLiteral("action"), QStringLiteral("question")}) {
        if (!kinds.contains(kind))
            continue;
        m_h->sim->clearTranscript();
        m_statuses.clear();
        m_h->boxes.clear();
        QVERIFY(startApply(kind, kinds.value(kind)));
        QVERIFY(QTest::qWaitFor([this] { return !m_h->commands().isEmpty(); }, 2000));
        const QByteArray word = m_h->commands().first().trimmed();
        QVERIFY(m_h->waitIdle());
        QTest::qWait(100);
        const bool action = kActionWords.contains(word);
        const bool passed = !action || (!sawSuccess() && !m_h->boxes.isEmpty() &&
                                        m_h->status().startsWith(QLatin1String("error! apply")));
        record(QStringLiteral("%1 refused").arg(QString::fromLatin1(word)), passed);
        QVERIFY2(passed, qPrintable(word + ": " + m_statuses.join(" / ")));
    }
}

void TestFaultMatrixE2e::bench_oneDeviceFaulty_othersKeepPollingAndRecords_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("fault");
    registerPanels();
    const QList<int> models = PanelDispatch::panelModels();
    int row = 0;
    for (const char *fault :
         {"silent", "streaming at the wire limit", "unplugged while connecting", "unplugged while refreshing",
          "unplugged while polling", "back as another serial", "a box held open"}) {
        const int model = models.at(row++ % models.size());
        QTest::newRow(qPrintable(QStringLiteral("bench, model %1 %2").arg(model).arg(QLatin1String(fault))))
            << model << QString::fromLatin1(fault);
    }
}

// One faulty device among healthy ones on the bench: the healthy ones keep their poll period,
// every poll they answered is shown, their refresh is in the record, and the tool lives on.
void TestFaultMatrixE2e::bench_oneDeviceFaulty_othersKeepPollingAndRecords()
{
    QFETCH(int, model);
    QFETCH(QString, fault);
    m_model = model;
    BenchHarness h;
    const QList<int> models = PanelDispatch::panelModels();
    const QStringList healthy{QStringLiteral("OK-1"), QStringLiteral("OK-2")};
    for (int i = 0; i < healthy.size(); ++i)
        h.add(models.at((models.indexOf(model) + 1 + i) % models.size()), healthy.at(i));
    const QString faulty = QStringLiteral("FAULTY");
    SimulatedDevice *sim = h.add(model, faulty);
    if (fault == QLatin1String("silent") || fault == QLatin1String("unplugged while connecting"))
        sim->setResponding(false);
    else if (fault.startsWith(QLatin1String("streaming")))
        sim->setStreaming(true);
    else if (fault == QLatin1String("unplugged while refreshing"))
        sim->setVanishAfter(3);
    connect(sim, &SimulatedDevice::vanished, h.window, [&h, faulty] { h.unplug(faulty); });
    h.window->checkDevices();
    QVERIFY(h.waitState(healthy, DeviceHost::State::Ready, 10000));

    const qint64 from = h.clock.elapsed();
    QMap<QString, int> samples;
    QMap<QString, int> polls;
    for (const QString &serial : healthy) {
        samples[serial] = h.host(serial)->liveSampleCount();
        polls[serial] = h.polls.value(serial).size();
    }
    if (fault == QLatin1String("unplugged while connecting")) {
        h.unplug(faulty);
    } else if (fault == QLatin1String("a box held open")) {
        // A refresh the device leaves unanswered ends in an error box, read for a while.
        QVERIFY(h.waitState({faulty}, DeviceHost::State::Ready));
        h.host(faulty)->session()->conversation()->setDefaultTimeoutMs(100);
        h.duringBox = [] { QTest::qWait(4 * BenchHarness::kPollPeriodMs); };
        sim->setResponding(false);
        h.host(faulty)->panel()->writeRefresh();
    } else if (fault == QLatin1String("unplugged while polling") ||
               fault.startsWith(QLatin1String("back as"))) {
        QVERIFY(h.waitState({faulty}, DeviceHost::State::Ready));
        h.unplug(faulty);
        if (fault.startsWith(QLatin1String("back as")))
            h.list(sim->portName(), QStringLiteral("ANOTHER"));
    }
    QTest::qWait(5 * BenchHarness::kPollPeriodMs);

    bool passed = true;
    for (const QString &serial : healthy) {
        const int answered = h.polls.value(serial).size() - polls.value(serial);
        const int shown = h.host(serial)->liveSampleCount() - samples.value(serial);
        passed = passed && h.keptPeriod(serial, from) && qAbs(answered - shown) <= 1 &&
                 h.recordedReads(serial) == 1;
    }
    DeviceHost::State expected = DeviceHost::State::Gone;
    if (fault == QLatin1String("silent"))
        expected = DeviceHost::State::Connecting;
    else if (fault.startsWith(QLatin1String("streaming")))
        expected = h.host(faulty)->state(); // whatever it makes of the flood, the others poll on
    else if (fault == QLatin1String("a box held open"))
        expected = DeviceHost::State::Ready;
    const bool boxed = fault != QLatin1String("a box held open") || h.boxes > 0;
    passed = passed && boxed && h.host(faulty)->state() == expected;
    if (fault.startsWith(QLatin1String("back as")))
        passed = passed && h.waitState({QStringLiteral("ANOTHER")}, DeviceHost::State::Ready);
    record(fault, passed);
    QVERIFY2(passed, qPrintable(fault));
}

QTEST_MAIN(TestFaultMatrixE2e)
#include "tst_faultmatrix_e2e.moc"
