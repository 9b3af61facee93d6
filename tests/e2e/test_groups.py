#!/usr/bin/env python3
"""Projector groups in the real program: the three demo projectors join one group through
the Projector List's edit form, the list shows it and the group file beside the INI holds
it, and Send ticks the whole group with one button and delivers the picture to all three."""

import os

import tessavel_e2e as e2e
from tessavel_e2e import check, wait_for

GROUP = "Lecture halls"

with e2e.Session("groups") as s:
    en = s.en
    s.start_emulators()
    slide = s.make_picture("slide")
    program = s.start_program(args=[slide])
    main = program.log_in()
    wait_for(lambda: "slide.qv1" in main.get_name(), "the picture to open")

    program.menu_command(main, en.text(53, 10), en.text(53, 11))
    dialog = program.window(en.text(9, 28), "DIALOG")
    table = program.child(dialog, "TABLE", en.text(9, 28))
    wait_for(lambda: table.get_n_rows() == 3 or None, "the three demo projectors")
    program.child(dialog, "COMBO_BOX", en.text(9, 1422))

    # The first form makes the group; the others find it by the same name in any case.
    for row, typed in enumerate([GROUP, GROUP.upper(), GROUP]):
        e2e.select_only(table, row)
        program.menu_command(dialog, en.text(53, 10), en.text(53, 38))
        form = program.window(en.text(9, 95), "DIALOG")
        program.type_into(program.child(form, "TEXT", en.text(9, 1420)), typed)
        program.press(form, "PUSH_BUTTON", en.text(9, 1421))
        if row == 0:
            s.screenshot("edit-form-groups")
        program.press(form, "PUSH_BUTTON", en.text(9, 302))
        program.wait_gone(form, "the Edit Projector form")

    rows = wait_for(lambda: (lambda r: r if all(x[4] == GROUP for x in r) else None)(e2e.table_rows(table)),
                    "every row to show the group")
    s.screenshot("list-with-groups")
    with open(os.path.join(program.folder, "tessavel.INI.groups"), encoding="utf-8") as f:
        lines = f.read().splitlines()
    check(lines == ["tessavel-groups 1", "\t".join([GROUP] + [d["address"] for d in s.demo])],
          f"the group file holds {lines}")
    mode = os.stat(os.path.join(program.folder, "tessavel.INI.groups")).st_mode & 0o777
    check(mode == 0o600, f"the group file has mode {oct(mode)}")
    program.menu_command(dialog, en.text(53, 10), en.text(53, 42))
    program.wait_gone(dialog, "the Projector List")

    # Send: nothing ticked, then the group's button ticks all three.
    program.menu_command(main, en.text(53, 10), en.text(53, 12))
    send = program.window(en.text(9, 720), "DIALOG")
    program.press(send, "PUSH_BUTTON", en.text(9, 723))
    program.child(send, "COMBO_BOX", en.text(9, 1424))
    program.press(send, "PUSH_BUTTON", en.text(9, 1425))
    program.press(send, "PUSH_BUTTON", en.text(9, 724))
    rows_view = program.child(send, None, en.text(9, 720))
    verified = en.text(9, 733)
    wait_for(lambda: all(r[2] == verified for r in e2e.table_rows(rows_view)) or None,
             "every projector of the group to be verified")
    s.screenshot("sent-to-group")
    for i, d in enumerate(s.demo):
        check(s.store_holds(i, 1, "slide.qv1"), f"{d['name']} does not hold the picture in store 1")
