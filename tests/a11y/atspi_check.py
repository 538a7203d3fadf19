#!/usr/bin/python3
"""Reads the running program through AT-SPI, as a screen reader does, and drives it by its actions.

Run by run_atspi_check.sh, which starts a private session bus, the accessibility bus, a display and the
program. Usage: atspi_check.py PID [ru|en], the language the program was started in (Russian unless
given). Exits with 0 when every check passed."""

import re
import sys
import time

import pyatspi
from gi.repository import GLib

# What the reader should hear in each language.
NAMES = {
    "ru": (["Гадание на Рунах", "Справка", "Выход"], ["Левая руна", "Средняя руна", "Правая руна"],
           re.compile(r"^[A-Z]+(, перевёрнута)?$")),
    "en": (["Cast the Runes", "Help", "Exit"], ["Left rune", "Middle rune", "Right rune"],
           re.compile(r"^[A-Z]+(, reversed)?$")),
}
LANGUAGE = sys.argv[2] if len(sys.argv) > 2 else "ru"
COMMANDS, PLAIN_SLOTS, RUNE_TITLE = NAMES[LANGUAGE]
CYRILLIC = re.compile("[\u0400-\u04FF]")

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)
    return ok


def pump():
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass


def wait_for(predicate, seconds=10.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        pump()
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    return predicate()


# What the program announced, as a reader hears it: (event type, source).
announced = []


def listen(event):
    announced.append((event.type, event.source))


def application(pid):
    def find():
        for app in pyatspi.Registry.getDesktop(0):
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                pass
        return None
    return wait_for(find, 20.0)


def walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i).lower() == "press":
            return action.doAction(i)
    return False


def has_press(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return False
    return any(action.getName(i).lower() == "press" for i in range(action.nActions))


def main():
    pid = int(sys.argv[1])
    app = application(pid)
    if not check(app is not None, "the program is on the accessibility bus"):
        return 1
    # The window may take a moment to show its controls.
    nodes = wait_for(lambda: [n for n in walk(app) if n.name in COMMANDS + PLAIN_SLOTS] or None) or []
    everything = list(walk(app))

    buttons = {}
    for name in COMMANDS:
        found = [n for n in everything if n.name == name and n.getRole() == pyatspi.ROLE_PUSH_BUTTON]
        if check(len(found) == 1, f'one push button named "{name}"'):
            buttons[name] = found[0]
            check(has_press(found[0]), f'"{name}" has a press action')
            print(f'     description: {found[0].description[:60]}...')
    slots = []
    for name in PLAIN_SLOTS:
        found = [n for n in everything if n.name == name]
        if check(len(found) == 1, f'one slot named "{name}" before the draw'):
            slots.append(found[0])
            print(f"     role: {found[0].getRoleName()}")
    if len(buttons) != 3 or len(slots) != 3:
        return 1

    for kind in ("object:property-change:accessible-name", "object:property-change:accessible-description",
                 "object:state-changed:focused"):
        pyatspi.Registry.registerEventListener(listen, kind)
    check(press(buttons[COMMANDS[0]]), "the divine button's press action runs")
    titles = wait_for(lambda: [s.name for s in slots] if all(RUNE_TITLE.match(s.name) for s in slots) else None)
    if not check(bool(titles), "the three slots are named after the drawn runes"):
        print("     names now:", [s.name for s in slots])
        return 1
    for slot in slots:
        print(f"     {slot.name}: {slot.description[:60]}...")
    wait_for(lambda: sum(1 for t, _ in announced if t.endswith("accessible-name")) >= 3, 5.0)
    # Each slot announced its own change.
    for kind in ("accessible-name", "accessible-description"):
        heard = [source for t, source in announced if t.endswith(kind)]
        check(all(slot in heard for slot in slots), f"each slot announced its {kind} change")

    check(press(slots[0]), "the left slot's press action runs")
    def open_text():
        for n in walk(app):
            try:
                states = n.getState()
                if states.contains(pyatspi.STATE_SHOWING) and states.contains(pyatspi.STATE_MULTI_LINE):
                    return n
            except Exception:
                pass
        return None
    memo = wait_for(open_text)
    if not check(memo is not None, "an open multi-line text appears"):
        return 1
    text_iface = memo.queryText()
    text = text_iface.getText(0, text_iface.characterCount).replace("\r", "")
    check(memo.getState().contains(pyatspi.STATE_READ_ONLY), "the text is read-only")
    check(wait_for(lambda: memo.getState().contains(pyatspi.STATE_FOCUSED), 5.0), "the text has the focus")
    check(any(t.startswith("object:state-changed:focused") and source == memo for t, source in announced),
          "the focus move to the text was announced")
    check(text.startswith(slots[0].description), "the text is the left rune's interpretation")
    print("     " + text[:160].replace("\n", " / ") + " ...")
    if LANGUAGE == "en":
        heard = [(n.name, n.description) for n in walk(app)] + [("text", text)]
        russian = [words for pair in heard for words in pair if CYRILLIC.search(words or "")]
        if not check(not russian, "nothing the reader hears is in Cyrillic letters"):
            print("     " + "\n     ".join(r[:60] for r in russian))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
