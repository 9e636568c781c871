#!/usr/bin/python3
"""a11y_job.py WORK: drives the running desktop program the way a screen reader user does, through
the AT-SPI bus: it reads each window's accessible tree (every control a user can reach must have a
name and a control's role) and does a whole job with keystrokes and AT-SPI actions only: add files
through the file dialog, read the add-failure message, change an option, convert, read the failure
summary, open the preview and the HTML code, open the recorder and (with a sound server) record and
save a take, read the About box, quit with Ctrl+Q.

WORK holds tone.wav, gone.wav and junk.wav (made by the caller), and receives what the windows
said (walk.txt). Exits 0 when all is well, 1 with the faults found."""
import ctypes
import ctypes.util
import os
import sys
import time

import pyatspi
from gi.repository import Atspi, GLib

GLib_Error = GLib.Error

TIMEOUT = 45.0  # seconds for any one thing to happen; the normal case takes a fraction of it

# Rows of a list or table and the entries of a drop-down list are data: an empty cell is no fault.
ITEM_ROLES = {"list item", "table cell", "tree item", "table column header", "table row header", "table row"}
# Roles that say nothing about what a control does: a control a user can reach must not have one.
VAGUE_ROLES = {"filler", "panel", "unknown", "redundant object", "invalid", "section", "layered pane"}
# Roles of things a user operates, whether or not the keyboard reaches them.
CONTROL_ROLES = {"push button", "toggle button", "check box", "radio button", "combo box", "text", "password text",
                 "slider", "spin button", "menu item", "check menu item", "radio menu item", "page tab", "link",
                 "list", "tree", "table", "tree table", "scroll bar"}
WINDOW_ROLES = {"frame", "dialog", "alert", "window", "file chooser", "color chooser"}


class Failed(Exception):
    pass


class Keyboard:
    """Key presses as a user types them: X key codes from the server's own keyboard map, sent by
    the AT-SPI registry."""

    def __init__(self):
        x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XStringToKeysym.restype = ctypes.c_ulong
        x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        display = x11.XOpenDisplay(None)
        if not display:
            raise Failed("cannot open the X display")
        self.codes = {}
        for name in ["Control_L", "Alt_L", "Shift_L", "Return", "Escape", "Tab", "Menu", "Home", "Down", "space",
                     "F4"] + [chr(c) for c in range(ord("a"), ord("z") + 1)]:
            self.codes[name] = x11.XKeysymToKeycode(display, x11.XStringToKeysym(name.encode()))
        x11.XCloseDisplay(display)

    def press(self, combo):
        """combo: "ctrl+o", "alt+c", "Return", "Menu", "shift+Tab"."""
        parts = combo.split("+")
        mods = [{"ctrl": "Control_L", "alt": "Alt_L", "shift": "Shift_L"}[m] for m in parts[:-1]]
        for m in mods:
            pyatspi.Registry.generateKeyboardEvent(self.codes[m], None, pyatspi.KEY_PRESS)
        pyatspi.Registry.generateKeyboardEvent(self.codes[parts[-1]], None, pyatspi.KEY_PRESSRELEASE)
        for m in reversed(mods):
            pyatspi.Registry.generateKeyboardEvent(self.codes[m], None, pyatspi.KEY_RELEASE)


def wait_for(what, probe, timeout=TIMEOUT):
    """probe() until it gives something true (errors of objects that went away count as not yet)."""
    end = time.monotonic() + timeout
    context = GLib.MainContext.default()
    while True:
        while context.pending():  # the bus's events, such as the focus moving
            context.iteration(False)
        try:
            found = probe()
            if found:
                return found
        except (GLib_Error, RuntimeError, AttributeError):
            pass
        if time.monotonic() > end:
            raise Failed("gave up waiting for " + what)
        time.sleep(0.05)




def states(node):
    return node.getState()


def showing(node):
    return states(node).contains(pyatspi.STATE_SHOWING)


def children(node):
    for i in range(node.childCount):
        c = node.getChildAtIndex(i)
        if c is not None:
            yield c


def descendants(node, only_showing=True):
    for c in children(node):
        try:
            if only_showing and not showing(c):
                continue
            yield c
            if c.getRoleName() not in ITEM_ROLES:
                yield from descendants(c, only_showing)
        except GLib_Error:
            continue


def find(node, role=None, name=None, pred=None):
    for d in descendants(node):
        if role and d.getRoleName() != role:
            continue
        if name is not None and d.name != name:
            continue
        if pred and not pred(d):
            continue
        return d
    return None


class Session:
    def __init__(self, work):
        self.work = work
        self.keys = Keyboard()
        self.faults = []
        self.walked = []
        self.log = open(os.path.join(work, "walk.txt"), "w")
        self.app = None
        # Menus are no windows of the application on the bus: a screen reader learns of one from
        # the event that it shows.
        self.popup = None
        pyatspi.Registry.registerEventListener(self.on_showing, "object:state-changed:showing")

    def on_showing(self, event):
        try:
            if event.detail1 and event.source.getRoleName() in ("popup menu", "menu"):
                self.popup = event.source
        except GLib_Error:
            pass

    def open_menu(self, key, what):
        """Presses key and gives the menu that it shows."""
        self.popup = None
        self.press(key)
        return wait_for(what, lambda: self.popup if self.popup and showing(self.popup) else None)

    # The program's entry on the bus, without the library's cache: every answer is read afresh.
    def find_app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for a in children(desktop):
            if a.name == "Tonvela":
                a.set_cache_mask(Atspi.Cache.NONE)
                return a
        return None

    def windows(self):
        return [w for w in children(self.app) if showing(w)]

    def window(self, role=None, name=None, pred=None, what=None):
        def probe():
            for w in self.windows():
                if role and w.getRoleName() not in (role if isinstance(role, (set, tuple)) else {role}):
                    continue
                if name is not None and not (name(w.name) if callable(name) else w.name == name):
                    continue
                if pred and not pred(w):
                    continue
                return w
            return None
        return wait_for(what or "a window %s %r" % (role, name), probe)

    def gone(self, win, what):
        wait_for(what + " to close", lambda: win not in self.windows())

    def focused_in(self, win):
        return find(win, pred=lambda d: states(d).contains(pyatspi.STATE_FOCUSED))

    def wait_focus(self, win, what, pred=None):
        """Until a control of win has the keyboard focus (and satisfies pred): keys go there."""
        return wait_for(what, lambda: (lambda f: f if f and (pred is None or pred(f)) else None)(self.focused_in(win)))

    def press(self, combo):
        self.keys.press(combo)

    # What a screen reader user meets in a window: each control named and of a control's role.
    def walk(self, win, label, controls=True):
        self.walked.append(label)
        role = win.getRoleName()
        self.log.write("== %s: %s %r\n" % (label, role, win.name))
        if role not in WINDOW_ROLES | {"popup menu", "menu"}:
            self.faults.append("%s: the window's role is %r" % (label, role))
        if role in WINDOW_ROLES and not win.name.strip():
            self.faults.append("%s: the window has no title" % label)
        count = 0
        for d in descendants(win):
            try:
                r, n, st = d.getRoleName(), d.name, states(d)
            except GLib_Error:
                continue
            focusable = st.contains(pyatspi.STATE_FOCUSABLE)
            self.log.write("  %s %r%s\n" % (r, n, " (focusable)" if focusable else ""))
            if r in ITEM_ROLES or r == "scroll bar":
                continue
            if not (focusable or r in CONTROL_ROLES):
                continue
            count += 1
            where = "%s: %s" % (label, r)
            if focusable and r in VAGUE_ROLES:
                self.faults.append("%s %r: a focusable control without a control's role" % (where, n))
            if not n.strip():
                parent = d.parent
                self.faults.append("%s without a name (in %s %r)" % (where, parent.getRoleName(), parent.name))
        if count == 0 and controls:
            self.faults.append("%s: no controls seen" % label)
        return count


def add_files(s, main, names, walk=False):
    """Ctrl+O, the work folder typed into the name field and opened, then names typed and Enter."""
    s.wait_focus(main, "the focus in the main window")
    s.press("ctrl+o")
    chooser = s.window(role={"dialog", "file chooser"}, what="the Add Files dialog")
    if walk:
        s.walk(chooser, "add files dialog")
    field = s.wait_focus(chooser, "the focus in the file name field", lambda f: f.getRoleName() == "text")
    field.queryEditableText().setTextContents(s.work)
    s.press("Return")
    wait_for("the dialog to show the folder", lambda: find(chooser, role="table cell", name="tone.wav")
             or find(chooser, role="list item", name="tone.wav"))
    for n in names:
        field.queryEditableText().setTextContents(n)
    s.press("Return")
    s.gone(chooser, "the Add Files dialog")


def list_cell(main, text):
    table = find(main, role="tree") or find(main, role="tree table") or find(main, role="table")
    if not table:
        return None
    for c in children(table):
        if c.getRoleName() == "table cell" and c.name == text:
            return c
    return None


def run(s):
    work = s.work
    s.app = wait_for("the program on the accessibility bus", s.find_app)
    main = s.window(name="Tonvela", what="the main window")
    s.wait_focus(main, "the keyboard focus in the main window")
    s.walk(main, "main window")

    # Add Files by its key: the file dialog starts with the focus in its name field; a folder
    # typed there is opened, then two files are chosen at once.
    add_files(s, main, ['"tone.wav" "gone.wav"'], walk=True)
    wait_for("tone.wav and gone.wav in the list", lambda: list_cell(main, "tone.wav") and list_cell(main, "gone.wav"))
    # junk.wav is no sound: a message names it; Enter closes it.
    add_files(s, main, ["junk.wav"])
    box = s.window(role={"alert", "dialog"}, what="the message about the file that was not added")
    s.walk(box, "add failure message")
    text = " ".join(d.name for d in descendants(box) if d.getRoleName() == "label")
    if "junk.wav" not in text:
        s.faults.append("the add failure message does not name junk.wav: %r" % text)
    s.press("Return")
    s.gone(box, "the add failure message")
    if list_cell(main, "junk.wav"):
        s.faults.append("junk.wav was listed")
    os.remove(os.path.join(work, "gone.wav"))  # gone before it is converted: it fails

    # Options by its accelerator; every page walked, reached with Ctrl+Tab; Loop play ticked by its
    # accelerator; OK with Enter.
    s.wait_focus(main, "the focus back in the main window")
    s.press("alt+o")
    sheet = s.window(role="dialog", name="Options", what="the Options sheet")
    s.wait_focus(sheet, "the focus in the Options sheet")
    tabs = wait_for("the sheet's tabs", lambda: find(sheet, role="page tab list"))
    pages = [c.name for c in children(tabs) if c.getRoleName() == "page tab"]
    if len(pages) < 3:
        s.faults.append("the Options sheet shows %d pages: %r" % (len(pages), pages))
    # Qt does not mark the current tab as selected: a page is told by the controls it shows.
    seen = [page_controls(sheet)]
    s.walk(sheet, "options page 1")
    for i in range(1, len(pages)):
        s.press("ctrl+Tab")
        wait_for("page %d after Ctrl+Tab" % (i + 1), lambda: page_controls(sheet) not in seen)
        seen.append(page_controls(sheet))
        s.walk(sheet, "options page %d" % (i + 1))
    s.press("ctrl+Tab")  # round to the first page, where Loop play is
    wait_for("the first page again", lambda: page_controls(sheet) == seen[0])
    loop = wait_for("the Loop play box", lambda: find(sheet, role="check box", name="Loop play"))
    was = states(loop).contains(pyatspi.STATE_CHECKED)
    s.press("alt+l")
    wait_for("Loop play to change", lambda: states(loop).contains(pyatspi.STATE_CHECKED) != was)
    # The focus is on the check box now; Enter is the sheet's default button, OK.
    s.press("Return")
    s.gone(sheet, "the Options sheet")
    conf = os.path.join(os.environ["TONVELA_CONFIG_DIR"], "settings.conf")
    want = "SWFLoopPlay=dword:%08x" % (0 if was else 1)
    wait_for("the changed option in the settings (%s)" % want, lambda: want in open(conf).read())

    # Convert All by its accelerator: the failure summary names gone.wav; Esc closes it.
    s.wait_focus(main, "the focus back in the main window")
    s.press("alt+c")
    summary = s.window(role="dialog", pred=lambda w: find(w, pred=lambda d: "gone.wav" in d.name),
                       what="the summary of the failed file")
    s.walk(summary, "failure summary")
    s.press("Escape")
    s.gone(summary, "the failure summary")
    wait_for("tone.wav converted", lambda: list_cell(main, "tone.swf"))
    if not os.path.exists(os.path.join(work, "tone.swf")):
        s.faults.append("tone.swf is not in the folder")

    # The preview: the converted row chosen with the keys, Play SWF from the list's menu (Menu key).
    s.wait_focus(main, "the focus back in the main window")
    select_row(s, main, "tone.wav")
    menu = s.open_menu("Menu", "the list's menu")
    s.walk(menu, "list menu")
    s.press("s")
    preview = s.window(name=lambda n: "tone.swf" in n, what="the preview of tone.swf")
    s.walk(preview, "preview", controls=False)  # the movie draws its own buttons
    s.press("Escape")
    s.gone(preview, "the preview")

    # The page's HTML code, also from the list's menu.
    s.wait_focus(main, "the focus back in the main window")
    select_row(s, main, "tone.wav")
    s.open_menu("Menu", "the list's menu")
    s.press("d")
    viewer = s.window(role="dialog", name=lambda n: n.startswith("tone.htm"), what="the HTML code viewer")
    code = s.wait_focus(viewer, "the focus in the HTML code")
    s.walk(viewer, "HTML code viewer")
    if "tone.swf" not in code.queryText().getText(0, -1):
        s.faults.append("the HTML code viewer does not show the page's code")
    s.press("Escape")
    s.gone(viewer, "the HTML code viewer")

    record(s, main)

    # The help menu from its button, then the About box.
    s.wait_focus(main, "the focus back in the main window")
    help_button = find(main, role="push button", pred=lambda d: d.name.startswith("Help"))
    if not help_button:
        s.faults.append("no help button that says so")
    else:
        focus_by_tab(s, main, help_button)
        menu = s.open_menu("space", "the help menu")
        s.walk(menu, "help menu")
        s.press("a")
        about = s.window(role={"dialog", "alert"}, name="About Tonvela", what="the About box")
        s.walk(about, "about box")
        s.press("Return")
        s.gone(about, "the About box")

    s.wait_focus(main, "the focus back in the main window")
    s.press("ctrl+q")
    wait_for("the program to quit", lambda: s.find_app() is None)


def page_controls(win):
    return frozenset((d.getRoleName(), d.name) for d in descendants(win)
                     if d.getRoleName() not in ITEM_ROLES and d.getRoleName() != "page tab")


def focus_by_tab(s, win, target, limit=40):
    """Tab until target has the focus, as a user looks for a control."""
    for _ in range(limit):
        if states(target).contains(pyatspi.STATE_FOCUSED):
            return
        before = s.focused_in(win)
        s.press("Tab")
        wait_for("the focus to move on from %r" % (before.name if before else None),
                 lambda: s.focused_in(win) != before)
    raise Failed("Tab never reaches %s %r" % (target.getRoleName(), target.name))


def select_row(s, main, name):
    """The list focused with Tab, then Home, Down and Space until the row of name is the one
    selected."""
    table = find(main, role="tree") or find(main, role="table")
    focus_by_tab(s, main, table)
    s.press("Home")

    def current():
        return next((c for c in children(table) if c.getRoleName() == "table cell" and
                     states(c).contains(pyatspi.STATE_FOCUSED)), None)
    for _ in range(20):
        cell = wait_for("a current row", current)
        if cell.name == name:
            if not states(cell).contains(pyatspi.STATE_SELECTED):
                s.press("space")
                wait_for("the row %r selected" % name, lambda: states(cell).contains(pyatspi.STATE_SELECTED))
            return
        s.press("Down")
        wait_for("the current row to move from %r" % cell.name, lambda: current() and current().name != cell.name)
    raise Failed("row %r never reached" % name)


def record(s, main):
    """The recorder by its accelerator. With a sound server (SOUND=1): a take recorded, stopped,
    saved with Save As under WORK/take.wav; without, its window is read and closed."""
    s.wait_focus(main, "the focus back in the main window")
    s.press("alt+r")
    rec = s.window(role="dialog", name="Record", what="the recorder")
    s.wait_focus(rec, "the focus in the recorder")
    s.walk(rec, "recorder")
    if os.environ.get("SOUND") == "1":
        label = wait_for("the recorder's status", lambda: find(rec, role="label", pred=lambda d: d.name.startswith("Ready")))
        message = find(rec, role="label", name="")
        status = lambda: label.name + " " + (message.name if message else "")
        s.press("alt+r")
        wait_for("the recording to run", lambda: "00:00.0" not in status() and "Recording" in status())
        s.press("alt+s")
        wait_for("the take to stop", lambda: "Recording" not in status())
        s.press("alt+a")
        save = s.window(role={"dialog", "file chooser"}, pred=lambda w: w.name != "Record", what="the Save As dialog")
        field = s.wait_focus(save, "the focus in the save dialog's name field", lambda f: f.getRoleName() == "text")
        field.queryEditableText().setTextContents(os.path.join(s.work, "take.wav"))
        s.press("Return")
        s.gone(save, "the Save As dialog")
        wait_for("take.wav written", lambda: os.path.exists(os.path.join(s.work, "take.wav")))
        wait_for("the status line to say where", lambda: "take.wav" in status())
    s.press("Escape")
    s.gone(rec, "the recorder")


def main():
    s = Session(sys.argv[1])
    try:
        run(s)
    except Failed as e:
        s.faults.append("stopped: %s" % e)
        if os.environ.get("A11Y_SHOT"):
            import subprocess
            subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "x11grab", "-video_size", "1600x1000", "-i",
                            os.environ["DISPLAY"], "-frames:v", "1", os.environ["A11Y_SHOT"]])
        try:
            for w in children(s.app):
                s.log.write("-- open at the stop: %s %r showing=%s\n" % (w.getRoleName(), w.name, showing(w)))
                for d in descendants(w):
                    s.log.write("  %s %r\n" % (d.getRoleName(), d.name))
        except Exception:
            pass
    s.log.close()
    print("windows read: %s" % ", ".join(s.walked))
    for f in s.faults:
        print("FAIL " + f)
    return 1 if s.faults else 0


if __name__ == "__main__":
    sys.exit(main())
