#!/usr/bin/env python3
"""The board follows a send by itself. With the board open and never refreshed, a picture
sent to the demo projectors appears in store 1 of every row, each reachable and with a note
that we sent it, while the board's status still says nobody has been asked."""

import re

import tessavel_e2e as e2e
from tessavel_e2e import check, wait_for

with e2e.Session("board_live") as s:
    en = s.en
    s.start_emulators()
    slide = s.make_picture("slide")

    program = s.start_program(args=[slide])
    main = program.log_in()
    wait_for(lambda: "slide.qv1" in main.get_name(), "the picture to open")

    # The board shown, not refreshed.
    program.menu_command(main, en.text(53, 85), en.text(9, 840))
    board = program.child(main, "TABLE", en.text(9, 864))
    not_asked = en.text(9, 854)
    program.child(main, "LABEL", not_asked)
    rows = wait_for(lambda: (lambda r: r if len(r) == 3 else None)(e2e.table_rows(board)), "the board's rows")
    check(all(r[2] == not_asked for r in rows), f"the board asked before the send: {rows}")

    program.menu_command(main, en.text(53, 10), en.text(53, 12))
    dialog = program.window(en.text(9, 720), "DIALOG")
    # Without the check after the upload, only the upload itself can tell the board.
    verify = program.child(dialog, "CHECK_BOX", en.text(9, 727))
    if e2e.has_state(verify, "CHECKED"):
        program.act(verify, ("Toggle", "Press"))
        wait_for(lambda: not e2e.has_state(verify, "CHECKED"), "verify to be off")
    program.press(dialog, "PUSH_BUTTON", en.text(9, 724))

    reachable = re.compile("^" + re.escape(en.text(9, 851, "\x00")).replace("\x00", ".+") + "$", re.S)
    grouped = r"\d{1,3}(,\d{3})*"
    holds_slide = re.compile("^" + re.escape(en.text(9, 860, "slide.qv1", "\x00")).replace("\x00", grouped) + "$")
    sent_by_us = re.compile("^" + re.escape(en.text(9, 862, "\x00", "\x01")).replace("\x00", ".+")
                            .replace("\x01", re.escape(e2e.USER)) + "$")
    store1 = 3

    def live():
        rows = e2e.table_rows(board)
        if len(rows) != 3:
            return None
        for r in range(3):
            if not reachable.match(rows[r][2]) or not holds_slide.match(rows[r][store1]):
                return None
            if not sent_by_us.match(e2e.table_cell(board, r, store1).get_description() or ""):
                return None
        return rows

    rows = wait_for(live, "every row to show the sent picture in store 1, reachable, without a refresh")
    check([r[0] for r in rows] == [d["name"] for d in s.demo], f"the board lists {[r[0] for r in rows]}")
    check(all(r[store1 + 1] == en.text(9, 859) for r in rows), f"a store the send did not touch changed: {rows}")
    program.child(main, "LABEL", not_asked)  # still never refreshed
    for i, d in enumerate(s.demo):
        check(s.store_holds(i, 1, "slide.qv1"), f"{d['name']} does not hold the picture in store 1")
    program.press(dialog, "PUSH_BUTTON", en.text(9, 18))
    program.wait_gone(dialog, "the Send dialog")
    s.screenshot("board-live")
