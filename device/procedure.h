#pragma once

#include "device/adjustment.h"
#include "device/conversation.h"
#include "device/stability.h"

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QStringList>

class DeviceReply;
class DeviceSession;
class QTimer;
struct LiveSample;

// One calibration point against a reference.
struct ProcedurePoint
{
    int channel = 1;
    double reference = 0;
    double tolerance = 0; // absolute, in the channel's unit
    bool adjustAlways = false;
    // Decides on the as-found reading and writes nothing: no adjustment, no calibration time.
    bool checkOnly = false;
    // The reference cylinder's expiry; an expired one is refused before anything is written.
    QDate gasExpiry;
    // Take the reading when the time-out passes before it is stable (recorded as unstable);
    // otherwise the procedure ends timed out.
    bool acceptUnstable = false;
    // At the time-out keep waiting and tell (timeoutPassed): the technician then takes the reading
    // (acceptReading) or aborts. A window asks; the command line decides up front.
    bool askAtTimeout = false;
    Stability::Limits limits;
    double timeoutS = 600; // for each wait for stable
    // Before each command: the device finishes its answer to the poll first.
    int gapMs = DeviceRequest::kGapMs;
    // The unit the channel shows (its default when empty) and how the device's offset counts in it
    // (ModelTable::FieldUnit); the maximum correction and an offset follow them.
    QString unit;
    double offsetScale = 1;
};

// A reading taken at a step, with how settled it was.
struct ProcedureReading
{
    bool taken = false;
    double value = 0; // the window's mean
    double error = 0; // value − reference
    bool stable = false;
    Stability::Figures figures;
};

// The steps of one point on the device layer: the technician applies the gas, the reading settles,
// as found, adjustment when out of tolerance, settling again, as left, the verdict. Any window or
// the command line drives it and shows its steps; it writes only through the session.
class Procedure : public QObject
{
    Q_OBJECT
public:
    enum class Step
    {
        Idle,
        Applying, // waiting for gasApplied()
        WaitingForStable,
        AsFound,
        Adjusting,
        WaitingAfterAdjust,
        AsLeft,
        Passed,
        Failed,
        Refused, // the adjustment was refused before anything was written
        Aborted,
        Unplugged,
        TimedOut,
    };
    Q_ENUM(Step)

    static QString decisionRule() { return QStringLiteral("simple acceptance: |error| <= tolerance"); }

    // The session must be identified and polling.
    Procedure(DeviceSession *session, const ProcedurePoint &point, QObject *parent = nullptr);

    void start();
    void gasApplied();
    // Ends the procedure; nothing more is written, a reply on the way is ignored.
    void abort();
    // After the time-out passed (askAtTimeout): takes the reading as it is, recorded as unstable.
    void acceptReading();
    // The device was closed under the procedure without a failed read (gone from the scan).
    void deviceGone(const QString &why);
    // The time-out passed while waiting for stable, and the reading waits for acceptReading().
    bool isPastTimeout() const { return m_pastTimeout; }

    Step step() const { return m_step; }
    bool isFinished() const;
    ProcedurePoint point() const { return m_point; }
    ProcedureReading asFound() const { return m_asFound; }
    ProcedureReading asLeft() const { return m_asLeft; }
    bool adjusted() const { return m_adjusted; }
    // Every command that could change the device, in the order sent.
    QStringList writes() const { return m_writes; }
    // The device's answer to each write, in the same order, as far as they came (a null text for
    // one that failed); what the device took is the value a record keeps.
    QStringList writeReplies() const { return m_writeReplies; }
    // Why it failed, was refused or ended early.
    QString reason() const { return m_reason; }
    const StabilityTracker &tracker() const { return m_tracker; }

signals:
    void stepChanged(Procedure::Step step);
    void timeoutPassed();
    void finished(Procedure::Step step);

private:
    void setStep(Step step);
    void finish(Step step, const QString &reason = QString());
    void waitForStable(Step step);
    void onSample(const LiveSample &sample);
    void onTimeout();
    void takeReading();
    void adjust();
    void pass();
    void writeAdjustment(const Adjustment::Plan &plan);
    DeviceReply *send(const QString &word, const QString &argument);
    bool endedByReply(DeviceReply *reply);
    void noteReply(DeviceReply *reply);

    DeviceSession *m_session;
    ProcedurePoint m_point;
    int m_field = -1;
    Step m_step = Step::Idle;
    StabilityTracker m_tracker;
    QTimer *m_timeout;
    ProcedureReading m_asFound;
    ProcedureReading m_asLeft;
    bool m_adjusted = false;
    QStringList m_writes;
    QStringList m_writeReplies;
    QString m_reason;
    bool m_pastTimeout = false;
};
