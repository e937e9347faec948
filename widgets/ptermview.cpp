#include "widgets/ptermview.h"

#include <QColorDialog>
#include <QDebug>
#include <QFontDialog>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>

PTermView::PTermView(QWidget *parent)
    : QTextEdit(parent), m_font(QStringLiteral("Courier New"), 10, QFont::Normal, false),
      m_fontColor(230, 230, 230), m_backColor(95, 95, 95)
{
    document()->setMaximumBlockCount(kMaxLines);
    setFocusPolicy(Qt::StrongFocus);
    setReadOnly(true);
    setAcceptRichText(true);
    setTextInteractionFlags(Qt::TextEditorInteraction);
    document()->setUndoRedoEnabled(false);
    ensureCursorVisible();
}

void PTermView::moveToEnd()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    moveCursor(QTextCursor::End);
}

void PTermView::putData(const QByteArray &bytes)
{
    moveToEnd();
    QTextCursor cursor = textCursor();
    QByteArray pending;
    for (const char byte : bytes) {
        switch (byte) {
        case '\0':
        case '\r':
            break;
        case '\b':
            if (pending.isEmpty() && cursor.position() > 0) {
                cursor.deletePreviousChar();
                setTextCursor(cursor);
                ensureCursorVisible();
            }
            pending.chop(1);
            break;
        default:
            pending.append(byte);
        }
    }
    // Always plain text: a device line holding markup must show as typed.
    cursor.insertText(QString::fromUtf8(pending));
    setTextCursor(cursor);
    ensureCursorVisible();
}

QString PTermView::styleSheetFor(const QFont &font, const QColor &fontColor, const QColor &backColor)
{
    // The style sheet parser divides numeric weights by 8, so the toolkit's weight is scaled up.
    const QString size = font.pointSize() > 0 ? QString::number(font.pointSize()) + QLatin1String("pt ")
                                              : QString::number(font.pixelSize()) + QLatin1String("px ");
    return QLatin1String("QTextEdit { font:") +
           (font.style() == QFont::StyleItalic ? QLatin1String("italic ") : QLatin1String()) +
           QString::number(font.weight() * 8) + QLatin1Char(' ') + size + QLatin1Char('"') + font.family() +
           QLatin1String("\";") +
           QStringLiteral("color:rgb(%1,%2,%3);")
               .arg(fontColor.red())
               .arg(fontColor.green())
               .arg(fontColor.blue()) +
           QStringLiteral("background-color:rgb(%1,%2,%3); }")
               .arg(backColor.red())
               .arg(backColor.green())
               .arg(backColor.blue());
}

void PTermView::applyStyleSheet()
{
    setStyleSheet(styleSheetFor(m_font, m_fontColor, m_backColor));
}

void PTermView::changeFont()
{
    bool accepted = false;
    const QFont font = QFontDialog::getFont(&accepted, m_font, this, QString());
    if (!accepted)
        return;
    m_font = font;
    applyStyleSheet();
}

void PTermView::changeFontColor()
{
    pickColor(m_fontColor, tr("Font color"));
}

void PTermView::changeBackColor()
{
    pickColor(m_backColor, tr("Background color"));
}

void PTermView::pickColor(QColor &color, const QString &title)
{
    const QColor chosen = QColorDialog::getColor(color, this, title);
    if (!chosen.isValid())
        return;
    color = chosen;
    applyStyleSheet();
}

void PTermView::keyPressEvent(QKeyEvent *event)
{
    moveToEnd();
    emit keyInput(event->key(), event->text());
}

void PTermView::insertFromMimeData(const QMimeData *source)
{
    moveToEnd();
    const QString text = source->text();
    qDebug() << text;
    emit keyInput(Qt::Key_F35, text);
}

void PTermView::dragEnterEvent(QDragEnterEvent *) {}
void PTermView::dragMoveEvent(QDragMoveEvent *) {}
void PTermView::dragLeaveEvent(QDragLeaveEvent *) {}
void PTermView::dropEvent(QDropEvent *) {}
