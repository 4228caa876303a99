// SPDX-License-Identifier: GPL-3.0-or-later
// mero-sim: a virtual laser-diode driver unit on a pseudo-terminal.

#include "options.h"
#include "ptylink.h"
#include "server.h"
#include "trace.h"
#include "unit.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace
{

int stopPipe = -1;

void onStopSignal(int sig)
{
    const unsigned char n = static_cast<unsigned char>(sig);
    const ssize_t done = write(stopPipe, &n, 1);
    (void)done;
}

} // namespace

int main(int argc, char** argv)
{
    sim::SimOptions options;
    const std::string error = sim::parseOptions(argc, argv, options);
    if (!error.empty()) {
        std::fprintf(stderr, "mero-sim: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(sim::helpText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs("mero-sim " MERO_SIM_VERSION "\n", stdout);
        return 0;
    }
    if (!options.seedGiven)
        options.unit.seed = std::random_device{}();

    // Handlers write the signal number into a pipe that the event loop watches; installed
    // before the link exists, so a signal during set-up still ends in the clean-up. A
    // handler, unlike a blocked mask, also works when some library started a thread.
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("mero-sim: pipe");
        return 1;
    }
    stopPipe = pipeFds[1];
    struct sigaction action {
    };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int signalFd = pipeFds[0];

    sim::Trace trace;
    if (!options.traceFile.empty() && !trace.open(options.traceFile)) {
        std::fprintf(stderr, "mero-sim: cannot write %s: %s\n", options.traceFile.c_str(),
                     std::strerror(errno));
        return 1;
    }

    try {
        sim::PtyLink link(options.comDir, options.port);
        std::printf("MERO_COM_DIR=%s\n", link.dir().c_str());
        std::fflush(stdout);
        std::fprintf(stderr, "mero-sim: COM%d -> %s, model %s, configuration code %d\n",
                     options.port, link.slavePath().c_str(), options.unit.model.c_str(),
                     options.unit.config);
        trace.record("START", link.linkPath() + " -> " + link.slavePath());
        sim::Unit unit(options.unit);
        sim::Server server(options, unit, link, trace);
        return server.run(signalFd);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mero-sim: %s\n", e.what());
        return 1;
    }
}
