#!/usr/bin/env python3
"""hover.py DISPLAY WINDOW_NAME X Y: moves the X pointer to (X, Y) inside the top-level window
of that name, as a user's mouse does (XTest), so the widget there sees the pointer enter it.
Exits 1 when the window is not there; 77 when the X libraries cannot be loaded."""
import ctypes
import ctypes.util
import re
import subprocess
import sys


def main():
    display, name, x, y = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    info = subprocess.run(["xwininfo", "-display", display, "-name", name], capture_output=True, text=True)
    left = re.search(r"Absolute upper-left X:\s+(-?\d+)", info.stdout)
    top = re.search(r"Absolute upper-left Y:\s+(-?\d+)", info.stdout)
    if info.returncode != 0 or not left or not top:
        return 1
    try:
        x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        xtst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
    except OSError:
        return 77
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    dpy = x11.XOpenDisplay(display.encode())
    if not dpy:
        return 1
    xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    # From outside the window first, so the move is an entry.
    xtst.XTestFakeMotionEvent(dpy, -1, 0, 0, 0)
    x11.XFlush(dpy)
    xtst.XTestFakeMotionEvent(dpy, -1, int(left.group(1)) + x, int(top.group(1)) + y, 0)
    x11.XFlush(dpy)
    x11.XCloseDisplay(dpy)
    return 0


if __name__ == "__main__":
    sys.exit(main())
