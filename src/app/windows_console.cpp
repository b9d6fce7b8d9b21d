#include "windows_console.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <cstdio>

#include <windows.h>

namespace {

// A file or a pipe given by whoever started the program.
bool Redirected(DWORD stream)
{
    const HANDLE handle = ::GetStdHandle(stream);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

} // namespace

void ConnectConsole(bool openOwnIfNone)
{
    // Asked before attaching, which may fill in the standard handles.
    const bool outputRedirected = Redirected(STD_OUTPUT_HANDLE);
    const bool errorRedirected = Redirected(STD_ERROR_HANDLE);
    if (!::AttachConsole(ATTACH_PARENT_PROCESS) && !(openOwnIfNone && ::AllocConsole()))
        return;
    FILE* stream = nullptr;
    if (!outputRedirected)
        ::freopen_s(&stream, "CONOUT$", "w", stdout);
    if (!errorRedirected)
        ::freopen_s(&stream, "CONOUT$", "w", stderr);
}

#else

void ConnectConsole(bool) {}

#endif
