// The Debian package, built here with cpack: its files, control fields,
// lintian, the desktop and AppStream validators, the systemd user unit, the
// manual page, and the packaged program's command line with no display.
#include "solvane_version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs a tool to completion; a crash or a hang shows as exit code -1.
Run RunTool(const QString& program, const QStringList& arguments,
            const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
            int timeoutMs = 120000)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("%1 did not finish: %2").arg(program, process.errorString());
        return run;
    }
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

// No display at all: a program that tried to open a window here would abort
// instead of exiting with its own status.
QProcessEnvironment HeadlessEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

QString FieldOf(const QString& text, const QString& key)
{
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(key), QRegularExpression::MultilineOption);
    return line.match(text).captured(1);
}

} // namespace

class TestPackage : public QObject {
    Q_OBJECT

    QString version_ = QStringLiteral(SOLVANE_VERSION);
    QString deb_;
    QTemporaryDir root_; // the package's contents, unpacked
    QString solvane_;    // the packaged program inside root_
    Run pedanticLintian_; // run once, by the first test that needs it

    QString readPackaged(const QString& path)
    {
        QFile file(root_.filePath(path));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(root_.isValid());
        const Run cpack = RunTool(QStringLiteral(SOLVANE_CPACK), {QStringLiteral("-G"), QStringLiteral("DEB"),
                                  QStringLiteral("--config"), QStringLiteral(SOLVANE_BUILD_DIR "/CPackConfig.cmake"),
                                  QStringLiteral("-B"), QStringLiteral(SOLVANE_BUILD_DIR)}, QProcessEnvironment::systemEnvironment(), 600000);
        QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.out + cpack.err));

        const QString arch = RunTool(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")}).out.trimmed();
        deb_ = QStringLiteral(SOLVANE_BUILD_DIR "/solvane_%1_%2.deb").arg(version_, arch);
        QVERIFY2(QFile::exists(deb_), qPrintable(deb_ + QStringLiteral(" missing after:\n") + cpack.out));

        const Run unpack = RunTool(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb_, root_.path()});
        QVERIFY2(unpack.exitCode == 0, qPrintable(unpack.err));
        solvane_ = root_.filePath(QStringLiteral("usr/bin/solvane"));
    }

    void holdsExactlyTheInstalledFiles()
    {
        const Run list = RunTool(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb_});
        QCOMPARE(list.exitCode, 0);
        QSet<QString> files;
        for (const QString& line : list.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            QVERIFY2(fields.size() >= 6 && fields.at(1) == QStringLiteral("root/root"), qPrintable(line));
            if (!fields.at(0).startsWith(QLatin1Char('-')))
                continue; // directories
            files.insert(fields.last());
            const bool program = fields.last().startsWith(QStringLiteral("./usr/bin/"));
            QVERIFY2(fields.at(0) == (program ? QStringLiteral("-rwxr-xr-x") : QStringLiteral("-rw-r--r--")), qPrintable(line));
        }
        QSet<QString> expected{
            "./usr/bin/solvane",
            "./usr/bin/ft847-sim",
            "./usr/share/applications/solvane.desktop",
            "./usr/share/icons/hicolor/scalable/apps/solvane.svg",
            "./usr/share/metainfo/io.github.solvane.Solvane.metainfo.xml",
            "./usr/lib/systemd/user/solvane.service",
            "./usr/share/man/man1/solvane.1.gz",
            "./usr/share/man/man1/ft847-sim.1.gz",
            "./usr/share/doc/solvane/copyright",
            "./usr/share/doc/solvane/changelog.gz",
        };
        // The program looks for these at <bindir>/../share/solvane/sounds.
        for (const char* sound : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "Point"})
            expected.insert(QStringLiteral("./usr/share/solvane/sounds/%1.wav").arg(QLatin1String(sound)));
        QCOMPARE(files, expected);
    }

    // The packaged copyright file states the licence LICENSE holds: the same
    // holder, the same MIT text, whatever the wrapping.
    void copyrightAgreesWithLicense()
    {
        QFile source(QStringLiteral(SOLVANE_SOURCE_DIR "/LICENSE"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QString license = QString::fromUtf8(source.readAll());
        const QString copyright = readPackaged(QStringLiteral("usr/share/doc/solvane/copyright"));
        QVERIFY(license.startsWith(QStringLiteral("MIT License\n\nCopyright (c) 2026 The Solvane developers\n")));
        QVERIFY(copyright.contains(QStringLiteral("Files: *\nCopyright: 2026 The Solvane developers\nLicense: MIT\n")));
        // The stand-alone "License: MIT" paragraph, its paragraphs parted by " ." lines.
        QString text = copyright.section(QStringLiteral("\nLicense: MIT\n"), -1);
        text.replace(QStringLiteral("\n .\n"), QStringLiteral("\n\n"));
        QCOMPARE(text.simplified(), license.section(QLatin1Char('\n'), 3).simplified());
        QCOMPARE(text.count(QStringLiteral("\n\n")), 2); // paragraphs kept
    }

    void controlFieldsAreComputed()
    {
        const Run control = RunTool(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb_});
        QCOMPARE(control.exitCode, 0);
        const auto field = [&](const char* name) {
            const QRegularExpression re(QStringLiteral("^%1: (.*)$").arg(QLatin1String(name)), QRegularExpression::MultilineOption);
            return re.match(control.out).captured(1);
        };
        QCOMPARE(field("Package"), QStringLiteral("solvane"));
        QCOMPARE(field("Version"), version_);
        QCOMPARE(field("Section"), QStringLiteral("hamradio"));
        QVERIFY(field("Maintainer").contains(QRegularExpression(QStringLiteral("^.+ <.+@.+>$"))));
        QVERIFY(!field("Description").isEmpty());
        QVERIFY2(control.out.contains(QStringLiteral("\n Solvane ")), "long description missing");
        // dpkg-shlibdeps' versioned dependencies on what the binaries link.
        const QString depends = field("Depends");
        for (const char* library : {"libc6", "libqt6core6", "libqt6widgets6", "libqt6serialport6",
                                    "libqt6multimedia6", "libsndfile1"})
            QVERIFY2(depends.contains(QRegularExpression(QStringLiteral("\\b%1 \\(>= [^)]+\\)").arg(QLatin1String(library)))),
                     qPrintable(library + QStringLiteral(" not in: ") + depends));
    }

    void lintianFindsNoErrorsOrWarnings()
    {
        const Run lintian = RunTool(QStringLiteral("lintian"), {QStringLiteral("--fail-on"), QStringLiteral("error,warning"), deb_});
        const QStringList tags = lintian.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& tag : tags)
            qInfo("%s", qPrintable(tag));
        QVERIFY2(lintian.exitCode == 0, qPrintable(lintian.out + lintian.err));
        QVERIFY2(tags.filter(QRegularExpression(QStringLiteral("^[EW]: "))).isEmpty(), qPrintable(lintian.out));
    }

    // Built with dpkg-buildflags' hardening: each program binds every symbol
    // at start-up (BIND_NOW) and calls fortified string and memory functions,
    // and lintian, pedantic and with its informational tags, agrees.
    void programsAreHardened_data()
    {
        QTest::addColumn<QString>("program");
        QTest::newRow("solvane") << "usr/bin/solvane";
        QTest::newRow("ft847-sim") << "usr/bin/ft847-sim";
    }
    void programsAreHardened()
    {
        QFETCH(QString, program);
        const Run dynamic = RunTool(QStringLiteral("readelf"), {QStringLiteral("-d"), QStringLiteral("-W"), root_.filePath(program)});
        QCOMPARE(dynamic.exitCode, 0);
        QVERIFY2(dynamic.out.contains(QRegularExpression(QStringLiteral("\\(FLAGS(_1)?\\).*\\bNOW\\b"))), qPrintable(dynamic.out));
        const Run symbols = RunTool(QStringLiteral("readelf"), {QStringLiteral("--dyn-syms"), QStringLiteral("-W"), root_.filePath(program)});
        QCOMPARE(symbols.exitCode, 0);
        QVERIFY2(symbols.out.contains(QRegularExpression(QStringLiteral("\\b__\\w+_chk\\b"))), "no fortified call");

        if (pedanticLintian_.exitCode < 0)
            pedanticLintian_ = RunTool(QStringLiteral("lintian"), {QStringLiteral("--pedantic"), QStringLiteral("-I"), deb_});
        QVERIFY2(pedanticLintian_.exitCode == 0, qPrintable(pedanticLintian_.out + pedanticLintian_.err));
        for (const char* tag : {"hardening-no-bindnow", "hardening-no-fortify-functions", "hardening-no-relro", "hardening-no-pie"}) {
            const QRegularExpression line(QStringLiteral(": %1 \\[?%2\\]?$").arg(QLatin1String(tag), program), QRegularExpression::MultilineOption);
            QVERIFY2(!pedanticLintian_.out.contains(line), qPrintable(pedanticLintian_.out));
        }
    }

    void desktopEntryValidatesAndStartsThePackagedProgram()
    {
        const QString entry = root_.filePath(QStringLiteral("usr/share/applications/solvane.desktop"));
        const Run validate = RunTool(QStringLiteral("desktop-file-validate"), {entry});
        QVERIFY2(validate.exitCode == 0 && validate.out.isEmpty(), qPrintable(validate.out + validate.err));

        const QString text = readPackaged(QStringLiteral("usr/share/applications/solvane.desktop"));
        QVERIFY(FieldOf(text, QStringLiteral("Categories")).split(QLatin1Char(';')).contains(QStringLiteral("HamRadio")));
        QVERIFY(QFile::exists(root_.filePath(QStringLiteral("usr/share/icons/hicolor/scalable/apps/%1.svg")
                                             .arg(FieldOf(text, QStringLiteral("Icon"))))));

        // Exec's command, looked up on a PATH of the package's /usr/bin only.
        const QString command = FieldOf(text, QStringLiteral("Exec")).section(QLatin1Char(' '), 0, 0);
        QVERIFY(!command.contains(QLatin1Char('/')));
        QProcessEnvironment environment = HeadlessEnvironment();
        environment.insert(QStringLiteral("PATH"), root_.filePath(QStringLiteral("usr/bin")));
        const Run run = RunTool(QStringLiteral("sh"), {QStringLiteral("-c"), command + QStringLiteral(" --version")}, environment);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("solvane %1\n").arg(version_));
    }

    void metainfoValidatesAndDescribesTheRelease()
    {
        const QString metainfo = root_.filePath(QStringLiteral("usr/share/metainfo/io.github.solvane.Solvane.metainfo.xml"));
        const Run validate = RunTool(QStringLiteral("appstreamcli"), {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo});
        QVERIFY2(validate.exitCode == 0, qPrintable(validate.out + validate.err));
        // The tree check also finds the launchable desktop entry and the icon.
        const Run tree = RunTool(QStringLiteral("appstreamcli"), {QStringLiteral("validate-tree"), QStringLiteral("--no-net"), root_.path()});
        QVERIFY2(tree.exitCode == 0, qPrintable(tree.out + tree.err));

        QStringList releases, categories, launchables, binaries, screenshots;
        bool contentRating = false, description = false;
        QXmlStreamReader xml(readPackaged(QStringLiteral("usr/share/metainfo/io.github.solvane.Solvane.metainfo.xml")));
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QStringView name = xml.name();
            if (name == u"release")
                releases << xml.attributes().value(QStringLiteral("version")).toString();
            else if (name == u"content_rating")
                contentRating = xml.attributes().value(QStringLiteral("type")).startsWith(u"oars-");
            else if (name == u"description")
                description = true;
            else if (name == u"category")
                categories << xml.readElementText();
            else if (name == u"launchable")
                launchables << xml.readElementText();
            else if (name == u"binary")
                binaries << xml.readElementText();
            else if (name == u"image")
                screenshots << xml.readElementText();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(releases.value(0), version_);
        QVERIFY(categories.contains(QStringLiteral("HamRadio")));
        QCOMPARE(launchables, QStringList{QStringLiteral("solvane.desktop")});
        QCOMPARE(binaries, QStringList{QStringLiteral("solvane")});
        QCOMPARE(screenshots.size(), 1);
        QVERIFY(screenshots.first().startsWith(QStringLiteral("https://")));
        QVERIFY(screenshots.first().endsWith(QStringLiteral("/docs/screenshot.png")));
        QVERIFY(contentRating);
        QVERIFY(description);
    }

    // systemd-analyze checks the unit offline against the package's tree: its
    // keys and values, that ExecStart's program is there and executable, and
    // that Documentation's man page is the packaged one. --root needs the
    // system manager's scope, whose targets the tree lacks, so dependencies
    // are not followed; a unit file's keys are the same in both scopes.
    void userUnitVerifiesAndEnables()
    {
        const QString unit = QStringLiteral("usr/lib/systemd/user/solvane.service");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // The user unit directory below --root first, then the defaults.
        environment.insert(QStringLiteral("SYSTEMD_UNIT_PATH"), QStringLiteral("/usr/lib/systemd/user:"));
        environment.insert(QStringLiteral("MANPATH"), root_.filePath(QStringLiteral("usr/share/man")));
        const Run verify = RunTool(QStringLiteral("systemd-analyze"), {QStringLiteral("verify"), QStringLiteral("--recursive-errors=no"),
                                   QStringLiteral("--root=") + root_.path(), QStringLiteral("solvane.service")}, environment);
        QVERIFY2(verify.exitCode == 0 && verify.err.isEmpty(), qPrintable(verify.out + verify.err));
        QCOMPARE(FieldOf(readPackaged(unit), QStringLiteral("ExecStart")), QStringLiteral("/usr/bin/solvane --headless"));

        // `systemctl --user enable` hooks it into the user's default target.
        QTemporaryDir system;
        QVERIFY(QDir(system.path()).mkpath(QStringLiteral("usr/lib/systemd/user")));
        QVERIFY(QFile::copy(root_.filePath(unit), system.filePath(unit)));
        const Run enable = RunTool(QStringLiteral("systemctl"), {QStringLiteral("--global"), QStringLiteral("--root=") + system.path(),
                                   QStringLiteral("enable"), QStringLiteral("solvane.service")});
        QVERIFY2(enable.exitCode == 0, qPrintable(enable.out + enable.err));
        const QFileInfo link(system.filePath(QStringLiteral("etc/systemd/user/default.target.wants/solvane.service")));
        QVERIFY2(link.isSymLink(), qPrintable(enable.out + enable.err));
        QCOMPARE(link.symLinkTarget(), QStringLiteral("/") + unit);
    }

    void manPagesRenderWithoutWarnings_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("mentions");
        QTest::newRow("solvane(1)") << "usr/share/man/man1/solvane.1.gz"
            << QStringList{"--help", "--version", "--listen", "--no-listen", "Solvane.conf", "[Settings]",
                           "Commport", "CommSpeed", "[Ports]", "/dev/ttyS", "[Network]", "Listen", "Address",
                           "4532", "Memories.txt", "Point.wav", "/usr/share/solvane/sounds", "dialout",
                           "ls -l /dev/serial/by-id/", "rigctl(1)", "--headless", "-platform", "Allow",
                           "systemctl --user enable --now solvane", "/usr/lib/systemd/user/solvane.service"};
        QTest::newRow("ft847-sim(1)") << "usr/share/man/man1/ft847-sim.1.gz"
            << QStringList{"--log", "--baud", "--fault-rate", "DEVICE", "solvane(1)"};
    }
    void manPagesRenderWithoutWarnings()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, mentions);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        const Run man = RunTool(QStringLiteral("man"), {QStringLiteral("--warnings"), QStringLiteral("-l"),
                                QStringLiteral("-P"), QStringLiteral("cat"), root_.filePath(page)}, environment);
        QCOMPARE(man.exitCode, 0);
        QVERIFY2(man.err.isEmpty(), qPrintable(man.err));
        for (const QString& mention : mentions)
            QVERIFY2(man.out.contains(mention), qPrintable(mention));
    }

    void versionAndHelpNeedNoDisplay()
    {
        const Run version = RunTool(solvane_, {QStringLiteral("--version")}, HeadlessEnvironment());
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QStringLiteral("solvane %1\n").arg(version_));
        QCOMPARE(version.err, QString());

        const Run help = RunTool(solvane_, {QStringLiteral("--help")}, HeadlessEnvironment());
        QCOMPARE(help.exitCode, 0);
        QVERIFY2(help.out.startsWith(QStringLiteral("Usage: solvane [options]")), qPrintable(help.out));
        for (const char* option : {"--help", "--version", "--listen <ADDRESS:PORT>", "--no-listen"})
            QVERIFY2(help.out.contains(QLatin1String(option)), option);
        QCOMPARE(help.err, QString());
    }

    void wrongOptionsExitTwoWithoutAWindow_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown option") << QStringList{"--frequency"} << "Unknown option 'frequency'";
        QTest::newRow("stray argument") << QStringList{"COM3"} << "unexpected argument 'COM3'";
        QTest::newRow("listen without port") << QStringList{"--listen", "127.0.0.1"} << "invalid --listen value";
        QTest::newRow("listen, bare IPv6") << QStringList{"--listen=::1:4532"} << "in brackets";
    }
    void wrongOptionsExitTwoWithoutAWindow()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const Run run = RunTool(solvane_, arguments, HeadlessEnvironment());
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.startsWith(QStringLiteral("solvane: ")) && run.err.contains(message), qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "test_package.moc"
