#pragma once

#include <QObject>

class QWidget;

// Keeps a widget whose style sheet fills it with one opaque colour marked as filling itself, so that
// its updates repaint it alone and not its parent. A style sheet's polish clears that mark, so it is
// set again whenever the widget is shown or its style or palette changes.
class OpaqueFill : public QObject
{
public:
    static void keep(QWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit OpaqueFill(QWidget *widget);
    static void apply(QWidget *widget);
};
