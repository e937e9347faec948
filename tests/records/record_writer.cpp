// record_writer FOLDER SERIAL COUNT: appends COUNT events and prints the number of each once committed.
// A short pause after each, as a technician's events come one at a time: two writers in tight loops
// could keep the lock from each other longer than the tool waits for it.

#include "calib/calibrationrecord.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    CalibrationRecord record(args.value(1));
    CalibrationEvent event;
    event.kind = QStringLiteral("write");
    event.serial = args.value(2);
    for (int i = 1; i <= args.value(3).toInt(); ++i) {
        event.valueWritten = QString::number(i);
        if (!record.append(event)) {
            std::fprintf(stderr, "%s\n", qPrintable(record.errorString()));
            return 1;
        }
        std::printf("%d\n", i);
        std::fflush(stdout);
        QThread::msleep(2);
    }
    return 0;
}
