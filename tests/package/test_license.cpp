// LICENSE and the package's data/copyright state the same licence: the same
// name, the same holder and year, the same text. Wrapping may differ; a
// changed word may not.

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

namespace {

struct Licence {
    QString name;        // "MIT"
    QStringList holders; // "2026 The Solvane developers"
    QStringList paragraphs;
};

QString Words(const QStringList& lines) { return lines.join(QLatin1Char(' ')).simplified(); }

// data/copyright in Debian's machine-readable format: the "Files: *"
// paragraph names the holders and the licence, a stand-alone "License:"
// paragraph holds its text, " ." separating its paragraphs.
Licence FromCopyrightFile(const QString& text)
{
    Licence licence;
    QString standAloneName;
    QStringList standAloneText;
    for (const QString& block : text.split(QRegularExpression(QStringLiteral("\\n\\s*\\n")))) {
        QMap<QString, QStringList> fields;
        QString key;
        for (const QString& line : block.split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1Char(' ')) && !key.isEmpty())
                fields[key] << line.trimmed();
            else if (const int colon = line.indexOf(QLatin1Char(':')); colon > 0)
                fields[key = line.left(colon)] << line.mid(colon + 1).trimmed();
        }
        if (fields.value(QStringLiteral("Files")).value(0) == QStringLiteral("*")) {
            licence.holders = fields.value(QStringLiteral("Copyright"));
            licence.name = fields.value(QStringLiteral("License")).value(0);
        } else if (fields.contains(QStringLiteral("License")) && !fields.contains(QStringLiteral("Files"))) {
            standAloneText = fields.value(QStringLiteral("License"));
            standAloneName = standAloneText.takeFirst();
        }
    }
    licence.holders.removeAll(QString());
    if (standAloneName != licence.name)
        return licence;
    QStringList paragraph;
    for (const QString& line : standAloneText + QStringList{QStringLiteral(".")}) {
        if (line != QLatin1String(".")) {
            paragraph << line;
            continue;
        }
        licence.paragraphs << Words(paragraph);
        paragraph.clear();
    }
    return licence;
}

// LICENSE: "<name> License", the "Copyright (c) <year> <holder>" lines,
// then the text's paragraphs.
Licence FromLicenseFile(const QString& text)
{
    Licence licence;
    const QStringList blocks = text.trimmed().split(QRegularExpression(QStringLiteral("\\n\\s*\\n")));
    const QRegularExpression title(QStringLiteral("^(\\S+) License$"));
    const QRegularExpression holder(QStringLiteral("^Copyright \\(c\\) (.+)$"));
    for (const QString& block : blocks) {
        const QStringList lines = block.split(QLatin1Char('\n'));
        if (const auto match = title.match(block.trimmed()); match.hasMatch() && licence.name.isEmpty()) {
            licence.name = match.captured(1);
        } else if (holder.match(lines.first()).hasMatch()) {
            for (const QString& line : lines)
                licence.holders << holder.match(line).captured(1).trimmed();
        } else {
            licence.paragraphs << Words(lines);
        }
    }
    return licence;
}

// The first difference between the two, empty when they agree.
QString Drift(const Licence& copyright, const Licence& license)
{
    if (copyright.name != license.name)
        return QStringLiteral("licence %1 against %2").arg(copyright.name, license.name);
    if (copyright.holders != license.holders)
        return QStringLiteral("holders %1 against %2")
            .arg(copyright.holders.join(QLatin1Char(';')), license.holders.join(QLatin1Char(';')));
    for (qsizetype i = 0; i < std::max(copyright.paragraphs.size(), license.paragraphs.size()); ++i)
        if (copyright.paragraphs.value(i) != license.paragraphs.value(i))
            return QStringLiteral("paragraph %1: \"%2\" against \"%3\"")
                .arg(i + 1)
                .arg(copyright.paragraphs.value(i), license.paragraphs.value(i));
    return {};
}

QString ReadSource(const char* path)
{
    QFile file(QStringLiteral(SOLVANE_SOURCE_DIR "/") + QLatin1String(path));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestLicense : public QObject {
    Q_OBJECT

    Licence copyright_;
    QString license_;

private slots:
    void initTestCase()
    {
        copyright_ = FromCopyrightFile(ReadSource("data/copyright"));
        license_ = ReadSource("LICENSE");
        // MIT's three paragraphs and a holder: two files that both failed to
        // parse would otherwise agree.
        QCOMPARE(copyright_.name, QStringLiteral("MIT"));
        QCOMPARE(copyright_.paragraphs.size(), 3);
        QVERIFY(copyright_.paragraphs.last().startsWith(QStringLiteral("THE SOFTWARE IS PROVIDED \"AS IS\"")));
        QCOMPARE(copyright_.holders.size(), 1);
    }

    void licenseFileAgreesWithCopyright_data()
    {
        QTest::addColumn<QString>("from"); // replaced in LICENSE as committed
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("drift"); // the difference found; empty: none
        QTest::newRow("as committed") << "" << "" << "";
        QTest::newRow("rewrapped") << "obtaining a\ncopy" << "obtaining\na copy" << "";
        QTest::newRow("a word changed") << "sublicense" << "lease" << "paragraph 1";
        QTest::newRow("a paragraph dropped")
            << "The above copyright notice and this permission notice shall be included\n"
               "in all copies or substantial portions of the Software.\n\n"
            << "" << "paragraph 2";
        QTest::newRow("another holder") << "The Solvane developers" << "Someone Else" << "holders";
        QTest::newRow("another year") << "(c) 2026" << "(c) 2025" << "holders";
        QTest::newRow("another licence") << "MIT License" << "ISC License" << "licence MIT against ISC";
    }
    void licenseFileAgreesWithCopyright()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, drift);
        QString license = license_;
        if (!from.isEmpty()) {
            QVERIFY2(license.contains(from), qPrintable(from));
            license.replace(from, to);
        }
        const QString found = Drift(copyright_, FromLicenseFile(license));
        if (drift.isEmpty())
            QVERIFY2(found.isEmpty(), qPrintable(found));
        else
            QVERIFY2(found.startsWith(drift), qPrintable(found));
    }
};

QTEST_GUILESS_MAIN(TestLicense)
#include "test_license.moc"
