#include "tqcal/commands.h"

#include "device/commandset.h"
#include "device/modeltable.h"
#include "records/csv.h"
#include "tqcal/console.h"
#include "tqcal/devicelink.h"
#include "tqcal/exitcode.h"

#include <QEventLoop>
#include <QTimer>

namespace {

// Live lines as text, CSV or JSON lines; a field without a value ("----") is an empty cell in CSV
// and null in JSON, never 0.
class LinePrinter
{
public:
    LinePrinter(const QString &format, const ModelTable::Model *table) : m_format(format)
    {
        if (table) {
            for (const ModelTable::LiveField &field : table->live) {
                m_names.append(QString::fromUtf8(field.name));
                m_units.append(QString::fromUtf8(field.unit));
            }
        }
    }

    void header() const
    {
        if (m_format != QLatin1String("csv"))
            return;
        QStringList cells = {QStringLiteral("time")};
        for (int i = 0; i < m_names.size(); ++i)
            cells.append(QStringLiteral("%1 (%2)").arg(m_names.at(i), m_units.at(i)));
        csvLine(cells);
    }

    void print(const LiveSample &sample) const
    {
        const QString time = sample.pollTime.toUTC().toString(Qt::ISODateWithMs);
        if (m_format == QLatin1String("csv")) {
            QStringList cells = {time};
            for (const QString &field : sample.fields)
                cells.append(Cmd::number(field.trimmed()) ? field.trimmed() : QString());
            csvLine(cells);
        } else if (m_format == QLatin1String("json")) {
            JsonObjectText object;
            object.add(QStringLiteral("time"), time);
            for (int i = 0; i < sample.fields.size(); ++i) {
                const QString field = sample.fields.at(i).trimmed();
                object.add(m_names.value(i, QStringLiteral("field %1").arg(i + 1)),
                           Cmd::number(field) ? field : QString());
            }
            Console::data(object.text());
        } else {
            Console::data(time + QLatin1Char(' ') + sample.fields.join(QLatin1Char(' ')));
        }
    }

private:
    static void csvLine(const QStringList &cells)
    {
        Console::data(QString::fromUtf8(Csv::line(cells)).trimmed());
    }

    QString m_format;
    QStringList m_names;
    QStringList m_units;
};

} // namespace

int runWatch(const Invocation &invocation)
{
    DeviceLink link(invocation.timeoutMs);
    if (const int code = connectTarget(invocation, link))
        return code;
    const LinePrinter printer(invocation.format, ModelTable::find(link.identity().model));
    printer.header();

    DeviceSession &session = link.session();
    QEventLoop loop;
    int code = ExitCode::Done;
    int lines = 0;
    // A device that stops sending live lines without going away ends the watch as unanswered.
    QTimer silence;
    silence.setSingleShot(true);
    silence.setInterval(qMax(invocation.timeoutMs, 3 * invocation.intervalMs));
    QObject::connect(&session, &DeviceSession::pollDue, &session, [&] { session.writePoll(); });
    QObject::connect(&session, &DeviceSession::liveSample, &loop, [&](const LiveSample &sample) {
        printer.print(sample);
        silence.start();
        if (invocation.count > 0 && ++lines >= invocation.count)
            loop.quit();
    });
    QObject::connect(&link, &DeviceLink::deviceLost, &loop, [&] {
        code = link.failWith(QStringLiteral("watch"), DeviceLink::Answer());
        Console::message(link.failure());
        loop.quit();
    });
    QObject::connect(&silence, &QTimer::timeout, &loop, [&] {
        code = ExitCode::NoAnswer;
        Console::message(QStringLiteral("watch: no live line in %1 ms").arg(silence.interval()));
        loop.quit();
    });
    session.setPollPeriod(invocation.intervalMs);
    session.writePoll();
    session.setPolling(true);
    silence.start();
    loop.exec();
    session.setPolling(false);
    return code;
}
