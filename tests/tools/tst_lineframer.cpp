#include "tools/tq-sim/lineframer.h"

#include <QtTest>

using ByteList = QList<QByteArray>;

class TestLineFramer : public QObject
{
    Q_OBJECT
private slots:
    void feed_data();
    void feed();
};

void TestLineFramer::feed_data()
{
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<ByteList>("chunks");
    QTest::addColumn<ByteList>("lines");
    QTest::addColumn<QByteArray>("pending");
    QTest::addColumn<int>("overflows");

    QTest::newRow("feed_lineAcrossThreeReads_handedOnOnce")
        << 64 << ByteList{"ATC", "VER\r", "\n"} << ByteList{"ATCVER\r\n"} << QByteArray() << 0;
    QTest::newRow("feed_twoLinesInOneRead_bothInOrder")
        << 64 << ByteList{"ATCVER\r\nATCH\r\n"} << ByteList{"ATCVER\r\n", "ATCH\r\n"} << QByteArray() << 0;
    QTest::newRow("feed_lineAndHalf_tailKeptForNextRead")
        << 64 << ByteList{"ATCD\r\nATCOF", "F1"} << ByteList{"ATCD\r\n"} << QByteArray("ATCOFF1") << 0;
    QTest::newRow("feed_bareLf_endsLine")
        << 64 << ByteList{"ATCD\nATCH\n"} << ByteList{"ATCD\n", "ATCH\n"} << QByteArray() << 0;
    QTest::newRow("feed_nulInsideLine_keptInLine")
        << 64 << ByteList{QByteArray("AT\0C\r\n", 6)} << ByteList{QByteArray("AT\0C\r\n", 6)} << QByteArray()
        << 0;
    QTest::newRow("feed_overlongLineAcrossReads_droppedUpToLf")
        << 8 << ByteList{"0123456789", "ABCDEF", "GH\r\nATCD\r\n"} << ByteList{"ATCD\r\n"} << QByteArray()
        << 1;
    QTest::newRow("feed_overlongLineInOneRead_droppedNextKept")
        << 8 << ByteList{"0123456789AB\r\nATCH\r\n"} << ByteList{"ATCH\r\n"} << QByteArray() << 1;
    QTest::newRow("feed_lineOfExactBound_kept")
        << 8 << ByteList{"ATCOFF1\r", "\n"} << ByteList{"ATCOFF1\r\n"} << QByteArray() << 0;
}

void TestLineFramer::feed()
{
    QFETCH(int, maxLength);
    QFETCH(ByteList, chunks);
    QFETCH(ByteList, lines);
    QFETCH(QByteArray, pending);
    QFETCH(int, overflows);

    LineFramer framer(maxLength);
    ByteList got;
    for (const QByteArray &chunk : chunks)
        got += framer.feed(chunk);
    QCOMPARE(got, lines);
    QCOMPARE(framer.pending(), pending);
    QCOMPARE(framer.overflowCount(), overflows);
    QVERIFY(framer.pending().size() <= maxLength);
}

QTEST_APPLESS_MAIN(TestLineFramer)
#include "tst_lineframer.moc"
