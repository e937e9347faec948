#pragma once

#include "records/labstore.h"

#include <QObject>
#include <QString>

#include <memory>

class QThread;
class QTimer;

// Sends the events of a bench's calibration record file to the lab database, oldest first, and
// remembers in the file how far it got for that database. Events are never changed in the file:
// the bookmark is the last local id sent. Idempotent, so two uploaders of one file (the window
// and tqcal) or a reply lost on the way only cost a second send.
class JournalUploader
{
    Q_DECLARE_TR_FUNCTIONS(JournalUploader)

public:
    struct Result
    {
        int uploaded = 0;
        int waiting = 0;    // left in the file after this round; -1 when the file cannot be read
        LabFailure failure; // of the lab database
        QString localError; // of the file
        bool ok() const { return failure.kind == LabFailure::None && localError.isEmpty(); }
    };

    static constexpr int kBatch = 500;

    JournalUploader(const QString &journalFile, const LabTarget &target);
    ~JournalUploader();
    JournalUploader(const JournalUploader &) = delete;
    JournalUploader &operator=(const JournalUploader &) = delete;

    // Connects, then sends everything waiting, batch by batch, until done or the server fails.
    Result sync();
    // How many events of the file the lab database has not been sent yet; -1 (with localError)
    // when the file cannot be read.
    int waiting(QString *localError = nullptr);
    LabStore &store() { return m_store; }

private:
    bool openJournal(QString *error);
    qint64 bookmark();

    QString m_file;
    QString m_connection;
    LabStore m_store;
};

// The window's uploader: rounds run on a thread of their own, so a down server never costs the
// technician a thing; one after every event and one every retry period while events wait.
class LabSync : public QObject
{
    Q_OBJECT
public:
    static constexpr int kRetryMs = 15000;

    LabSync(const QString &journalFile, const LabTarget &target, QObject *parent = nullptr);
    ~LabSync() override;

    // "records: N waiting for the lab database", or empty when nothing waits.
    static QString waitingText(int waiting);

public slots:
    // An event was added: a round soon.
    void nudge();
    // Whether a sensor is due, by every bench's events (this bench's alone while the lab database
    // cannot be reached); answered by dueChecked.
    void checkDue(const QString &model, const QString &serial);

signals:
    // After each round; `reason` tells why events are still waiting (empty when none are).
    void waitingChanged(int waiting, const QString &reason);
    // DueDates::text of the sensor, or empty when it is not due.
    void dueChecked(const QString &model, const QString &serial, const QString &text);

private:
    QThread *m_thread;
    QObject *m_worker;
};
