// SPDX-License-Identifier: GPL-3.0-or-later
// Prints how long the start-up scan takes over ports that do not exist and
// over ports that open but never answer.

#include "AppState.h"
#include "BenchSupport.h"
#include "Communication.h"
#include "Discovery.h"
#include "KxComPort.h"
#include "PtyUnit.h"
#include "ScriptedPrompts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ScriptedPrompts prompts;
    AppState state;

    {
        QTemporaryDir empty;
        qputenv("MERO_COM_DIR", QFile::encodeName(empty.path()));
        std::vector<double> runs;
        for (int i = 0; i < 50; ++i)
            runs.push_back(ScanMs(state));
        const Summary s = Summarize(runs);
        std::printf("scan over 100 absent ports: median %.3f ms, max %.3f ms (goal < 50 ms)\n",
                    s.median, s.max);
    }

    {
        constexpr int Silent = 5;
        std::vector<std::unique_ptr<PtyUnit>> units;
        for (int n = 1; n <= Silent; ++n)
            units.push_back(std::make_unique<PtyUnit>(n * 20));
        const double ms = ScanMs(state);
        std::printf("scan over %d silent ports and 95 absent: %.1f ms, %.1f ms per silent port "
                    "(goal about 200 ms)\n",
                    Silent, ms, ms / Silent);
    }

    if (!prompts.shown().isEmpty())
        std::printf("unexpected: %lld boxes shown\n",
                    static_cast<long long>(prompts.shown().size()));
    return 0;
}
