#!/usr/bin/env python3
"""A looping schedule against a projector that is switched off: its row says why and when it
tries again, the second try comes only after the pause, and the History window holds the
failures as one record with a count and the first and last times."""

import re

import tessavel_e2e as e2e
from tessavel_e2e import check, wait_for

with e2e.Session("schedule_backoff") as s:
    en = s.en
    # No emulators: nothing listens on the listed projectors' addresses.
    dead = s.demo[0]
    slide = s.make_picture("slide")
    program = s.start_program()
    main = program.log_in()

    program.menu_command(main, en.text(53, 10), en.text(53, 51))
    dialog = program.window(en.text(9, 33), "DIALOG")
    table = program.child(dialog, "TABLE", en.text(9, 33))
    program.press(dialog, "PUSH_BUTTON", en.text(9, 34))
    form = program.window(en.text(9, 39), "DIALOG")
    for i, part in enumerate(dead["address"].split("."), 1):
        program.type_into(program.child(form, "TEXT", en.text(9, 699, en.text(9, 40), i)), part)
    program.type_into(program.child(form, "TEXT", en.text(9, 41)), slide)
    program.type_into(program.child(form, "TEXT", en.text(9, 42)), "0")
    program.press(form, "PUSH_BUTTON", en.text(9, 302))
    program.wait_gone(form, "the Insert form")
    wait_for(lambda: table.get_n_rows() == 1, "the entry in the schedule")

    loop = program.child(dialog, "CHECK_BOX", en.text(9, 38))
    program.act(loop)
    wait_for(lambda: e2e.has_state(loop, "CHECKED"), "Loop to be on")
    program.press(dialog, "PUSH_BUTTON", en.text(9, 17))

    clock = r"(\d\d:\d\d:\d\d)"
    retry = re.compile("^" + re.escape(en.text(9, 1102, en.text(9, 1103), "@")).replace("@", clock) + "$")

    def next_try():
        m = retry.match(e2e.plain(e2e.table_rows(table)[0][4]))
        return m.group(1) if m else None

    wait_for(lambda: next_try() is not None, "the row to say when the projector is tried again")
    first = next_try()
    countdown = re.compile(re.escape(en.text(9, 1100, "@", "SECONDS")).replace("@", clock).replace("SECONDS", r"\d+"))
    program.child(dialog, "LABEL", countdown)
    s.screenshot("resting")
    # The second try comes after the 5 s pause and sets a 10 s one.
    wait_for(lambda: next_try() not in (None, first), "a second try after the pause", 60)
    s.screenshot("resting-again")

    stop = program.enabled_child(dialog, "PUSH_BUTTON", en.text(9, 37))
    program.act(stop)
    program.enabled_child(dialog, "PUSH_BUTTON", en.text(9, 17))
    program.press(dialog, "PUSH_BUTTON", en.text(9, 25))
    program.wait_gone(dialog, "the Schedule dialog")

    program.menu_command(main, en.text(53, 85), en.text(53, 86))
    history = program.window(en.text(9, 796), "DIALOG")
    view = program.child(history, "TABLE", None)
    wait_for(lambda: view.get_n_rows() > 0, "the history to show its records")
    headers = [view.get_column_description(c) for c in range(view.get_n_columns())]
    times = headers.index(en.text(9, 1107))
    last = headers.index(en.text(9, 1108))
    address = headers.index(en.text(9, 800))
    mine = [r for r in e2e.table_rows(view) if r[address] == dead["address"]]
    # The failures in a row are one record; the alert they raised is one more, and only one.
    rows = [r for r in mine if "PUT" in r]
    alerts = [r for r in mine if "ALERT" in r]
    check(len(rows) == 1, f"the failures are {len(rows)} records: {mine}")
    check(len(alerts) == 1, f"the failures raised {len(alerts)} alerts: {mine}")
    check(int(rows[0][times]) >= 2 and rows[0][last], f"the record shows no count and last time: {rows[0]}")
    s.screenshot("history")
    e2e.log(f"one record of {rows[0][times]} failures, the last at {rows[0][last]}")
