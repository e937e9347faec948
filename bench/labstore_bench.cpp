// The lab records store under load: twenty benches writing 500 events each and uploading them at
// once to the local PostgreSQL server, and the cost of a technician's write while the lab
// database is down. Needs the server of scripts/test-pg.sh (TQ_TEST_PG_URL, PGPASSFILE); prints
// its figures, see bench/LABSTORE_RESULTS.md.
#include "records/calibrationrecord.h"
#include "records/labstore.h"
#include "records/uploader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kWriters = 20;
constexpr int kEvents = 500;
constexpr int kDownWrites = 200;

CalibrationEvent writeEvent(int writer, int n)
{
    CalibrationEvent e;
    e.kind = QStringLiteral("write");
    e.model = QStringLiteral("TQ24");
    e.serial = QStringLiteral("BENCH-%1").arg(writer);
    e.setting = e.command = QStringLiteral("ATCOFF1");
    e.valueBefore = QStringLiteral("0.00");
    e.valueWritten = e.valueConfirmed = QString::number(n);
    e.outcome = QStringLiteral("confirmed");
    return e;
}

struct Spread
{
    double median, p99, max;
};

Spread spread(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)], ms.back()};
}

// The ms of each append to a fresh file; with `lab` an uploader runs beside it as in the window.
Spread appendCost(const LabTarget *lab)
{
    QTemporaryDir folder;
    CalibrationRecord record(folder.path());
    record.append(writeEvent(99, -1)); // creates the file: not a write a technician waits for
    std::unique_ptr<LabSync> sync;
    if (lab) {
        sync = std::make_unique<LabSync>(record.filePath(), *lab);
        QObject::connect(&record, &CalibrationRecord::appended, sync.get(), &LabSync::nudge);
    }
    std::vector<double> ms;
    for (int n = 0; n < kDownWrites; ++n) {
        QElapsedTimer timer;
        timer.start();
        record.append(writeEvent(99, n));
        ms.push_back(timer.nsecsElapsed() / 1e6);
        // The window's pace is far slower; a little room lets the uploader's rounds overlap.
        QThread::msleep(2);
    }
    return spread(ms);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QUrl server(qEnvironmentVariable("TQ_TEST_PG_URL"));
    if (server.port() <= 0) {
        std::fprintf(stderr,
                     "labstore_bench: set TQ_TEST_PG_URL and PGPASSFILE (scripts/test-pg.sh start DIR)\n");
        return 2;
    }
    const QString database = QStringLiteral("bench_%1").arg(QDateTime::currentMSecsSinceEpoch());
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("admin"));
        admin.setHostName(server.host());
        admin.setPort(server.port());
        admin.setUserName(server.userName());
        admin.setDatabaseName(QStringLiteral("postgres"));
        if (!admin.open() ||
            !QSqlQuery(admin).exec(QStringLiteral("CREATE DATABASE %1 OWNER tq_owner").arg(database))) {
            std::fprintf(stderr, "labstore_bench: %s\n", qPrintable(admin.lastError().text()));
            return 1;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("admin"));
    const auto url = [&](const char *role) {
        return LabTarget::parse(QStringLiteral("postgresql://%1@%2:%3/%4")
                                    .arg(QLatin1String(role), server.host())
                                    .arg(server.port())
                                    .arg(database));
    };
    LabStore owner(url("tq_owner"));
    if (!owner.open()) {
        std::fprintf(stderr, "labstore_bench: %s\n", qPrintable(owner.failure().message));
        return 1;
    }
    QSqlQuery(owner.database())
        .exec(QStringLiteral("GRANT SELECT, INSERT ON events, records_schema TO tq_technicians"));
    QSqlQuery(owner.database())
        .exec(QStringLiteral("GRANT USAGE ON SEQUENCE events_id_seq TO tq_technicians"));

    // Twenty benches, each its own file: written first, then uploaded all at once.
    std::vector<std::unique_ptr<QTemporaryDir>> folders;
    for (int w = 0; w < kWriters; ++w)
        folders.push_back(std::make_unique<QTemporaryDir>());
    QElapsedTimer timer;
    timer.start();
    std::vector<std::unique_ptr<QThread>> threads;
    for (int w = 0; w < kWriters; ++w) {
        const QString path = folders[size_t(w)]->path();
        threads.emplace_back(QThread::create([w, path] {
            CalibrationRecord record(path);
            for (int n = 0; n < kEvents; ++n)
                record.append(writeEvent(w, n));
        }));
        threads.back()->start();
    }
    for (auto &thread : threads)
        thread->wait();
    const double writeSeconds = timer.nsecsElapsed() / 1e9;

    const LabTarget bench = url("bench1");
    std::vector<int> uploaded(kWriters, 0);
    std::vector<QString> failures(kWriters);
    threads.clear();
    timer.restart();
    for (int w = 0; w < kWriters; ++w) {
        const QString file = CalibrationRecord(folders[size_t(w)]->path()).filePath();
        threads.emplace_back(QThread::create([w, file, bench, &uploaded, &failures] {
            JournalUploader uploader(file, bench);
            const JournalUploader::Result result = uploader.sync();
            uploaded[size_t(w)] = result.uploaded;
            failures[size_t(w)] = result.failure.message + result.localError;
        }));
        threads.back()->start();
    }
    for (auto &thread : threads)
        thread->wait();
    const double uploadSeconds = timer.nsecsElapsed() / 1e9;
    // Everything again: what a retry after a lost reply costs, and proof that nothing doubles.
    timer.restart();
    for (int w = 0; w < kWriters; ++w) {
        const QString file = CalibrationRecord(folders[size_t(w)]->path()).filePath();
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("forget"));
        db.setDatabaseName(file);
        db.open();
        QSqlQuery(db).exec(QStringLiteral("DELETE FROM lab_uploads"));
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("forget"));
        JournalUploader(file, bench).sync();
    }
    const double resendSeconds = timer.nsecsElapsed() / 1e9;

    QSqlQuery count(owner.database());
    count.exec(QStringLiteral("SELECT count(*), count(DISTINCT uuid) FROM events"));
    count.next();
    const int rows = count.value(0).toInt();
    const int distinct = count.value(1).toInt();
    int sent = 0;
    for (int w = 0; w < kWriters; ++w) {
        sent += uploaded[size_t(w)];
        if (!failures[size_t(w)].isEmpty())
            std::printf("writer %d: %s\n", w, qPrintable(failures[size_t(w)]));
    }
    const int total = kWriters * kEvents;
    std::printf("%d writers x %d events: written locally in %.2f s (%.0f events/s, every write on disk "
                "before it returns)\n",
                kWriters, kEvents, writeSeconds, total / writeSeconds);
    std::printf("uploaded by %d uploaders at once: %d events in %.2f s (%.0f events/s)\n", kWriters, sent,
                uploadSeconds, sent / uploadSeconds);
    std::printf("sent again after the bookmarks were lost: %.2f s\n", resendSeconds);
    std::printf("in the lab database: %d rows, %d distinct uuids, expected %d: %s\n", rows, distinct, total,
                rows == total && distinct == total ? "every event once" : "MISMATCH");

    // A technician's write: the file alone, then with the uploader at a server that refuses
    // connections, then at one that takes the connection and never answers (a hung server or a
    // firewall that swallows the reply: the upload waits its whole time-out).
    const LabTarget refused =
        LabTarget::parse(QStringLiteral("postgresql://bench1@127.0.0.1:1/%1").arg(database));
    const int hung = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(hung, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::listen(hung, 16);
    ::getsockname(hung, reinterpret_cast<sockaddr *>(&address), &length);
    const LabTarget silent =
        LabTarget::parse(QStringLiteral("postgresql://bench1@127.0.0.1:%1/%2?connect_timeout=5")
                             .arg(ntohs(address.sin_port))
                             .arg(database));
    const struct
    {
        const char *name;
        const LabTarget *lab;
    } cases[] = {{"file only, no lab database", nullptr},
                 {"lab database down (connection refused)", &refused},
                 {"lab database hung (no answer, 5 s time-out)", &silent}};
    std::printf("\none write (append to the file), %d writes each, ms:\n", kDownWrites);
    for (const auto &c : cases) {
        const Spread s = appendCost(c.lab);
        std::printf("  %-52s median %.2f  p99 %.2f  max %.2f  %s\n", c.name, s.median, s.p99, s.max,
                    s.max <= 5.0 ? "(within 5 ms)" : "(over 5 ms)");
    }
    ::close(hung);
    return rows == total && distinct == total ? 0 : 1;
}
