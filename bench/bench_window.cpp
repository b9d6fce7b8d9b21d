#include "bench_window.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

void MapPort(const QString& device, int baud)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Solvane"));
    settings.clear();
    settings.setValue(QStringLiteral("Ports/COM2"), device);
    settings.setValue(QStringLiteral("Settings/CommSpeed"), QStringLiteral("%1,N,8,1").arg(baud));
    settings.sync();
}

void BenchWindow::start()
{
    window = std::make_unique<MainWindow>(MainWindowParts{port, store, messages, player, QString()});
    window->Form_Load();
}

void BenchWindow::waitIdle()
{
    QElapsedTimer clock;
    clock.start();
    while (window->Radio().Busy() && clock.elapsed() < 5000)
        QTest::qWait(1);
}

void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long VoluntarySwitches()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw;
}
