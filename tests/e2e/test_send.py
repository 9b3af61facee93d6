#!/usr/bin/env python3
"""Send and the projector board in the real program. A projector picture opened from the
command line goes to the three demo projectors (one with a password, one slow to give its
verdict) with verify on: each row reports on its own, all end delivered and verified, and
the projectors hold the file. Then the board, refreshed, shows every projector reachable,
the picture in store 1 with a note that we sent it, and for a picture someone else sent
from another workstation a note that none is on record here."""

import os
import re

import tessavel_e2e as e2e
from tessavel_e2e import check, wait_for

# Long enough that the other two end first even on a loaded machine; far inside the
# program's own wait for a verdict.
SLOW_STORE_MS = 40000

with e2e.Session("send") as s:
    en = s.en
    s.start_emulators(slow_store_ms=SLOW_STORE_MS)
    slide = s.make_picture("slide")
    other = s.make_picture("other")
    # Someone else's upload, recorded in another history than this workstation's.
    elsewhere = dict(s.env, XDG_DATA_HOME=os.path.join(s.work, "elsewhere"))
    s.run_tool("tessavelctl", "put", other, s.demo[0]["address"], "--store", "2", env=elsewhere)

    program = s.start_program(args=[slide])
    main = program.log_in()
    wait_for(lambda: "slide.qv1" in main.get_name(), "the picture to open")

    program.menu_command(main, en.text(53, 10), en.text(53, 12))
    dialog = program.window(en.text(9, 720), "DIALOG")
    verify = program.child(dialog, "CHECK_BOX", en.text(9, 727))
    check(e2e.has_state(verify, "CHECKED"), "Send does not verify by default")
    rows_view = program.child(dialog, None, en.text(9, 720))
    names = wait_for(lambda: [r[0] for r in e2e.table_rows(rows_view)] or None, "the projectors in the send list")
    check(names == [d["name"] for d in s.demo], f"the send list shows {names}")
    s.screenshot("send-dialog")

    program.press(dialog, "PUSH_BUTTON", en.text(9, 724))
    verified = en.text(9, 733)

    def statuses():
        return [r[2] for r in e2e.table_rows(rows_view)]

    # The quick two end while the slow one still waits for its verdict.
    during = wait_for(lambda: (lambda st: st if st[0] == verified and st[1] == verified else None)(statuses()),
                      "the two quick projectors to be verified")
    s.screenshot("send-during")
    check(during[2] != verified, f"the slow projector was verified at once ({during}): the delay did not hold it")

    final = wait_for(lambda: (lambda st: st if all(x == verified for x in st) else None)(statuses()),
                     "every projector to be verified", e2e.STEP_LIMIT + SLOW_STORE_MS / 1000)
    summary = en.text(9, 750, 3, 3, 0, 0)
    program.child(dialog, "LABEL", summary)
    s.screenshot("send-after")
    check(program.enabled_child(dialog, "PUSH_BUTTON", en.text(9, 724)), "Send is not offered again after the run")
    for i, d in enumerate(s.demo):
        check(s.store_holds(i, 1, "slide.qv1"), f"{d['name']} does not hold the picture in store 1")
    program.press(dialog, "PUSH_BUTTON", en.text(9, 18))
    program.wait_gone(dialog, "the Send dialog")

    # The board, refreshed.
    program.menu_command(main, en.text(53, 85), en.text(53, 96))
    board = program.child(main, "TABLE", en.text(9, 864))
    finished = re.compile("^" + re.escape(en.text(9, 849, "\x00")).replace("\x00", ".+") + "$")
    program.child(main, "LABEL", finished)
    reachable = re.compile("^" + re.escape(en.text(9, 851, "\x00")).replace("\x00", ".+") + "$", re.S)
    grouped = r"\d{1,3}(,\d{3})*"  # digit groups, as every number the window shows
    holds_slide = re.compile("^" + re.escape(en.text(9, 860, "slide.qv1", "\x00")).replace("\x00", grouped) + "$")
    holds_other = re.compile("^" + re.escape(en.text(9, 860, "other.qv1", "\x00")).replace("\x00", grouped) + "$")
    sent_by_us = re.compile("^" + re.escape(en.text(9, 862, "\x00", "\x01")).replace("\x00", ".+")
                            .replace("\x01", re.escape(e2e.USER)) + "$")
    no_record = en.text(9, 861)
    store1, store2 = 3, 4

    def board_settled():
        rows = e2e.table_rows(board)
        if len(rows) != 3:
            return None
        for r in range(3):
            if not reachable.match(rows[r][2]) or not holds_slide.match(rows[r][store1]):
                return None
            if not sent_by_us.match(e2e.table_cell(board, r, store1).get_description() or ""):
                return None
        if not holds_other.match(rows[0][store2]):
            return None
        if e2e.table_cell(board, 0, store2).get_description() != no_record:
            return None
        return rows

    rows = wait_for(board_settled, "the board to show the sent picture in every projector's store 1 with a "
                                   "note that we sent it, and the other picture with none on record")
    check([r[0] for r in rows] == [d["name"] for d in s.demo], f"the board lists {[r[0] for r in rows]}")
    s.screenshot("board")
