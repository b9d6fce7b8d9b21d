// ft847-sim: an FT-847 on a pseudo-terminal, for tests and the demo.
// Prints "DEVICE <slave path>" on its first stdout line, logs every command
// it receives and can misbehave on purpose (see --help).

#include "sim_options.h"
#include "simulator.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

// A signal writes a byte here; the simulator's poll() wakes and quits.
int signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto n = write(signalPipe[1], &byte, 1);
    errno = saved;
}

void InstallSignalHandlers()
{
    if (pipe(signalPipe) != 0) {
        std::perror("ft847-sim: pipe");
        std::exit(1);
    }
    for (int fd : signalPipe) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        sigaction(s, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

} // namespace

int main(int argc, char** argv)
{
    SimOptions options = ParseOptions(argc, argv);
    InstallSignalHandlers();
    return Simulator(std::move(options), signalPipe[0]).run();
}
