#!/usr/bin/env python3
"""Projector > Projector List in the real program: the demo list as the INI holds it, then
a projector added, edited and deleted through the list's own menu and forms. Each change
shows in the list and reaches the INI file on disk."""

import os

import tessavel_e2e as e2e
from tessavel_e2e import check, wait_for


def ini_values(program):
    values = {}
    with open(os.path.join(program.folder, "tessavel.INI"), encoding="utf-8") as f:
        for line in f:
            key, sep, value = line.rstrip("\n").partition("=")
            if sep:
                values[key] = value
    return values


def select_only(table, row):
    for r in table.get_selected_rows():
        table.remove_row_selection(r)
    table.add_row_selection(row)
    wait_for(lambda: list(table.get_selected_rows()) == [row], f"row {row + 1} alone to be selected")


def fill_address(program, form, label, dotted):
    for i, part in enumerate(dotted.split("."), 1):
        field = program.child(form, "TEXT", s.en.text(9, 699, label, i))
        program.type_into(field, part)


with e2e.Session("projector_list") as s:
    en = s.en
    program = s.start_program()
    main = program.log_in()

    program.menu_command(main, en.text(53, 10), en.text(53, 11))
    dialog = program.window(en.text(9, 28), "DIALOG")
    table = program.child(dialog, "TABLE", en.text(9, 28))
    s.screenshot("projector-list")

    headers = [table.get_column_description(c) for c in range(table.get_n_columns())]
    check(headers == [en.text(11, 41), en.text(9, 300), en.text(11, 34), en.text(9, 107), en.text(9, 1418)],
          f"the list's columns read {headers}")
    expected = [[d["name"], d["mac"], d["address"], en.text(9, 222 if d["password"] else 223)] for d in s.demo]
    rows = wait_for(lambda: e2e.table_rows(table) if table.get_n_rows() == 3 else None, "the three demo projectors")
    check([[r[0], r[1].upper(), r[2], r[3]] for r in rows] == expected,
          f"the list shows {rows}, not the demo list {expected}")

    # Add: the form starts with authentication off, as this projector needs none.
    program.menu_command(dialog, en.text(53, 10), en.text(53, 35))
    form = program.window(en.text(9, 3), "DIALOG")
    auth = program.child(form, "CHECK_BOX", en.text(9, 7))
    check(not e2e.has_state(auth, "CHECKED"), "a new projector starts with authentication on")
    program.type_into(program.child(form, "TEXT", en.text(9, 4)), "Annex")
    for i, part in enumerate("02-00-00-00-00-09".split("-"), 1):
        program.type_into(program.child(form, "TEXT", f"{en.text(9, 5)} {i}"), part)
    fill_address(program, form, en.text(9, 6), "127.0.0.9")
    s.screenshot("add-form")
    program.press(form, "PUSH_BUTTON", en.text(9, 302))
    program.wait_gone(form, "the Add Projector form")
    row = wait_for(lambda: e2e.table_rows(table)[3] if table.get_n_rows() == 4 else None, "the added projector's row")
    check(row[0] == "Annex" and row[1].upper() == "02-00-00-00-00-09" and row[2] == "127.0.0.9"
          and row[3] == en.text(9, 223), f"the added row reads {row}")
    ini = ini_values(program)
    check(ini.get("COUNT") == "4" and ini.get("NAME-4") == "Annex" and ini.get("IP-4") == "127.0.0.9"
          and ini.get("AUTH-4") == "0", f"the INI file does not hold the added projector: {ini}")
    s.screenshot("added")

    # Edit: a new name, and authentication with a password.
    select_only(table, 3)
    program.menu_command(dialog, en.text(53, 10), en.text(53, 38))
    form = program.window(en.text(9, 95), "DIALOG")
    name = program.child(form, "TEXT", en.text(9, 4))
    check(program.text_of(name) == "Annex", f"the Edit form shows the name '{program.text_of(name)}'")
    program.type_into(name, "Annex East")
    auth = program.child(form, "CHECK_BOX", en.text(9, 7))
    program.act(auth)
    wait_for(lambda: e2e.has_state(auth, "CHECKED"), "authentication to be on")
    program.child(form, "PASSWORD_TEXT", en.text(9, 8)).set_text_contents("annex-pw")
    s.screenshot("edit-form")
    program.press(form, "PUSH_BUTTON", en.text(9, 302))
    program.wait_gone(form, "the Edit Projector form")
    row = wait_for(lambda: (lambda r: r if r[0] == "Annex East" else None)(e2e.table_rows(table)[3]),
                   "the edited name in the list")
    check(row[3] == en.text(9, 222), f"the edited row reads {row}")
    ini = ini_values(program)
    check(ini.get("NAME-4") == "Annex East" and ini.get("AUTH-4") == "1" and ini.get("PASS-4") == "annex-pw",
          f"the INI file does not hold the edit: {ini}")
    check(ini.get("NAME-1") == s.demo[0]["name"], "the edit changed another projector")

    # Delete asks first; No keeps the projector, Yes removes it.
    select_only(table, 3)
    program.menu_command(dialog, en.text(53, 10), en.text(53, 36))
    box = program.message_box(en.text(9, 246))
    program.press(box, "PUSH_BUTTON", "No")
    program.wait_gone(box, "the question")
    check(table.get_n_rows() == 4, "No still deleted the projector")
    select_only(table, 3)
    program.menu_command(dialog, en.text(53, 10), en.text(53, 36))
    box = program.message_box(en.text(9, 246))
    s.screenshot("delete-question")
    program.press(box, "PUSH_BUTTON", "Yes")
    program.wait_gone(box, "the question")
    wait_for(lambda: table.get_n_rows() == 3, "the row to go")
    rows = e2e.table_rows(table)
    check([r[0] for r in rows] == [d["name"] for d in s.demo], f"after the delete the list shows {rows}")
    ini = ini_values(program)
    check(ini.get("COUNT") == "3" and "NAME-4" not in ini, f"the INI file still holds the deleted projector: {ini}")
    s.screenshot("deleted")
