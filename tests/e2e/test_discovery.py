#!/usr/bin/env python3
"""Discovery from the projector list in the real program: one search finds an emulated
projector that answers searches, the list of found projectors says it is new, and
Register puts it into the projector list and its INI file. Multicast stays inside the
test's own network namespace, so this test needs one."""

import os
import subprocess

import tessavel_e2e as e2e
from tessavel_e2e import check, wait_for

with e2e.Session("discovery") as s:
    if not s.private_network:
        e2e.skip("a private network namespace (unshare -n) is needed to search without leaving this machine")
    for route in (["ip", "link", "set", "lo", "multicast", "on"], ["ip", "route", "add", "224.0.0.0/4", "dev", "lo"]):
        subprocess.run(route, check=True)
    links = subprocess.run(["ip", "-o", "link", "show"], capture_output=True, text=True, check=True).stdout
    check([line for line in links.splitlines() if ": lo:" not in line] == [],
          f"the namespace has links besides loopback: {links}")
    en = s.en
    s.spawn_emulator("127.0.0.5", "Found Room", "02-00-00-00-00-05", "--discovery", "127.0.0.1")
    program = s.start_program()
    main = program.log_in()

    program.menu_command(main, en.text(53, 10), en.text(53, 11))
    listing = program.window(en.text(9, 28), "DIALOG")
    projectors = program.child(listing, "TABLE", en.text(9, 28))
    program.menu_command(listing, en.text(53, 10), en.text(53, 37))
    dialog = program.window(en.text(9, 21), "DIALOG")
    results = program.child(dialog, "TABLE", en.text(9, 21))
    s.screenshot("discovery")

    program.press(dialog, "PUSH_BUTTON", en.text(9, 23))
    program.child(dialog, "LABEL", en.text(9, 100))
    rows = e2e.table_rows(results)
    s.screenshot("found")
    check([[r[0], r[1].upper(), r[2]] for r in rows] == [["Found Room", "02-00-00-00-00-05", "127.0.0.5"]],
          f"the search found {rows}")
    check(rows[0][3] == en.text(9, 671), f"the found projector is said to be '{rows[0][3]}', not new")

    results.add_row_selection(0)
    program.press(dialog, "PUSH_BUTTON", en.text(9, 24))
    program.wait_gone(dialog, "the Discovery dialog")
    rows = wait_for(lambda: e2e.table_rows(projectors) if projectors.get_n_rows() == 4 else None,
                    "the registered projector in the list")
    check(rows[3][0] == "Found Room" and rows[3][2] == "127.0.0.5", f"the list shows {rows}")
    with open(os.path.join(program.folder, "tessavel.INI"), encoding="utf-8") as f:
        ini = f.read()
    check("NAME-4=Found Room" in ini and "IP-4=127.0.0.5" in ini, f"the INI file does not hold it:\n{ini}")
    # It sent no challenge when Register asked, so it is stored with authentication off.
    check("AUTH-4=0" in ini, f"the projector without a password is stored with authentication on:\n{ini}")
    s.screenshot("registered")
