// SPDX-License-Identifier: GPL-3.0-or-later
// MERO: sets up, runs and watches a pulsed laser-diode driver unit.
#include "InfoSwitches.h"
#include "MEROApplication.h"
#include "MEROMain.h"
#include "NumberFormat.h"

#include <QIcon>

#include <cstdio>

int main(int argc, char** argv)
{
    // Before QApplication: these work without a display and touch nothing.
    if (const auto answer = InfoSwitchAnswer(argc, argv)) {
        std::fputs(answer->text.c_str(), stdout);
        return answer->exitCode;
    }
    TMEROApplication app(argc, argv);
    // QApplication has just set the locale from the environment; numbers
    // must still travel with "." whatever the operator's language.
    NumberFormat::FixProcessNumberFormat();
    // The caption of every message box; a display name would also be
    // appended to the main window's caption.
    QApplication::setApplicationName(QStringLiteral("MERO Application"));
    // The installed desktop entry, so a desktop shows its icon for the window.
    QGuiApplication::setDesktopFileName(QStringLiteral("mero"));
    QIcon icon;
    for (const int size : {48, 128, 256})
        icon.addFile(QStringLiteral(":/icons/mero-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);

    int result = 0;
    {
        TMERO_App window;
        // The start-up boxes are the only windows while it runs; closing
        // them must not end the program.
        QApplication::setQuitOnLastWindowClosed(false);
        window.FormCreate(&window);
        QApplication::setQuitOnLastWindowClosed(true);
        if (!window.Ending()) {
            window.show();
            result = app.exec();
        }
    }
    return result;
}
