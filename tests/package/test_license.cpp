// LICENSE and the package's data/copyright state the same licence: the same
// holder and year, the same MIT text. Wrapping may differ; a word may not.

#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {

QString ReadSource(const char* path)
{
    QFile file(QStringLiteral(SOLVANE_SOURCE_DIR "/") + QLatin1String(path));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Paragraphs split at `separator` lines, each with its words joined by single spaces.
QStringList Paragraphs(const QString& text, const QString& separator)
{
    QStringList paragraphs = text.split(QRegularExpression(QStringLiteral("\\n%1\\n").arg(separator)));
    for (QString& paragraph : paragraphs)
        paragraph = paragraph.simplified();
    paragraphs.removeAll(QString());
    return paragraphs;
}

QString Captured(const QString& text, const QString& pattern)
{
    return QRegularExpression(pattern, QRegularExpression::MultilineOption).match(text).captured(1);
}

} // namespace

class TestLicense : public QObject {
    Q_OBJECT

    QString copyright_ = ReadSource("data/copyright");

private slots:
    void licenseFileAgreesWithCopyright_data()
    {
        QTest::addColumn<QString>("from"); // replaced in LICENSE as committed
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("agree");
        QTest::newRow("as committed") << "" << "" << true;
        QTest::newRow("rewrapped") << "obtaining a\ncopy" << "obtaining\na copy" << true;
        QTest::newRow("a word changed") << "sublicense" << "lease" << false;
        QTest::newRow("a paragraph dropped") << "The above copyright notice and this permission notice shall be "
                                                "included\nin all copies or substantial portions of the Software.\n\n"
                                             << "" << false;
        QTest::newRow("another holder") << "The Solvane developers" << "Someone Else" << false;
        QTest::newRow("another year") << "(c) 2026" << "(c) 2025" << false;
        QTest::newRow("another licence") << "MIT License" << "ISC License" << false;
    }
    void licenseFileAgreesWithCopyright()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, agree);
        QString license = ReadSource("LICENSE");
        QVERIFY2(license.contains(from), qPrintable(from));
        license.replace(from, to);

        // data/copyright: the first "Copyright:" is the "Files: *" paragraph's;
        // the stand-alone "License: MIT" paragraph holds the text, its
        // paragraphs parted by " ." lines.
        const QString holder = Captured(copyright_, QStringLiteral("^Copyright: (.+)$"));
        const QStringList text =
            Paragraphs(Captured(copyright_, QStringLiteral("^License: MIT\\n((?: .*\\n?)+)")), QStringLiteral(" \\."));
        // Two files that both failed to parse would otherwise agree.
        QCOMPARE(holder, QStringLiteral("2026 The Solvane developers"));
        QCOMPARE(text.size(), 3);

        // LICENSE: "MIT License", "Copyright (c) <year> <holder>", the text.
        const bool same = license.startsWith(QStringLiteral("MIT License\n"))
                          && Captured(license, QStringLiteral("^Copyright \\(c\\) (.+)$")) == holder
                          && Paragraphs(license.section(QRegularExpression(QStringLiteral("^Copyright .*\\n"),
                                                                           QRegularExpression::MultilineOption),
                                                        1),
                                        QStringLiteral("\\s*"))
                                 == text;
        QCOMPARE(same, agree);
    }
};

QTEST_GUILESS_MAIN(TestLicense)
#include "test_license.moc"
