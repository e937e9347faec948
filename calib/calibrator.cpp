#include "calib/calibrator.h"

#include "app/linesplitter.h"
#include "app/mainwindow.h"
#include "app/messageboxes.h"
#include "chart/chartlib.h"
#include "chart/chartview.h"
#include "widgets/passworddlg.h"
#include "widgets/qledindicator.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDebug>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>

#include <climits>

const char *const Calibrator::kInSyncStyle = "color: rgb(255, 255, 255);background-color: rgb(113, 165, 142);";
const char *const Calibrator::kPendingStyle = "color: rgb(255, 255, 255);background-color: rgb(170, 85, 0);";

namespace {

void log(const QString &text)
{
    qDebug().noquote() << text;
}

} // namespace

Calibrator::Calibrator(int tqModel, const QString &versionText, int version, const QString &serialNumber,
                       QWidget *parent)
    : QWidget(parent), m_mainWindow(qobject_cast<MainWindow *>(parent)), m_tqModel(tqModel), m_version(version),
      m_serial(serialNumber), m_versionText(versionText)
{
}

Calibrator::~Calibrator()
{
    delete m_passwordDlg;
    delete m_chart;
    delete m_txLed;
    delete m_rxLed;
    log(QLatin1Char('~') + m_className + QLatin1String("()"));
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
    for (QLedIndicator *lamp : {m_txLed, m_rxLed}) {
        lamp->m_state = 1;
        lamp->repaint();
    }
    resetPanel();
    if (m_form.model)
        m_form.model->setText(m_versionText);
    if (m_form.serial)
        m_form.serial->setText(m_serial);
    m_pollTime = QDateTime::currentDateTime();
}

void Calibrator::startFirstRefresh()
{
    // Not yet the main window's panel: pause it directly, the refresh follows once installed.
    if (m_mainWindow) {
        m_mainWindow->setPollTimerActive(false);
        m_mainWindow->setControlsEnabled(false);
    }
    afterDelay([this] { startRefreshSequence(); });
}

void Calibrator::resetPanel()
{
    m_mode = DEFAULT;
    m_seq = Cmd::NoCommand;
    if (m_form.model)
        m_form.model->clear();
    if (m_form.serial)
        m_form.serial->clear();
    if (m_chart)
        m_chart->clearSamples();
}

void Calibrator::setLiveKeyword(const QString &keyword, int fieldCount)
{
    m_liveKeyword = keyword;
    m_liveFieldCount = fieldCount;
}

void Calibrator::setApplyHandler(int id, const ReplyHandler &handler)
{
    m_applyHandlers.append({id, handler, 0});
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
    m_pollTime = QDateTime::currentDateTime();
    return m_mainWindow->writeData(bytes);
}

void Calibrator::parsingLine(QString line)
{
    pulse(m_rxLed, 3);
    switch (m_mode) {
    case REFRESH:
        log(QStringLiteral("-------------REFRESH MODE-------------"));
        if (Cmd::containsAny(line, m_replyKeywords))
            parsingSequence(line);
        break;
    case APPLY:
        log(QStringLiteral("-------------APPLY MODE-------------"));
        if (Cmd::containsAny(line, m_replyKeywords))
            parsingApply(line);
        break;
    case TEMPMODE:
        log(QStringLiteral("-------------TEMPMODE MODE-------------"));
        parsingTemp(line);
        break;
    case SENSORTYPE:
        log(QStringLiteral("-------------SENSORTYPE MODE-------------"));
        parsingSensorType(line);
        break;
    default:
        log(QStringLiteral("-------------DEFAULT MODE-------------"));
        if (!m_liveKeyword.isEmpty() && line.contains(m_liveKeyword))
            handleLiveLine(line);
        break;
    }
}

void Calibrator::parsingTemp(const QString &) {}

void Calibrator::parsingSensorType(const QString &) {}

void Calibrator::pulse(QLedIndicator *lamp, int state)
{
    if (!lamp)
        return;
    lamp->m_state = state;
    lamp->repaint();
    QTimer::singleShot(kLampPulseMs, lamp, [lamp] {
        lamp->m_state = 1;
        lamp->repaint();
    });
}

// --- sequences ----------------------------------------------------------------------------

bool Calibrator::writeCommand(int mode, int seq, const QString &command)
{
    pauseMainWindow();
    m_mode = mode;
    m_seq = seq;
    const QByteArray bytes = command.toLatin1();
    const QString shown = showLineEnds(bytes) + QLatin1String("), mode=") + QString::number(mode);
    log(QLatin1String("writeCommand(") + shown);
    // A panel the main window no longer shows has no device to talk to.
    const bool ok = m_mainWindow && isCurrentPanel() && m_mainWindow->writeData(bytes);
    if (!ok) {
        m_mode = DEFAULT;
        m_seq = Cmd::ERROR_SEQ;
        showStatus(tr("error! apply calibration settings."));
        log(QLatin1String("!! FAIL - (") + shown);
        resumeMainWindow();
        return false;
    }
    return true;
}

void Calibrator::writeRefresh()
{
    pauseMainWindow();
    afterDelay([this] { startRefreshSequence(); });
}

void Calibrator::startRefreshSequence()
{
    log(QStringLiteral("=============REFRESH MODE============="));
    showStatus(tr("get the device's information..."));
    const Step *first = nextRefreshStep(Cmd::NoCommand);
    if (!first || !writeCommand(REFRESH, first->id, Cmd::query(first->id))) {
        log(QStringLiteral("=============DEFAULT MODE============="));
        m_seq = Cmd::NoCommand;
        if (!first)
            resumeMainWindow();
        showErrorBox(tr("error! refresh calibration settings..."));
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
    if (m_seq == Cmd::NoCommand)
        return;
    const Step *step = refreshStep(m_seq);
    if (!step)
        return;
    const int id = step->id;
    const QString word = Cmd::word(id);
    if (!line.contains(word)) {
        m_seq = Cmd::ERROR_SEQ;
    } else {
        const Outcome outcome = step->onReply ? step->onReply({line, Cmd::replyValue(line, word)}) : Outcome::Accepted;
        if (outcome == Outcome::HandedOver)
            return;
        if (outcome != Outcome::Accepted) {
            m_seq = Cmd::ERROR_SEQ;
        } else if (const Step *next = nextRefreshStep(id)) {
            writeCommand(REFRESH, next->id, Cmd::query(next->id));
        } else {
            m_seq = Cmd::END_SEQ;
        }
    }
    endRefresh();
}

void Calibrator::endRefresh()
{
    if (m_seq == Cmd::END_SEQ) {
        log(QStringLiteral("END_SEQ"));
        m_mode = DEFAULT;
        m_seq = Cmd::NoCommand;
        showStatus(tr("success! refresh calibration settings."));
        resumeMainWindow();
    } else if (m_seq == Cmd::ERROR_SEQ) {
        log(QStringLiteral("ERROR SEQ"));
        m_seq = Cmd::NoCommand;
        showStatus(tr("error! refresh calibration settings."));
        m_mode = DEFAULT;
        resumeMainWindow();
        showErrorBox(tr("error! refresh calibration settings..."));
    }
}

void Calibrator::parsingApply(QString line)
{
    log(QLatin1String("parsingApply() : ") + line + QLatin1String(" m_seq : ") + QString::number(m_seq));
    const int id = m_seq;
    ReplyHandler handler;
    bool known = false;
    for (const Step &entry : qAsConst(m_applyHandlers)) {
        if (entry.id == id) {
            handler = entry.onReply;
            known = true;
        }
    }
    if (!known) {
        if (const Step *step = refreshStep(id)) {
            handler = step->onReply;
            known = true;
        }
    }
    if (!known || id == Cmd::NoCommand)
        return;

    const QString word = Cmd::word(id);
    Outcome outcome = Outcome::Rejected;
    if (line.contains(word)) {
        QPointer<Calibrator> self(this);
        outcome = handler ? handler({line, Cmd::replyValue(line, word)}) : Outcome::Accepted;
        // A handler's box runs the event loop: the panel may be gone or another sequence running.
        if (!self || !isCurrentPanel() || m_mode != APPLY || m_seq != id)
            return;
    }
    switch (outcome) {
    case Outcome::HandedOver:
        return;
    case Outcome::Accepted:
        m_seq = Cmd::END_SEQ;
        break;
    case Outcome::Rejected:
        m_seq = Cmd::ERROR_SEQ;
        break;
    case Outcome::Refused:
        endApply(true);
        return;
    }
    endApply(false);
}

// `refused`: the device refused an action and the panel has said so in its own box, so the
// apply ends as failed without a second box.
void Calibrator::endApply(bool refused)
{
    if (m_seq == Cmd::END_SEQ && !refused) {
        log(QStringLiteral("END_SEQ"));
        m_seq = Cmd::NoCommand;
        showStatus(tr("success! apply calibration settings."));
        m_mode = DEFAULT;
        resumeMainWindow();
    } else if (m_seq == Cmd::ERROR_SEQ || refused) {
        log(QStringLiteral("ERROR SEQ"));
        m_seq = Cmd::NoCommand;
        showStatus(tr("error! apply calibration settings."));
        m_mode = DEFAULT;
        resumeMainWindow();
        if (!refused)
            showErrorBox(tr("error! apply calibration settings..."));
    }
}

// --- helpers for the panels ---------------------------------------------------------------

void Calibrator::pauseMainWindow()
{
    if (m_mainWindow && isCurrentPanel()) {
        m_mainWindow->setPollTimerActive(false);
        m_mainWindow->setControlsEnabled(false);
    }
}

void Calibrator::resumeMainWindow()
{
    if (m_mainWindow && isCurrentPanel()) {
        m_mainWindow->setControlsEnabled(true);
        m_mainWindow->setPollTimerActive(true);
    }
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

void Calibrator::afterDelay(std::function<void()> action)
{
    QTimer::singleShot(kCommandDelayMs, this, [this, action] {
        if (isCurrentPanel())
            action();
    });
}

void Calibrator::applyLater(std::function<Write()> build, const QString &failText)
{
    pauseMainWindow();
    afterDelay([this, build, failText] {
        const Write write = build();
        if (write.command.isEmpty()) {
            resumeMainWindow();
            return;
        }
        if (!writeCommand(APPLY, write.id, write.command)) {
            m_seq = Cmd::NoCommand;
            showErrorBox(failText);
        }
    });
}

void Calibrator::applyLater(int id, std::function<QString()> build, const QString &failText)
{
    applyLater([id, build] { return Write{id, build()}; }, failText);
}

void Calibrator::applyOnClick(QAbstractButton *button, int id, std::function<QString()> argument,
                              const QString &failText)
{
    connect(button, &QAbstractButton::clicked, this, [this, id, argument, failText] {
        applyLater(id, [id, argument] { return Cmd::write(id, argument()); }, failText);
    });
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

void Calibrator::handleLiveLine(const QString &line)
{
    showLiveValues(Cmd::liveFields(line, m_liveKeyword, m_liveFieldCount));
}

void Calibrator::addChartSample(const QString &field1, const QString &field2)
{
    if (!m_chart)
        return;
    const double time = Chart::chartTime2(m_pollTime.toTime_t()) + m_pollTime.time().msec() / 1000.0;
    m_chart->addSample(time, Cmd::chartValue(field1), Cmd::chartValue(field2));
}

void Calibrator::setInSync(QWidget *editor)
{
    editor->setStyleSheet(QLatin1String(kInSyncStyle));
}

void Calibrator::setPending(QWidget *editor)
{
    editor->setStyleSheet(QLatin1String(kPendingStyle));
}

void Calibrator::markPendingOnChange(QDoubleSpinBox *editor)
{
    connect(editor, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, [editor] { setPending(editor); });
}

void Calibrator::markPendingOnChange(QSpinBox *editor)
{
    connect(editor, QOverload<int>::of(&QSpinBox::valueChanged), this, [editor] { setPending(editor); });
}

void Calibrator::compareOnChange(QComboBox *combo, const int *deviceValue)
{
    connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [combo, deviceValue] {
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

Calibrator::ReplyHandler Calibrator::offsetInto(QDoubleSpinBox *editor, std::function<bool()> shown)
{
    return [editor, shown](const Reply &reply) {
        if (!shown || shown()) {
            editor->setValue(reply.toDouble());
            setInSync(editor);
        }
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::numberInto(QSpinBox *editor)
{
    return [editor](const Reply &reply) {
        editor->setValue(reply.toInt());
        setInSync(editor);
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::hoursInto(QSpinBox *editor)
{
    return [editor](const Reply &reply) {
        editor->setValue(int(qMin<uint>(reply.toUInt(), uint(INT_MAX))));
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::timeInto(QDateTimeEdit *editor)
{
    return [editor](const Reply &reply) {
        editor->setDateTime(QDateTime::fromTime_t(reply.toUInt()));
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::indexInto(QComboBox *combo, int *deviceIndex, int max)
{
    return [combo, deviceIndex, max](const Reply &reply) {
        const int value = reply.toInt();
        if (value >= 0 && value <= max)
            *deviceIndex = value;
        combo->setCurrentIndex(*deviceIndex);
        setInSync(combo);
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::flagInto(QCheckBox *box)
{
    return [box](const Reply &reply) {
        box->setChecked(reply.toUInt() == 1);
        return Outcome::Accepted;
    };
}

Calibrator::ReplyHandler Calibrator::actionReply(std::function<void()> accepted, const QString &failTitle,
                                                 const QString &failText)
{
    return [this, accepted, failTitle, failText](const Reply &reply) {
        if (reply.line.contains(QLatin1String("OK"))) {
            writeRefresh();
            accepted();
            return Outcome::HandedOver;
        }
        MessageBoxes::critical(this, failTitle, failText, QMessageBox::Ok);
        return Outcome::Refused;
    };
}

void Calibrator::askCalibrationTimeUpdate(const QString &failText)
{
    if (!askYes(tr("Last Calibration Time"), tr("Do you want to change the update time?")))
        return;
    delete m_passwordDlg;
    auto *dialog = new PasswordDlg;
    m_passwordDlg = dialog;
    connect(dialog, &PasswordDlg::ok, this, [this, dialog, failText] {
        applyLater(
            Cmd::ATCEXTM,
            [] { return Cmd::write(Cmd::ATCEXTM, QString::number(QDateTime::currentDateTime().toTime_t())); },
            failText);
        dialog->deleteLater();
    });
    connect(dialog, &PasswordDlg::fail, this, [this, dialog] {
        dialog->deleteLater();
        MessageBoxes::critical(this, QStringLiteral("Error"), tr("error!"), QMessageBox::Ok);
    });
    dialog->show();
}
