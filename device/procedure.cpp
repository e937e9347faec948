#include "device/procedure.h"

#include "device/commandset.h"
#include "device/conversation.h"
#include "device/devicesession.h"
#include "device/modeltable.h"
#include "device/stabilitydefaults.h"

#include <QTimer>

#include <QtMath>
#include <climits>

Procedure::Procedure(DeviceSession *session, const ProcedurePoint &point, QObject *parent)
    : QObject(parent), m_session(session), m_point(point), m_tracker(point.limits),
      m_timeout(new QTimer(this))
{
    m_timeout->setSingleShot(true);
    connect(m_timeout, &QTimer::timeout, this, &Procedure::onTimeout);
    connect(m_session, &DeviceSession::liveSample, this, &Procedure::onSample);
    connect(m_session, &DeviceSession::lost, this, [this](const QString &why) {
        if (!isFinished())
            finish(Step::Unplugged, why);
    });
}

bool Procedure::isFinished() const
{
    return m_step >= Step::Passed;
}

void Procedure::start()
{
    if (m_step != Step::Idle)
        return;
    const StabilityDefaults::Channel *row =
        StabilityDefaults::find(m_session->identity().model, m_point.channel);
    if (!row) {
        finish(Step::Refused, QStringLiteral("the device has no channel %1").arg(m_point.channel));
        return;
    }
    if (m_point.gasExpiry.isValid() && m_point.gasExpiry < QDate::currentDate()) {
        finish(
            Step::Refused,
            QStringLiteral("the reference gas expired on %1").arg(m_point.gasExpiry.toString(Qt::ISODate)));
        return;
    }
    m_field = row->field;
    setStep(Step::Applying);
}

void Procedure::gasApplied()
{
    if (m_step == Step::Applying)
        waitForStable(Step::WaitingForStable);
}

void Procedure::abort()
{
    if (!isFinished())
        finish(Step::Aborted, QStringLiteral("aborted"));
}

void Procedure::acceptReading()
{
    if (m_pastTimeout && m_tracker.figures().count > 0)
        takeReading();
}

void Procedure::deviceGone(const QString &why)
{
    if (!isFinished())
        finish(Step::Unplugged, why);
}

void Procedure::setStep(Step step)
{
    m_step = step;
    emit stepChanged(step);
}

void Procedure::finish(Step step, const QString &reason)
{
    m_timeout->stop();
    m_reason = reason;
    setStep(step);
    emit finished(step);
}

void Procedure::waitForStable(Step step)
{
    // Readings from before the gas change or the adjustment say nothing about the new level.
    m_tracker.restart();
    // Bounded, so a time-out given in years (or as no number) cannot overflow the timer.
    m_timeout->start(int(qBound(0.0, m_point.timeoutS * 1000, double(INT_MAX))));
    m_pastTimeout = false;
    setStep(step);
}

void Procedure::onSample(const LiveSample &sample)
{
    if (m_step != Step::WaitingForStable && m_step != Step::WaitingAfterAdjust)
        return;
    m_tracker.addText(sample.pollTime.toMSecsSinceEpoch() / 1000.0, sample.fields.value(m_field));
    if (m_tracker.isStable())
        takeReading();
}

void Procedure::onTimeout()
{
    if (m_step != Step::WaitingForStable && m_step != Step::WaitingAfterAdjust)
        return;
    if (m_point.askAtTimeout) {
        m_pastTimeout = true;
        emit timeoutPassed();
    } else if (m_point.acceptUnstable && m_tracker.figures().count > 0) {
        takeReading();
    } else {
        finish(Step::TimedOut, QStringLiteral("not stable within %1 s").arg(m_point.timeoutS));
    }
}

void Procedure::takeReading()
{
    m_timeout->stop();
    m_pastTimeout = false;
    ProcedureReading reading;
    reading.taken = true;
    reading.figures = m_tracker.figures();
    reading.value = reading.figures.mean;
    reading.error = reading.value - m_point.reference;
    reading.stable = m_tracker.isStable();
    // Two-decimal readings leave binary fractions: an error equal to the tolerance passes.
    const bool within = qAbs(reading.error) <= m_point.tolerance + 1e-9 * qMax(1.0, qAbs(m_point.reference));
    if (m_step == Step::WaitingForStable) {
        m_asFound = reading;
        setStep(Step::AsFound);
        if (within && (m_point.checkOnly || !m_point.adjustAlways))
            pass();
        else if (m_point.checkOnly)
            finish(Step::Failed, QStringLiteral("as found out of tolerance"));
        else
            adjust();
    } else {
        m_asLeft = reading;
        setStep(Step::AsLeft);
        if (within)
            pass();
        else
            finish(Step::Failed, QStringLiteral("as left out of tolerance"));
    }
}

void Procedure::adjust()
{
    setStep(Step::Adjusting);
    const DeviceIdentity id = m_session->identity();
    const Adjustment::Plan plan = Adjustment::plan(id.model, id.firmware, m_point.channel, m_point.reference,
                                                   m_asFound.value, m_point.unit);
    if (!plan.refusal.isEmpty()) {
        finish(Step::Refused, plan.refusal);
        return;
    }
    if (plan.kind != Adjustment::Kind::Offset) {
        writeAdjustment(plan);
        return;
    }
    // The new offset builds on the one the device holds, so read it first.
    DeviceReply *reply = send(plan.word, QString());
    connect(reply, &DeviceReply::finished, this, [this, reply, plan] {
        if (endedByReply(reply))
            return;
        const std::optional<double> old = Cmd::number(reply->value().trimmed());
        if (!old) {
            finish(Step::Failed, QStringLiteral("unreadable %1").arg(plan.word));
            return;
        }
        Adjustment::Plan write = plan;
        write.argument =
            Adjustment::offsetArgument(*old, m_point.reference, m_asFound.value, m_point.offsetScale);
        writeAdjustment(write);
    });
}

// The device keeps when it was last calibrated, where the model has the word.
void Procedure::pass()
{
    const DeviceIdentity id = m_session->identity();
    if (m_point.checkOnly || !ModelTable::setting(id.model, id.firmware, QStringLiteral("ATCEXTM"))) {
        finish(Step::Passed);
        return;
    }
    const QString stamp = QString::number(QDateTime::currentSecsSinceEpoch());
    m_writes.append(QStringLiteral("ATCEXTM ") + stamp);
    DeviceReply *reply = send(QStringLiteral("ATCEXTM"), stamp);
    connect(reply, &DeviceReply::finished, this, [this, reply, stamp] {
        if (isFinished())
            return;
        noteReply(reply);
        if (reply->error() == DeviceReply::Closed) {
            finish(Step::Unplugged, DeviceReply::errorText(reply->error()));
            return;
        }
        // The point passed either way; a missing time stamp is noted, not held against it.
        const bool taken = reply->error() == DeviceReply::NoError && reply->value().trimmed() == stamp;
        finish(Step::Passed, taken ? QString() : QStringLiteral("last calibration time not written"));
    });
}

void Procedure::writeAdjustment(const Adjustment::Plan &plan)
{
    m_writes.append(plan.argument.isEmpty() ? plan.word : plan.word + QLatin1Char(' ') + plan.argument);
    DeviceReply *reply = send(plan.word, plan.argument);
    connect(reply, &DeviceReply::finished, this, [this, reply, plan] {
        if (!isFinished())
            noteReply(reply);
        if (endedByReply(reply))
            return;
        if (!Adjustment::taken(plan, reply->line())) {
            finish(Step::Failed, QStringLiteral("the device refused %1").arg(plan.word));
            return;
        }
        m_adjusted = true;
        waitForStable(Step::WaitingAfterAdjust);
    });
}

void Procedure::noteReply(DeviceReply *reply)
{
    m_writeReplies.append(reply->error() == DeviceReply::NoError ? reply->value() : QString());
}

DeviceReply *Procedure::send(const QString &word, const QString &argument)
{
    DeviceRequest request =
        argument.isEmpty() ? DeviceRequest::query(word) : DeviceRequest::write(word, argument);
    request.otherReplies = QStringList{QStringLiteral("ERROR")};
    request.gapMs = m_point.gapMs;
    return m_session->conversation()->send(request);
}

// A reply that comes after the end changes nothing; one that failed ends the procedure.
bool Procedure::endedByReply(DeviceReply *reply)
{
    if (isFinished())
        return true;
    if (reply->error() == DeviceReply::Closed) {
        finish(Step::Unplugged, DeviceReply::errorText(reply->error()));
        return true;
    }
    if (reply->error() != DeviceReply::NoError) {
        finish(Step::Failed, DeviceReply::errorText(reply->error()));
        return true;
    }
    return false;
}
