#!/usr/bin/env python3
"""Cancel Transmit in the real program, for a demo projector that receives nothing: the
transmission status form asks each store's state again, says "nothing to cancel" for all
four and sends no CANCEL, so the History window holds no failed CANCEL, only the state
queries, which succeeded."""

import tessavel_e2e as e2e
from tessavel_e2e import check, wait_for

with e2e.Session("cancel") as s:
    en = s.en
    s.start_emulators()
    idle = s.demo[0]
    program = s.start_program()
    main = program.log_in()

    program.menu_command(main, en.text(53, 10), en.text(53, 11))
    dialog = program.window(en.text(9, 28), "DIALOG")
    table = program.child(dialog, "TABLE", en.text(9, 28))
    wait_for(lambda: table.get_n_rows() == 3, "the three demo projectors")
    e2e.select_only(table, 0)
    program.menu_command(dialog, en.text(53, 39), en.text(53, 40))

    status_title = en.text(9, 243, idle["name"])
    form = program.window(status_title, "DIALOG")
    stores = program.child(form, "TABLE", status_title)
    no_transmission = en.text(9, 82)
    states = wait_for(lambda: (lambda rows: rows if len(rows) == 4 else None)(e2e.table_rows(stores)),
                      "the four stores' states")
    check([r[1] for r in states] == [no_transmission] * 4, f"the idle projector's stores read {states}")
    s.screenshot("status-form")

    program.press(form, "PUSH_BUTTON", en.text(9, 242))
    nothing = en.text(9, 1180)

    def cancel_column():
        rows = e2e.table_rows(stores)
        if len(rows) != 4 or any(len(r) < 3 or not r[2] for r in rows):
            return None
        return [r[2] for r in rows]

    column = wait_for(cancel_column, "an outcome for each of the four stores")
    s.screenshot("cancel-transmit")
    check(column == [nothing] * 4, f"Cancel Transmit on an idle projector reads {column}")
    program.press(form, "PUSH_BUTTON", en.text(9, 18))
    program.wait_gone(form, "the transmission status form")
    program.menu_command(dialog, en.text(53, 10), en.text(53, 42))
    program.wait_gone(dialog, "the projector list")

    # The History window: the state queries, and not one CANCEL.
    program.menu_command(main, en.text(53, 85), en.text(53, 86))
    history = program.window(en.text(9, 796), "DIALOG")
    records = program.child(history, "TABLE", en.text(9, 796))
    command, address = 4, 3

    def settled():
        rows = e2e.table_rows(records)
        return rows if sum(1 for r in rows if r[command] == "STAT") == 8 else None

    rows = wait_for(settled, "the four state queries of Get Status and the four of Cancel Transmit")
    s.screenshot("history")
    cancels = [r for r in rows if r[command] == "CANCEL"]
    check(not cancels, f"the history holds CANCEL commands: {cancels}")
    check(all(r[address] == idle["address"] for r in rows), f"the history names other projectors: {rows}")
    program.press(history, "PUSH_BUTTON", en.text(9, 18))
    program.wait_gone(history, "the History window")
