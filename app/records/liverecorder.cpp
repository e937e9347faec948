#include "app/records/liverecorder.h"

#include "records/csv.h"
#include "calib/calibrator.h"
#include "device/commandset.h"

#include <QTime>

LiveRecorder::LiveRecorder(QObject *parent) : QObject(parent)
{
    m_tick.setInterval(1000);
    connect(&m_tick, &QTimer::timeout, this, [this] { emit progress(statusText()); });
}

LiveRecorder::~LiveRecorder()
{
    stop();
}

QString LiveRecorder::defaultFileName(const QString &model, const QString &serial, const QDateTime &start)
{
    QString name = model + QLatin1Char('_') + serial + QLatin1Char('_') +
                   start.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QLatin1String(".csv");
    // A serial is the device's text: keep it from making a path.
    for (QChar &c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') || c.isSpace())
            c = QLatin1Char('-');
    }
    return name;
}

QByteArray LiveRecorder::headerRow(const QStringList &fieldNames)
{
    QStringList cells = {QStringLiteral("time"), QStringLiteral("elapsed s")};
    for (const QString &name : fieldNames)
        cells << name << name + QLatin1String(" unit");
    return Csv::line(cells);
}

QByteArray LiveRecorder::row(const QDateTime &time, qint64 elapsedMs, int fieldCount,
                             const QStringList &fields, const QStringList &units)
{
    // Numbers in the C locale whatever the user's: a spreadsheet reads the file the same everywhere.
    QStringList cells = {time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs),
                         QString::number(elapsedMs / 1000.0, 'f', 3)};
    for (int i = 0; i < fieldCount; ++i) {
        const QString field = fields.value(i).trimmed();
        cells << (Cmd::number(field) ? field : QString()) << units.value(i);
    }
    return Csv::line(cells);
}

bool LiveRecorder::start(Calibrator *panel, const QString &path)
{
    stop();
    m_error.clear();
    m_samples = 0;
    if (!panel) {
        m_error = tr("no device is open");
        return false;
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate) || m_file.write(Csv::byteOrderMark()) < 0 ||
        !m_file.flush()) {
        m_error = m_file.errorString();
        m_file.close();
        return false;
    }
    m_headerWritten = false;
    m_panel = panel;
    m_liveConnection = connect(panel, &Calibrator::liveValuesShown, this, &LiveRecorder::addSample);
    m_goneConnection = connect(panel, &QObject::destroyed, this, &LiveRecorder::stop);
    m_elapsed.start();
    m_tick.start();
    emit progress(statusText());
    return true;
}

void LiveRecorder::stop()
{
    disconnect(m_liveConnection);
    disconnect(m_goneConnection);
    m_tick.stop();
    if (m_file.isOpen() && !m_headerWritten && m_panel)
        writeHeader();
    m_panel = nullptr;
    if (!m_file.isOpen())
        return;
    m_file.flush();
    m_file.close();
    emit stopped(m_file.fileName(), m_error);
}

void LiveRecorder::fail(const QString &error)
{
    m_error = error;
    stop();
}

void LiveRecorder::addSample(const QDateTime &time, const QStringList &fields)
{
    if (!m_file.isOpen() || !m_panel)
        return;
    // Written with the first line, once the panel has shown which display shows which field.
    if (!m_headerWritten && !writeHeader())
        return;
    const QByteArray line = row(time, m_elapsed.elapsed(), m_fieldCount, fields, m_panel->liveUnits());
    // Flushed per line: a crash or a pulled cable keeps every sample written so far.
    if (m_file.write(line) != line.size() || !m_file.flush()) {
        fail(m_file.errorString());
        return;
    }
    ++m_samples;
    emit progress(statusText());
}

QString LiveRecorder::statusText() const
{
    const QString elapsed = QTime(0, 0)
                                .addMSecs(m_elapsed.isValid() ? m_elapsed.elapsed() : 0)
                                .toString(QStringLiteral("HH:mm:ss"));
    return tr("Recording %1, %n samples", nullptr, m_samples).arg(elapsed);
}

bool LiveRecorder::writeHeader()
{
    const QStringList names = m_panel->liveFieldNames();
    m_fieldCount = names.size();
    m_headerWritten = true;
    const QByteArray line = headerRow(names);
    if (m_file.write(line) == line.size())
        return true;
    fail(m_file.errorString());
    return false;
}
