#pragma once

#include <QColor>
#include <QFont>
#include <QTextEdit>

// Small terminal-style text view: received bytes are appended as plain text (backspace
// erases, CR and NUL are dropped), the user's keys and pastes are reported, never inserted.
class PTermView : public QTextEdit
{
    Q_OBJECT

public:
    // The view keeps the last lines only, so a long run does not grow it without limit.
    static constexpr int kMaxLines = 400;

    explicit PTermView(QWidget *parent = nullptr);

    void putData(const QByteArray &bytes);

    // Style sheet text for the given font and colours.
    static QString styleSheetFor(const QFont &font, const QColor &fontColor, const QColor &backColor);
    void applyStyleSheet();

    QFont termFont() const { return m_font; }
    void setTermFont(const QFont &font) { m_font = font; }
    QColor fontColor() const { return m_fontColor; }
    void setFontColor(const QColor &color) { m_fontColor = color; }
    QColor backColor() const { return m_backColor; }
    void setBackColor(const QColor &color) { m_backColor = color; }

signals:
    void keyInput(int key, QString text);

public slots:
    void changeFont();
    void changeFontColor();
    void changeBackColor();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void moveToEnd();
    void pickColor(QColor &color, const QString &title);

    QFont m_font;
    QColor m_fontColor;
    QColor m_backColor;
};
