// The tool as the idle benchmark runs it: the program's own start-up, then the steps a technician
// takes, done by the harness instead of a mouse: activate the listed device (--open PORT), wait for
// its panel to finish the first refresh, pick a poll period in the Rate menu (--rate 500|1000|2000|10000).
// It prints "ready" once done; from then on nothing of the harness runs.

#include "app/mainwindow.h"
#include "app/selectdevice.h"
#include "app/translationloader.h"
#include "panels/panelregistry.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

namespace {

const int kStepMs = 100;

QString argumentAfter(const QStringList &args, const QString &name)
{
    const int at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : QString();
}

// The Rate menu's action of a period in milliseconds; empty for none.
QString rateActionName(const QString &ms)
{
    if (ms.isEmpty())
        return QString();
    return ms == QLatin1String("500") ? QStringLiteral("action500ms")
                                      : QStringLiteral("action%1s").arg(ms.toInt() / 1000);
}

// One step of the harness; true once everything asked for is done.
bool driveStep(MainWindow &window, const QString &port, const QString &rateAction, bool &opened)
{
    if (port.isEmpty())
        return true;
    if (!opened) {
        auto *list = window.deviceList()->findChild<QListWidget *>();
        for (int i = 0; list && i < list->count(); ++i) {
            QListWidgetItem *item = list->item(i);
            if (item->data(Qt::StatusTipRole).toString() == port) {
                emit list->itemActivated(item);
                opened = true;
                break;
            }
        }
        return false;
    }
    // The Rate menu is enabled once the panel's first refresh has ended and the poll runs.
    auto *action =
        window.findChild<QAction *>(rateAction.isEmpty() ? QStringLiteral("action1s") : rateAction);
    if (!window.panel() || !action || !action->isEnabled())
        return false;
    if (!rateAction.isEmpty())
        action->trigger();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    const QString localeName = QLocale::system().name();
    QTranslator translator;
    loadTranslation(translator, localeName);
    QTranslator toolkitTranslator;
    loadToolkitTranslation(toolkitTranslator, localeName);

    QApplication app(argc, argv);
    app.installTranslator(&translator);
    app.installTranslator(&toolkitTranslator);
    const QStringList args = app.arguments();
    const QString port = argumentAfter(args, QStringLiteral("--open"));
    const QString rateAction = rateActionName(argumentAfter(args, QStringLiteral("--rate")));

    registerPanels();
    auto *window = new MainWindow;
    window->show();

    bool opened = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (!driveStep(*window, port, rateAction, opened))
            return;
        driver.stop();
        std::puts("ready");
        std::fflush(stdout);
    });
    driver.start(kStepMs);

    const int code = app.exec();
    delete window;
    return code;
}
