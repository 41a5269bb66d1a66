#pragma once
// A D-Bus daemon of the test's own, started before Qt, which may look for
// the session bus as it starts; it ends with the test.

#include <sys/prctl.h>
#include <unistd.h>

#include <QString>
#include <csignal>
#include <cstdlib>

namespace mirvane::test {

// Starts a bus, names its address in the environment variable and returns it.
inline QString startBus(const char* variable) {
    int output[2];
    if (::pipe(output) != 0) return {};
    if (::fork() == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::dup2(output[1], STDOUT_FILENO);
        ::execlp("dbus-daemon", "dbus-daemon", "--session", "--print-address", "--nofork", nullptr);
        ::_exit(127);
    }
    ::close(output[1]);
    QString address;
    for (char byte; ::read(output[0], &byte, 1) == 1 && byte != '\n';) address += byte;
    ::setenv(variable, address.toLocal8Bit().constData(), 1);
    return address;
}

}  // namespace mirvane::test
