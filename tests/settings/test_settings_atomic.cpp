// Writing the settings file never leaves it half-written: a writer killed at
// random moments leaves a file that parses and holds every key.

#include "settings_store.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

// Child mode: store the port settings over and over, as many exits would.
int runWriter()
{
    QtSettingsStore store;
    for (int i = 0;; ++i)
        store.Save({1 + i % 8, i % 2 ? QStringLiteral("4800,N,8,1") : QStringLiteral("57600,N,8,1")});
}

} // namespace

class TestSettingsAtomic : public QObject {
    Q_OBJECT
private slots:
    void killedWriterLeavesAWholeFile()
    {
        QTemporaryDir home;
        const QString file = home.filePath(QStringLiteral("Solvane.conf"));
        {
            // The user's own keys, plus a bulky section so each write takes a while.
            QSettings seed(file, QSettings::IniFormat);
            seed.setValue(QStringLiteral("Ports/COM2"), QStringLiteral("/dev/ttyUSB0"));
            for (int i = 0; i < 2000; ++i)
                seed.setValue(QStringLiteral("Notes/n%1").arg(i), QStringLiteral("a note of some length %1").arg(i));
            seed.setValue(QStringLiteral("Settings/Commport"), QStringLiteral("2"));
        }
        QRandomGenerator random(42);
        int kills = 0;
        for (int round = 0; round < 25; ++round) {
            QProcess writer;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
            writer.setProcessEnvironment(env);
            writer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--writer")});
            QVERIFY(writer.waitForStarted());
            QTest::qWait(30 + int(random.bounded(120)));
            ::kill(pid_t(writer.processId()), SIGKILL);
            QVERIFY(writer.waitForFinished(5000));
            ++kills;

            QSettings check(file, QSettings::IniFormat);
            QCOMPARE(check.status(), QSettings::NoError);
            QCOMPARE(check.value(QStringLiteral("Ports/COM2")).toString(), QStringLiteral("/dev/ttyUSB0"));
            QCOMPARE(check.value(QStringLiteral("Notes/n1999")).toString(), QStringLiteral("a note of some length 1999"));
            const int port = check.value(QStringLiteral("Settings/Commport")).toInt();
            QVERIFY(port >= 1 && port <= 8);
        }
        QCOMPARE(kills, 25);
    }
};

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--writer") == 0) {
        QCoreApplication app(argc, argv);
        return runWriter();
    }
    QCoreApplication app(argc, argv);
    TestSettingsAtomic test;
    return QTest::qExec(&test, 1, argv);
}

#include "test_settings_atomic.moc"
