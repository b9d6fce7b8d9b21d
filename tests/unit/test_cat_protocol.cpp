// The radio's number formats: tuning ranges, BCD packing, mode texts and
// reply decoding, as the FT-847's CAT reference lays them out.

#include "cat_protocol.h"
#include "frequency_display.h"

#include <QTest>

using cat::Frequency10Hz;

class TestCatProtocol : public QObject {
    Q_OBJECT
private slots:
    void rangeEnds_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("inRange");
        const QList<QPair<int, bool>> cases{
            {9999, false},     {10000, true},     {7600000, true},   {7600001, false},
            {10799999, false}, {10800000, true},  {17400000, true},  {17400001, false},
            {41999999, false}, {42000000, true},  {51200000, true},  {51200001, false},
            {0, false},        {-1420000, false}, {INT32_MIN, false}, {INT32_MAX, false},
        };
        for (const auto& [value, in] : cases)
            QTest::addRow("%d", value) << value << in;
    }
    void rangeEnds()
    {
        QFETCH(int, value);
        QFETCH(bool, inRange);
        QCOMPARE(cat::InTuningRange(value), inRange);
        QCOMPARE(cat::PackFrequency(value).has_value(), inRange);
    }

    void packing_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("14.200.00") << 1420000 << QByteArray::fromHex("01420000");
        QTest::newRow("433.425") << 43342500 << QByteArray::fromHex("43342500");
        QTest::newRow("145.575") << 14557500 << QByteArray::fromHex("14557500");
        QTest::newRow("1.825") << 182500 << QByteArray::fromHex("00182500");
        QTest::newRow("lowest") << 10000 << QByteArray::fromHex("00010000");
        QTest::newRow("tens of hertz") << 1420037 << QByteArray::fromHex("01420037");
    }
    void packing()
    {
        QFETCH(int, value);
        QFETCH(QByteArray, bytes);
        const auto packed = cat::PackFrequency(value);
        QVERIFY(packed);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(packed->data()), 4), bytes);
        // Decoding the packed bytes gives the value back.
        QCOMPARE(cat::FrequencyFromDigits(cat::FrequencyDigitsFromReply(bytes)), value);
    }

    void kilohertz()
    {
        QCOMPARE(cat::KilohertzTo10Hz(14200), std::optional<Frequency10Hz>(1420000));
        QCOMPARE(cat::KilohertzTo10Hz(21474836), std::optional<Frequency10Hz>(2147483600));
        QVERIFY(!cat::KilohertzTo10Hz(21474837)); // x100 would overflow 32 bits
        QVERIFY(!cat::KilohertzTo10Hz(-21474837));
        QVERIFY(!cat::KilohertzTo10Hz(std::int64_t(1) << 40));
    }

    void modeTexts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("word");
        QTest::newRow("LSB") << 0x00 << "LSB" << "LSB";
        QTest::newRow("USB") << 0x01 << "USB" << "USB";
        QTest::newRow("CW") << 0x02 << "CW" << "CW";
        QTest::newRow("CW-R") << 0x03 << "CW-R" << "CWR";
        QTest::newRow("AM") << 0x04 << "AM" << "AM";
        QTest::newRow("FM") << 0x08 << "FM" << "FM";
        QTest::newRow("CW(N)") << 0x82 << "CW(N)" << "CWN";
        QTest::newRow("CW(N)-R") << 0x83 << "CW(N)-R" << "CWRN";
        QTest::newRow("AM(N)") << 0x84 << "AM(N)" << "AMN";
        QTest::newRow("FM(N)") << 0x88 << "FM(N)" << "FMN";
    }
    void modeTexts()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QFETCH(QString, word);
        QCOMPARE(cat::ModeText(std::uint8_t(code)), text);
        QCOMPARE(cat::ModeCodeForWord(word), std::optional<std::uint8_t>(std::uint8_t(code)));
    }
    void unknownModes()
    {
        QCOMPARE(cat::ModeText(0x05), QStringLiteral("???"));
        QCOMPARE(cat::ModeText(0xFF), QStringLiteral("???"));
        QVERIFY(!cat::ModeCodeForWord(QStringLiteral("usb"))); // case matters
        QVERIFY(!cat::ModeCodeForWord(QStringLiteral("USB ")));
        QVERIFY(!cat::ModeCodeForWord(QString()));
    }

    void replyLengths()
    {
        QCOMPARE(cat::ReplyLength(cat::ReadFrequencyMode), 5);
        QCOMPARE(cat::ReplyLength(cat::ReadRxStatus), 1);
        QCOMPARE(cat::ReplyLength(cat::SetFrequency), 0);
        QCOMPARE(cat::ReplyLength(0x55), -1);
    }

    // Reply bytes -> what the two boxes show.
    void display_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("decimals");
        QTest::addColumn<QString>("frequencyBox");
        QTest::addColumn<QString>("modeBox");
        QTest::addColumn<int>("frequency");
        QTest::newRow("14.200.00 USB") << QByteArray::fromHex("0142000001") << true << "14.200.00" << "USB" << 1420000;
        QTest::newRow("145.575.00 FM(N)") << QByteArray::fromHex("1455750088") << true << "145.575.00" << "FM(N)" << 14557500;
        QTest::newRow("1.825 LSB") << QByteArray::fromHex("0018250000") << false << "1.825" << "LSB" << 182500;
        QTest::newRow("108.000.00 FM") << QByteArray::fromHex("1080000008") << true << "108.000.00" << "FM" << 10800000;
        QTest::newRow(".500 USB") << QByteArray::fromHex("0005000001") << false << ".500" << "USB" << 50000;
        QTest::newRow("unknown mode") << QByteArray::fromHex("0142000005") << true << "14.200.00" << "???" << 1420000;
    }
    void display()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, decimals);
        QFETCH(QString, frequencyBox);
        QFETCH(QString, modeBox);
        QFETCH(int, frequency);
        const auto reading = DecodeFrequencyReply(reply);
        QVERIFY(reading);
        QCOMPARE(reading->frequency, frequency);
        QCOMPARE(FormatFrequencyText(reading->frequencyDigits, decimals).trimmed(), frequencyBox);
        QCOMPARE(cat::ModeText(reading->modeCode), modeBox);
        // A steady radio's reply is recognised without decoding, and only it.
        QVERIFY(SameFrequencyReply(reply, frequency, reading->modeCode));
        QVERIFY(!SameFrequencyReply(reply, frequency + 1, reading->modeCode));
        QVERIFY(!SameFrequencyReply(reply, frequency, reading->modeCode ^ 0x01));
    }
    void leadingBlanks()
    {
        QCOMPARE(FormatFrequencyText(QStringLiteral("01420000"), true), QStringLiteral(" 14.200.00"));
        QCOMPARE(FormatFrequencyText(QStringLiteral("00182500"), false), QStringLiteral("  1.825"));
        QCOMPARE(FormatFrequencyText(QStringLiteral("00050000"), false), QStringLiteral("   .500"));
        // Zeros after the megahertz part stay.
        QCOMPARE(FormatFrequencyText(QStringLiteral("00000000"), true), QStringLiteral("   .000.00"));
    }
    void rejectedReplies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("four bytes") << QByteArray::fromHex("01420000");
        QTest::newRow("six bytes") << QByteArray::fromHex("014200000100");
        QTest::newRow("non-BCD high nibble") << QByteArray::fromHex("01A2000001");
        QTest::newRow("non-BCD low nibble") << QByteArray::fromHex("014F000001");
    }
    void rejectedReplies()
    {
        QFETCH(QByteArray, reply);
        QVERIFY(!DecodeFrequencyReply(reply));
        QVERIFY(!SameFrequencyReply(reply, 1420000, 0x01));
    }
    void sMeter()
    {
        QCOMPARE(SMeterLevel(0xEA), 10);
        QCOMPARE(SMeterLevel(0x1F), 31);
        QCOMPARE(SMeterLevel(0xE0), 0);
    }
};

QTEST_APPLESS_MAIN(TestCatProtocol)
#include "test_cat_protocol.moc"
