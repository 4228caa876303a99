#include "KxComPort.h"

// Replaced by the port picker dialog; without it no port can be chosen.
bool TKxComPort::Pick()
{
    return false;
}
