#include "calib/calibrator.h"

#include "calib/calibrationrecord.h"
#include "calib/panelhost.h"
#include "calib/recordschema.h"
#include "chart/chartlib.h"
#include "chart/chartview.h"
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

const char *const Calibrator::kInSyncStyle = "color: rgb(255, 255, 255);background-color: rgb(113, 165, 142);";
const char *const Calibrator::kPendingStyle = "color: rgb(255, 255, 255);background-color: rgb(170, 85, 0);";
const char *const Calibrator::kOverflowMark = "oL";

// Texts the shared part shows on a panel's behalf. They are translated in the panel's own context
// (panelText), so each panel's entries in the translation file hold them.
#define SHARED_TEXT(text) text

namespace {

int g_replyTimeoutMs = Calibrator::kReplyTimeoutMs;
// The text showField last gave a number, kept on the number itself.
const char *const kShownText = "tqShownText";
// Polls remembered while their answers wait unread (a box open inside the read handler).
const int kMaxUnansweredPolls = 64;

const Calibrator::EndTexts kApplyTexts = {
    SHARED_TEXT("success! apply calibration settings."),
    SHARED_TEXT("error! apply calibration settings."),
    SHARED_TEXT("error! apply calibration settings..."),
};

void log(const QString &text)
{
    if (logWanted())
        qDebug().noquote() << text;
}

// The setting an editor stands for, as the panel names it: the title of its group box.
QString settingName(const QWidget *editor)
{
    for (const QWidget *w = editor; w; w = w->parentWidget()) {
        if (const auto *box = qobject_cast<const QGroupBox *>(w); box && !box->title().isEmpty())
            return box->title();
    }
    return editor->objectName();
}

// What the record calls the setting behind the widget that asked for a write: the titles of the
// group boxes around it (outer first), else its own text or title.
QString recordedName(const QObject *source)
{
    if (const auto *group = qobject_cast<const QButtonGroup *>(source))
        source = group->checkedButton() ? group->checkedButton() : group->buttons().value(0);
    if (const auto *wizard = qobject_cast<const QWizard *>(source); wizard && wizard->currentPage())
        return wizard->currentPage()->title();
    QStringList titles;
    for (auto *w = qobject_cast<const QWidget *>(source); w && !w->isWindow(); w = w->parentWidget()) {
        if (const auto *box = qobject_cast<const QGroupBox *>(w); box && !box->title().isEmpty())
            titles.prepend(box->title());
    }
    if (!titles.isEmpty())
        return titles.join(QLatin1String(" / "));
    if (const auto *button = qobject_cast<const QAbstractButton *>(source); button && !button->text().isEmpty())
        return button->text();
    if (const auto *w = qobject_cast<const QWidget *>(source))
        return w->windowTitle();
    return QString();
}

// Settings change what was written; these words make the device do something, and what it has
// afterwards is read by the refresh that follows.
bool isActionWord(int id)
{
    switch (id) {
    case Cmd::ATCCAL:
    case Cmd::ATCCZR:
    case Cmd::ATCCSP:
    case Cmd::ATCDRFT:
    case Cmd::ATCUCAL:
    case Cmd::ATCFCAL:
    case Cmd::ATCFTRST:
    case Cmd::ATCEXTM: return true;
    default: return false;
    }
}

// The device kept what was written: the same number, or the same text.
bool sameValue(const QString &written, const QString &confirmed)
{
    const std::optional<double> a = Cmd::number(written);
    const std::optional<double> b = Cmd::number(confirmed);
    return a && b ? *a == *b : written == confirmed;
}

} // namespace

Calibrator::Calibrator(int tqModel, const QString &versionText, int version, const QString &serialNumber,
                       QWidget *parent)
    : QWidget(parent), m_mainWindow(dynamic_cast<PanelHost *>(parent)), m_tqModel(tqModel), m_version(version),
      m_serial(serialNumber), m_versionText(versionText)
{
    m_replyTimer = new QTimer(this);
    m_replyTimer->setSingleShot(true);
    connect(m_replyTimer, &QTimer::timeout, this, &Calibrator::replyTimedOut);
    if (m_mainWindow)
        m_record = m_mainWindow->calibrationRecord();
    m_livePacer = new CallPacer(this);
}

Calibrator::~Calibrator()
{
    endRecordedWrite(RecordSchema::kOutcomePortLost);
    delete m_passwordDlg;
    delete m_chart;
    delete m_txLed;
    delete m_rxLed;
    log(QLatin1Char('~') + m_className + QLatin1String("()"));
}

int Calibrator::replyTimeoutMs()
{
    return g_replyTimeoutMs;
}

void Calibrator::setReplyTimeoutMs(int ms)
{
    g_replyTimeoutMs = ms > 0 ? ms : kReplyTimeoutMs;
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

void Calibrator::setLiveLine(const QString &pollWord, int fieldCount, ShortLine shortLine)
{
    m_pollWord = pollWord;
    m_liveFieldCount = fieldCount;
    m_shortLine = shortLine;
}

void Calibrator::setLiveDisplays(const QList<QLCDNumber *> &displays, int chartField1, int chartField2)
{
    m_liveDisplays = displays;
    for (QLCDNumber *lcd : displays)
        OpaqueFill::keep(lcd);
    m_chartField1 = chartField1;
    m_chartField2 = chartField2;
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
    return QCoreApplication::translate(qPrintable(m_className), source);
}

// --- the main window's side --------------------------------------------------------------

void Calibrator::setInputsEnabled(bool enabled)
{
    for (QWidget *group : qAsConst(m_inputGroups))
        group->setEnabled(enabled);
}

bool Calibrator::writePollCommand(const QByteArray &bytes)
{
    if (!m_mainWindow)
        return false;
    pulse(m_txLed, 2);
    m_pollTime = QDateTime::currentDateTimeUtc();
    // Without a box open, the reply to each poll is read before the next poll is written; an
    // earlier poll still unanswered got no usable reply and is forgotten.
    if (MessageBoxes::openCount() == 0)
        m_unansweredPolls.clear();
    m_unansweredPolls.append(m_pollTime);
    if (m_unansweredPolls.size() > kMaxUnansweredPolls)
        m_unansweredPolls.removeFirst();
    if (++m_pollsWithoutValues > kPollsWithoutValues && !m_noValuesShown) {
        m_noValuesShown = true;
        log(QStringLiteral("no live values in %1 polls").arg(kPollsWithoutValues));
        showNoLiveValues();
        showStatus(panelText(SHARED_TEXT("the device sends no values.")));
    }
    return m_mainWindow->writeData(bytes);
}

void Calibrator::parsingLine(QString line)
{
    pulse(m_rxLed, 3);
    switch (m_mode) {
    case REFRESH:
        log(QStringLiteral("-------------REFRESH MODE-------------"));
        if (Cmd::containsAny(line, m_refreshKeywords))
            parsingSequence(line);
        break;
    case APPLY:
        log(QStringLiteral("-------------APPLY MODE-------------"));
        if (Cmd::containsAny(line, m_applyKeywords))
            parsingApply(line);
        break;
    case TEMPMODE:
        log(QStringLiteral("-------------TEMPMODE MODE-------------"));
        if (line.contains(QLatin1String("OK")) || Cmd::containsWord(line, QLatin1String(Cmd::kCelsiusWord)) ||
            Cmd::containsWord(line, QLatin1String(Cmd::kFahrenheitWord)))
            parsingTemp(line);
        break;
    case SENSORTYPE:
        log(QStringLiteral("-------------SENSORTYPE MODE-------------"));
        if (m_seq != Cmd::NoCommand && line.contains(Cmd::word(m_seq)))
            parsingApply(line);
        break;
    default:
        log(QStringLiteral("-------------DEFAULT MODE-------------"));
        if (Cmd::isLiveLine(line, m_pollWord))
            handleLiveLine(line);
        else
            isLateReply(line, QString());
        break;
    }
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
    const bool ok = m_mainWindow && isCurrentPanel() && m_mainWindow->writeData(bytes);
    if (!ok) {
        m_replyTimer->stop();
        m_mode = DEFAULT;
        m_seq = Cmd::ERROR_SEQ;
        showStatus(panelText(kApplyTexts.failure));
        log(QLatin1String("!! FAIL - (") + shown);
        return false;
    }
    m_replyTimer->start(g_replyTimeoutMs);
    return true;
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
    QTimer::singleShot(kCommandDelayMs, this, [this, action] {
        m_delayPending = false;
        if (isCurrentPanel())
            action();
    });
}

// The common end of every sequence: idle again, the status (with any warnings), the box, the
// apply's own follow-up, then whatever waited for this sequence, or the poll.
void Calibrator::finish(bool ok, const QString &status, const QString &box)
{
    m_replyTimer->stop();
    m_mode = DEFAULT;
    m_seq = Cmd::NoCommand;
    const ApplyOptions apply = std::exchange(m_apply, ApplyOptions{});
    m_applyFailText.clear();
    QString text = status;
    if (!m_warnings.isEmpty())
        text += QLatin1Char(' ') + m_warnings.join(QLatin1Char(' '));
    m_warnings.clear();
    if (!m_recordNotice.isEmpty())
        text = text.isEmpty() ? m_recordNotice : text + QLatin1Char(' ') + m_recordNotice;
    m_recordNotice.clear();
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
    log(QStringLiteral("!! no reply to %1 within %2 ms").arg(word).arg(g_replyTimeoutMs));
    m_lateWords.insert(word);
    endRecordedWrite(RecordSchema::kOutcomeNoReply);
    QString box = m_applyFailText;
    if (m_mode == REFRESH) {
        log(QStringLiteral("ERROR SEQ"));
        forgetUnreachedEditors();
        box = panelText(SHARED_TEXT("error! refresh calibration settings..."));
    } else if (m_mode == TEMPMODE) {
        showTemperatureUnit();
        box = panelText(m_isCelsius ? SHARED_TEXT(
                                                        "error! apply the device's temperature mode to the celsius mode...")
                                    : SHARED_TEXT(
                                          "error! apply the device's temperature mode to the fahrenheit mode..."));
    } else {
        log(QStringLiteral("ERROR SEQ"));
    }
    finish(false, panelText(SHARED_TEXT("error! the device did not answer %1.")).arg(word), box);
}

bool Calibrator::isLateReply(const QString &line, const QString &awaited)
{
    for (const QString &word : qAsConst(m_lateWords)) {
        if (line.contains(word) && (awaited.isEmpty() || !line.contains(awaited))) {
            log(QLatin1String("late reply ignored: ") + line);
            m_lateWords.remove(word);
            return true;
        }
    }
    return false;
}

// --- refresh ------------------------------------------------------------------------------

void Calibrator::writeRefresh()
{
    if (m_write.active)
        m_write.refreshFollows = true;
    whenIdle(
        [this] {
            pauseMainWindow();
            afterDelay([this] { startRefreshSequence(); });
        },
        true);
}

void Calibrator::startRefreshSequence()
{
    log(QStringLiteral("=============REFRESH MODE============="));
    showStatus(panelText(SHARED_TEXT("get the device's information...")));
    m_warnings.clear();
    m_refreshedEditors.clear();
    m_refreshValues = QJsonObject();
    const Step *first = nextRefreshStep(Cmd::NoCommand);
    if (!first || !writeCommand(REFRESH, first->id, Cmd::query(first->id))) {
        log(QStringLiteral("=============DEFAULT MODE============="));
        m_seq = Cmd::NoCommand;
        forgetUnreachedEditors();
        finish(false, QString(), panelText(SHARED_TEXT("error! refresh calibration settings...")));
    }
}

const Calibrator::Step *Calibrator::refreshStep(int id) const
{
    for (const Step &step : m_refreshSteps) {
        if (step.id == id)
            return &step;
    }
    return nullptr;
}

// The step after `id` that this firmware has; with NoCommand the first one.
const Calibrator::Step *Calibrator::nextRefreshStep(int id) const
{
    bool past = id == Cmd::NoCommand;
    for (const Step &step : m_refreshSteps) {
        if (past && stepAvailable(step))
            return &step;
        if (step.id == id)
            past = true;
    }
    return nullptr;
}

void Calibrator::parsingSequence(QString line)
{
    log(QLatin1String("parsingSequence() : ") + line + QLatin1String(" m_seq : ") + QString::number(m_seq));
    const Step *step = refreshStep(m_seq);
    if (m_seq == Cmd::NoCommand || !step)
        return;
    const int id = step->id;
    const QString word = Cmd::word(id);
    if (!line.contains(word)) {
        if (isLateReply(line, word))
            return;
        m_seq = Cmd::ERROR_SEQ;
    } else {
        m_replyTimer->stop();
        QPointer<Calibrator> self(this);
        const ReplyHandler handler = step->onReply;
        const QString value = Cmd::replyValue(line, word);
        m_refreshValues.insert(word, value);
        m_lastRead.insert(word, value);
        const Outcome outcome = handler ? handler({line, value}) : Outcome::Accepted;
        // A handler's box runs the event loop: the panel may be gone or another sequence running.
        if (!self || !isCurrentPanel() || m_mode != REFRESH || m_seq != id)
            return;
        const Step *next = nextRefreshStep(id);
        if (outcome != Outcome::Accepted)
            m_seq = Cmd::ERROR_SEQ;
        else if (next)
            writeCommand(REFRESH, next->id, Cmd::query(next->id));
        else
            m_seq = Cmd::END_SEQ;
    }
    endRefresh();
}

void Calibrator::endRefresh()
{
    if (m_seq == Cmd::END_SEQ) {
        log(QStringLiteral("END_SEQ"));
        CalibrationEvent event;
        event.kind = QLatin1String(RecordSchema::kKindRead);
        event.setting = std::exchange(m_refreshAfter, QString());
        event.command = std::exchange(m_refreshAfterWord, QString());
        event.details = QString::fromUtf8(QJsonDocument(m_refreshValues).toJson(QJsonDocument::Compact));
        recordEvent(event);
        finish(true, panelText(SHARED_TEXT("success! refresh calibration settings.")), QString());
    } else if (m_seq == Cmd::ERROR_SEQ) {
        log(QStringLiteral("ERROR SEQ"));
        forgetUnreachedEditors();
        finish(false, panelText(SHARED_TEXT("error! refresh calibration settings.")),
               panelText(SHARED_TEXT("error! refresh calibration settings...")));
    }
}

// --- apply --------------------------------------------------------------------------------

bool Calibrator::findApplyHandler(int id, ReplyHandler *handler) const
{
    for (const Step &entry : m_applyHandlers) {
        if (entry.id == id) {
            *handler = entry.onReply;
            return true;
        }
    }
    if (const Step *step = refreshStep(id)) {
        *handler = step->onReply;
        return true;
    }
    return false;
}

void Calibrator::parsingApply(QString line)
{
    log(QLatin1String("parsingApply() : ") + line + QLatin1String(" m_seq : ") + QString::number(m_seq));
    const int id = m_seq;
    const int mode = m_mode;
    QString notKept;
    ReplyHandler handler;
    if (id == Cmd::NoCommand || !findApplyHandler(id, &handler))
        return;

    const QString word = Cmd::word(id);
    Outcome outcome = Outcome::Rejected;
    if (line.contains(word)) {
        m_replyTimer->stop();
        QPointer<Calibrator> self(this);
        const QString value = Cmd::replyValue(line, word);
        m_write.reply = value;
        outcome = handler ? handler({line, value}) : Outcome::Accepted;
        if (!self)
            return;
        if (outcome == Outcome::Accepted)
            m_lastRead.insert(word, value);
        notKept = recordApplyReply(outcome, value);
        if (!isCurrentPanel() || outcome == Outcome::HandedOver || m_mode != mode || m_seq != id)
            return;
    } else if (isLateReply(line, word)) {
        return;
    } else {
        endRecordedWrite(RecordSchema::kOutcomeRejected, QString(),
                         QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("reply"), line}})
                                               .toJson(QJsonDocument::Compact)));
    }
    endApply(outcome, notKept);
}

void Calibrator::endApply(Outcome outcome, const QString &notKept)
{
    const EndTexts &texts = m_apply.texts ? *m_apply.texts : kApplyTexts;
    if (outcome == Outcome::Accepted) {
        log(QStringLiteral("END_SEQ"));
        // The reply showed what the device holds: nothing to put back or read again.
        finish(true, notKept.isEmpty() ? panelText(texts.success) : notKept, QString());
        return;
    }
    log(QStringLiteral("ERROR SEQ"));
    // A refused action has had the panel's own box already.
    finish(false, panelText(texts.failure), outcome == Outcome::Refused ? QString() : panelText(texts.failureBox));
}

void Calibrator::applyLater(std::function<Write()> build, const QString &failText)
{
    applyLater(std::move(build), failText, ApplyOptions());
}

void Calibrator::applyLater(int id, std::function<QString()> build, const QString &failText)
{
    applyLater(id, std::move(build), failText, ApplyOptions());
}

void Calibrator::applyLater(std::function<Write()> build, const QString &failText, const ApplyOptions &options)
{
    if (options.onlyWhenIdle && isBusy()) {
        if (options.failed)
            options.failed();
        return;
    }
    const QString setting = options.setting.isEmpty() ? recordedName(sender()) : options.setting;
    whenIdle([this, build, failText, options, setting] {
        pauseMainWindow();
        afterDelay([this, build, failText, options, setting] {
            const Write write = build();
            if (write.command.isEmpty()) {
                runWaiting();
                return;
            }
            m_apply = options;
            m_applyFailText = failText;
            beginRecordedWrite(setting, write.id, write.command);
            if (!writeCommand(options.mode, write.id, write.command)) {
                endRecordedWrite(RecordSchema::kOutcomeFailedWrite);
                m_seq = Cmd::NoCommand;
                finish(false, QString(), failText);
            }
        });
    });
}

void Calibrator::applyLater(int id, std::function<QString()> build, const QString &failText,
                            const ApplyOptions &options)
{
    applyLater([id, build] { return Write{id, build()}; }, failText, options);
}

void Calibrator::applyOnClick(QAbstractButton *button, int id, std::function<QString()> argument,
                              const QString &failText, Trigger trigger)
{
    const auto apply = [this, id, argument, failText] {
        applyLater(id, [id, argument] { return Cmd::write(id, argument()); }, failText);
    };
    if (trigger == Trigger::Pressed)
        connect(button, &QAbstractButton::pressed, this, apply);
    else
        connect(button, &QAbstractButton::clicked, this, apply);
}

void Calibrator::applyOffsetOnPress(QAbstractButton *button, QDoubleSpinBox *editor, int id, const QString &failText)
{
    markPendingOnChange(editor);
    applyOnClick(button, id, [editor] { return Cmd::decimal2(editor->value()); }, failText, Trigger::Pressed);
}

void Calibrator::handOverToRefresh()
{
    m_replyTimer->stop();
    m_write.refreshFollows = true;
    endRecordedWrite(RecordSchema::kOutcomeConfirmed, m_write.reply);
    const ApplyOptions apply = std::exchange(m_apply, ApplyOptions{});
    m_mode = DEFAULT;
    m_seq = Cmd::NoCommand;
    if (apply.ended)
        apply.ended();
    writeRefresh();
}

// --- temperature unit ---------------------------------------------------------------------

void Calibrator::setTemperatureUnitButtons(QAbstractButton *celsius, QAbstractButton *fahrenheit,
                                           int temperatureChart, std::function<void()> unitChanged)
{
    m_celsiusButton = celsius;
    m_fahrenheitButton = fahrenheit;
    m_temperatureChart = temperatureChart;
    m_unitChanged = std::move(unitChanged);
    connect(celsius, &QAbstractButton::clicked, this, [this] { requestTemperatureUnit(true); });
    connect(fahrenheit, &QAbstractButton::clicked, this, [this] { requestTemperatureUnit(false); });
    showTemperatureUnit();
}

QString Calibrator::degreeUnit(bool celsius)
{
    return QChar(0x00B0) + QLatin1Char(celsius ? 'C' : 'F');
}

void Calibrator::showTemperatureUnit()
{
    if (QAbstractButton *button = m_isCelsius ? m_celsiusButton : m_fahrenheitButton)
        button->setChecked(true);
}

void Calibrator::requestTemperatureUnit(bool celsius)
{
    if (isBusy()) {
        showTemperatureUnit();
        return;
    }
    pauseMainWindow();
    afterDelay([this, celsius] {
        if (celsius)
            delayWriteCelsius();
        else
            delayWriteFahrenheit();
    });
}

void Calibrator::delayWriteCelsius()
{
    writeTemperatureUnit(true);
}

void Calibrator::delayWriteFahrenheit()
{
    writeTemperatureUnit(false);
}

void Calibrator::writeTemperatureUnit(bool celsius)
{
    m_askedCelsius = celsius;
    showStatus(panelText(celsius
                             ? SHARED_TEXT("change the device's temperature mode to the celsius mode...")
                             : SHARED_TEXT(
                                                 "change the device's temperature mode to the fahrenheit mode...")));
    const QString word = QLatin1String(celsius ? Cmd::kCelsiusWord : Cmd::kFahrenheitWord);
    beginRecordedWrite(recordedName(m_celsiusButton), Cmd::NoCommand, word);
    if (!writeCommand(TEMPMODE, Cmd::NoCommand, word + QLatin1String("\r\n"))) {
        endRecordedWrite(RecordSchema::kOutcomeFailedWrite);
        m_seq = Cmd::NoCommand;
        showTemperatureUnit();
        finish(false,
               panelText(m_isCelsius
                             ? SHARED_TEXT("error! apply the device's temperature mode to the celsius mode.")
                             : SHARED_TEXT(
                                                 "error! apply the device's temperature mode to the fahrenheit mode.")),
               panelText(m_isCelsius ? SHARED_TEXT(
                                                         "error! apply the device's temperature mode to the celsius mode...")
                                     : SHARED_TEXT(
                                           "error! apply the device's temperature mode to the fahrenheit mode...")));
    }
}

// "OK" confirms the unit asked for; a reply naming the other unit, or without "OK", is a refusal.
void Calibrator::parsingTemp(const QString &line)
{
    QString rest = line;
    const bool ok = rest.contains(QLatin1String("OK"));
    rest.remove(QLatin1String("OK"));
    const QString other = QLatin1String(m_askedCelsius ? Cmd::kFahrenheitWord : Cmd::kCelsiusWord);
    const bool accepted = ok && !Cmd::containsWord(rest, other);
    if (accepted && m_isCelsius != m_askedCelsius) {
        m_isCelsius = m_askedCelsius;
        if (m_chart)
            m_chart->clearChart(m_temperatureChart); // one trace never holds both units
    }
    endRecordedWrite(accepted ? RecordSchema::kOutcomeConfirmed : RecordSchema::kOutcomeRejected,
                     Cmd::replyValue(line, m_write.command));
    log(QLatin1String("Tq24Calibrator::parsingTemp() TEMPMODE : ") +
        QLatin1String(m_isCelsius ? "true" : "false"));
    showTemperatureUnit();
    if (m_unitChanged)
        m_unitChanged();
    if (accepted) {
        finish(true,
               panelText(m_isCelsius
                             ? SHARED_TEXT("success! apply the device's temperature mode to the celsius mode.")
                             : SHARED_TEXT(
                                                 "success! apply the device's temperature mode to the fahrenheit mode.")),
               QString());
        return;
    }
    log(QStringLiteral("!! temperature unit refused: ") + line);
    finish(false,
           panelText(m_isCelsius
                         ? SHARED_TEXT("error! apply the device's temperature mode to the celsius mode.")
                         : SHARED_TEXT("error! apply the device's temperature mode to the fahrenheit mode.")),
           panelText(m_isCelsius
                         ? SHARED_TEXT("error! apply the device's temperature mode to the celsius mode...")
                         : SHARED_TEXT(
                                             "error! apply the device's temperature mode to the fahrenheit mode...")));
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

// --- live values --------------------------------------------------------------------------

void Calibrator::handleLiveLine(const QString &line)
{
    QStringList fields = Cmd::liveFields(line, m_pollWord);
    if (fields.size() < m_liveFieldCount) {
        if (m_shortLine == ShortLine::Ignored)
            return;
        if (m_shortLine == ShortLine::AllNoValue)
            fields.clear();
        while (fields.size() < m_liveFieldCount)
            fields.append(QString());
    }
    m_pollsWithoutValues = 0;
    if (m_noValuesShown) {
        m_noValuesShown = false;
        showStatus(QString());
    }
    const QDateTime poll =
        m_unansweredPolls.isEmpty() ? QDateTime::currentDateTimeUtc() : m_unansweredPolls.first();
    // Every line is recorded; the displays may show only the latest of a stream, and which display
    // shows which field is learnt anew only from a line that is shown.
    m_livePacer->run([this, fields] {
        // A field without a value this time keeps the display it had.
        const QVector<QLCDNumber *> previous = std::exchange(m_fieldDisplays, QVector<QLCDNumber *>(fields.size()));
        for (int i = 0; i < fields.size() && i < previous.size(); ++i) {
            if (fields.at(i).isEmpty())
                m_fieldDisplays[i] = previous.at(i);
        }
        m_showingFields = &fields;
        showLiveValues(fields);
        m_showingFields = nullptr;
    });
    emit liveValuesShown(poll, fields);
}

QStringList Calibrator::liveFieldNames() const
{
    QStringList names;
    for (int i = 0; i < m_liveFieldCount; ++i) {
        const QWidget *display = m_fieldDisplays.value(i);
        names.append(display ? settingName(display) : QString());
    }
    // Displays that share a group are told apart by their field number.
    const QStringList titles = names;
    for (int i = 0; i < names.size(); ++i) {
        if (titles.at(i).isEmpty() || titles.count(titles.at(i)) > 1)
            names[i] = (titles.at(i).isEmpty() ? QStringLiteral("field") : titles.at(i)) + QLatin1Char(' ') +
                       QString::number(i + 1);
    }
    return names;
}

QStringList Calibrator::liveUnits() const
{
    QStringList units;
    for (int i = 0; i < m_liveFieldCount; ++i) {
        const QWidget *display = m_fieldDisplays.value(i);
        // A display "lcdNumber_ch1" has its unit in "label_unit_ch1".
        const QString channel = display ? display->objectName().section(QLatin1Char('_'), -1) : QString();
        const auto *label =
            channel.isEmpty() ? nullptr : findChild<QLabel *>(QLatin1String("label_unit_") + channel);
        units.append(label ? label->text() : QString());
    }
    return units;
}

void Calibrator::showLiveValues(const QStringList &fields)
{
    for (int i = 0; i < m_liveDisplays.size(); ++i)
        showField(m_liveDisplays.at(i), fields.value(i));
    addChartSample(fields.value(m_chartField1), fields.value(m_chartField2));
}

void Calibrator::showNoLiveValues()
{
    for (QLCDNumber *lcd : qAsConst(m_liveDisplays))
        showField(lcd, QString());
}

void Calibrator::showField(QLCDNumber *lcd, const QString &field)
{
    // The text shown is the live line's own field (shared, not copied): that tells its index.
    for (int i = 0; m_showingFields && !field.isEmpty() && i < m_showingFields->size(); ++i) {
        if (m_showingFields->at(i).constData() == field.constData())
            m_fieldDisplays[i] = lcd;
    }
    QString text;
    if (!Cmd::number(field)) {
        text = QString(qMin(4, lcd->digitCount()), QLatin1Char('-'));
    } else {
        // A decimal point shares its digit's cell only with the small-point style.
        int cells = field.size();
        if (lcd->smallDecimalPoint())
            cells -= field.count(QLatin1Char('.'));
        text = cells > lcd->digitCount() ? QString::fromLatin1(kOverflowMark) : field;
    }
    // Lines streamed back to back mostly repeat the value shown: that costs no repaint.
    const QVariant shown = lcd->property(kShownText);
    if (shown.isValid() && shown.toString() == text)
        return;
    lcd->setProperty(kShownText, text);
    lcd->display(text);
}

void Calibrator::addChartSample(const QString &field1, const QString &field2)
{
    if (!m_chart || m_unansweredPolls.isEmpty())
        return;
    const QDateTime poll = m_unansweredPolls.takeFirst();
    const double time = Chart::chartTime2(poll.toTime_t()) + poll.time().msec() / 1000.0;
    m_chart->addSample(time, Cmd::chartValue(field1), Cmd::chartValue(field2));
}

// --- editors ------------------------------------------------------------------------------

void Calibrator::setInSync(QWidget *editor)
{
    // Filled from a reply that refused the value written: the device's, yet not what was applied.
    if (writeNotKept()) {
        editor->setStyleSheet(QString());
        m_inSyncEditors.remove(editor);
        return;
    }
    editor->setStyleSheet(QLatin1String(kInSyncStyle));
    m_inSyncEditors.insert(editor);
    if (m_mode == REFRESH)
        m_refreshedEditors.insert(editor);
}

void Calibrator::setPending(QWidget *editor)
{
    editor->setStyleSheet(QLatin1String(kPendingStyle));
    m_inSyncEditors.remove(editor);
}

// After a refresh that failed midway, what it did not read again may no longer be the device's.
void Calibrator::forgetUnreachedEditors()
{
    const QSet<QWidget *> stale = m_inSyncEditors - m_refreshedEditors;
    for (QWidget *editor : stale) {
        editor->setStyleSheet(QString());
        m_inSyncEditors.remove(editor);
    }
}

void Calibrator::markPendingOnChange(QDoubleSpinBox *editor)
{
    connect(editor, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, [this, editor] { setPending(editor); });
}

void Calibrator::markPendingOnChange(QSpinBox *editor)
{
    connect(editor, QOverload<int>::of(&QSpinBox::valueChanged), this, [this, editor] { setPending(editor); });
}

void Calibrator::compareOnChange(QComboBox *combo, const int *deviceValue)
{
    connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this, combo, deviceValue] {
        if (combo->currentData().toInt() == *deviceValue)
            setInSync(combo);
        else
            setPending(combo);
    });
}

void Calibrator::fillCombo(QComboBox *combo, const QStringList &texts)
{
    combo->clear();
    for (int i = 0; i < texts.size(); ++i)
        combo->addItem(texts.at(i), i);
    combo->setCurrentIndex(0);
}

void Calibrator::clearChannels(const QList<QLCDNumber *> &displays, const QList<QLabel *> &units,
                               const QList<QDoubleSpinBox *> &offsets)
{
    for (QLCDNumber *lcd : displays) {
        lcd->setProperty(kShownText, QVariant());
        lcd->display(QString());
    }
    for (QLabel *unit : units)
        unit->clear();
    for (QDoubleSpinBox *offset : offsets) {
        offset->setValue(0.0);
        offset->setSuffix(QString());
    }
}

void Calibrator::clearChoice(QButtonGroup *group)
{
    group->setExclusive(false);
    for (QAbstractButton *button : group->buttons())
        button->setChecked(false);
    group->setExclusive(true);
}

bool Calibrator::showDeviceValue(QAbstractSpinBox *editor, double value, bool inSync)
{
    double min = 0;
    double max = 0;
    if (auto *real = qobject_cast<QDoubleSpinBox *>(editor)) {
        min = real->minimum();
        max = real->maximum();
        real->setValue(value);
    } else if (auto *whole = qobject_cast<QSpinBox *>(editor)) {
        min = whole->minimum();
        max = whole->maximum();
        whole->setValue(int(qBound(min, value, max)));
    }
    if (value >= min && value <= max) {
        if (inSync)
            setInSync(editor);
        return true;
    }
    editor->setStyleSheet(QString());
    m_inSyncEditors.remove(editor);
    warnOutOfRange(editor, QString::number(value, 'g', 15));
    return false;
}

void Calibrator::warnOutOfRange(QWidget *editor, const QString &deviceValue)
{
    const QString warning =
        panelText(SHARED_TEXT("warning! the device's %1 is %2, which this panel cannot show."))
            .arg(settingName(editor), deviceValue);
    log(warning);
    m_warnings.append(warning);
}

Calibrator::ReplyHandler Calibrator::offsetInto(QDoubleSpinBox *editor, std::function<bool()> shown)
{
    return [this, editor, shown](const Reply &reply) {
        const std::optional<double> value = reply.number();
        if (!value)
            return Outcome::Rejected;
        if (!shown || shown())
            showDeviceValue(editor, *value);
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::numberInto(QSpinBox *editor)
{
    return [this, editor](const Reply &reply) {
        const std::optional<qint64> value = reply.integer();
        if (!value)
            return Outcome::Rejected;
        showDeviceValue(editor, double(*value));
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::hoursInto(QSpinBox *editor)
{
    return [this, editor](const Reply &reply) {
        const std::optional<qint64> value = reply.integer();
        if (!value || *value < 0)
            return Outcome::Rejected;
        showDeviceValue(editor, double(*value), false);
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::timeInto(QDateTimeEdit *editor)
{
    return [editor](const Reply &reply) {
        const std::optional<qint64> value = reply.integer();
        if (!value || *value < 0 || *value > qint64(UINT_MAX))
            return Outcome::Rejected;
        editor->setDateTime(QDateTime::fromTime_t(uint(*value)));
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::indexInto(QComboBox *combo, int *deviceIndex, int max)
{
    return [this, combo, deviceIndex, max](const Reply &reply) {
        const std::optional<qint64> value = reply.integer();
        if (!value)
            return Outcome::Rejected;
        if (*value < 0 || *value > max) {
            combo->setStyleSheet(QString());
            m_inSyncEditors.remove(combo);
            warnOutOfRange(combo, reply.value);
            return Outcome::Accepted;
        }
        *deviceIndex = int(*value);
        combo->setCurrentIndex(*deviceIndex);
        setInSync(combo);
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::flagInto(QCheckBox *box)
{
    return [this, box](const Reply &reply) {
        const std::optional<qint64> value = reply.integer();
        if (!value)
            return Outcome::Rejected;
        if (*value == 0 || *value == 1)
            box->setChecked(*value == 1);
        else
            warnOutOfRange(box, reply.value);
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::unitCodeInto(int *unit, int firstCode, int unitCount, QWidget *shownIn,
                                                  std::function<void()> show)
{
    return [this, unit, firstCode, unitCount, shownIn, show](const Reply &reply) {
        const std::optional<qint64> code = reply.integer();
        if (!code)
            return Outcome::Rejected;
        if (*code >= firstCode && *code < firstCode + unitCount) {
            *unit = int(*code - firstCode);
        } else {
            *unit = -1;
            warnOutOfRange(shownIn, reply.value);
        }
        if (show)
            show();
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::actionReply(std::function<void()> accepted, const QString &failTitle,
                                                 const QString &failText, AfterOk afterOk)
{
    return [this, accepted, failTitle, failText, afterOk](const Reply &reply) {
        if (reply.value.contains(QLatin1String("OK"))) {
            if (afterOk == AfterOk::Refresh) {
                handOverToRefresh();
                accepted();
                return Outcome::HandedOver;
            }
            accepted();
            return Outcome::Accepted;
        }
        log(QLatin1String("!! refused: ") + reply.line);
        MessageBoxes::critical(this, failTitle, failText, QMessageBox::Ok);
        return Outcome::Refused;
    };
}

void Calibrator::setCalibrationTimeControls(QAbstractButton *button, QDateTimeEdit *editor, const QString &failText)
{
    const ReplyHandler show = timeInto(editor);
    setApplyHandler(Cmd::ATCEXTM, [this, show](const Reply &reply) {
        const Outcome outcome = show(reply);
        if (outcome == Outcome::Accepted)
            writeRefresh(); // the device may have changed more than the time
        return outcome;
    });
    connect(button, &QAbstractButton::clicked, this, [this, button, failText] {
        if (!askYes(panelText(SHARED_TEXT("Last Calibration Time")),
                    panelText(SHARED_TEXT("Do you want to change the update time?"))))
            return;
        delete m_passwordDlg;
        auto *dialog = new PasswordDlg;
        m_passwordDlg = dialog;
        connect(dialog, &PasswordDlg::ok, this, [this, dialog, button, failText] {
            ApplyOptions options;
            options.setting = recordedName(button);
            applyLater(
                Cmd::ATCEXTM,
                [] { return Cmd::write(Cmd::ATCEXTM, QString::number(QDateTime::currentDateTime().toTime_t())); },
                failText, options);
            dialog->deleteLater();
        });
        connect(dialog, &PasswordDlg::fail, this, [this, dialog] {
            dialog->deleteLater();
            MessageBoxes::critical(this, QStringLiteral("Error"), panelText(SHARED_TEXT("error!")),
                                   QMessageBox::Ok);
        });
        dialog->show();
    });
}

void Calibrator::showFirmwareBoxes(bool deviceRead)
{
    for (const FirmwareBox &gated : qAsConst(m_firmwareBoxes))
        gated.box->setVisible(deviceRead && m_version >= gated.minVersion && m_version < gated.belowVersion);
}

// --- calibration record -------------------------------------------------------------------

void Calibrator::recordEvent(CalibrationEvent event)
{
    if (!m_record || m_recordUnavailable)
        return;
    event.model = CalibrationRecord::modelName(m_tqModel);
    event.serial = m_serial;
    event.firmware = m_versionText;
    if (m_record->append(event))
        return;
    // Told once; the device conversation goes on without the record.
    m_recordUnavailable = true;
    log(QLatin1String("calibration record: ") + m_record->errorString());
    m_recordNotice = m_record->unavailableMessage();
}

void Calibrator::beginRecordedWrite(const QString &setting, int id, const QString &command)
{
    const QString text = command.trimmed();
    const int blank = text.indexOf(QLatin1Char(' '));
    RecordedWrite write;
    write.active = true;
    write.action = isActionWord(id);
    write.command = blank < 0 ? text : text.left(blank);
    write.setting = setting.isEmpty() ? write.command : setting;
    write.before = m_lastRead.value(write.command);
    if (blank >= 0)
        write.written = text.mid(blank + 1).trimmed();
    m_write = write;
}

void Calibrator::endRecordedWrite(const char *outcome, QString confirmed, const QString &details)
{
    if (!m_write.active)
        return;
    const RecordedWrite write = std::exchange(m_write, RecordedWrite{});
    const bool ok = qstrcmp(outcome, RecordSchema::kOutcomeConfirmed) == 0;
    if (write.action && ok && write.refreshFollows) {
        m_refreshAfter = write.setting;
        m_refreshAfterWord = write.command;
    }
    CalibrationEvent event;
    event.kind = QLatin1String(write.action ? RecordSchema::kKindAction : RecordSchema::kKindWrite);
    event.setting = write.setting;
    event.command = write.command;
    event.valueBefore = write.before;
    event.valueWritten = write.written;
    event.valueConfirmed = confirmed;
    event.outcome = QLatin1String(outcome);
    event.details = details;
    recordEvent(event);
}

// An action is confirmed by the device taking it; a setting only when the device kept the value
// written (a device that answers another value has refused it, and the warning says so).
QString Calibrator::recordApplyReply(Outcome outcome, const QString &value)
{
    const bool taken = outcome == Outcome::Accepted || outcome == Outcome::HandedOver;
    const bool kept = !writeNotKept();
    QString warning;
    if (taken && !kept) {
        warning = panelText(SHARED_TEXT("warning! the device kept %1, not %2.")).arg(value, m_write.written);
        log(warning);
    }
    endRecordedWrite(taken && kept ? RecordSchema::kOutcomeConfirmed : RecordSchema::kOutcomeRejected, value);
    return warning;
}

bool Calibrator::writeNotKept() const
{
    return m_write.active && !m_write.action && !m_write.reply.isNull() &&
           !sameValue(m_write.written, m_write.reply);
}
