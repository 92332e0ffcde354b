#!/usr/bin/python3
"""Asks an X11 window to close, as a window manager's close button does:
sends it WM_DELETE_WINDOW, so its program closes it the way it chooses
(Quimbrel writes its settings first). Where no window manager runs, as on
the demo's virtual screen, nothing else can.

    close-x11-window.py WINDOW_ID
"""
import sys

from Xlib import X, display
from Xlib.protocol import event


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    screen = display.Display()
    window = screen.create_resource_object("window", int(sys.argv[1], 0))
    protocols = screen.intern_atom("WM_PROTOCOLS")
    delete = screen.intern_atom("WM_DELETE_WINDOW")
    if delete not in (window.get_wm_protocols() or []):
        sys.exit("the window does not take WM_DELETE_WINDOW")
    message = event.ClientMessage(window=window, client_type=protocols,
                                  data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    window.send_event(message, event_mask=X.NoEventMask)
    screen.flush()


if __name__ == "__main__":
    main()
