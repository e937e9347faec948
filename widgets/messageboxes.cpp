#include "widgets/messageboxes.h"

namespace {

MessageBoxes::Responder &responder()
{
    static MessageBoxes::Responder r;
    return r;
}

int g_openBoxes = 0;

} // namespace

MessageBoxes *MessageBoxes::instance()
{
    static MessageBoxes *boxes = new MessageBoxes;
    return boxes;
}

void MessageBoxes::setResponder(Responder r)
{
    responder() = std::move(r);
}

int MessageBoxes::openCount()
{
    return g_openBoxes;
}

QMessageBox::StandardButton MessageBoxes::ask(const Request &request)
{
    ++g_openBoxes;
    QMessageBox::StandardButton answer;
    if (responder()) {
        answer = responder()(request);
    } else {
        QMessageBox box(request.icon, request.title, request.text, request.buttons, request.parent);
        answer = static_cast<QMessageBox::StandardButton>(box.exec());
    }
    if (--g_openBoxes == 0)
        emit instance()->lastBoxClosed();
    return answer;
}

QMessageBox::StandardButton MessageBoxes::critical(QWidget *parent, const QString &title, const QString &text,
                                                   QMessageBox::StandardButtons buttons)
{
    return ask({QMessageBox::Critical, parent, title, text, buttons});
}

QMessageBox::StandardButton MessageBoxes::information(QWidget *parent, const QString &title,
                                                      const QString &text,
                                                      QMessageBox::StandardButtons buttons)
{
    return ask({QMessageBox::Information, parent, title, text, buttons});
}

QMessageBox::StandardButton MessageBoxes::question(QWidget *parent, const QString &title, const QString &text,
                                                   QMessageBox::StandardButtons buttons)
{
    return ask({QMessageBox::Question, parent, title, text, buttons});
}
