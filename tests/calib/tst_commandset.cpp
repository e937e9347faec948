#include "calib/commandset.h"
#include "chart/chartmath.h"

#include <QtTest>

// The text forms of commands and replies, as the device sees and sends them.
class TestCommandSet : public QObject
{
    Q_OBJECT
private slots:
    void commandTexts();
    void replyValue_data();
    void replyValue();
    void liveFields_data();
    void liveFields();
    void chartValue();
};

void TestCommandSet::commandTexts()
{
    QCOMPARE(Cmd::query(Cmd::ATCOFF5), QStringLiteral("ATCOFF5\r\n"));
    QCOMPARE(Cmd::decimal2(0.005), QStringLiteral("0.01"));
    QCOMPARE(Cmd::decimal2(-1000000.0), QStringLiteral("-1000000.00"));
    // Every identifier in use has its own word; markers and gaps have none.
    QSet<QString> words;
    for (int id = Cmd::NoCommand; id <= Cmd::ERROR_SEQ; ++id) {
        const QString word = Cmd::word(id);
        const bool unassigned = id <= 1 || id == 18 || id >= Cmd::END_SEQ;
        QCOMPARE(word.isEmpty(), unassigned);
        QVERIFY(unassigned || (word.startsWith(QLatin1String("ATC")) && !words.contains(word)));
        words.insert(word);
    }
}

void TestCommandSet::replyValue_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("value");
    QTest::newRow("blank removed upstream") << "ATCOFF112.5" << "ATCOFF1" << "12.5";
    QTest::newRow("echoed query") << "ATCOFF1ATCOFF112.5" << "ATCOFF1" << "12.5";
    QTest::newRow("noise before the word") << ">>ATCMODE1" << "ATCMODE" << "1";
    QTest::newRow("no value") << "ATCOFF1" << "ATCOFF1" << "";
    QTest::newRow("word absent") << "ATCOFF212.5" << "ATCOFF1" << "";
    QTest::newRow("mode word inside the Modbus word") << "ATCMODID5" << "ATCMODID" << "5";
    QTest::newRow("action ok") << "ATCFTRSTOK" << "ATCFTRST" << "OK";
}

void TestCommandSet::replyValue()
{
    QFETCH(QString, line);
    QFETCH(QString, word);
    QFETCH(QString, value);
    QCOMPARE(Cmd::replyValue(line, word), value);
}

void TestCommandSet::liveFields_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("six") << "ATCH5,6,7,8,9,10" << 6 << QStringList{"5", "6", "7", "8", "9", "10"};
    QTest::newRow("too few: all blank") << "ATCH1,2,3" << 6 << QStringList{"", "", "", "", "", ""};
    QTest::newRow("empty fields kept") << "ATCH1,,3,----,,6" << 6 << QStringList{"1", "", "3", "----", "", "6"};
    QTest::newRow("echoed keyword") << "ATCHATCH1,2" << 2 << QStringList{"1", "2"};
    QTest::newRow("nothing after keyword") << "ATCD" << 2 << QStringList{"", ""};
}

void TestCommandSet::liveFields()
{
    QFETCH(QString, line);
    QFETCH(int, count);
    QFETCH(QStringList, fields);
    const QString keyword = line.startsWith(QLatin1String("ATCH")) ? QStringLiteral("ATCH") : QStringLiteral("ATCD");
    QCOMPARE(Cmd::liveFields(line, keyword, count), fields);
}

void TestCommandSet::chartValue()
{
    QCOMPARE(Cmd::chartValue(QStringLiteral("-12.5")), -12.5);
    QCOMPARE(Cmd::chartValue(QStringLiteral("1x2")), 0.0);
    QCOMPARE(Cmd::chartValue(QStringLiteral("a----b")), Chart::NoValue);
}

QTEST_APPLESS_MAIN(TestCommandSet)
#include "tst_commandset.moc"
