#include "device/versionparser.h"

#include <QtTest>

class TestVersionParser : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
};

void TestVersionParser::parse_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("version");

    QTest::newRow("tq24_1v5_model24Version15") << "TQ24-1v5" << true << 24 << 15;
    QTest::newRow("tq20_1v0_model20Version10") << "TQ20-1v0" << true << 20 << 10;
    QTest::newRow("tq21") << "TQ21-2v3" << true << 21 << 23;
    QTest::newRow("pm_model404Version21") << "QD700-PM-2v1" << true << 404 << 21;
    QTest::newRow("t2Inserted_ignored") << "TQ24T2-1v5" << true << 24 << 15;
    QTest::newRow("t2Leading_ignored") << "T2TQ24-1v5" << true << 24 << 15;
    QTest::newRow("tqWinsOverQd700") << "QD700TQ22-1v1" << true << 22 << 11;
    QTest::newRow("tq23_parsedButRefusedByTheTable") << "TQ23-1v0" << true << 23 << 10;
    QTest::newRow("tq2A_modelNotNumeric") << "TQ2A-1v0" << false << 0 << 0;
    QTest::newRow("versionNotNumeric") << "TQ24-xv5" << false << 0 << 0;
    QTest::newRow("qd700WithoutPm") << "QD700-XX-1v0" << false << 0 << 0;
    QTest::newRow("neitherWord") << "AB24-1v5" << false << 0 << 0;
    QTest::newRow("lowerCaseSeries_refused") << "tq24-1v5" << false << 0 << 0;
    QTest::newRow("empty") << "" << false << 0 << 0;
}

void TestVersionParser::parse()
{
    QFETCH(QString, reply);
    QFETCH(bool, ok);
    const TqVersion parsed = parseTqVersion(reply);
    QCOMPARE(parsed.ok, ok);
    if (ok) {
        QTEST(parsed.model, "model");
        QTEST(parsed.version, "version");
    }
}

QTEST_APPLESS_MAIN(TestVersionParser)
#include "tst_versionparser.moc"
