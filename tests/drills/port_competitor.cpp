// SPDX-License-Identifier: GPL-3.0-or-later
// Another program that wants the serial port MERO holds, for the fault drills.
//
//   port_competitor flock|open PATH SECONDS [--as-nobody]
//
// flock: opens PATH and waits in an exclusive flock, so it gets the port the
// moment its holder lets go; open: opens it again and again (which TIOCEXCL
// refuses to anyone but root).
// With --as-nobody (only as root) it first becomes user nobody. Prints
// "got <ms>" and exits 0 the first time it succeeds; exits 1 when SECONDS
// passed without success, 2 on a usage error.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 4 || (std::strcmp(argv[1], "flock") != 0 && std::strcmp(argv[1], "open") != 0))
        return 2;
    const bool useFlock = std::strcmp(argv[1], "flock") == 0;
    const char* path = argv[2];
    const double seconds = std::atof(argv[3]);
    if (argc > 4 && std::strcmp(argv[4], "--as-nobody") == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            std::perror("port_competitor: cannot become nobody");
            return 2;
        }
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto got = [&] {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        std::printf("got %lld\n", static_cast<long long>(ms.count()));
        return 0;
    };
    const auto end = start + std::chrono::duration<double>(seconds);
    if (useFlock) {
        int fd;
        while ((fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) < 0)
            if (Clock::now() >= end)
                return 1;
        // The alarm ends the wait (EINTR, not restarted) when the time is up.
        struct sigaction onAlarm {
        };
        onAlarm.sa_handler = [](int) {};
        sigaction(SIGALRM, &onAlarm, nullptr);
        const auto left = std::chrono::duration_cast<std::chrono::seconds>(end - Clock::now());
        alarm(static_cast<unsigned>(std::max<long long>(1, left.count())));
        return flock(fd, LOCK_EX) == 0 ? got() : 1;
    }
    while (Clock::now() < end) {
        const int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            return got();
    }
    return 1;
}
