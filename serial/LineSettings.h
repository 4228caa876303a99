// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KxComPort.h"

#include <termios.h>

// Turns t into the component's line settings: raw, 8 data bits, 1 stop bit,
// receiver on, modem status ignored, reads that never block, the given speed,
// transmitted parity and flow control. False (t untouched) for a baud rate
// the terminal interface has no speed for.
bool BuildLineSettings(termios& t, int baud, TParity parity, THandshake handshake);
