// The sequences: the refresh, applies and the temperature unit, each one command at a time.
#include "calib/calibrator.h"
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

// --- refresh ------------------------------------------------------------------------------

void Calibrator::writeRefresh()
{
    if (m_journal->isWriting())
        m_journal->refreshFollows();
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
    m_journal->refreshStarted();
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
        m_seq = Cmd::ERROR_SEQ;
    } else {
        QPointer<Calibrator> self(this);
        const ReplyHandler handler = step->onReply;
        const QString value = Cmd::replyValue(line, word);
        m_journal->valueRead(word, value);
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
        m_journal->refreshCompleted();
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
    if (id != Cmd::NoCommand)
        findApplyHandler(id, &handler);

    const QString word = Cmd::word(id);
    Outcome outcome = Outcome::Rejected;
    if (!word.isEmpty() && line.contains(word)) {
        QPointer<Calibrator> self(this);
        const QString value = Cmd::replyValue(line, word);
        m_journal->setReply(value);
        outcome = handler ? handler({line, value}) : Outcome::Accepted;
        if (!self)
            return;
        const bool taken = outcome == Outcome::Accepted || outcome == Outcome::HandedOver;
        // A device that answers another value has refused the one written: the warning says so.
        if (taken && m_journal->replyNotKept()) {
            notKept = panelText(SHARED_TEXT("warning! the device kept %1, not %2."))
                          .arg(value, m_journal->writtenValue());
            log(notKept);
        }
        m_journal->replyTaken(taken, value);
        if (!isCurrentPanel() || outcome == Outcome::HandedOver || m_mode != mode || m_seq != id)
            return;
    } else {
        m_journal->endWrite(
            RecordSchema::kOutcomeRejected, QString(),
            QString::fromUtf8(
                QJsonDocument(QJsonObject{{QStringLiteral("reply"), line}}).toJson(QJsonDocument::Compact)));
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
    finish(false, panelText(texts.failure),
           outcome == Outcome::Refused ? QString() : panelText(texts.failureBox));
}

void Calibrator::applyLater(std::function<Write()> build, const QString &failText)
{
    applyLater(std::move(build), failText, ApplyOptions());
}

void Calibrator::applyLater(int id, std::function<QString()> build, const QString &failText)
{
    applyLater(id, std::move(build), failText, ApplyOptions());
}

void Calibrator::applyLater(std::function<Write()> build, const QString &failText,
                            const ApplyOptions &options)
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
            m_journal->beginWrite(setting, write.command);
            if (!writeCommand(options.mode, write.id, write.command)) {
                m_journal->endWrite(RecordSchema::kOutcomeFailedWrite);
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
        applyLater(
            id, [id, argument] { return Cmd::write(id, argument()); }, failText);
    };
    if (trigger == Trigger::Pressed)
        connect(button, &QAbstractButton::pressed, this, apply);
    else
        connect(button, &QAbstractButton::clicked, this, apply);
}

void Calibrator::applyOffsetOnPress(QAbstractButton *button, QDoubleSpinBox *editor, int id,
                                    const QString &failText)
{
    markPendingOnChange(editor);
    applyOnClick(
        button, id, [editor] { return Cmd::decimal2(editor->value()); }, failText, Trigger::Pressed);
}

void Calibrator::applyChoice(const Choice &choice)
{
    ApplyOptions options;
    options.mode = choice.mode;
    options.texts = choice.texts;
    options.onlyWhenIdle = true;
    options.failed = [this, shown = choice.shown, readBack = choice.readBack] {
        if (shown)
            shown();
        if (readBack && !isBusy())
            writeRefresh();
    };
    applyLater(
        choice.id,
        [this, choice] {
            showStatus(choice.status);
            return Cmd::write(choice.id, QString::number(choice.value));
        },
        choice.failText, options);
}

void Calibrator::handOverToRefresh()
{
    m_journal->refreshFollows();
    m_journal->endWrite(RecordSchema::kOutcomeConfirmed, m_journal->reply());
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
    showStatus(
        panelText(celsius ? SHARED_TEXT("change the device's temperature mode to the celsius mode...")
                          : SHARED_TEXT("change the device's temperature mode to the fahrenheit mode...")));
    const QString word = QLatin1String(celsius ? Cmd::kCelsiusWord : Cmd::kFahrenheitWord);
    m_journal->beginWrite(recordedName(m_celsiusButton), word);
    if (!writeCommand(TEMPMODE, Cmd::NoCommand, word + QLatin1String("\r\n"))) {
        m_journal->endWrite(RecordSchema::kOutcomeFailedWrite);
        m_seq = Cmd::NoCommand;
        showTemperatureUnit();
        finish(
            false,
            panelText(
                m_isCelsius
                    ? SHARED_TEXT("error! apply the device's temperature mode to the celsius mode.")
                    : SHARED_TEXT("error! apply the device's temperature mode to the fahrenheit mode.")),
            panelText(
                m_isCelsius
                    ? SHARED_TEXT("error! apply the device's temperature mode to the celsius mode...")
                    : SHARED_TEXT("error! apply the device's temperature mode to the fahrenheit mode...")));
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
    m_journal->endWrite(accepted ? RecordSchema::kOutcomeConfirmed : RecordSchema::kOutcomeRejected,
                        Cmd::replyValue(line, m_journal->writtenCommand()));
    log(QLatin1String("Tq24Calibrator::parsingTemp() TEMPMODE : ") +
        QLatin1String(m_isCelsius ? "true" : "false"));
    showTemperatureUnit();
    if (m_unitChanged)
        m_unitChanged();
    if (accepted) {
        finish(true,
               panelText(
                   m_isCelsius
                       ? SHARED_TEXT("success! apply the device's temperature mode to the celsius mode.")
                       : SHARED_TEXT("success! apply the device's temperature mode to the fahrenheit mode.")),
               QString());
        return;
    }
    log(QStringLiteral("!! temperature unit refused: ") + line);
    finish(
        false,
        panelText(m_isCelsius
                      ? SHARED_TEXT("error! apply the device's temperature mode to the celsius mode.")
                      : SHARED_TEXT("error! apply the device's temperature mode to the fahrenheit mode.")),
        panelText(m_isCelsius
                      ? SHARED_TEXT("error! apply the device's temperature mode to the celsius mode...")
                      : SHARED_TEXT("error! apply the device's temperature mode to the fahrenheit mode...")));
}
