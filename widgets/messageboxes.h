#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>

#include <functional>

// The one way the tool asks the user through a modal box. Tests install a responder that answers
// instead of a person; while any box is open, panels are released only after it closes.
class MessageBoxes : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QPointer<QWidget> parent;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    };
    using Responder = std::function<QMessageBox::StandardButton(const Request &)>;

    static QMessageBox::StandardButton critical(QWidget *parent, const QString &title, const QString &text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    static QMessageBox::StandardButton information(QWidget *parent, const QString &title, const QString &text,
                                                   QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    static QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Yes |
                                                                                       QMessageBox::No);
    static QMessageBox::StandardButton ask(const Request &request);

    // Replaces the real boxes (an empty responder restores them).
    static void setResponder(Responder responder);
    // Boxes currently waiting for an answer (nested boxes count each).
    static int openCount();
    // Emits lastBoxClosed() when the last open box closes.
    static MessageBoxes *instance();

signals:
    void lastBoxClosed();

private:
    MessageBoxes() = default;
};
