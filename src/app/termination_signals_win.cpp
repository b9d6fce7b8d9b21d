// Windows' requests to end the program, behind CloseOnTerminationSignals.
// Built everywhere so that the Windows compile check sees it; empty
// elsewhere. Windows gives no signals; it asks in two ways:
// - a console's control handler (Ctrl+C, Ctrl+Break, the console closed),
//   called on a thread of its own; the process is ended when it returns;
// - WM_QUERYENDSESSION and WM_ENDSESSION to the top-level windows at logoff
//   and shutdown. The control handler of a program that has loaded user32,
//   as every Qt program has, is not called for those, so --headless, which
//   has no window, is ended there without its shutdown. Once WM_ENDSESSION
//   returns, the process may be ended at any moment.
// Both start the one shutdown on the event loop's thread and return only
// once it has finished, or after kWaitLimitMs.

#include "termination_signals.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include "transceiver.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include <windows.h>

namespace {

// Windows ends a program about five seconds after a console closed or the
// session's end reached it, whether it is done or not. The shutdown itself
// ends within Transceiver::ShutdownLimitMs of its start.
constexpr int kWaitLimitMs = 4500;
static_assert(Transceiver::ShutdownLimitMs + 1000 <= kWaitLimitMs);

// What the console's handler thread shares with the event loop's thread.
struct SharedState {
    std::mutex mutex;
    std::condition_variable changed;
    QObject* context = nullptr; // the shutdown is queued to it; null once it is gone
    bool finished = false;
};
SharedState shared;

// The event loop's thread only.
StartShutdown startShutdown;
bool started = false;
QEventLoop* sessionEndWait = nullptr;

void Finished()
{
    {
        std::lock_guard lock(shared.mutex);
        shared.finished = true;
    }
    shared.changed.notify_all();
    if (sessionEndWait)
        sessionEndWait->quit();
}

void Start()
{
    if (started || !startShutdown)
        return;
    started = true;
    startShutdown(Finished);
}

bool HasFinished()
{
    std::lock_guard lock(shared.mutex);
    return shared.finished;
}

// On the console's handler thread: Qt is touched only to queue the request.
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    std::unique_lock lock(shared.mutex);
    if (!shared.context)
        return FALSE; // past the shutdown already: Windows' default ends the process
    QMetaObject::invokeMethod(shared.context, [] { Start(); }, Qt::QueuedConnection);
    shared.changed.wait_for(lock, std::chrono::milliseconds(kWaitLimitMs), [] { return shared.finished; });
    return TRUE;
}

// WM_ENDSESSION reaches every top-level window of the program, Qt's hidden
// ones too. Left to Qt it emits aboutToQuit and quits at once; here the
// shutdown runs to its end before the message returns, with the event loop
// turning so the line's queue can finish. Input waits meanwhile.
class SessionEndFilter final : public QObject, public QAbstractNativeEventFilter {
public:
    using QObject::QObject;
    ~SessionEndFilter() override
    {
        {
            std::lock_guard lock(shared.mutex);
            shared.context = nullptr;
        }
        startShutdown = nullptr; // it refers to the owner, going with it
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override
    {
        const MSG* msg = static_cast<const MSG*>(message);
        if (type != "windows_generic_MSG" || msg->message != WM_ENDSESSION || msg->wParam == FALSE)
            return false; // a session end that was called off is Qt's to undo
        *result = 0;
        if (sessionEndWait)
            return true; // another window's message; the first one holds the process
        Start();
        if (!HasFinished()) {
            QEventLoop loop;
            QTimer::singleShot(kWaitLimitMs, &loop, &QEventLoop::quit);
            sessionEndWait = &loop;
            loop.exec(QEventLoop::ExcludeUserInputEvents);
            sessionEndWait = nullptr;
        }
        return true;
    }
};

} // namespace

void CloseOnTerminationSignals(QObject* owner, StartShutdown shutdown)
{
    startShutdown = std::move(shutdown);
    auto* filter = new SessionEndFilter(owner);
    {
        std::lock_guard lock(shared.mutex);
        shared.context = filter;
    }
    QCoreApplication::instance()->installNativeEventFilter(filter);
    // Ctrl+C may arrive switched off, inherited from a parent that started
    // this program in a process group of its own.
    ::SetConsoleCtrlHandler(nullptr, FALSE);
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

#endif
