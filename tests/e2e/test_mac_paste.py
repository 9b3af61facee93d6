#!/usr/bin/env python3
"""The MAC boxes of the Add Projector form in the real program. A whole address pasted
into the first box with Ctrl+V fills all six, and the projector added with it shows that
address in the Projector List. Typed digit by digit, twelve hex digits move the focus on
from box to box and fill all six as well."""

import os
import shutil
import subprocess
import sys

import tessavel_e2e as e2e
from tessavel_e2e import check, wait_for

PASTED = "00:1A:2B:3C:4D:5E"
TYPED = "001A2B3C4D5F"

# Holds the text on the X clipboard for as long as it runs: there is no clipboard
# manager under Xvfb to take it over.
CLIPBOARD_OWNER = r"""
import sys
import gi
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, GLib, Gtk
board = Gtk.Clipboard.get(Gdk.SELECTION_CLIPBOARD)
board.set_text(sys.argv[1], -1)
def announce():
    if board.wait_for_text() == sys.argv[1]:
        print("ready", flush=True)
        return False
    return True
GLib.idle_add(announce)
Gtk.main()
"""


def mac_boxes(program, form):
    return [program.child(form, "TEXT", f"{s.en.text(9, 5)} {i}") for i in range(1, 7)]


def focused(acc):
    return e2e.has_state(acc, "FOCUSED")


def key(*keys):
    subprocess.run(["xdotool", "key", "--clearmodifiers", *keys], check=True, env=s.env, timeout=e2e.STEP_LIMIT)


def own_clipboard(text):
    log_path = os.path.join(s.artefacts, "clipboard.log")
    proc = e2e._spawn([sys.executable, "-c", CLIPBOARD_OWNER, text], log_path, s.env)
    s._procs.append(proc)  # ended with the session

    def ready():
        if proc.poll() is not None:
            raise e2e.TestFailure(f"the clipboard owner ended (see {log_path})")
        with open(log_path, encoding="utf-8", errors="replace") as f:
            return "ready" in f.read().split()
    wait_for(ready, "the address to be on the clipboard")


def fill_address(program, form, dotted):
    for i, part in enumerate(dotted.split("."), 1):
        program.type_into(program.child(form, "TEXT", s.en.text(9, 699, s.en.text(9, 6), i)), part)


with e2e.Session("mac_paste") as s:
    en = s.en
    if shutil.which("xdotool") is None:
        e2e.skip("xdotool is not installed")
    try:
        import gi
        gi.require_version("Gtk", "3.0")
    except (ImportError, ValueError) as e:
        e2e.skip(f"GTK 3 for Python, used to own the clipboard, is not importable: {e}")
    own_clipboard(PASTED)

    program = s.start_program()
    main = program.log_in()
    program.menu_command(main, en.text(53, 10), en.text(53, 11))
    dialog = program.window(en.text(9, 28), "DIALOG")
    table = program.child(dialog, "TABLE", en.text(9, 28))
    wait_for(lambda: table.get_n_rows() == 3, "the three demo projectors")

    # Paste: the first box takes the whole address and hands it out to all six.
    program.menu_command(dialog, en.text(53, 10), en.text(53, 35))
    form = program.window(en.text(9, 3), "DIALOG")
    boxes = mac_boxes(program, form)
    boxes[0].grab_focus()
    wait_for(lambda: focused(boxes[0]), "the first MAC box to have the focus")
    key("ctrl+v")
    want = PASTED.split(":")
    wait_for(lambda: [program.text_of(b) for b in boxes] == want, f"the six MAC boxes to read {want}")
    s.screenshot("pasted")
    check(focused(boxes[5]), "after the paste the focus is not in the last MAC box")

    program.type_into(program.child(form, "TEXT", en.text(9, 4)), "Pasted")
    fill_address(program, form, "127.0.0.11")
    program.press(form, "PUSH_BUTTON", en.text(9, 302))
    program.wait_gone(form, "the Add Projector form")
    row = wait_for(lambda: e2e.table_rows(table)[3] if table.get_n_rows() == 4 else None, "the added projector's row")
    check(row[0] == "Pasted" and row[1].upper() == "00-1A-2B-3C-4D-5E" and row[2] == "127.0.0.11",
          f"the added row reads {row}")
    s.screenshot("added")

    # Typing: every second digit finishes a box and the focus moves to the next one.
    program.menu_command(dialog, en.text(53, 10), en.text(53, 35))
    form = program.window(en.text(9, 3), "DIALOG")
    boxes = mac_boxes(program, form)
    boxes[0].grab_focus()
    wait_for(lambda: focused(boxes[0]), "the first MAC box of the new form to have the focus")
    for i, digit in enumerate(TYPED):
        box = i // 2
        key(digit)
        if i % 2 == 0:
            wait_for(lambda: program.text_of(boxes[box]) == digit, f"'{digit}' in MAC box {box + 1}")
        elif box < 5:
            wait_for(lambda: focused(boxes[box + 1]), f"the focus to move on to MAC box {box + 2}")
    want = [TYPED[i:i + 2] for i in range(0, 12, 2)]
    got = wait_for(lambda: (lambda t: t if t == want else None)([program.text_of(b).upper() for b in boxes]),
                   f"the six MAC boxes to read {want}")
    check(focused(boxes[5]), "after the last digit the focus left the last MAC box")
    s.screenshot("typed")
    program.press(form, "PUSH_BUTTON", en.text(9, 301))
    program.wait_gone(form, "the cancelled Add Projector form")
    check(table.get_n_rows() == 4, "cancelling the form changed the list")
