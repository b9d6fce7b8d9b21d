// LICENSE and the package's data/copyright state the same licence: the same
// holder and year, the same MIT text, whatever the wrapping.

#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {

QString ReadSource(const char* path)
{
    QFile file(QStringLiteral(SOLVANE_SOURCE_DIR "/") + QLatin1String(path));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString Captured(const QString& text, const QString& pattern)
{
    return QRegularExpression(pattern, QRegularExpression::MultilineOption).match(text).captured(1);
}

} // namespace

class TestLicense : public QObject {
    Q_OBJECT
private slots:
    void licenseFileAgreesWithCopyright()
    {
        const QString copyright = ReadSource("data/copyright");
        const QString license = ReadSource("LICENSE");
        // data/copyright: the "Files: *" paragraph's holder; the stand-alone
        // "License: MIT" paragraph's text, its paragraphs parted by " ." lines.
        const QString holder = Captured(copyright, QStringLiteral("^Copyright: (.+)$"));
        QString text = Captured(copyright, QStringLiteral("^License: MIT\\n((?: .*\\n?)+)"));
        text.replace(QRegularExpression(QStringLiteral("\\n \\.\\n")), QStringLiteral("\n\n"));
        QCOMPARE(holder, QStringLiteral("2026 The Solvane developers"));
        QVERIFY(license.startsWith(QStringLiteral("MIT License\n")));
        QCOMPARE(Captured(license, QStringLiteral("^Copyright \\(c\\) (.+)$")), holder);
        const QString licenseText = license.section(QStringLiteral("\n"), 3); // after the title and holder lines
        QCOMPARE(licenseText.simplified(), text.simplified());
        QVERIFY(text.count(QStringLiteral("\n\n")) == 2 && licenseText.trimmed().count(QStringLiteral("\n\n")) == 2);
    }
};

QTEST_GUILESS_MAIN(TestLicense)
#include "test_license.moc"
