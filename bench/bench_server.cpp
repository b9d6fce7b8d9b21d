#include "bench_server.h"

#include "rig_client.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>

#include <unistd.h>

#include <chrono>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
} // namespace

bool BenchServer::startSolvane(const QString& program, const SolvaneLaunch& how, const BenchRadio& radio)
{
    if (!startSim(radio))
        return false;
    // The stored port speed matches the simulator's, so that Solvane's
    // count of each command's line time is right.
    QFile conf(dir_.filePath(QStringLiteral("Solvane.conf")));
    if (!conf.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write Solvane.conf"));
    conf.write("[Ports]\nCOM2=" + sim_.device().toLocal8Bit() + "\n[Settings]\nCommport=2\nCommSpeed=\""
               + QByteArray::number(kBenchBaud) + ",N,8,1\"\n");
    conf.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Solvane leaves a QT_NO_GLIB that is set alone; an empty one keeps GLib's.
    env.remove(QStringLiteral("QT_NO_GLIB"));
    if (how.dispatcher == SolvaneLaunch::Dispatcher::GLib)
        env.insert(QStringLiteral("QT_NO_GLIB"), QString());
    else if (how.dispatcher == SolvaneLaunch::Dispatcher::Qt)
        env.insert(QStringLiteral("QT_NO_GLIB"), QStringLiteral("1"));
    process_.setProcessEnvironment(env);
    QStringList args{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port_)};
    if (how.headless)
        args.prepend(QStringLiteral("--headless"));
    return launch(program, args, radio);
}

bool BenchServer::startRigctld(const BenchRadio& radio)
{
    if (!startSim(radio))
        return false;
    return launch(QStringLiteral("rigctld"),
                  {QStringLiteral("-m"), QStringLiteral("1001"), QStringLiteral("-r"), sim_.device(),
                   QStringLiteral("-s"), QString::number(kBenchBaud), QStringLiteral("-t"), QString::number(port_),
                   QStringLiteral("-T"), QStringLiteral("127.0.0.1")},
                  radio);
}

double BenchServer::cpuSeconds() const
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid()));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // After the name: field 3 (state) is at index 0, utime (14) at 11.
    if (fields.size() < 13)
        return 0;
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

double BenchServer::runSeconds() const
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid()));
    qint64 ns = 0;
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (schedstat.open(QIODevice::ReadOnly))
            ns += schedstat.readAll().split(' ').value(0).toLongLong();
    }
    return ns / 1e9;
}

long BenchServer::voluntarySwitches() const
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid()));
    long switches = 0;
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks.filePath(task + QStringLiteral("/status")));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("voluntary_ctxt_switches:"))
                switches += line.mid(24).trimmed().toLong();
    }
    return switches;
}

void BenchServer::stop()
{
    if (process_.state() != QProcess::NotRunning)
        process_.terminate();
    stopServer();
    sim_.stop();
}

void BenchServer::stopServer()
{
    if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(10000)) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}

bool BenchServer::fail(const QString& why)
{
    failure_ = why;
    return false;
}

bool BenchServer::startSim(const BenchRadio& radio)
{
    if (!dir_.isValid() || !sim_.start(QStringList{QStringLiteral("--baud"), QString::number(kBenchBaud)} + radio.simArgs))
        return fail(QStringLiteral("the simulator did not start"));
    port_ = FreeLoopbackPort();
    return true;
}

bool BenchServer::launch(const QString& program, const QStringList& args, const BenchRadio& radio)
{
    process_.setWorkingDirectory(dir_.path());
    process_.setStandardOutputFile(dir_.filePath(QStringLiteral("server.out")));
    process_.setStandardErrorFile(dir_.filePath(QStringLiteral("server.err")));
    process_.start(program, args);
    if (!process_.waitForStarted(5000))
        return fail(program + QStringLiteral(" did not start"));
    const auto deadline = Clock::now() + 15s;
    RigClient probe;
    while (Clock::now() < deadline && process_.state() == QProcess::Running) {
        if (probe.connected() || probe.connectTo(port_)) {
            const auto reply = probe.ask(radio.answers ? "f" : "\\chk_vfo", 1);
            if (reply && !reply->error)
                return true;
        }
        std::this_thread::sleep_for(100ms);
    }
    return fail(program + QStringLiteral(" never answered %1 on port %2")
                              .arg(radio.answers ? QStringLiteral("f") : QStringLiteral("\\chk_vfo"))
                              .arg(port_));
}
