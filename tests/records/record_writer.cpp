// record_writer FOLDER SERIAL COUNT: appends COUNT write events for SERIAL and prints the number of
// each one once its append has returned, so a parent knows what was committed before it killed us.

#include "calib/calibrationrecord.h"
#include "calib/recordschema.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    CalibrationRecord record(args.at(1));
    const int count = args.at(3).toInt();
    for (int i = 1; i <= count; ++i) {
        CalibrationEvent event;
        event.kind = QLatin1String(RecordSchema::kKindWrite);
        event.model = QStringLiteral("TQ24");
        event.serial = args.at(2);
        event.firmware = QStringLiteral("TQ24-1v5");
        event.command = QStringLiteral("ATCOFF1");
        event.valueWritten = QString::number(i);
        event.outcome = QLatin1String(RecordSchema::kOutcomeConfirmed);
        if (!record.append(event)) {
            std::fprintf(stderr, "%s\n", qPrintable(record.errorString()));
            return 1;
        }
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
    return 0;
}
