"""Reads Tarnwick's windows through AT-SPI, as a screen reader does.

  atspi-read.py show PID TEXT...         wait until the program shows every TEXT
  atspi-read.py press PID TEXT NAME      wait for TEXT, then press the button or menu item NAME
  atspi-read.py click PID TEXT NAME      wait for TEXT, then click the middle of the shown
                                         control NAME with the mouse (xdotool)

Exits 0 on success, 1 after 40 seconds without it.
"""
import subprocess
import sys
import time

import pyatspi


def walk(node, depth=0):
    if node is None or depth > 14:
        return
    yield node
    try:
        count = node.childCount
    except Exception:
        return
    for i in range(count):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def application(pid):
    for app in pyatspi.Registry.getDesktop(0):
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:
            continue
    return None


def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def shown_texts(app):
    out = []
    for node in walk(app):
        try:
            role, name = node.getRoleName(), node.name
        except Exception:
            continue
        if name and role in ("label", "static", "text", "dialog", "alert") and showing(node):
            out.append(name)
    return out


def press(app, name):
    for node in walk(app):
        try:
            if node.name != name or node.getRoleName() not in ("push button", "menu item"):
                continue
            action = node.queryAction()
            names = [action.getName(i).lower() for i in range(action.nActions)]
        except Exception:
            continue
        for i, action_name in enumerate(names):
            if action_name in ("press", "click"):
                try:
                    action.doAction(i)
                except Exception:
                    pass  # a program that ends at once sends no reply
                return True
    return False


def click(app, name):
    for node in walk(app):
        try:
            if node.name != name or not showing(node):
                continue
            box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        except Exception:
            continue
        x, y = box.x + box.width // 2, box.y + box.height // 2
        subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"], check=True)
        return True
    return False


def main():
    mode, pid, rest = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    wanted = rest if mode == "show" else rest[:1]
    deadline = time.monotonic() + 40
    seen = []
    while time.monotonic() < deadline:
        app = application(pid)
        seen = shown_texts(app) if app is not None else []
        if all(text in seen for text in wanted):
            act = {"show": lambda: True, "press": lambda: press(app, rest[1]),
                   "click": lambda: click(app, rest[1])}[mode]
            if act():
                print("read:", " | ".join(seen))
                return 0
        time.sleep(0.25)
    print("timed out; last read:", " | ".join(seen), file=sys.stderr)
    return 1


sys.exit(main())
