// Flush, as the window program calls it before leaving without exit
// handlers: it says when the stored settings did not reach the disk, and
// only then.

#include "settings_store.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestSettingsFlush : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void flushReportsWhatDidNotReachTheDisk_data()
    {
        QTest::addColumn<QString>("folder");    // below dir_; the settings file goes in it
        QTest::addColumn<QByteArray>("before"); // the file before the store is made; none when empty
        QTest::addColumn<QByteArray>("after");  // what the file then holds; no file when empty
        QTest::addColumn<bool>("problem");
        QTest::newRow("a user's file, written")
            << "kept" << QByteArray("[Ports]\nCOM5=/dev/ttyUSB0\n") << QByteArray("COM5=/dev/ttyUSB0") << false;
        // The folder's path runs through a regular file: even root cannot write there.
        QTest::newRow("folder cannot be made") << "blocker/config" << QByteArray() << QByteArray() << true;
        // A damaged file is left as it is on purpose: nothing was lost.
        QTest::newRow("damaged file left alone") << "damaged" << QByteArray("[Settings\nCommport=1\n")
                                                 << QByteArray("[Settings\nCommport=1") << false;
    }
    void flushReportsWhatDidNotReachTheDisk()
    {
        QFETCH(QString, folder);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(bool, problem);
        QFile blocker(dir_.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString path = dir_.filePath(folder);
        QFile file(path + QStringLiteral("/Solvane.conf"));
        if (!before.isEmpty())
            QVERIFY(QDir().mkpath(path) && file.open(QIODevice::WriteOnly) && file.write(before) && file.flush());
        file.close();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);

        QtSettingsStore store;
        store.Save({5, QStringLiteral("4800,N,8,1")});
        const QString said = store.Flush();
        QCOMPARE(said.contains(file.fileName()), problem);
        QCOMPARE(said.isEmpty(), !problem);
        QCOMPARE(file.exists(), !after.isEmpty());
        if (after.isEmpty())
            return;
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY2(text.contains(after), text.constData());
        // Written, unless the file was damaged.
        QCOMPARE(text.contains("Commport=5"), !before.startsWith("[Settings\n"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsFlush)
#include "test_settings_flush.moc"
