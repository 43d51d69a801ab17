#!/usr/bin/env python3
"""Reads a running trinode through the accessibility bus, as a screen reader
does, and checks what it finds. Prints one line per failure; exit status 1 when
anything is missing.

Usage: read_trinode.py INFO_OF_FILES GUIDE_AFTER_FILES
       read_trinode.py --bindings ROW
       read_trinode.py --key-dialog KEY
where INFO_OF_FILES is the information bound to (Files, empty, empty),
GUIDE_AFTER_FILES what the chord guide says once Files rests in a socket, ROW is
how the open bindings window's first row must read, and KEY the key that the
open key dialog must show.
"""
import os
import subprocess
import sys
import time

import pyatspi


def table_hints():
    """The hints of the window's pictures but the sockets, from the window's
    own table: a screen reader reads them as the pictures' names."""
    places = subprocess.run([os.environ["TRINODE_PICTURES"], "places"],
                            capture_output=True, text=True, check=True).stdout
    return [line.split(" ", 5)[5] for line in places.splitlines()
            if line.count(" ") >= 5 and not line.startswith("EmptySocket")]


HINTS = table_hints()
EDITOR_BOXES = ["Currently allocated information", "Currently allocated path",
                "New information", "New path"]
EDITOR_LISTS = ["Socket 1", "Socket 2", "Socket 3"]

failures = []


def fail(text):
    failures.append(text)
    print("    FAIL: " + text, file=sys.stderr)


def wait_for(what, condition, seconds=20):
    """Tries the condition until it gives something, for at most a while."""
    deadline = time.monotonic() + seconds
    while True:
        try:
            found = condition()
        except Exception:  # the tree changes under us while windows open
            found = None
        if found:
            return found
        if time.monotonic() > deadline:
            fail("timed out waiting for " + what)
            return None
        time.sleep(0.05)


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name.lower() == "trinode":
            return app
    return None


def walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def nodes(app, role):
    return [n for n in walk(app) if n.getRole() == role and showing(n)]


def names(app, role):
    return [n.name for n in nodes(app, role)]


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i).lower() == "press":
            action.doAction(i)
            return True
    fail("%r has no press action" % node.name)
    return False


def push_button(app, name):
    for n in nodes(app, pyatspi.ROLE_PUSH_BUTTON):
        if n.name == name:
            return n
    return None


def main():
    info_of_files, guide = sys.argv[1:3]
    app = wait_for("trinode on the accessibility bus", application)
    if app is None:
        return 1
    main_window = wait_for("the main window's pictures",
                           lambda: push_button(app, "Click to Run") and app)
    if main_window is None:
        return 1

    buttons = names(app, pyatspi.ROLE_PUSH_BUTTON)
    for hint in set(HINTS):
        if buttons.count(hint) != HINTS.count(hint):
            fail("push button %r found %d times, not %d"
                 % (hint, buttons.count(hint), HINTS.count(hint)))
    for n in nodes(app, pyatspi.ROLE_PUSH_BUTTON):
        if not n.getState().contains(pyatspi.STATE_FOCUSABLE):
            fail("%r cannot take the focus" % n.name)

    # A press through the bus is a release on Files: the first socket takes
    # it, and the information label shows the binding.
    # Each socket says which it is.
    sockets = ["Socket 1, empty", "Socket 2, empty", "Socket 3, empty"]
    wait_for("three sockets named %s" % sockets,
             lambda: all(name in names(app, pyatspi.ROLE_PUSH_BUTTON) for name in sockets))
    if press(push_button(app, "Files")):
        sockets[0] = "Socket 1, Files"
        wait_for("sockets named %s" % sockets,
                 lambda: all(name in names(app, pyatspi.ROLE_PUSH_BUTTON) for name in sockets))
        wait_for("the information label named %r" % info_of_files,
                 lambda: info_of_files in names(app, pyatspi.ROLE_LABEL))
        wait_for("the chord guide telling %r" % guide, lambda: [
            n for n in nodes(app, pyatspi.ROLE_LABEL)
            if n.name == "Chord guide" and n.description == guide])

    # The editor, opened through the Add image's press.
    if press(push_button(app, "Add Shortcut")):
        wait_for("the editor's boxes",
                 lambda: "New path" in [n.name for n in walk(app) if showing(n)])
        shown = [(n.getRole(), n.name) for n in walk(app) if showing(n)]
        if (pyatspi.ROLE_DIALOG, "Add/Change Shortcut") not in shown:
            fail("no dialog named Add/Change Shortcut")
        shown_names = [name for _, name in shown]
        for name in EDITOR_BOXES + EDITOR_LISTS:
            if shown_names.count(name) != 1:
                fail("editor control %r found %d times" % (name, shown_names.count(name)))
        for button in ("Browse", "Applications"):
            if (pyatspi.ROLE_PUSH_BUTTON, button) not in shown:
                fail("no push button named " + button)
        for role, name in shown:
            if role == pyatspi.ROLE_LIST and name not in EDITOR_LISTS:
                fail("a list named %r" % name)
        for n in walk(app):
            if n.name == "Socket 1" and n.getRole() == pyatspi.ROLE_LIST and showing(n):
                selected = selected_item(n)
                if selected != "Files":
                    fail("Socket 1 preselects %r, not Files" % selected)

    return 1 if failures else 0


def bindings(row):
    """The bindings window, open: its filter box, its clear button and its
    list are named, the selected row reads as the whole binding, every button
    takes the focus, and Tab into the list tells of the current row."""
    app = wait_for("trinode on the accessibility bus", application)
    if app is None:
        return 1
    wait_for("the bindings window's list",
             lambda: [n for n in walk(app) if n.name == "Bound combinations" and showing(n)])
    shown = [n.name for n in walk(app) if showing(n)]
    if "Find" not in shown:
        fail("no control named Find")
    # The box's clear button shows once there is something to clear.
    if "Clear" not in [n.name for n in walk(app)]:
        fail("no control named Clear")
    wait_for("a row read as %r" % row, lambda: row in shown or row in
             [n.name for n in walk(app) if showing(n)])
    for n in nodes(app, pyatspi.ROLE_PUSH_BUTTON):
        if not n.getState().contains(pyatspi.STATE_FOCUSABLE):
            fail("%r cannot take the focus" % n.name)
    focused = focus_after(["Tab"])
    if row not in focused:
        fail("Tab into the list told of %s, not the row %r" % (focused, row))
    return 1 if failures else 0


def focus_after(keys):
    """What took the focus, as a screen reader hears of it, while the keys
    were pressed."""
    from gi.repository import GLib
    heard = []

    def hear(event):
        if event.detail1:
            heard.append(event.source.name)
    pyatspi.Registry.registerEventListener(hear, "object:state-changed:focused")
    subprocess.run(["xdotool", "key"] + keys, check=True)
    context = GLib.MainContext.default()
    deadline = time.monotonic() + 10
    # The list's own focus comes first, the row's after it.
    while time.monotonic() < deadline and len(heard) < 2:
        context.iteration(False)
        time.sleep(0.01)
    pyatspi.Registry.deregisterEventListener(hear, "object:state-changed:focused")
    return heard


def key_dialog(key):
    """The key dialog, open: the focused shortcut field reads as the key it
    shows, and Esc closes the dialog rather than becoming the key."""
    app = wait_for("trinode on the accessibility bus", application)
    if app is None:
        return 1
    dialog = wait_for("the dialog Key for Trinode", lambda: [
        n for n in nodes(app, pyatspi.ROLE_DIALOG) if n.name == "Key for Trinode"])
    field = wait_for("the focused field Shortcut", lambda: [
        n for n in walk(app) if n.name == "Shortcut" and
        n.getState().contains(pyatspi.STATE_FOCUSED)])
    if field:
        text = field[0].queryText()
        read = text.getText(0, text.characterCount)
        if read != key:
            fail("the field reads %r, not %r" % (read, key))
    if dialog:
        subprocess.run(["xdotool", "key", "Escape"], check=True)
        wait_for("Esc to close the dialog", lambda: not showing(dialog[0]))
    return 1 if failures else 0


def selected_item(node):
    chosen = [n.name for n in walk(node)
              if n is not node and n.getState().contains(pyatspi.STATE_SELECTED)]
    return chosen[0] if len(chosen) == 1 else chosen


if __name__ == "__main__":
    if sys.argv[1] == "--bindings":
        sys.exit(bindings(sys.argv[2]))
    sys.exit(key_dialog(sys.argv[2]) if sys.argv[1] == "--key-dialog" else main())
