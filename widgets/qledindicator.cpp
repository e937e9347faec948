#include "widgets/qledindicator.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QList>
#include <QPainter>
#include <QRadialGradient>
#include <QTimer>

namespace {
const int minSide = 14;
// A lamp whose pulse ends takes along the others due within this time, so TX and RX, lit a few
// milliseconds apart by a poll and its reply, go dark in one repaint.
const int kEndTogetherMs = 25;

QElapsedTimer &lampClock()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock;
}

QList<QLedIndicator *> &pulsingLamps()
{
    static QList<QLedIndicator *> lamps;
    return lamps;
}

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

QLedIndicator::~QLedIndicator()
{
    pulsingLamps().removeAll(this);
}

void QLedIndicator::setState(status state)
{
    if (state == m_state)
        return;
    m_state = state;
    update();
}

void QLedIndicator::pulse(status state, int ms)
{
    setState(state);
    if (!m_pulseTimer) {
        m_pulseTimer = new QTimer(this);
        m_pulseTimer->setSingleShot(true);
        connect(m_pulseTimer, &QTimer::timeout, this, &QLedIndicator::endPulse);
    }
    m_idleAtMs = lampClock().elapsed() + ms;
    if (!m_pulseTimer->isActive())
        m_pulseTimer->start(ms);
    if (!pulsingLamps().contains(this))
        pulsingLamps().append(this);
}

// The timer runs from the first pulse of a stream; later pulses only move the end.
void QLedIndicator::endPulse()
{
    const qint64 now = lampClock().elapsed();
    if (m_idleAtMs > now) {
        m_pulseTimer->start(int(m_idleAtMs - now));
        return;
    }
    const QList<QLedIndicator *> lamps = pulsingLamps();
    for (QLedIndicator *lamp : lamps) {
        if (lamp != this && lamp->m_idleAtMs - now > kEndTogetherMs)
            continue;
        lamp->m_pulseTimer->stop();
        lamp->setState(1);
        pulsingLamps().removeAll(lamp);
    }
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

// What the parent shows behind the lamp, taken once per place and look.
const QPixmap &QLedIndicator::background()
{
    const qreal ratio = devicePixelRatioF();
    if (m_background.isNull() || m_backgroundRect != geometry() || m_background.devicePixelRatio() != ratio) {
        forgetLooks();
        m_background = QPixmap(size() * ratio);
        m_background.setDevicePixelRatio(ratio);
        m_background.fill(palette().color(QPalette::Window));
        parentWidget()->render(&m_background, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
        m_backgroundRect = geometry();
    }
    return m_background;
}

// The lamp over its background in one state, drawn once: a pulse then costs a copy of a few hundred pixels.
const QPixmap &QLedIndicator::face(status state)
{
    const QPixmap &behind = background();
    const Look look = lookFor(state);
    Face &face = m_faces[state >= 1 && state <= 3 ? state : 0];
    if (face.pixmap.isNull() || face.look.centre != look.centre || face.look.edge != look.edge ||
        face.look.focus != look.focus) {
        face.pixmap = behind.copy();
        QPainter painter(&face.pixmap);
        drawLamp(painter, look);
        face.look = look;
    }
    return face.pixmap;
}

void QLedIndicator::forgetLooks()
{
    m_background = QPixmap();
    for (Face &face : m_faces)
        face.pixmap = QPixmap();
}

void QLedIndicator::drawLamp(QPainter &painter, const Look &look) const
{
    const qreal side = qMin(width(), height());
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(Qt::black, 1));
    painter.translate(width() / 2, height() / 2);
    painter.scale(side / 1000.0, side / 1000.0);

    const QColor light(224, 224, 224);
    const QColor dark(28, 28, 28);
    fillCircle(painter, 500, QPointF(-500, -500), light, dark);
    fillCircle(painter, 450, QPointF(500, 500), light, dark);
    fillCircle(painter, 400, look.focus, look.centre, look.edge);
}

void QLedIndicator::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (parentWidget())
        painter.drawPixmap(0, 0, face(m_state));
    else
        drawLamp(painter, lookFor(m_state));
}

void QLedIndicator::resizeEvent(QResizeEvent *)
{
    forgetLooks();
    update();
}

void QLedIndicator::moveEvent(QMoveEvent *)
{
    forgetLooks();
}

// Opaque once it has a parent to take the background from; the style's polish resets the attribute, so
// it is set after that.
bool QLedIndicator::event(QEvent *event)
{
    const bool handled = QAbstractButton::event(event);
    if (event->type() == QEvent::Polish || event->type() == QEvent::ParentChange) {
        setAttribute(Qt::WA_OpaquePaintEvent, parentWidget() != nullptr);
        forgetLooks();
    }
    return handled;
}

void QLedIndicator::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::EnabledChange:
        forgetLooks();
        break;
    default:
        break;
    }
    QAbstractButton::changeEvent(event);
}
