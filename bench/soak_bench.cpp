// One model's panel polling at 500 ms against the in-process simulator for a given time, through
// the main window and a real QSerialPort over a pseudo-terminal. Prints one Markdown table row:
// polls written, live lines the simulator sent, lines the panel received, polls unanswered, lines
// lost, resident memory after the first minute and at the end, and its growth.
//
//   soak_bench --model pm|tq20|tq21|tq22|tq24 [--seconds 600]
#include "app/mainwindow.h"
#include "device/commandset.h"
#include "panels/panelregistry.h"
#include "tools/tq-sim/simulateddevice.h"
#include "widgets/messageboxes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <cstdio>

namespace {

int g_pollsWritten = 0;
int g_linesReceived = 0;

// Counts what the tool itself logs: each poll written, each line taken in idle mode.
void countingHandler(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.startsWith(QLatin1String("writeData(")) &&
        (message.contains(QLatin1String("ATCH[CR][LF]")) || message.contains(QLatin1String("ATCD[CR][LF]"))))
        ++g_pollsWritten;
    else if (message == QLatin1String("-------------DEFAULT MODE-------------"))
        ++g_linesReceived;
}

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void runFor(qint64 ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString modelName = args.value(args.indexOf(QStringLiteral("--model")) + 1, QStringLiteral("pm"));
    const int at = args.indexOf(QStringLiteral("--seconds"));
    const int seconds = at > 0 ? qMax(70, args.value(at + 1).toInt()) : 600;
    tqsim::Model model;
    if (!tqsim::modelFromName(modelName, &model)) {
        std::fprintf(stderr, "unknown model %s\n", qPrintable(modelName));
        return 2;
    }

    registerPanels();
    MessageBoxes::setResponder([](const MessageBoxes::Request &request) {
        std::fprintf(stderr, "box: %s\n", qPrintable(request.text));
        return QMessageBox::Ok;
    });
    SimulatedDevice sim(model);
    sim.setRecording(false);
    if (!sim.open()) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    const QByteArray pollWord = tqsim::modelName(model) == QLatin1String("pm") || model == tqsim::Model::Tq24
                                    ? QByteArrayLiteral("ATCH")
                                    : QByteArrayLiteral("ATCD");
    int linesSent = 0;
    // Live lines only: a setting reply may start with the poll word too ("ATCDGFIL").
    QObject::connect(&sim, &SimulatedDevice::replySent, [&](const QByteArray &line) {
        if (Cmd::isLiveLine(QString::fromLatin1(line).remove(QLatin1Char(' ')).trimmed(), QString::fromLatin1(pollWord)))
            ++linesSent;
    });

    auto *window = new MainWindow;
    window->setPollPeriodMs(500);
    qInstallMessageHandler(countingHandler);
    const QList<Dev_info> devices{{sim.portName(), QStringLiteral("SOAK-") + modelName}};
    window->setDeviceScanner([devices] { return devices; });
    window->checkConnection();
    auto *list = window->findChild<QListWidget *>(QStringLiteral("listWidget"));
    emit list->itemActivated(list->item(0));

    runFor(60 * 1000);
    const long firstMinuteKb = residentKb();
    runFor((seconds - 60) * 1000LL);
    window->setPollTimerActive(false);
    runFor(1000); // the last reply arrives
    const long endKb = residentKb();

    std::printf("| %s | %d | %d | %d | %d | %d | %d | %ld | %ld | %ld |\n", qPrintable(modelName), seconds,
                g_pollsWritten, linesSent, g_linesReceived, g_pollsWritten - linesSent, linesSent - g_linesReceived,
                firstMinuteKb, endKb, endKb - firstMinuteKb);
    std::fflush(stdout);
    qInstallMessageHandler(nullptr);
    delete window;
    return 0;
}
