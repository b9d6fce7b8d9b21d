// Memories.txt as people write it: line ends, quoting, blanks, encodings,
// broken endings, odd bytes; the kHz numbers; and file access.

#include "memory_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using memories::MemoryChannel;

namespace {

// Records flattened to name, frequency, mode, name, ... so a mismatch
// prints readably.
QStringList Flatten(const QList<MemoryChannel>& channels)
{
    QStringList out;
    for (const MemoryChannel& c : channels)
        out << c.name << c.frequencyText << c.modeWord;
    return out;
}

bool WriteFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

} // namespace

class TestMemoryFile : public QObject {
    Q_OBJECT
private slots:
    void parseText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected");
        const QStringList two{"20m net", "14200", "USB", "40m CW", "7025", "CW"};

        // Line ends
        QTest::newRow("lf") << QByteArray("20m net,14200,USB\n40m CW,7025,CW\n") << two;
        QTest::newRow("crlf") << QByteArray("20m net,14200,USB\r\n40m CW,7025,CW\r\n") << two;
        QTest::newRow("lone cr") << QByteArray("20m net,14200,USB\r40m CW,7025,CW\r") << two;
        QTest::newRow("no final line end") << QByteArray("20m net,14200,USB\n40m CW,7025,CW") << two;
        QTest::newRow("mixed line ends") << QByteArray("20m net,14200,USB\r\r\n\n40m CW,7025,CW") << two;

        // Where the fields fall
        QTest::newRow("two fields then one") << QByteArray("20m net,14200\nUSB\n40m CW,7025,CW\n") << two;
        QTest::newRow("all on one line") << QByteArray("20m net,14200,USB,40m CW,7025,CW") << two;
        QTest::newRow("empty fields count")
            << QByteArray(",14200,USB\nx,,\n") << QStringList{"", "14200", "USB", "x", "", ""};
        QTest::newRow("trailing comma adds an empty field")
            << QByteArray("a,1,USB,\nb,2\n") << QStringList{"a", "1", "USB", "", "b", "2"};
        QTest::newRow("blank lines add nothing")
            << QByteArray("\n20m net,14200,USB\n\n  \t\r\n40m CW\n\n7025,CW\n   \n") << two;

        // Blanks
        QTest::newRow("leading and trailing blanks")
            << QByteArray("  20m net ,\t14200\t, USB \n40m CW,7025 ,CW\t\n") << two;

        // Quotes
        QTest::newRow("quoted comma")
            << QByteArray("\"Broadcast, 41m\",7325,AM\n") << QStringList{"Broadcast, 41m", "7325", "AM"};
        QTest::newRow("quoted line ends read as spaces")
            << QByteArray("\"Net\r\nA\nB\rC\",3760,LSB\n") << QStringList{"Net A B C", "3760", "LSB"};
        QTest::newRow("doubled quote")
            << QByteArray("\"The \"\"big\"\" one\",\"14200\",\"USB\"\n") << QStringList{"The \"big\" one", "14200", "USB"};
        QTest::newRow("quoted blanks kept, outer blanks not")
            << QByteArray("  \" pad \"  ,1,\"USB\" \n") << QStringList{" pad ", "1", "USB"};
        QTest::newRow("text after closing quote joins")
            << QByteArray("\"a\"b c ,1,USB\n") << QStringList{"ab c", "1", "USB"};
        QTest::newRow("quote inside unquoted field is literal")
            << QByteArray("6\" dish,10368,USB\n") << QStringList{"6\" dish", "10368", "USB"};
        QTest::newRow("empty quoted field") << QByteArray("\"\",1,USB\n") << QStringList{"", "1", "USB"};
        QTest::newRow("unclosed quote runs to the end")
            << QByteArray("a,1,\"USB\nb,2,LSB\n") << QStringList{"a", "1", "USB b,2,LSB "};

        // Incomplete endings
        QTest::newRow("one trailing field") << QByteArray("20m net,14200,USB\n40m CW,7025,CW\nlast\n") << two;
        QTest::newRow("two trailing fields") << QByteArray("20m net,14200,USB\n40m CW,7025,CW\nlast,7000") << two;
        QTest::newRow("no complete record") << QByteArray("only,two\n") << QStringList{};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
        QTest::newRow("only blanks and line ends") << QByteArray(" \r\n\t\n\r") << QStringList{};

        // Encodings
        QTest::newRow("utf-8") << QByteArray("Caf\xC3\xA9 \xE2\x82\xAC,1,USB\n") << QStringList{u"Café €"_qs, "1", "USB"};
        QTest::newRow("utf-8 with bom")
            << QByteArray("\xEF\xBB\xBF" "Caf\xC3\xA9,1,USB\n") << QStringList{u"Café"_qs, "1", "USB"};
        QTest::newRow("bom before quoted field")
            << QByteArray("\xEF\xBB\xBF\"a,b\",1,USB\n") << QStringList{"a,b", "1", "USB"};
        QTest::newRow("windows-1252")
            << QByteArray("Caf\xE9 \x80,1,USB\n\x93q\x94,2,LSB\n")
            << QStringList{u"Café €"_qs, "1", "USB", u"\u201Cq\u201D"_qs, "2", "LSB"};
        QTest::newRow("one bad byte makes the whole file windows-1252")
            << QByteArray("Caf\xC3\xA9,1,USB\n\xE9t\xE9,2,LSB\n")
            << QStringList{u"Caf\u00C3\u00A9"_qs, "1", "USB", u"été"_qs, "2", "LSB"};
        QTest::newRow("bad byte in a dropped record still counts")
            << QByteArray("Caf\xC3\xA9,1,USB\n\xE9") << QStringList{u"Caf\u00C3\u00A9"_qs, "1", "USB"};
        QTest::newRow("windows-1252 unassigned byte")
            << QByteArray("a\x81z,1,USB\n") << QStringList{u"a\uFFFDz"_qs, "1", "USB"};
        QTest::newRow("bom with a bad byte stays utf-8")
            << QByteArray("\xEF\xBB\xBF" "a\xE9z,1,USB\n") << QStringList{u"a\uFFFDz"_qs, "1", "USB"};

        // Control characters
        QTest::newRow("nul and controls shown as spaces")
            << QByteArray("a\0b\x01\x1B" "c\x7F" "d,1,USB\n", 15) << QStringList{"a b  c d", "1", "USB"};
        QTest::newRow("controls in quotes")
            << QByteArray("\"x\0\ty\",1,USB\n", 13) << QStringList{"x  y", "1", "USB"};
        QTest::newRow("utf-8 c1 control") << QByteArray("a\xC2\x85z,1,USB\n") << QStringList{"a z", "1", "USB"};
        QTest::newRow("trailing control is not a blank")
            << QByteArray("a,1,USB\x01\n") << QStringList{"a", "1", "USB "};
    }

    void parseText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        QCOMPARE(Flatten(memories::ParseMemoryText(bytes)), expected);
    }

    void kilohertz_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kilohertz");
        QTest::addColumn<bool>("fits");

        // Leading number
        QTest::newRow("plain") << "14200" << 14200 << true;
        QTest::newRow("unit after") << "14200 kHz" << 14200 << true;
        QTest::newRow("leading blanks") << " \t7025" << 7025 << true;
        QTest::newRow("plus sign") << "+3760" << 3760 << true;
        QTest::newRow("negative") << "-7050" << -7050 << true;
        QTest::newRow("exponent ignored") << "1e3" << 1 << true;
        QTest::newRow("no number") << "abc" << 0 << true;
        QTest::newRow("empty") << "" << 0 << true;
        QTest::newRow("sign only") << "-" << 0 << true;
        QTest::newRow("non-ascii digits are not digits") << u"\u0661\u0662"_qs << 0 << true;

        // Rounding, halves to even
        QTest::newRow("half down to even") << "7050.5" << 7050 << true;
        QTest::newRow("half up to even") << "7051.5" << 7052 << true;
        QTest::newRow("just over half") << "7050.5000001" << 7051 << true;
        QTest::newRow("under half") << "7050.4999" << 7050 << true;
        QTest::newRow("half with zeros") << "7050.50000" << 7050 << true;
        QTest::newRow("negative half") << "-7051.5" << -7052 << true;
        QTest::newRow("fraction only") << ".7" << 1 << true;

        // Range
        QTest::newRow("largest") << "21474836" << 21474836 << true;
        QTest::newRow("x100 overflows") << "21474837" << 0 << false;
        QTest::newRow("x100 overflows negative") << "-21474837" << 0 << false;
        QTest::newRow("rounds onto the limit") << "21474836.5" << 21474836 << true;
        QTest::newRow("rounds past the limit") << "21474836.51" << 0 << false;
        QTest::newRow("beyond 32 bits") << "99999999999" << 0 << false;
        QTest::newRow("beyond 64 bits") << "123456789012345678901234567890" << 0 << false;
    }

    void kilohertz()
    {
        QFETCH(QString, text);
        QFETCH(int, kilohertz);
        QFETCH(bool, fits);
        const memories::KhzValue v = memories::ParseKilohertz(text);
        QCOMPARE(v.kilohertz, kilohertz);
        QCOMPARE(v.fits, fits);
    }

    void loadUnusable_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << "missing";
        QTest::newRow("directory") << "directory";
        QTest::newRow("unreadable") << "unreadable";
        QTest::newRow("fifo") << "fifo";
    }

    void loadUnusable()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("Memories.txt");
        const QByteArray contents("a,1,USB\n");
        if (kind == "directory") {
            QVERIFY(QDir(dir.path()).mkdir("Memories.txt"));
        } else if (kind == "unreadable") {
            QVERIFY(WriteFile(path, contents));
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
            QFile probe(path);
            if (probe.open(QIODevice::ReadOnly))
                QSKIP("running with rights that ignore file permissions");
        } else if (kind == "fifo") {
            // Opening a FIFO for reading would block until a writer comes.
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        QCOMPARE(memories::LoadMemoryFile(path).size(), 0);
    }

    void loadFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("Memories.txt");
        QVERIFY(WriteFile(path, "\xEF\xBB\xBF\"Broadcast, 41m\",7325,AM\r\nGB3 repeater,145725,FMN\r\n"));
        QCOMPARE(Flatten(memories::LoadMemoryFile(path)),
                 (QStringList{"Broadcast, 41m", "7325", "AM", "GB3 repeater", "145725", "FMN"}));
    }

    // Well past 16-bit counts and indexes.
    void loadManyRecords()
    {
        constexpr int kCount = 40000;
        QByteArray data;
        for (int i = 0; i < kCount; ++i)
            data += "Ch " + QByteArray::number(i) + ',' + QByteArray::number(1800 + i) + ",CW\r\n";
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("Memories.txt");
        QVERIFY(WriteFile(path, data));

        const QList<MemoryChannel> channels = memories::LoadMemoryFile(path);
        QCOMPARE(channels.size(), kCount);
        for (const int i : {0, 255, 256, 32767, 32768, kCount - 1}) {
            QCOMPARE(channels[i].name, QString("Ch %1").arg(i));
            QCOMPARE(memories::ParseKilohertz(channels[i].frequencyText).kilohertz, 1800 + i);
            QCOMPARE(channels[i].modeWord, QString("CW"));
        }
    }
};

QTEST_GUILESS_MAIN(TestMemoryFile)
#include "test_memory_file.moc"
