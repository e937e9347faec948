#pragma once

#include "app/dev_info.h"
#include "device/conversation.h"
#include "device/devicesession.h"

#include <QObject>

// Finds a device by discovery, by its port or its serial, as the window's list does
// (TQ_CALIBRATOR_PORTS included). Fails with exit code 6 and why.
struct FoundDevice
{
    Dev_info device;
    int code = 0;
    QString message;
};
FoundDevice findDevice(const QString &port, const QString &serial);

// Why a port did not open, in a person's words: busy, permission (with what helps) or gone.
QString openFailureText(const QString &port, int portError, const QString &errorString);

// One device for the length of one command: opened, identified, then asked one request at a time.
// Each failure ends up as tqcal's exit code and a message.
class DeviceLink : public QObject
{
    Q_OBJECT
public:
    struct Answer
    {
        DeviceReply::Error error = DeviceReply::Closed;
        QString line;
        QString value;
        bool ok() const { return error == DeviceReply::NoError; }
    };

    explicit DeviceLink(int timeoutMs, QObject *parent = nullptr);

    // Opens and identifies; false with failureCode() and failure().
    bool connectTo(const Dev_info &device);
    DeviceIdentity identity() const { return m_session.identity(); }
    QString modelName() const;
    QString firmwareText() const; // "1v5"
    DeviceSession &session() { return m_session; }
    int timeoutMs() const { return m_timeoutMs; }

    // Sends and waits for the reply, the time-out or the loss of the device. A line "ERROR" ends
    // the request as rejected.
    Answer ask(DeviceRequest request);
    // Records why an answer failed, naming `what`; returns the exit code for it.
    int failWith(const QString &what, const Answer &answer);
    int failureCode() const { return m_code; }
    QString failure() const { return m_failure; }
    bool isLost() const { return m_lost; }

signals:
    void deviceLost();

private:
    int fail(int code, const QString &text);

    DeviceSession m_session;
    int m_timeoutMs;
    int m_code = 0;
    QString m_failure;
    QString m_lostWhy;
    bool m_lost = false;
};
