#include "key_child.h"

#include "rig_client.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

int KeyChildMain(int port)
{
    RigClient client;
    if (!client.connectTo(port, 10000)) {
        std::printf("failed: no connection to port %d\n", port);
        return 1;
    }
    const auto reply = client.ask("T 1", 1);
    if (!reply || reply->error) {
        std::printf("failed: %s\n", reply ? reply->first.c_str() : "no reply in 10 s");
        return 1;
    }
    std::printf("keyed\n");
    std::fflush(stdout);
    // Holds the connection, and the transmitter, until killed; the end of
    // standard input (the parent gone) ends it too.
    char byte;
    while (::read(STDIN_FILENO, &byte, 1) > 0) {
    }
    return 0;
}

KeyingChild::~KeyingChild()
{
    if (process_.state() != QProcess::NotRunning)
        kill();
}

bool KeyingChild::start(const QString& benchProgram, int port, int boundMs)
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(benchProgram, {QStringLiteral("--key-child"), QString::number(port)});
    if (!process_.waitForStarted(5000)) {
        failure_ = QStringLiteral("the keying child did not start");
        return false;
    }
    QByteArray said;
    const auto end = Clock::now() + std::chrono::milliseconds(boundMs);
    while (!said.contains('\n') && Clock::now() < end && process_.state() == QProcess::Running) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (process_.waitForReadyRead(int(std::max<long long>(1, left))))
            said += process_.readAllStandardOutput();
    }
    said += process_.readAllStandardOutput();
    if (said.startsWith("keyed\n"))
        return true;
    failure_ = said.isEmpty() ? QStringLiteral("the keying child said nothing in %1 ms").arg(boundMs)
                              : QString::fromLocal8Bit(said).trimmed();
    kill();
    return false;
}

KeyingChild::Clock::time_point KeyingChild::kill()
{
    const auto before = Clock::now();
    process_.kill();
    process_.waitForFinished(5000);
    return before;
}
