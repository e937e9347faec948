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
    void chartValue_data();
    void chartValue();
};

void TestCommandSet::commandTexts()
{
    QCOMPARE(Cmd::query(Cmd::ATCMODE), QStringLiteral("ATCMODE\r\n"));
    QCOMPARE(Cmd::query(Cmd::ATCOFF5), QStringLiteral("ATCOFF5\r\n"));
    QCOMPARE(Cmd::write(Cmd::ATCOFF1, Cmd::decimal2(1000000.0)), QStringLiteral("ATCOFF1 1000000.00\r\n"));
    QCOMPARE(Cmd::write(Cmd::ATCOFF2, Cmd::decimal2(-0.25)), QStringLiteral("ATCOFF2 -0.25\r\n"));
    QCOMPARE(Cmd::decimal2(0.0), QStringLiteral("0.00"));
    QCOMPARE(Cmd::decimal2(-1000000.0), QStringLiteral("-1000000.00"));
    QCOMPARE(Cmd::decimal2(12.5), QStringLiteral("12.50"));
    QCOMPARE(Cmd::decimal2(0.005), QStringLiteral("0.01"));
    QCOMPARE(Cmd::offsetId(3), int(Cmd::ATCOFF3));
    QCOMPARE(Cmd::offsetId(6), int(Cmd::NoCommand));
    // Every identifier in use has its own word; markers and gaps have none.
    QSet<QString> words;
    for (int id = Cmd::NoCommand; id <= Cmd::ERROR_SEQ; ++id) {
        const QString word = Cmd::word(id);
        const bool unassigned = id == 0 || id == 1 || id == 18 || id >= Cmd::END_SEQ;
        QCOMPARE(word.isEmpty(), unassigned);
        if (!unassigned) {
            QVERIFY(word.startsWith(QLatin1String("ATC")));
            QVERIFY(!words.contains(word));
            words.insert(word);
        }
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
    QTest::newRow("largest stamp") << "ATCEXTM4294967295" << "ATCEXTM" << "4294967295";
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
    QTest::newRow("more than needed") << "ATCH1,2,3,4,5,6,7" << 6 << QStringList{"1", "2", "3", "4", "5", "6", "7"};
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

void TestCommandSet::chartValue_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("value");
    QTest::newRow("number") << "12.5" << 12.5;
    QTest::newRow("negative") << "-3" << -3.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("garbage") << "1x2" << 0.0;
    QTest::newRow("no value") << "----" << Chart::NoValue;
    QTest::newRow("no value inside") << "a----b" << Chart::NoValue;
}

void TestCommandSet::chartValue()
{
    QFETCH(QString, field);
    QFETCH(double, value);
    QCOMPARE(Cmd::chartValue(field), value);
}

QTEST_APPLESS_MAIN(TestCommandSet)
#include "tst_commandset.moc"
