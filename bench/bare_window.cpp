// A bare Qt widget window of the tool's size: what any Qt program costs on the same X server, the
// floor the idle benchmark measures the tool against.

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare window"));
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("A bare Qt widget window"), &window));
    window.resize(993, 640);
    window.show();
    return app.exec();
}
