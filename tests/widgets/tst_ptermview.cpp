#include "widgets/ptermview.h"

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>

class TstPTermView : public QObject
{
    Q_OBJECT

private slots:
    void putData_bytes_showsTerminalText_data();
    void putData_bytes_showsTerminalText();
    void putData_401Lines_firstLineGone();
    void userInput_emitsKeyInput_insertsNothing();
    void applyStyleSheet_members_buildsText_data();
    void applyStyleSheet_members_buildsText();
};

void TstPTermView::putData_bytes_showsTerminalText_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("backspace over pending") << QByteArray() << QByteArray("AB\bC") << "AC";
    QTest::newRow("lone backspace joins lines") << QByteArray("one\n") << QByteArray("\btwo") << "onetwo";
    QTest::newRow("backspace on empty view") << QByteArray() << QByteArray("\b") << "";
    QTest::newRow("backspace drops only pending") << QByteArray("x") << QByteArray("ab\b\bc") << "xc";
    QTest::newRow("cr and nul dropped") << QByteArray() << QByteArray("a\r\n\0b", 5) << "a\nb";
    QTest::newRow("lone cr dropped") << QByteArray("x\r") << QByteArray("\ry") << "xy";
    QTest::newRow("markup shown literally")
        << QByteArray("<i>") << QByteArray("<b>x</b>&amp;") << "<i><b>x</b>&amp;";
    QTest::newRow("utf8 decoded") << QByteArray() << QByteArray("\xc2\xb5V")
                                  << QString::fromUtf8("\xc2\xb5V");
}

void TstPTermView::putData_bytes_showsTerminalText()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    PTermView view;
    view.putData(before);
    // Received text always goes to the end, wherever the user left the cursor.
    view.moveCursor(QTextCursor::Start);
    view.putData(bytes);
    QCOMPARE(view.toPlainText(), shown);
}

void TstPTermView::putData_401Lines_firstLineGone()
{
    PTermView view;
    for (int i = 1; i <= 401; ++i)
        view.putData(QByteArray("line ") + QByteArray::number(i) + "\r\n");
    QVERIFY(view.document()->blockCount() <= 400);
    const QStringList lines = view.toPlainText().split('\n');
    QVERIFY(!lines.contains("line 1"));
    QVERIFY(lines.contains("line 2") || lines.contains("line 3"));
    QVERIFY(lines.contains("line 401"));
}

void TstPTermView::userInput_emitsKeyInput_insertsNothing()
{
    PTermView view;
    view.putData("log\n");
    QSignalSpy spy(&view, &PTermView::keyInput);
    QTest::keyClicks(&view, "a");
    QTest::keyClick(&view, Qt::Key_Backspace);
    QApplication::clipboard()->setText("ATCVER");
    view.paste();
    QCOMPARE(view.toPlainText(), QString("log\n"));
    const QList<QList<QVariant>> expected{
        {int(Qt::Key_A), "a"}, {int(Qt::Key_Backspace), "\b"}, {int(Qt::Key_F35), "ATCVER"}};
    QCOMPARE(QList<QList<QVariant>>(spy), expected);
}

void TstPTermView::applyStyleSheet_members_buildsText_data()
{
    QTest::addColumn<QFont>("font");
    QTest::addColumn<QString>("styleSheet");
    QTest::newRow("initial members") << QFont()
                                     << "QTextEdit { font:400 10pt \"Courier New\";"
                                        "color:rgb(230,230,230);background-color:rgb(95,95,95); }";
    QTest::newRow("italic bold chosen") << QFont("Mono", 12, QFont::Bold, true)
                                        << "QTextEdit { font:italic 600 12pt \"Mono\";"
                                           "color:rgb(1,2,3);background-color:rgb(4,5,6); }";
}

void TstPTermView::applyStyleSheet_members_buildsText()
{
    QFETCH(QFont, font);
    QFETCH(QString, styleSheet);
    PTermView view;
    QVERIFY(view.styleSheet().isEmpty());
    const QFont chosen = font == QFont() ? view.termFont() : font;
    if (font != QFont()) {
        view.setTermFont(font);
        view.setFontColor(QColor(1, 2, 3));
        view.setBackColor(QColor(4, 5, 6));
    }
    view.applyStyleSheet();
    QCOMPARE(view.styleSheet(), styleSheet);
    // The style sheet must give back the chosen weight and size.
    view.ensurePolished();
    QCOMPARE(view.font().weight(), chosen.weight());
    QCOMPARE(view.font().pointSize(), chosen.pointSize());
}

QTEST_MAIN(TstPTermView)
#include "tst_ptermview.moc"
