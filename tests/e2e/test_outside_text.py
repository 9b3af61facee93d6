#!/usr/bin/env python3
"""What a projector says is shown as it says it. A projector whose name holds markup and a
character that reverses text, and that reports a file name holding markup and a formula,
is listed with the reversing character spelled out, and Image Information shows the file
name character for character: a label taken as rich text would drop the tags."""

import tessavel_e2e as e2e
from tessavel_e2e import check, wait_for

NAME = "<i>Hall</i>\u202egnp.exe"
NAME_SHOWN = "<i>Hall</i>\\u202Egnp.exe"
FILE = "=1+1<b>x</b>.qv1"

with e2e.Session("outside_text") as s:
    en = s.en
    hall = s.demo[0]
    s.demo = [dict(hall, name=NAME)]
    s.spawn_emulator(hall["address"], "Hall", hall["mac"], "--info-reply",
                     "INFO 0\\r\\nFile-Name:" + FILE + "\\r\\nFile-Length:12\\r\\n")

    program = s.start_program()
    main = program.log_in()
    program.menu_command(main, en.text(53, 10), en.text(53, 48))
    dialog = program.window(en.text(9, 26), "DIALOG")
    table = program.child(dialog, "TABLE", None)
    rows = wait_for(lambda: e2e.table_rows(table) or None, "the projector in the list")
    check(rows[0][0] == NAME_SHOWN, f"the name reads {rows[0][0]!r}, not {NAME_SHOWN!r}")
    s.screenshot("list")

    table.add_row_selection(0)
    wait_for(lambda: list(table.get_selected_rows()) == [0], "the projector to be selected")
    program.press(dialog, "PUSH_BUTTON", en.text(9, 27))
    box = program.message_box(FILE)
    s.screenshot("information")
    texts = [label.get_name() or "" for label in e2e.find_all(box, "LABEL")]
    check(any(FILE in t for t in texts), f"the box does not show {FILE!r} as written: {texts}")
