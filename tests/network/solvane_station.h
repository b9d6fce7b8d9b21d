#pragma once
// The real Solvane program for a test, offscreen, with port 2 mapped to the
// project's FT-847 simulator and its settings in a temporary directory, and
// Debian's rig-control client (rigctl -m 2) to talk to it.

#include "sim_process.h"

#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

inline quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Solvane, offscreen, with port 2 mapped to the simulator and its server on
// 127.0.0.1:port.
struct Station {
    SimProcess sim;
    QTemporaryDir config;
    QProcess solvane;
    quint16 port = 0;
    QString device; // port 2's device; the simulator's when empty

    // Starts Solvane and waits until it polls, or with --headless (which
    // polls only for its clients) until it has taken control.
    bool start(const QStringList& simArgs = {}, QStringList extraArgs = {}, const QByteArray& moreSettings = {})
    {
        if (!sim.start(simArgs) || !launch(extraArgs, moreSettings))
            return false;
        const QString ready = extraArgs.contains(QStringLiteral("--headless")) ? QStringLiteral("00 00 00 00 00")
                                                                               : QStringLiteral("00 00 00 00 03");
        return QTest::qWaitFor([&] { return sim.loggedCommands().contains(ready); }, 10000);
    }

    // With `ownPort`, the server listens on 127.0.0.1:port whatever [Network] says.
    bool launch(QStringList extraArgs, const QByteArray& moreSettings, bool ownPort = true)
    {
        QFile conf(config.filePath(QStringLiteral("Solvane.conf")));
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        conf.write("[Ports]\nCOM2=" + (device.isEmpty() ? sim.device() : device).toLocal8Bit() + "\n" + moreSettings);
        conf.close();
        port = FreePort();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        solvane.setProcessEnvironment(env);
        solvane.setWorkingDirectory(config.path());
        if (ownPort && !extraArgs.contains(QStringLiteral("--listen")))
            extraArgs << QStringLiteral("--listen") << QStringLiteral("127.0.0.1:%1").arg(port);
        solvane.start(QStringLiteral(SOLVANE_PATH), extraArgs);
        return solvane.waitForStarted(5000);
    }

    ~Station()
    {
        solvane.terminate();
        solvane.waitForFinished(5000);
    }

    // Runs `rigctl -m 2` with these commands; its standard output, one
    // value a line (it exits 0 even when a request fails).
    QStringList rigctl(const QStringList& commands, QString* errors = nullptr) const
    {
        QProcess client;
        client.start(QStringLiteral("rigctl"),
                     QStringList{QStringLiteral("-m"), QStringLiteral("2"), QStringLiteral("-r"),
                                 QStringLiteral("127.0.0.1:%1").arg(port)}
                         + commands);
        if (!client.waitForFinished(30000))
            return {QStringLiteral("rigctl did not finish")};
        if (errors)
            *errors = QString::fromLocal8Bit(client.readAllStandardError());
        return QString::fromLocal8Bit(client.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QStringList userCommands() const
    {
        // Taking control is CAT on, then receive for a radio left keyed.
        QStringList out;
        QString previous;
        for (const QString& line : sim.loggedCommands()) {
            const bool takingControl = line == QLatin1String("00 00 00 00 00")
                                    || (line == QLatin1String("00 00 00 00 88") && previous == QLatin1String("00 00 00 00 00"));
            const bool poll = line.endsWith(QLatin1String(" 03")) || line.endsWith(QLatin1String(" E7"))
                           || line.endsWith(QLatin1String(" F7"));
            if (!poll && !takingControl)
                out << line;
            previous = line;
        }
        return out;
    }
};

inline QStringList words(const char* text) { return QString::fromLatin1(text).split(QLatin1Char(' ')); }

