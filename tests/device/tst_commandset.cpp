#include "device/commandset.h"

#include <QtTest>

// The text forms of commands and replies, as the device sees and sends them.
class TestCommandSet : public QObject
{
    Q_OBJECT
private slots:
    void commandTexts();
    void replyValue_data();
    void replyValue();
    void liveLine_data();
    void liveLine();
    void number_readsOnlyWholeFiniteNumbers();
    void containsWord_notInsideLongerWords();
    void showLineEnds_marksCrLfPairsOnly();
};

void TestCommandSet::commandTexts()
{
    QCOMPARE(Cmd::query(Cmd::ATCOFF5), QStringLiteral("ATCOFF5\r\n"));
    QCOMPARE(Cmd::write(Cmd::ATCSPAN, QStringLiteral("1013")), QStringLiteral("ATCSPAN 1013\r\n"));
    QCOMPARE(Cmd::decimal2(0.005), QStringLiteral("0.01"));
    QCOMPARE(Cmd::decimal2(-1000000.0), QStringLiteral("-1000000.00"));
}

void TestCommandSet::replyValue_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("value");
    QTest::newRow("blank removed upstream") << "ATCOFF112.5"
                                            << "ATCOFF1"
                                            << "12.5";
    QTest::newRow("echoed query") << "ATCOFF1ATCOFF112.5"
                                  << "ATCOFF1"
                                  << "12.5";
    QTest::newRow("echoed write") << "ATCOFF12.50ATCOFF12.50"
                                  << "ATCOFF1"
                                  << "2.50";
    QTest::newRow("list") << "ATCCSP400,12.5,56.25,1"
                          << "ATCCSP"
                          << "400,12.5,56.25,1";
    QTest::newRow("noise before the word") << ">>ATCMODE1"
                                           << "ATCMODE"
                                           << "1";
    QTest::newRow("no value") << "ATCOFF1"
                              << "ATCOFF1"
                              << "";
    QTest::newRow("word absent") << "ATCOFF212.5"
                                 << "ATCOFF1"
                                 << "";
    QTest::newRow("mode word inside the Modbus word") << "ATCMODID5"
                                                      << "ATCMODID"
                                                      << "5";
    QTest::newRow("action ok") << "ATCFTRSTOK"
                               << "ATCFTRST"
                               << "OK";
}

void TestCommandSet::replyValue()
{
    QFETCH(QString, line);
    QFETCH(QString, word);
    QFETCH(QString, value);
    QCOMPARE(Cmd::replyValue(line, word), value);
}

// Whether a line is a live line, and its fields; a missing field stays missing.
void TestCommandSet::liveLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("live");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("six") << "ATCH5,6,7,8,9,10" << true << QStringList{"5", "6", "7", "8", "9", "10"};
    QTest::newRow("empty and no-value fields kept")
        << "ATCH1,,-3,----" << true << QStringList{"1", "", "-3", "----"};
    QTest::newRow("short") << "ATCD12.5" << true << QStringList{"12.5"};
    QTest::newRow("starts with a point") << "ATCD.5,1" << true << QStringList{".5", "1"};
    QTest::newRow("no-value first field") << "ATCD----,0.8" << true << QStringList{"----", "0.8"};
    QTest::newRow("echoed poll") << "ATCDATCD1,2" << true << QStringList{"1", "2"};
    QTest::newRow("late filter reply") << "ATCDGFIL32" << false << QStringList{};
    QTest::newRow("poll word alone") << "ATCD" << false << QStringList{};
    QTest::newRow("other poll word") << "ATCH1,2" << false << QStringList{};
}

void TestCommandSet::liveLine()
{
    QFETCH(QString, line);
    QFETCH(bool, live);
    QFETCH(QStringList, fields);
    const QString word =
        line.startsWith(QLatin1String("ATCH")) && live ? QStringLiteral("ATCH") : QStringLiteral("ATCD");
    QCOMPARE(Cmd::isLiveLine(line, word), live);
    if (live)
        QCOMPARE(Cmd::liveFields(line, word), fields);
}

void TestCommandSet::number_readsOnlyWholeFiniteNumbers()
{
    QCOMPARE(Cmd::number(QStringLiteral("-12.5")).value_or(0), -12.5);
    QCOMPARE(Cmd::number(QStringLiteral("1000000.00")).value_or(0), 1000000.0);
    for (const char *text : {"", "----", "nan", "inf", "12OK", "1,5", "ERROR"})
        QVERIFY2(!Cmd::number(QLatin1String(text)), text);
    QCOMPARE(Cmd::integer(QStringLiteral("4294967295")).value_or(0), Q_INT64_C(4294967295));
    QVERIFY(!Cmd::integer(QStringLiteral("1.5")));
}

void TestCommandSet::containsWord_notInsideLongerWords()
{
    QVERIFY(Cmd::containsWord(QStringLiteral("ATCC"), QStringLiteral("ATCC")));
    QVERIFY(Cmd::containsWord(QStringLiteral("ATCFOK"), QStringLiteral("ATCF")));
    QVERIFY(Cmd::containsWord(QStringLiteral("ATCCU1ATCC"), QStringLiteral("ATCC")));
    for (const char *line : {"ATCCU1", "ATCCAL400", "ATCCSP1,2,3,4", "ATCCZR12.5"})
        QVERIFY2(!Cmd::containsWord(QLatin1String(line), QStringLiteral("ATCC")), line);
}

void TestCommandSet::showLineEnds_marksCrLfPairsOnly()
{
    QCOMPARE(Cmd::showLineEnds("ATCOFF1\r\n"), QStringLiteral("ATCOFF1[CR][LF]"));
    QCOMPARE(Cmd::showLineEnds("A\r\nB\nC\r"), QStringLiteral("A[CR][LF]B\nC\r"));
}

QTEST_APPLESS_MAIN(TestCommandSet)
#include "tst_commandset.moc"
