#include "app/benchwindow.h"
#include "app/mainwindow.h"
#include "app/translationloader.h"
#include "panels/panelregistry.h"
#include "widgets/logmessagehandler.h"
#include "widgets/logwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>
#include <QLoggingCategory>
#include <QTranslator>

#include <cstdio>

namespace {

// Off unless QT_LOGGING_RULES="tq.translation.debug=true": tells a support call which
// translation file the tool loaded.
Q_LOGGING_CATEGORY(lcTranslation, "tq.translation", QtWarningMsg)

void setUpParser(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Service and calibration tool for the Lumaweave TQ series of USB gas sensors."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("bench"),
                      QStringLiteral("Open every attached device at once, each with its own panel.")});
    parser.addOption({QStringLiteral("poll-ms"),
                      QStringLiteral("The bench's poll period in milliseconds (default 1000)."),
                      QStringLiteral("ms")});
}

bool asksForTextOnly(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--help" || arg == "-h" || arg == "-?" || arg == "--version" || arg == "-v")
            return true;
    }
    return false;
}

// Help and version are answered before any window system is touched, so they work in a
// terminal without a display (ssh, a chroot). The toolkit's own options such as -platform
// are unknown here and ignored.
void answerTextOnly(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    setUpParser(parser);
    parser.parse(app.arguments());
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    parser.showHelp();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("TQ_Gas_Calibrator"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TQ_VERSION));
    if (asksForTextOnly(argc, argv))
        answerTextOnly(argc, argv);

    auto *app = new QApplication(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("com.lumaweave.tq.GasCalibrator"));
    bool bench = false;
    int pollMs = 0;
    {
        QCommandLineParser parser;
        setUpParser(parser);
        parser.process(*app);
        bench = parser.isSet(QStringLiteral("bench"));
        pollMs = parser.value(QStringLiteral("poll-ms")).toInt();
        if (parser.isSet(QStringLiteral("poll-ms")) && (pollMs < 100 || pollMs > 60000)) {
            fprintf(stderr, "%s\n",
                    qPrintable(QCoreApplication::translate(
                        "main", "--poll-ms takes milliseconds from 100 to 60000.")));
            delete app;
            return 2;
        }
    }

    // The installed folder is found from the program's own, so the application comes first.
    const QString localeName = QLocale::system().name();
    auto *translator = new QTranslator;
    const bool translated = loadTranslation(*translator, localeName, translationDirectories());
    qCDebug(lcTranslation).noquote() << "translation for" << localeName << "->"
                                     << (translated ? translator->filePath() : QStringLiteral("none"));
    auto *toolkitTranslator = new QTranslator;
    loadToolkitTranslation(*toolkitTranslator, localeName);
    app->installTranslator(translator);
    app->installTranslator(toolkitTranslator);

    registerPanels();
    QWidget *window = nullptr;
    if (bench) {
        // As in the main window: messages go to the locked log window, which drops them unread.
        qInstallMessageHandler(logMessageHandler);
        g_logWindow = new LogWindow;
        auto *benchWindow = new BenchWindow;
        if (pollMs > 0)
            benchWindow->setPollPeriodMs(pollMs);
        window = benchWindow;
    } else {
        window = new MainWindow;
    }
    window->show();
    const int code = app->exec();

    delete window;
    if (bench) {
        delete g_logWindow;
        g_logWindow = nullptr;
        qInstallMessageHandler(nullptr);
    }
    delete app;
    delete toolkitTranslator;
    delete translator;
    return code;
}
