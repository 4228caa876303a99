// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeyState.h"

#include <QGuiApplication>
#include <qguiapplication_platform.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace
{

class PlatformKeyState : public IKeyState
{
public:
    bool LeftShift() override { return IsDown(XK_Shift_L); }
    bool RightShift() override { return IsDown(XK_Shift_R); }
    bool Control() override
    {
        if (Display* display = X11Display())
            return IsDown(display, XK_Control_L) || IsDown(display, XK_Control_R);
        return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
    }

private:
    static Display* X11Display()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            return nullptr;
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        return x11 ? x11->display() : nullptr;
    }

    static bool IsDown(unsigned long keysym)
    {
        Display* display = X11Display();
        return display && IsDown(display, keysym);
    }

    static bool IsDown(Display* display, unsigned long keysym)
    {
        const KeyCode code = XKeysymToKeycode(display, keysym);
        if (code == 0)
            return false;
        char keys[32] = {};
        XQueryKeymap(display, keys);
        return (keys[code / 8] >> (code % 8)) & 1;
    }
};

IKeyState* installed = nullptr;

} // namespace

IKeyState& KeyState()
{
    static PlatformKeyState platform;
    return installed ? *installed : platform;
}

IKeyState* InstallKeyState(IKeyState* keys)
{
    IKeyState* before = installed;
    installed = keys;
    return before;
}
