#include "app/translationloader.h"
#include "calib/paneldispatch.h"
#include "panelharness.h"

#include <QAbstractButton>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTranslator>

namespace {


// What the shared part shows for every panel, in the panel's own translation.
const char *const kSharedTexts[] = {
    "error! apply calibration settings.",  "error! apply calibration settings...",
    "success! apply calibration settings.", "get the device's information...",
    "success! refresh calibration settings.", "error! refresh calibration settings.",
    "error! refresh calibration settings...", "Last Calibration Time",
    "Do you want to change the update time?", "error!",
    "the device sends no values.",          "error! the device did not answer %1.",
    "warning! the device's %1 is %2, which this panel cannot show.",
};

// Form texts that read the same in Korean: units, channel and model names, numbers.
bool sameInKorean(const QString &text)
{
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{3,}"));
    static const QStringList kept = {"ppm", "ppb", "mbar", "mmh2o", "ug/m3", "#/cm3", "TVOC", "Humi", "CO2",
                                     "MODBUS", "REFRESH", "TX/RX", "uV", "partical", "OFF"};
    QString rest = text;
    for (const QString &k : kept)
        rest.remove(k, Qt::CaseInsensitive);
    return !word.match(rest).hasMatch();
}

} // namespace

// Cases that hold for every model: one row per registered panel, so a panel that is registered is
// held to them. Each runs the real main window, a real port and the simulator. The device faults
// (unplugging, silence, the first refresh) are the fault matrix's; a box outliving its panel is
// tst_mainwindow_e2e's.
class TestPanelsE2e : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void germanLocale_pointOrCommaTyped_pendingUntilApplied_data() { models(); }
    void germanLocale_pointOrCommaTyped_pendingUntilApplied();
    void lateLineNotLive_silentDevice_displaysAndStatusSayNoValues_data() { models(); }
    void lateLineNotLive_silentDevice_displaysAndStatusSayNoValues();
    void korean_formAndSharedTextsTranslated_data() { models(); }
    void korean_formAndSharedTextsTranslated();
    void calibrationTime_passwordGatesTheWrite_refreshFollows_unplugClosesDialog_data() { models(); }
    void calibrationTime_passwordGatesTheWrite_refreshFollows_unplugClosesDialog();

private:
    static void models() { addPanelModelRows(); }
    bool openIdle();
    Calibrator *panel() const { return qobject_cast<Calibrator *>(m_h->window->panelWidget()); }
    template <typename T = QWidget>
    T *child(const char *name) const
    {
        return panel() ? panel()->findChild<T *>(QLatin1String(name)) : nullptr;
    }
    void applyOffset1() { QTest::mouseClick(child<QAbstractButton>("toolButton_offset_apply_ch1"), Qt::LeftButton); }
    QString status() const { return m_h->status().section(QLatin1String(" - ["), 0, 0); }
    QList<QByteArray> writes() const;

    std::unique_ptr<PanelHarness> m_h;
};

void TestPanelsE2e::initTestCase()
{
    registerPanels();
    QVERIFY(!PanelDispatch::panelModels().isEmpty());
}

void TestPanelsE2e::cleanup()
{
    m_h.reset();
    Calibrator::setReplyTimeoutMs(0);
    QLocale::setDefault(QLocale::c());
}

bool TestPanelsE2e::openIdle()
{
    QFETCH(int, model);
    pollIntervalMs = 500;
    if (!m_h)
        m_h = std::make_unique<PanelHarness>(simulatedModel(model));
    return m_h->openPanel() && m_h->waitIdle();
}

// Commands that carry a value: anything but a query.
QList<QByteArray> TestPanelsE2e::writes() const
{
    QList<QByteArray> out;
    for (const QByteArray &command : m_h->commands()) {
        if (command.contains(' '))
            out.append(command);
    }
    return out;
}

void TestPanelsE2e::germanLocale_pointOrCommaTyped_pendingUntilApplied()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QVERIFY(openIdle());
    auto *offset = child<QDoubleSpinBox>("doubleSpinBox_offset_ch1");
    for (const char *typed : {"1.5", "1,5"}) {
        offset->setFocus();
        offset->selectAll();
        QTest::keyClicks(offset, QLatin1String(typed));
        offset->interpretText();
        QCOMPARE(offset->value(), 1.5);
    }
    QCOMPARE(offset->styleSheet(), QLatin1String(Calibrator::kPendingStyle));
    m_h->sim->clearTranscript();
    applyOffset1();
    QTRY_VERIFY(!writes().isEmpty());
    QVERIFY(m_h->waitIdle());
    QCOMPARE(writes(), QList<QByteArray>{"ATCOFF1 1.50\r\n"});
    QCOMPARE(offset->styleSheet(), QLatin1String(Calibrator::kInSyncStyle));
}

void TestPanelsE2e::lateLineNotLive_silentDevice_displaysAndStatusSayNoValues()
{
    QVERIFY(openIdle());
    auto *lcd = child<QLCDNumber>("lcdNumber_ch1");
    QTRY_VERIFY(lcd->value() != 0.0 || m_h->sim->receivedCommands().size() > 2);
    // A late reply that starts with the poll word is no live line.
    m_h->window->setPollTimerActive(false);
    QTest::qWait(100);
    const double shown = lcd->value();
    const QByteArray pollWord = m_h->window->pollCommand().trimmed();
    m_h->sim->sendRaw(pollWord + "GFIL32\r\n" + pollWord + "\r\n");
    QTest::qWait(100);
    QCOMPARE(lcd->value(), shown);

    m_h->window->setPollTimerActive(true);
    m_h->sim->setResponding(false);
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("the device sends no values."), 4000);
    QCOMPARE(lcd->value(), 0.0);
    m_h->sim->setResponding(true);
    QTRY_VERIFY_WITH_TIMEOUT(status().isEmpty(), 2000);
}

void TestPanelsE2e::korean_formAndSharedTextsTranslated()
{
    QFETCH(int, model);
    QTranslator translator;
    QVERIFY(loadTranslation(translator, QStringLiteral("ko_KR")));
    QCoreApplication::installTranslator(&translator);
    m_h = std::make_unique<PanelHarness>(simulatedModel(model));
    const bool created = m_h->openPanel();
    QStringList untranslated;
    const auto check = [&](const QString &text) {
        if (!text.isEmpty() && !sameInKorean(text))
            untranslated.append(text);
    };
    // Labels before the device has filled any with its own texts; titles and buttons also after.
    for (QLabel *label : created ? panel()->findChildren<QLabel *>() : QList<QLabel *>()) {
        if (label->objectName() != QLatin1String("label_model") && label->objectName() != QLatin1String("label_serial"))
            check(label->text());
    }
    const bool opened = created && m_h->waitIdle();
    QCoreApplication::removeTranslator(&translator);
    QVERIFY(opened);
    const char *context = panel()->metaObject()->className();
    for (const char *text : kSharedTexts) {
        if (translator.translate(context, text).isEmpty())
            untranslated.append(QLatin1String(text));
    }
    for (QGroupBox *box : panel()->findChildren<QGroupBox *>())
        check(box->title());
    for (QAbstractButton *button : panel()->findChildren<QAbstractButton *>())
        check(button->text());
    QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated.join(QLatin1String(" | "))));
}

void TestPanelsE2e::calibrationTime_passwordGatesTheWrite_refreshFollows_unplugClosesDialog()
{
    QVERIFY(openIdle());
    auto *stamp = child<QAbstractButton>("toolButton_exec_datetime");
    if (!stamp || !stamp->isVisibleTo(panel()))
        QSKIP("no calibration time on this panel");
    const QList<QByteArray> refresh = m_h->commands().mid(1); // without the version query
    m_h->answer = sayYes;
    const auto enter = [stamp](const QString &password) {
        stamp->click();
        PasswordDlg *dialog = openPasswordDialog();
        if (dialog) {
            dialog->findChild<QLineEdit *>()->setText(password);
            dialog->findChild<QPushButton *>(QStringLiteral("pushButton_ok"))->click();
        }
        return dialog != nullptr;
    };
    m_h->sim->clearTranscript();
    QVERIFY(enter(QStringLiteral("wrong")));
    QTRY_COMPARE(m_h->boxTexts().last(), QStringLiteral("Error|error!"));
    QTest::qWait(600);
    QVERIFY(m_h->commands().isEmpty());

    const uint before = QDateTime::currentDateTime().toTime_t();
    QVERIFY(enter(QStringLiteral("quirbentol57")));
    QTRY_VERIFY(m_h->commands().size() > 1);
    QVERIFY(m_h->waitIdle());
    const QByteArray written = m_h->commands().first();
    const uint now = written.mid(8).trimmed().toUInt();
    QVERIFY2(written.startsWith("ATCEXTM ") && written.endsWith("\r\n") && now >= before &&
                 now <= QDateTime::currentDateTime().toTime_t(),
             written.constData());
    QCOMPARE(m_h->commands().mid(1), refresh);
    QCOMPARE(child<QDateTimeEdit>("dateTimeEdit_exec_datetime")->dateTime().toTime_t(), now);
    // The refresh's first command half a second after the time was confirmed.
    qint64 confirmedMs = -1;
    for (const auto &entry : m_h->sim->transcript()) {
        if (entry.direction == SimulatedDevice::TranscriptEntry::Sent && entry.bytes.startsWith("ATCEXTM"))
            confirmedMs = entry.timeMs;
        else if (confirmedMs >= 0 && entry.bytes == refresh.first()) {
            QVERIFY2(entry.timeMs - confirmedMs >= 450, QByteArray::number(entry.timeMs - confirmedMs));
            break;
        }
    }

    // Unplugged with the dialog open: the dialog goes with the panel.
    stamp->click();
    QPointer<PasswordDlg> dialog = openPasswordDialog();
    QVERIFY(dialog);
    m_h->unplug();
    QTRY_VERIFY(!dialog);
    QVERIFY(m_h->window->deviceList()->isVisibleTo(m_h->window));
}

QTEST_MAIN(TestPanelsE2e)
#include "tst_panels_e2e.moc"
