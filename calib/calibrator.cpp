#include "calib/calibrator.h"
#include "calib/calibrationdialog.h"
#include "calib/sharedtext.h"

#include "calib/panelhost.h"
#include "chart/chartlib.h"
#include "chart/chartview.h"
#include "device/conversation.h"
#include "device/devicemodels.h"
#include "device/linechannel.h"
#include "device/modeltable.h"
#include "records/calibrationjournal.h"
#include "records/recordschema.h"
#include "widgets/callpacer.h"
#include "widgets/decimalinput.h"
#include "widgets/logmessagehandler.h"
#include "widgets/messageboxes.h"
#include "widgets/opaquefill.h"
#include "widgets/passworddlg.h"
#include "widgets/qledindicator.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QDebug>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QJsonDocument>
#include <QLCDNumber>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>
#include <QWizard>

#include <climits>
#include <utility>

const char *const Calibrator::kInSyncStyle =
    "color: rgb(255, 255, 255);background-color: rgb(113, 165, 142);";
const char *const Calibrator::kPendingStyle = "color: rgb(255, 255, 255);background-color: rgb(170, 85, 0);";
const char *const Calibrator::kOverflowMark = "oL";

const Calibrator::EndTexts Calibrator::kApplyTexts = {
    QT_TRANSLATE_NOOP("Calibrator", "success! apply calibration settings."),
    QT_TRANSLATE_NOOP("Calibrator", "error! apply calibration settings."),
    QT_TRANSLATE_NOOP("Calibrator", "error! apply calibration settings..."),
};
// The text showField last gave a number, kept on the number itself.
const char *const Calibrator::kShownText = "tqShownText";

void Calibrator::log(const QString &text)
{
    if (logWanted())
        qDebug().noquote() << text;
}

Calibrator::Calibrator(int tqModel, const QString &versionText, int version, const QString &serialNumber,
                       QWidget *parent)
    : QWidget(parent), m_mainWindow(dynamic_cast<PanelHost *>(parent)), m_tqModel(tqModel),
      m_version(version), m_serial(serialNumber), m_versionText(versionText)
{
    setReplyKeywordsFromTable();
    m_journal =
        std::make_unique<CalibrationJournal>(m_mainWindow ? m_mainWindow->calibrationRecord() : nullptr,
                                             DeviceModels::name(tqModel), serialNumber, versionText);
    if (m_mainWindow) {
        // Every line the device sends lights the RX lamp, whoever it answers.
        if (Conversation *conversation = m_mainWindow->conversation())
            connect(conversation, &Conversation::lineClassified, this, [this] { pulse(m_rxLed, 3); });
    }
    m_livePacer = new CallPacer(this);
    if (m_mainWindow)
        m_stability = m_mainWindow->stabilityTable();
}

Calibrator::~Calibrator()
{
    m_journal->endWrite(RecordSchema::kOutcomePortLost);
    if (m_calibrationDialog)
        m_calibrationDialog->deviceGone();
    delete m_passwordDlg;
    delete m_chart;
    delete m_txLed;
    delete m_rxLed;
    log(QLatin1Char('~') + m_className + QLatin1String("()"));
}

void Calibrator::attachForm()
{
    attachForm({findChild<QLabel *>(QStringLiteral("label_model")),
                findChild<QLabel *>(QStringLiteral("label_serial")),
                findChild<QChartViewerLabel *>(QStringLiteral("label_chart_ch1")),
                findChild<QChartViewerLabel *>(QStringLiteral("label_chart_ch2")),
                findChild<QBoxLayout *>(QStringLiteral("horizontalLayout_led"))});
}

void Calibrator::attachForm(const FormParts &parts)
{
    m_form = parts;
    m_className = QString::fromLatin1(metaObject()->className());
    m_chart = new ChartView(parts.chart1, parts.chart2, this);
    m_txLed = new QLedIndicator(this);
    m_rxLed = new QLedIndicator(this);
    if (parts.ledLayout) {
        parts.ledLayout->addWidget(m_txLed);
        parts.ledLayout->addWidget(m_rxLed);
    }
    for (QLedIndicator *lamp : {m_txLed, m_rxLed})
        lamp->setState(1);
    for (QAbstractSpinBox *editor : findChildren<QAbstractSpinBox *>())
        acceptAnyDecimalSeparator(editor);
    resetPanel();
    if (m_form.model)
        m_form.model->setText(m_versionText);
    if (m_form.serial)
        m_form.serial->setText(m_serial);
    m_pollTime = QDateTime::currentDateTimeUtc();
    addCalibrateButton();
}

void Calibrator::startFirstRefresh()
{
    // Not yet the main window's panel: pause it directly. Until the first refresh has read the
    // device, the editors show placeholders that nobody may write.
    setInputsEnabled(false);
    if (m_mainWindow) {
        m_mainWindow->setPollTimerActive(false);
        m_mainWindow->setControlsEnabled(false);
    }
    m_paused = true;
    afterDelay([this] { startRefreshSequence(); });
}

void Calibrator::resetPanel()
{
    m_mode = DEFAULT;
    m_seq = Cmd::NoCommand;
    m_reply = nullptr;
    m_isCelsius = true;
    if (m_form.model)
        m_form.model->clear();
    if (m_form.serial)
        m_form.serial->clear();
    if (m_chart)
        m_chart->clearSamples();
    // The panel blanks its numbers next.
    m_livePacer->cancel();
    for (QLCDNumber *lcd : qAsConst(m_liveDisplays))
        lcd->setProperty(kShownText, QVariant());
    resetStability();
}

void Calibrator::setReplyKeywordsFromTable()
{
    if (const ModelTable::Model *table = ModelTable::find(m_tqModel))
        setReplyKeywords(table->refreshReplies, table->applyReplies);
}

void Calibrator::setReplyKeywords(const QStringList &refresh, const QStringList &apply)
{
    m_refreshKeywords = refresh;
    m_applyKeywords = apply.isEmpty() ? refresh : apply;
}

void Calibrator::setApplyHandler(int id, const ReplyHandler &handler)
{
    m_applyHandlers.append({id, handler, 0});
}

void Calibrator::setRefreshOrder(const QVector<Step> &steps)
{
    m_refreshSteps = steps;
    const ModelTable::Model *table = ModelTable::find(m_tqModel);
    if (!table)
        return;
    const auto rank = [table](const Step &step) {
        for (int i = 0; i < table->settings.size(); ++i) {
            if (Cmd::word(step.id) == QLatin1String(table->settings.at(i).word))
                return i;
        }
        return int(table->settings.size());
    };
    std::stable_sort(m_refreshSteps.begin(), m_refreshSteps.end(),
                     [&rank](const Step &a, const Step &b) { return rank(a) < rank(b); });
}

bool Calibrator::stepAvailable(const Step &step) const
{
    if (ModelTable::find(m_tqModel))
        return ModelTable::setting(m_tqModel, m_version, Cmd::word(step.id)) != nullptr;
    return m_version >= step.minVersion;
}

QList<int> Calibrator::refreshOrder() const
{
    QList<int> ids;
    for (const Step &step : m_refreshSteps) {
        if (stepAvailable(step))
            ids.append(step.id);
    }
    return ids;
}

QString Calibrator::panelText(const char *source) const
{
    // A text the panel passed in has its translation in the panel's context; a shared one in ours.
    const QString own = QCoreApplication::translate(qPrintable(m_className), source);
    return own != QString::fromUtf8(source) ? own : tr(source);
}

// --- the main window's side --------------------------------------------------------------

void Calibrator::setInputsEnabled(bool enabled)
{
    for (QWidget *group : qAsConst(m_inputGroups))
        group->setEnabled(enabled && !m_procedureRunning);
}

bool Calibrator::writePollCommand(const QByteArray &bytes)
{
    if (!m_mainWindow)
        return false;
    pulse(m_txLed, 2);
    m_pollTime = QDateTime::currentDateTimeUtc();
    // The device is read all the time, boxes open or not: the reply to each poll comes before the
    // next poll, and an earlier poll still unanswered got no usable reply.
    m_unansweredPolls.clear();
    m_unansweredPolls.append(m_pollTime);
    if (++m_pollsWithoutValues > kPollsWithoutValues && !m_noValuesShown) {
        m_noValuesShown = true;
        log(QStringLiteral("no live values in %1 polls").arg(kPollsWithoutValues));
        showNoLiveValues();
        showStatus(panelText(SHARED_TEXT("the device sends no values.")));
    }
    return m_mainWindow->writeData(bytes);
}

// Lines no request claimed: live lines are shown while no sequence runs; the rest is noise or a
// late reply, which the conversation has dropped already.
void Calibrator::parsingLine(QString line)
{
    if (m_mode == DEFAULT && Cmd::isLiveLine(line, m_pollWord))
        handleLiveLine(line);
}

void Calibrator::pulse(QLedIndicator *lamp, int state)
{
    if (lamp)
        lamp->pulse(state, kLampPulseMs);
}

// --- one command at a time ----------------------------------------------------------------

bool Calibrator::writeCommand(int mode, int seq, const QString &command)
{
    pauseMainWindow();
    m_mode = mode;
    m_seq = seq;
    const QByteArray bytes = command.toLatin1();
    const QString shown = Cmd::showLineEnds(bytes) + QLatin1String("), mode=") + QString::number(mode);
    log(QLatin1String("writeCommand(") + shown);
    // A panel the main window no longer shows has no device to talk to.
    Conversation *conversation = m_mainWindow && isCurrentPanel() ? m_mainWindow->conversation() : nullptr;
    DeviceReply *reply = conversation ? conversation->send(request(mode, seq, bytes)) : nullptr;
    if (!reply || (reply->isFinished() && reply->error() == DeviceReply::WriteFailed)) {
        m_reply = nullptr;
        m_mode = DEFAULT;
        m_seq = Cmd::ERROR_SEQ;
        showStatus(panelText(kApplyTexts.failure));
        log(QLatin1String("!! FAIL - (") + shown);
        return false;
    }
    m_reply = reply;
    connect(reply, &DeviceReply::finished, this, [this, reply] { onReply(reply); });
    return true;
}

DeviceRequest Calibrator::request(int mode, int seq, const QByteArray &command) const
{
    DeviceRequest request;
    request.command = command.trimmed();
    switch (mode) {
    case TEMPMODE:
        // "OK" confirms; a reply naming either unit is the device's answer too.
        request.word = QString::fromLatin1(request.command);
        request.isReply = [](const QString &line) {
            return line.contains(QLatin1String("OK")) ||
                   Cmd::containsWord(line, QLatin1String(Cmd::kCelsiusWord)) ||
                   Cmd::containsWord(line, QLatin1String(Cmd::kFahrenheitWord));
        };
        break;
    case REFRESH:
        request.word = Cmd::word(seq);
        request.otherReplies = m_refreshKeywords;
        break;
    case APPLY:
        request.word = Cmd::word(seq);
        request.otherReplies = m_applyKeywords;
        break;
    default:
        request.word = Cmd::word(seq);
        break;
    }
    return request;
}

void Calibrator::onReply(DeviceReply *reply)
{
    // A reply of a sequence the panel has since left behind.
    if (reply != m_reply)
        return;
    m_reply = nullptr;
    switch (reply->error()) {
    case DeviceReply::NoError:
    case DeviceReply::Rejected:
        if (m_mode == REFRESH)
            parsingSequence(reply->line());
        else if (m_mode == TEMPMODE)
            parsingTemp(reply->line());
        else if (m_mode == APPLY || m_mode == SENSORTYPE)
            parsingApply(reply->line());
        break;
    case DeviceReply::NoAnswer:
        replyTimedOut();
        break;
    default:
        // Closed: the device is gone and the main window retires this panel.
        break;
    }
}

void Calibrator::whenIdle(std::function<void()> start, bool isRefresh)
{
    if (!isBusy()) {
        start();
        return;
    }
    if (isRefresh) {
        if (m_refreshQueued)
            return;
        m_refreshQueued = true;
        start = [this, start] {
            m_refreshQueued = false;
            start();
        };
    }
    log(QStringLiteral("waits for the running sequence to end"));
    m_waiting.append(start);
}

void Calibrator::runWaiting()
{
    if (isBusy() || !isCurrentPanel())
        return;
    if (!m_waiting.isEmpty())
        m_waiting.takeFirst()();
    else
        resumeMainWindow();
}

void Calibrator::afterDelay(std::function<void()> action)
{
    m_delayPending = true;
    QTimer::singleShot(m_mainWindow ? m_mainWindow->commandDelayMs() : kCommandDelayMs, this, [this, action] {
        m_delayPending = false;
        if (isCurrentPanel())
            action();
    });
}

// The common end of every sequence: idle again, the status (with any warnings), the box, the
// apply's own follow-up, then whatever waited for this sequence, or the poll.
void Calibrator::finish(bool ok, const QString &status, const QString &box)
{
    m_reply = nullptr;
    m_mode = DEFAULT;
    m_seq = Cmd::NoCommand;
    const ApplyOptions apply = std::exchange(m_apply, ApplyOptions{});
    m_applyFailText.clear();
    QString text = status;
    if (!m_warnings.isEmpty())
        text += QLatin1Char(' ') + m_warnings.join(QLatin1Char(' '));
    m_warnings.clear();
    const QString notice = m_journal->takeNotice();
    if (!notice.isEmpty())
        text = text.isEmpty() ? notice : text + QLatin1Char(' ') + notice;
    if (!text.isEmpty())
        showStatus(text);

    QPointer<Calibrator> self(this);
    if (!box.isEmpty()) {
        if (m_waiting.isEmpty())
            resumeMainWindow();
        showErrorBox(box);
        if (!self || !isCurrentPanel())
            return;
    }
    if (!ok && apply.failed)
        apply.failed();
    if (apply.ended)
        apply.ended();
    if (self)
        runWaiting();
}

void Calibrator::replyTimedOut()
{
    if (m_mode == DEFAULT)
        return;
    const QString word = m_mode == TEMPMODE
                             ? QLatin1String(m_askedCelsius ? Cmd::kCelsiusWord : Cmd::kFahrenheitWord)
                             : Cmd::word(m_seq);
    const Conversation *conversation = m_mainWindow ? m_mainWindow->conversation() : nullptr;
    log(QStringLiteral("!! no reply to %1 within %2 ms")
            .arg(word)
            .arg(conversation ? conversation->defaultTimeoutMs() : 0));
    m_journal->endWrite(RecordSchema::kOutcomeNoReply);
    QString box = m_applyFailText;
    if (m_mode == REFRESH) {
        log(QStringLiteral("ERROR SEQ"));
        forgetUnreachedEditors();
        box = panelText(SHARED_TEXT("error! refresh calibration settings..."));
    } else if (m_mode == TEMPMODE) {
        showTemperatureUnit();
        box = panelText(
            m_isCelsius
                ? SHARED_TEXT("error! apply the device's temperature mode to the celsius mode...")
                : SHARED_TEXT("error! apply the device's temperature mode to the fahrenheit mode..."));
    } else {
        log(QStringLiteral("ERROR SEQ"));
    }
    finish(false, panelText(SHARED_TEXT("error! the device did not answer %1.")).arg(word), box);
}

// --- helpers for the panels ---------------------------------------------------------------

void Calibrator::pauseMainWindow()
{
    if (!m_mainWindow || !isCurrentPanel() || m_paused)
        return;
    m_paused = true;
    m_unansweredPolls.clear();
    m_mainWindow->setPollTimerActive(false);
    m_mainWindow->setControlsEnabled(false);
}

void Calibrator::resumeMainWindow()
{
    if (!m_mainWindow || !isCurrentPanel() || !m_paused)
        return;
    m_paused = false;
    m_pollsWithoutValues = 0;
    m_mainWindow->setControlsEnabled(true);
    m_mainWindow->setPollTimerActive(true);
}

void Calibrator::showStatus(const QString &text)
{
    if (m_mainWindow && isCurrentPanel())
        m_mainWindow->showStatusMessage(text);
}

bool Calibrator::isCurrentPanel() const
{
    return !m_mainWindow || m_mainWindow->panelWidget() == this;
}

bool Calibrator::askYes(const QString &title, const QString &text)
{
    QPointer<Calibrator> self(this);
    const auto answer = MessageBoxes::question(this, title, text, QMessageBox::Yes | QMessageBox::No);
    return answer == QMessageBox::Yes && self && isCurrentPanel();
}

void Calibrator::showErrorBox(const QString &text)
{
    MessageBoxes::critical(this, QStringLiteral("ERROR"), text, QMessageBox::Ok);
}
