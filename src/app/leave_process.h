#pragma once
// How the window program ends: without the exit handlers.
//
// Qt 6.4's PulseAudio engine is held in a static that an exit handler
// deletes, and Qt offers no call to delete it sooner. Now and then that
// teardown trips an assertion in libpulse, and a program that has done
// everything the user asked ends in SIGABRT and a crash report. main calls
// this once everything RunWindow made is destroyed: the radio handed back
// and its port closed by the shutdown, the settings stored and flushed, the
// sound player and the application object gone.
//
// Flushes every stdio stream (std::cout and std::cerr write through them),
// then _Exit(status). What the skipped handlers would have done besides is
// not needed: the kernel closes the descriptors and frees the memory, and
// Qt's remaining statics hold caches only.
[[noreturn]] void LeaveProcess(int status);
