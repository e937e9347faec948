#include "device/linesplitter.h"

#include <QtTest>

class TestLineSplitter : public QObject
{
    Q_OBJECT
private slots:
    void feed_data();
    void feed();
    void feed_deviceNeverSendsLf_boundedAndHandedOn();
    void feed_overlongLineEndsInKorean_cutBetweenCharacters();
    void reset_dropsUnfinishedLine();
};

// Each row: the chunks as they arrive, then the lines handed on over all of them.
void TestLineSplitter::feed_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("twoLinesInOneChunk_inOrder") << QList<QByteArray>{"ATCOFF1 1.50\r\nATCOFF2 -2.00\r\n"}
                                                << QStringList{"ATCOFF11.50", "ATCOFF2-2.00"};
    QTest::newRow("lineAcrossTwoReads_handedOnOnce")
        << QList<QByteArray>{"ATCH 12,3", "4,56\r\n"} << QStringList{"ATCH12,34,56"};
    QTest::newRow("lineAcrossThreeReads_crAndLfSplit")
        << QList<QByteArray>{"ATC", "VER TQ24-1v5\r", "\n"} << QStringList{"ATCVERTQ24-1v5"};
    QTest::newRow("onlyCrLf_nothing") << QList<QByteArray>{"\r\n"} << QStringList{};
    QTest::newRow("emptyLinesBetween_skipped")
        << QList<QByteArray>{"\r\n\r\nOK\r\n\n \r\n"} << QStringList{"OK"};
    QTest::newRow("lfWithoutCr_endsLine") << QList<QByteArray>{"A\nB\n"} << QStringList{"A", "B"};
    QTest::newRow("crInsideLine_dropped") << QList<QByteArray>{"AT\rCD\r\n"} << QStringList{"ATCD"};
    QTest::newRow("nul_droppedAndLaterLinesKept")
        << QList<QByteArray>{QByteArray("ATCD 1\0,2\r\nATCH 3\r\n", 19)} << QStringList{"ATCD1,2", "ATCH3"};
    QTest::newRow("blanksAndTabs_onlyBlanksRemoved")
        << QList<QByteArray>{"A B\tC\r\n"} << QStringList{"AB\tC"};
    QTest::newRow("utf8CharacterSplitAcrossReads_decodedWhole")
        << QList<QByteArray>{"ATCH \xC2", "\xB5V\r\n"} << QStringList{QString::fromUtf8("ATCH\xC2\xB5V")};
    QTest::newRow("lineEndArrivesLater_wholeLineThenNext")
        << QList<QByteArray>{"ATCEXTM 17", "00000000\r\nATCUSED", " 12\n"}
        << QStringList{"ATCEXTM1700000000", "ATCUSED12"};
    QTest::newRow("tailWithoutLf_keptBack") << QList<QByteArray>{"ATCD 1\r\nATCD 2"} << QStringList{"ATCD1"};
}

void TestLineSplitter::feed()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QStringList, lines);
    LineSplitter splitter;
    QStringList got;
    for (const QByteArray &chunk : chunks)
        got += splitter.feed(chunk);
    QCOMPARE(got, lines);
}

void TestLineSplitter::feed_deviceNeverSendsLf_boundedAndHandedOn()
{
    LineSplitter splitter;
    QStringList got;
    bool overflowed = false;
    for (int i = 0; i < 100; ++i) {
        got += splitter.feed(QByteArray(1000, 'x'));
        overflowed = overflowed || splitter.lastFeedOverflowed();
        QVERIFY(splitter.pendingSize() < 4096 + 1);
    }
    QVERIFY(overflowed);
    QCOMPARE(got.join(QString()).size() + splitter.pendingSize(), 100000);
    for (const QString &piece : got)
        QVERIFY(piece.size() <= 4096);
    // A normal line after the flood is whole again.
    splitter.reset();
    QCOMPARE(splitter.feed("ATCD 1,2\r\n"), QStringList{"ATCD1,2"});
    QVERIFY(!splitter.lastFeedOverflowed());
}

void TestLineSplitter::feed_overlongLineEndsInKorean_cutBetweenCharacters()
{
    const QByteArray korean = QStringLiteral("\uD55C\uAE00").toUtf8(); // two 3-byte characters
    LineSplitter splitter;
    const QStringList got = splitter.feed(QByteArray(4094, 'x') + korean + "\n");
    QCOMPARE(got.size(), 2);
    QCOMPARE(got.at(0), QString(4094, QLatin1Char('x')));
    QCOMPARE(got.at(1), QString::fromUtf8(korean));
}

void TestLineSplitter::reset_dropsUnfinishedLine()
{
    LineSplitter splitter;
    splitter.feed("ATCOFF1 9");
    splitter.reset();
    QCOMPARE(splitter.feed("ATCVER TQ24-1v5\r\n"), QStringList{"ATCVERTQ24-1v5"});
}

QTEST_APPLESS_MAIN(TestLineSplitter)
#include "tst_linesplitter.moc"
