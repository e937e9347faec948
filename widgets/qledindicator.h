#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>
#include <QPointF>
#include <QRect>

class QPainter;
class QTimer;

// Round lamp drawn with gradients in state 1 idle, 2 transmitting or 3 receiving. It paints only when
// its state changes, and only itself: what its parent shows behind the corners is kept, so the lamp is
// opaque, and each look is drawn once.
class QLedIndicator : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(QColor onColor1 MEMBER onColor1)
    Q_PROPERTY(QColor onColor2 MEMBER onColor2)
    Q_PROPERTY(QColor offColor1 MEMBER offColor1)
    Q_PROPERTY(QColor offColor2 MEMBER offColor2)
    Q_PROPERTY(QColor onColor3 MEMBER onColor3)
    Q_PROPERTY(QColor onColor4 MEMBER onColor4)
    Q_PROPERTY(QColor offColor3 MEMBER offColor3)
    Q_PROPERTY(QColor offColor4 MEMBER offColor4)
    Q_PROPERTY(int m_state READ state WRITE setState)

public:
    using status = int;

    // Colours and light source of the lamp face for one state.
    struct Look
    {
        QColor centre;
        QColor edge;
        QPointF focus;
    };

    explicit QLedIndicator(QWidget *parent = nullptr);
    ~QLedIndicator() override;

    status state() const { return m_state; }
    // Shows `state`; setting the state it shows already costs nothing.
    void setState(status state);
    // Shows `state`, then idle (1) `ms` after the last pulse: a stream of pulses keeps the lamp lit with
    // one timer and two paints in all, not a timer and two paints per pulse. Lamps whose pulses end
    // within a few milliseconds of each other go dark together.
    void pulse(status state, int ms = 300);

    Look lookFor(status state) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    QColor onColor1{0, 255, 0};
    QColor offColor1{0, 28, 0};
    QColor onColor2{0, 192, 0};
    QColor offColor2{142, 142, 142};
    QColor onColor3{255, 0, 0};
    QColor offColor3{28, 28, 28};
    QColor onColor4{192, 0, 0};
    QColor offColor4{128, 128, 128};
    status m_state = 0;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Face
    {
        Look look;
        QPixmap pixmap;
    };

    const QPixmap &background();
    const QPixmap &face(status state);
    void forgetLooks();
    void drawLamp(QPainter &painter, const Look &look) const;
    void endPulse();

    QPixmap m_background;
    Face m_faces[4]; // by state, any other state as 0
    QRect m_backgroundRect; // in the parent, where m_background was taken
    QTimer *m_pulseTimer = nullptr;
    qint64 m_idleAtMs = 0; // on the clock all lamps share
};
