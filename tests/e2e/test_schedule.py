#!/usr/bin/env python3
"""A schedule in the real program: two entries made in the Insert form (the second for the
projector with a password, which the entry takes from the projector list), run in a loop
with verify on. Both uploads end Done and reach the projectors; the run then waits the
second entry's ten minutes, and Stop ends it at once and gives the controls back."""

import time

import tessavel_e2e as e2e
from tessavel_e2e import check, wait_for

INTERVAL_MIN = 10
ENTRY_CHECK = 1113  # "Choose entry %1 (%2)"

with e2e.Session("schedule") as s:
    en = s.en
    s.start_emulators()
    slide = s.make_picture("slide")
    program = s.start_program()
    main = program.log_in()

    program.menu_command(main, en.text(53, 10), en.text(53, 51))
    dialog = program.window(en.text(9, 33), "DIALOG")
    table = program.child(dialog, "TABLE", en.text(9, 33))

    for n, (demo, interval) in enumerate(((s.demo[0], 0), (s.demo[1], INTERVAL_MIN)), 1):
        program.press(dialog, "PUSH_BUTTON", en.text(9, 34))
        form = program.window(en.text(9, 39), "DIALOG")
        for i, part in enumerate(demo["address"].split("."), 1):
            program.type_into(program.child(form, "TEXT", en.text(9, 699, en.text(9, 40), i)), part)
        program.type_into(program.child(form, "TEXT", en.text(9, 41)), slide)
        program.type_into(program.child(form, "TEXT", en.text(9, 42)), str(interval))
        store = program.child(form, "COMBO_BOX", en.text(9, 20))
        check(store.get_name() == "1", f"the entry would go to store '{store.get_name()}'")
        s.screenshot(f"entry-{n}")
        program.press(form, "PUSH_BUTTON", en.text(9, 302))
        program.wait_gone(form, "the Insert form")
        wait_for(lambda: table.get_n_rows() == n, f"entry {n} in the schedule")

    rows = e2e.table_rows(table)
    # The address cell is also the row's tick box, named after its entry and address.
    check([r[0] for r in rows] == [en.text(9, ENTRY_CHECK, str(i + 1), s.demo[i]["address"]) for i in range(2)]
          and all(r[1] == slide for r in rows)
          and [r[3] for r in rows] == ["0", str(INTERVAL_MIN)], f"the schedule shows {rows}")

    for option in (en.text(9, 38), en.text(9, 870)):
        box = program.child(dialog, "CHECK_BOX", option)
        program.act(box)
        wait_for(lambda: e2e.has_state(box, "CHECKED"), f"'{option}' to be on")
    check(not e2e.enabled(program.child(dialog, "PUSH_BUTTON", en.text(9, 37))), "Stop is offered before a run")

    program.press(dialog, "PUSH_BUTTON", en.text(9, 17))
    stop = program.enabled_child(dialog, "PUSH_BUTTON", en.text(9, 37))
    check(not e2e.enabled(program.child(dialog, "PUSH_BUTTON", en.text(9, 17))), "Execute is offered during a run")
    done = en.text(9, 220)
    wait_for(lambda: [r[4] for r in e2e.table_rows(table)] == [done, done], "both entries to be done")
    s.screenshot("run-done")
    for i in (0, 1):
        check(s.store_holds(i, 1, "slide.qv1"), f"{s.demo[i]['name']} does not hold the scheduled picture")
    check(e2e.enabled(stop), "the run ended by itself, though it loops")

    # Now the run waits out the second entry's interval; Stop ends the wait.
    asked = time.monotonic()
    program.act(stop)
    program.enabled_child(dialog, "PUSH_BUTTON", en.text(9, 17))
    took = time.monotonic() - asked
    check(took < INTERVAL_MIN * 60 / 4, f"Stop took {took:.0f} s to end a run that only waited")
    check(not e2e.enabled(stop), "Stop is still offered after the run ended")
    for option in (en.text(9, 38), en.text(9, 870), en.text(9, 34)):
        check(e2e.enabled(e2e.find(dialog, None, option)), f"'{option}' stays disabled after Stop")
    check([r[4] for r in e2e.table_rows(table)] == [done, done], "Stop changed what the entries show")
    s.screenshot("stopped")
    e2e.log(f"Stop ended the run in {took:.1f} s")
