#!/usr/bin/env python3
"""A wrong password, mended, in the real program. The demo projector that wants a password
is given a wrong one in the Projector List; a send to all fails on that row alone, with the
wrong-password explanation, and offers Retry Failed. With the password mended in the
Projector List, opened from Send's own button while Send stays open, Retry Failed takes the
mended password: the row ends verified, the summary counts all three and the projector holds
the picture."""

import tessavel_e2e as e2e
from tessavel_e2e import check, wait_for

LOCKED = 1  # the demo projector that wants a password


def edit_password(program, open_list, password):
    open_list()
    dialog = program.window(en.text(9, 28), "DIALOG")
    table = program.child(dialog, "TABLE", en.text(9, 28))
    wait_for(lambda: table.get_n_rows() == 3, "the three demo projectors")
    e2e.select_only(table, LOCKED)
    program.menu_command(dialog, en.text(53, 10), en.text(53, 38))
    form = program.window(en.text(9, 95), "DIALOG")
    auth = program.child(form, "CHECK_BOX", en.text(9, 7))
    check(e2e.has_state(auth, "CHECKED"), "the projector that wants a password has authentication off")
    program.child(form, "PASSWORD_TEXT", en.text(9, 8)).set_text_contents(password)
    program.press(form, "PUSH_BUTTON", en.text(9, 302))
    program.wait_gone(form, "the Edit Projector form")
    program.menu_command(dialog, en.text(53, 10), en.text(53, 42))
    program.wait_gone(dialog, "the projector list")


with e2e.Session("retry_password") as s:
    en = s.en
    s.start_emulators()
    slide = s.make_picture("slide")
    program = s.start_program(args=[slide])
    main = program.log_in()
    wait_for(lambda: "slide.qv1" in main.get_name(), "the picture to open")

    edit_password(program, lambda: program.menu_command(main, en.text(53, 10), en.text(53, 11)),
                  "not-" + s.demo[LOCKED]["password"])

    program.menu_command(main, en.text(53, 10), en.text(53, 12))
    dialog = program.window(en.text(9, 720), "DIALOG")
    rows_view = program.child(dialog, None, en.text(9, 720))
    wait_for(lambda: len(e2e.table_rows(rows_view)) == 3, "the projectors in the send list")
    program.press(dialog, "PUSH_BUTTON", en.text(9, 724))

    verified = en.text(9, 733)
    refused = en.text(9, 1190)

    def statuses():
        return [r[2] for r in e2e.table_rows(rows_view)]

    want = [verified, refused, verified]
    wait_for(lambda: statuses() == want, f"the send to end with the rows reading {want}")
    program.child(dialog, "LABEL", en.text(9, 750, 2, 3, 1, 0))
    s.screenshot("wrong-password")
    retry = program.enabled_child(dialog, "PUSH_BUTTON", en.text(9, 725))
    check(not s.store_holds(LOCKED, 1, "slide.qv1"), "the projector took the picture with a wrong password")

    # Send holds the main window; its own button opens the Projector List the row points to.
    edit_password(program, lambda: program.press(dialog, "PUSH_BUTTON", en.text(53, 11)),
                  s.demo[LOCKED]["password"])
    check(e2e.showing(dialog), "mending the password closed the Send dialog")
    program.act(retry)
    wait_for(lambda: statuses() == [verified] * 3, "the retried projector to be verified beside the other two")
    program.child(dialog, "LABEL", en.text(9, 750, 3, 3, 0, 0))
    s.screenshot("retried")
    check(s.store_holds(LOCKED, 1, "slide.qv1"), "the mended projector does not hold the picture")
    check(not e2e.enabled(retry), "Retry Failed is still offered with nothing failed")
    program.press(dialog, "PUSH_BUTTON", en.text(9, 18))
    program.wait_gone(dialog, "the Send dialog")
