#include "widgets/opaquefill.h"

#include <QEvent>
#include <QWidget>

OpaqueFill::OpaqueFill(QWidget *widget) : QObject(widget)
{
    widget->installEventFilter(this);
}

void OpaqueFill::keep(QWidget *widget)
{
    if (!widget || widget->findChild<OpaqueFill *>(QString(), Qt::FindDirectChildrenOnly))
        return;
    new OpaqueFill(widget);
    apply(widget);
}

// The style sheet's own background is still drawn over the fill, so the look stays; a widget without
// a styled, opaque background is left as it is, since filling would hide what its parent shows.
void OpaqueFill::apply(QWidget *widget)
{
    if (!widget->autoFillBackground() && widget->testAttribute(Qt::WA_StyledBackground) &&
        widget->palette().brush(widget->backgroundRole()).isOpaque())
        widget->setAutoFillBackground(true);
}

bool OpaqueFill::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Show || type == QEvent::StyleChange || type == QEvent::PaletteChange)
        apply(static_cast<QWidget *>(watched));
    return false;
}
