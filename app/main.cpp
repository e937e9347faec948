#include "app/mainwindow.h"
#include "app/translationloader.h"
#include "panels/panelregistry.h"

#include <QApplication>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    const QString localeName = QLocale::system().name();
    auto *translator = new QTranslator;
    loadTranslation(*translator, localeName);
    auto *toolkitTranslator = new QTranslator;
    loadToolkitTranslation(*toolkitTranslator, localeName);

    auto *app = new QApplication(argc, argv);
    app->installTranslator(translator);
    app->installTranslator(toolkitTranslator);

    registerPanels();
    auto *window = new MainWindow;
    window->show();
    const int code = app->exec();

    delete window;
    delete app;
    delete toolkitTranslator;
    delete translator;
    return code;
}
