// SPDX-License-Identifier: GPL-3.0-or-later
#include "InfoSwitches.h"

#include <cstring>

std::string HelpText()
{
    return R"(Usage: mero [-log] [-pick] [-demo]
       mero --help | --version

MERO sets up, runs and watches a pulsed laser-diode driver unit on a serial port.
At start-up it scans COM1 to COM100 for the unit, reads back every setting and then
polls the unit's status once a second.

Switches (a whole argument, "-" or "/" before the name, any letter case):
  -log        write the communication log from the start, to
              MEROControllerLogFile_<USERNAME>_<date>_<time>.txt in the working directory
  -pick       choose the port by hand (as Right Shift held at start-up)
  -demo       start without a unit (as Left Shift held at start-up)
  --help      show this text and exit
  --version   show the version and exit

Keys:
  Right Shift held at start-up   the port picker
  Left Shift held at start-up    demo mode: no port is opened, nothing is sent
  Control held choosing "About"  unlocks the production settings (with their code)

Environment:
  MERO_COM_DIR   when set, port n is the device $MERO_COM_DIR/COM<n> and nothing else
                 (the virtual unit mero-sim and the tests plug in there); otherwise
                 COM1-32 are /dev/ttyS0-31, COM33-64 /dev/ttyUSB0-31,
                 COM65-96 /dev/ttyACM0-31, COM97-100 /dev/ttyAMA0-3
  USERNAME       the user name in the log file's name

A port that will not open for lack of permission needs membership of the dialout
group: sudo usermod -aG dialout $USER, then log in again. See mero(1).
)";
}

std::string VersionText()
{
    return std::string("MERO ") + MERO_PROGRAM_VERSION + "\n";
}

std::optional<TInfoAnswer> InfoSwitchAnswer(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        if (!argv[i])
            continue;
        if (std::strcmp(argv[i], "--help") == 0)
            return TInfoAnswer{HelpText(), 0};
        if (std::strcmp(argv[i], "--version") == 0)
            return TInfoAnswer{VersionText(), 0};
    }
    return std::nullopt;
}
