#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class Calibrator;

// Records a panel's live values to a CSV file: one row per live line with its time, each field's
// value as the device sent it (empty when it sent none) and its unit. Ends the file cleanly when
// stopped or when the panel goes away.
class LiveRecorder : public QObject
{
    Q_OBJECT
public:
    explicit LiveRecorder(QObject *parent = nullptr);
    ~LiveRecorder() override;

    // "TQ24_SIM-0001_20261207-090102.csv"
    static QString defaultFileName(const QString &model, const QString &serial, const QDateTime &start);
    static QByteArray headerRow(const QStringList &fieldNames);
    // One sample: `fieldCount` values and units after the time and the seconds since the start.
    static QByteArray row(const QDateTime &time, qint64 elapsedMs, int fieldCount, const QStringList &fields,
                          const QStringList &units);

    // Starts a new file at `path` for `panel`'s live lines; false (see errorString) when it cannot.
    bool start(Calibrator *panel, const QString &path);
    void stop();
    bool isRecording() const { return m_file.isOpen(); }
    int sampleCount() const { return m_samples; }
    QString fileName() const { return m_file.fileName(); }
    QString errorString() const { return m_error; }
    // "Recording 00:01:05, 130 samples"
    QString statusText() const;

signals:
    // Every second and every sample while recording.
    void progress(const QString &status);
    // The file is closed: `error` is empty when it ended as asked.
    void stopped(const QString &fileName, const QString &error);

private:
    void addSample(const QDateTime &time, const QStringList &fields);
    void fail(const QString &error);
    bool writeHeader();

    QFile m_file;
    QPointer<Calibrator> m_panel;
    QMetaObject::Connection m_liveConnection;
    QMetaObject::Connection m_goneConnection;
    QElapsedTimer m_elapsed;
    QTimer m_tick;
    int m_fieldCount = 0;
    bool m_headerWritten = false;
    int m_samples = 0;
    QString m_error;
};
