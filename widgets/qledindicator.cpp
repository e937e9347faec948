#include "widgets/qledindicator.h"

#include <QPainter>
#include <QRadialGradient>

namespace {
const int minSide = 14;

void fillCircle(QPainter &painter, qreal radius, const QPointF &focus, const QColor &c0, const QColor &c1)
{
    QRadialGradient gradient(focus, 1500, focus);
    gradient.setColorAt(0, c0);
    gradient.setColorAt(1, c1);
    painter.setBrush(gradient);
    painter.drawEllipse(QPointF(0, 0), radius, radius);
}
} // namespace

QLedIndicator::QLedIndicator(QWidget *parent) : QAbstractButton(parent)
{
    setMinimumSize(minSide, minSide);
}

QLedIndicator::Look QLedIndicator::lookFor(status state) const
{
    const QPointF upperLeft(-500, -500);
    const QPointF lowerRight(500, 500);
    switch (state) {
    case 1:
        return {offColor3, offColor4, lowerRight};
    case 2:
        return {onColor1, onColor2, upperLeft};
    case 3:
        return {onColor3, onColor4, lowerRight};
    default:
        return {offColor1, offColor2, lowerRight};
    }
}

QSize QLedIndicator::sizeHint() const
{
    return QSize(20, 20);
}

QSize QLedIndicator::minimumSizeHint() const
{
    return QSize(minSide, minSide);
}

void QLedIndicator::paintEvent(QPaintEvent *)
{
    const qreal side = qMin(width(), height());
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(Qt::black, 1));
    painter.translate(width() / 2, height() / 2);
    painter.scale(side / 1000.0, side / 1000.0);

    const QColor light(224, 224, 224);
    const QColor dark(28, 28, 28);
    fillCircle(painter, 500, QPointF(-500, -500), light, dark);
    fillCircle(painter, 450, QPointF(500, 500), light, dark);
    const Look look = lookFor(m_state);
    fillCircle(painter, 400, look.focus, look.centre, look.edge);
}

void QLedIndicator::resizeEvent(QResizeEvent *)
{
    update();
}
