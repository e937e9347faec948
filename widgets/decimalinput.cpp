#include "widgets/decimalinput.h"

#include <QAbstractSpinBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLocale>

namespace {

// Turns a typed "." or "," into the editor's own decimal separator.
class DecimalKeyFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        auto *editor = qobject_cast<QAbstractSpinBox *>(watched);
        const QString point = editor ? QString(editor->locale().decimalPoint()) : QString();
        const QString typed = key->text();
        if (!editor || point.isEmpty() || (typed != QLatin1String(".") && typed != QLatin1String(",")) ||
            typed == point)
            return false;
        const int code = point == QLatin1String(",") ? Qt::Key_Comma : Qt::Key_Period;
        QKeyEvent replaced(QEvent::KeyPress, code, key->modifiers(), point, key->isAutoRepeat(), key->count());
        QCoreApplication::sendEvent(editor, &replaced);
        return true;
    }
};

} // namespace

void acceptAnyDecimalSeparator(QAbstractSpinBox *editor)
{
    QLocale locale = editor->locale();
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    editor->setLocale(locale);
    editor->installEventFilter(new DecimalKeyFilter(editor));
}
