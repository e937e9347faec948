#include "app/discovery/propertyvalue.h"

#include <QtTest>

namespace {

const QString nul = QString(QChar(0));

// UTF-16 little-endian bytes, as the registry stores texts.
QByteArray le(const QString &text)
{
    QByteArray bytes;
    for (QChar c : text)
        bytes.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    return bytes;
}

QString describe(const PropertyValue &value)
{
    QStringList list;
    for (const std::u16string &text : value.list)
        list << QString::fromStdU16String(text);
    // Indexed by Kind: Empty, Text, TextList, Number.
    const QString byKind[] = {"empty", "text:" + QString::fromStdU16String(value.text),
                              "list:" + list.join('|'), "number:" + QString::number(value.number, 16)};
    return byKind[int(value.kind)];
}

// A heap copy of exactly the given size, so that a read past the end shows under a memory checker.
PropertyValue convert(bool deviceProperty, quint32 type, const QByteArray &bytes)
{
    std::vector<std::uint8_t> buffer(bytes.begin(), bytes.end());
    return deviceProperty ? convertDevicePropertyValue(type, buffer.data(), buffer.size())
                          : convertRegistryValue(type, buffer.data(), buffer.size());
}

} // namespace

class TestPropertyValue : public QObject
{
    Q_OBJECT

private slots:
    void convert_byType_givesValue_data();
    void convert_byType_givesValue();
    void propertyText_byKind_givesTextAndList();
};

void TestPropertyValue::convert_byType_givesValue_data()
{
    QTest::addColumn<bool>("deviceProperty");
    QTest::addColumn<quint32>("type");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    const QString id = "USB\\VID_04D8&PID_000A&REV_0100";
    QTest::newRow("sz_textAfterNul_ignored") << false << 1u << le(id + nul + "CD" + nul) << "text:" + id;
    QTest::newRow("sz_unterminatedOddSize_endsAtBuffer") << false << 1u << le("ABC") + 'D' << "text:ABC";
    QTest::newRow("expandSz_nonAscii_likeSz") << false << 2u << le("µV" + nul) << "text:µV";
    QTest::newRow("multiSz_emptyText_endsList")
        << false << 7u << le(id + nul + "B" + nul + nul + "C" + nul) << "list:" + id + "|B";
    QTest::newRow("multiSz_lastUnterminated_kept")
        << false << 7u << le("A" + nul + "BC") + 'D' << "list:A|BC";
    QTest::newRow("dword_littleEndian")
        << false << 4u << QByteArray::fromHex("0102030405") << "number:4030201";
    QTest::newRow("dwordBigEndian_readAsStored")
        << false << 5u << QByteArray::fromHex("00000001") << "number:1000000";
    QTest::newRow("dword_threeBytes_empty") << false << 4u << QByteArray::fromHex("010203") << "empty";
    QTest::newRow("binary_allUnitsWithNuls")
        << false << 3u << le("A" + nul + "B") + 'C' << "text:A" + nul + "B";
    QTest::newRow("none_likeBinary") << false << 0u << le("X" + nul) << "text:X" + nul;
    QTest::newRow("qword_empty") << false << 11u << QByteArray(8, '\1') << "empty";
    QTest::newRow("devString_upToNul")
        << true << 0x12u << le("TQ_SERIES__A" + nul + "x") << "text:TQ_SERIES__A";
    QTest::newRow("devStringList_texts") << true << 0x2012u << le("A" + nul + "B" + nul + nul) << "list:A|B";
    QTest::newRow("devUint32_empty") << true << 0x7u << QByteArray::fromHex("01000000") << "empty";
}

void TestPropertyValue::convert_byType_givesValue()
{
    QFETCH(bool, deviceProperty);
    QFETCH(quint32, type);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(describe(convert(deviceProperty, type, bytes)), expected);
}

void TestPropertyValue::propertyText_byKind_givesTextAndList()
{
    using List = std::vector<std::u16string>;
    const PropertyValue text = convert(false, 1u, le("COM5" + nul));
    QVERIFY(propertyText(text) == u"COM5" && propertyTextList(text) == List{u"COM5"});
    const PropertyValue number = convert(false, 4u, QByteArray::fromHex("2a000000"));
    QVERIFY(propertyText(number) == u"42" && propertyTextList(number).empty());
    QVERIFY(propertyText(convert(false, 7u, le("A" + nul + nul))) == u"A");
    const PropertyValue two = convert(false, 7u, le("A" + nul + "B" + nul));
    QVERIFY(propertyText(two).empty() && propertyTextList(two) == (List{u"A", u"B"}));
}

QTEST_GUILESS_MAIN(TestPropertyValue)
#include "tst_propertyvalue.moc"
