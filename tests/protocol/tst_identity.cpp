// SPDX-License-Identifier: GPL-3.0-or-later
#include "Identity.h"
#include "NumberFormat.h"

#include <QTest>

Q_DECLARE_METATYPE(TIdentity)

namespace
{

TIdentity Id(const char* company, const char* model, int serial, QByteArray firmware)
{
    return {QByteArray(company), QByteArray(model), serial, firmware};
}

// What the fields held before the reply, so that kept values show.
const TIdentity Before = Id("OldCo", "OldModel", 99, "9.9");
const TIdentity Cleared = Id("", "", 0, "");

} // namespace

class TestIdentity : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
    void anyBytesAreSafe();
    void acceptedModel_data();
    void acceptedModel();
    void serialField_data();
    void serialField();
};

void TestIdentity::parse_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<TIdentity>("expected");

    auto row = [](const char* name, QByteArray reply, TIdentity expected) {
        QTest::newRow(name) << reply << expected;
    };
    row("full reply", "Maker A,2740,10432,3.1.2", Id("Maker A", "2740", 10432, "3.1.2"));
    row("firmware keeps commas", "MakerB,2640,7,1.0,beta", Id("MakerB", "2640", 7, "1.0,beta"));
    row("model with leading blank", "MakerB, 2740,7,1.0", Id("MakerB", " 2740", 7, "1.0"));
    row("serial not an integer keeps serial and firmware", "MakerB,2740,12A,1.0",
        Id("MakerB", "2740", 99, "9.9"));
    row("4 characters clears all", "2740", Cleared);
    row("10 characters clears all", "AB,2740,12", Cleared);
    row("empty clears all", "", Cleared);
    row("11 characters, no third comma", "AB,2740,123", Id("AB", "2740", 99, "9.9"));
    row("length counts after the trim", "AB,2740,12 \r\n\t", Cleared);
    row("trimmed reply of 11", "AB,2740,123\r\n", Id("AB", "2740", 99, "9.9"));
    row("fields right-trimmed, leading blanks kept", "  Co \t,2740\x01, 42 ,fw  x",
        Id("  Co", "2740", 42, "fw  x"));
    row("firmware leading blank kept", "Co,2740,1, fw 1", Id("Co", "2740", 1, " fw 1"));
    row("empty firmware", "Company,2740,5,", Id("Company", "2740", 5, ""));
    row("no comma at all", "ABCDEFGHIJKL", Id("", "", 99, "9.9"));
    row("one comma", "ABCDEF,GHIJKL", Id("ABCDEF", "", 99, "9.9"));
    row("only commas", ",,,,,,,,,,,,", Id("", "", 99, "9.9"));
    row("empty leading fields", ",,5,firmware", Id("", "", 5, "firmware"));
    row("signed serial", "Co,2740,-7,fw", Id("Co", "2740", -7, "fw"));
    row("plus sign", "Co,2740,+7,fw", Id("Co", "2740", 7, "fw"));
    row("serial 32-bit max", "Co,2740,2147483647,fw", Id("Co", "2740", 2147483647, "fw"));
    row("serial 32-bit min", "Co,2740,-2147483648,fw",
        Id("Co", "2740", std::numeric_limits<int>::min(), "fw"));
    row("serial above 32 bits", "Co,2740,2147483648,fw", Id("Co", "2740", 99, "9.9"));
    row("serial below 32 bits", "Co,2740,-2147483649,fw", Id("Co", "2740", 99, "9.9"));
    row("serial of 20 digits", "Co,2740,99999999999999999999,fw", Id("Co", "2740", 99, "9.9"));
    row("hex serial", "Co,2740,0x1F,fw", Id("Co", "2740", 99, "9.9"));
    row("decimal serial", "Co,2740,1.5,fw", Id("Co", "2740", 99, "9.9"));
    row("blank serial", "Co,2740,   ,fw", Id("Co", "2740", 99, "9.9"));
    row("8-bit bytes", "\xC4\xD6,27\xA0,1,\xFF\x80 fw\xA0",
        Id("\xC4\xD6", "27\xA0", 1, "\xFF\x80 fw\xA0"));
    row("NUL inside a field", QByteArray("Co\0X,2740,3,fw", 14),
        TIdentity{QByteArray("Co\0X", 4), "2740", 3, "fw"});
}

void TestIdentity::parse()
{
    QFETCH(QByteArray, reply);
    QFETCH(TIdentity, expected);
    TIdentity id = Before;
    ParseIdentity(reply, id);
    QCOMPARE(id.CompanyName, expected.CompanyName);
    QCOMPARE(id.ModelName, expected.ModelName);
    QCOMPARE(id.SerialNumber, expected.SerialNumber);
    QCOMPARE(id.FirmwareVersion, expected.FirmwareVersion);
}

// Long and odd replies: a view into the middle of a larger buffer, so a read
// past the end of the reply would pick up the bytes behind it.
void TestIdentity::anyBytesAreSafe()
{
    QByteArray big(1 << 20, 'x');
    big[3] = ',';
    big[9] = ',';
    big[12] = ',';
    big.replace(10, 2, "42");
    TIdentity id = Before;
    ParseIdentity(big, id);
    QCOMPARE(id.CompanyName, QByteArray("xxx"));
    QCOMPARE(id.ModelName, QByteArray("xxxxx"));
    QCOMPARE(id.SerialNumber, 42);
    QCOMPARE(id.FirmwareVersion.size(), big.size() - 13);

    const QByteArray buffer = "Co,2740,12,fw,7";
    id = Before;
    ParseIdentity(QByteArrayView(buffer).first(11), id); // "Co,2740,12," then "fw,7" behind
    QCOMPARE(id, Id("Co", "2740", 12, ""));
    id = Before;
    ParseIdentity(QByteArrayView(buffer).first(10), id);
    QCOMPARE(id, Cleared);

    // Sixteen equal bytes: all blank or control (0..32) trims to nothing and clears;
    // anything else has no serial field that reads, so only the names change (to empty).
    for (int b = 0; b < 256; ++b) {
        const QByteArray reply(16, char(b));
        id = Before;
        ParseIdentity(reply, id);
        TIdentity expected = Before;
        expected.CompanyName.clear();
        expected.ModelName.clear();
        QVERIFY2(id == (b <= 32 ? Cleared : expected), qPrintable(QString::number(b)));
    }
}

void TestIdentity::acceptedModel_data()
{
    QTest::addColumn<QByteArray>("model");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("2740") << QByteArray("2740") << true;
    QTest::newRow("2640") << QByteArray("2640") << true;
    QTest::newRow("leading blank") << QByteArray(" 2740") << false;
    QTest::newRow("extra digit") << QByteArray("27400") << false;
    QTest::newRow("trailing blank") << QByteArray("2640 ") << false;
    QTest::newRow("other model") << QByteArray("2540") << false;
    QTest::newRow("prefix") << QByteArray("274") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestIdentity::acceptedModel()
{
    QFETCH(QByteArray, model);
    QFETCH(bool, accepted);
    QCOMPARE(IsAcceptedModel(model), accepted);
}

void TestIdentity::serialField_data()
{
    // The same reader as replies and the production boxes: "\t5" is 5 everywhere.
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << QByteArray("10432") << true << 10432;
    QTest::newRow("leading zeros") << QByteArray("007") << true << 7;
    QTest::newRow("leading blanks") << QByteArray("   -5") << true << -5;
    QTest::newRow("leading tab") << QByteArray("\t5") << true << 5;
    QTest::newRow("tab and space") << QByteArray(" \t+5") << true << 5;
    QTest::newRow("blank after sign") << QByteArray("- 5") << false << 0;
    QTest::newRow("sign only") << QByteArray("-") << false << 0;
    QTest::newRow("empty") << QByteArray() << false << 0;
    QTest::newRow("trailing junk") << QByteArray("5x") << false << 0;
    QTest::newRow("thousands separator") << QByteArray("1 000") << false << 0;
    QTest::newRow("exponent") << QByteArray("1e3") << false << 0;
    QTest::newRow("max") << QByteArray("2147483647") << true << 2147483647;
    QTest::newRow("min") << QByteArray("-2147483648") << true << std::numeric_limits<int>::min();
    QTest::newRow("max+1") << QByteArray("2147483648") << false << 0;
    QTest::newRow("huge") << QByteArray(400, '9') << false << 0;
}

void TestIdentity::serialField()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    TIdentity id;
    id.SerialNumber = -123;
    id.FirmwareVersion = "old";
    ParseIdentity("Acme Corp,2740," + text + ",1.0", id);
    QCOMPARE(id.SerialNumber, ok ? value : -123);
    QCOMPARE(id.FirmwareVersion, QByteArray(ok ? "1.0" : "old"));
    // A reply reads the same text as the same number.
    const auto reply = NumberFormat::ParseInt32(text);
    QCOMPARE(reply.has_value(), ok);
}

QTEST_GUILESS_MAIN(TestIdentity)
#include "tst_identity.moc"
