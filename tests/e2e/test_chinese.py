#!/usr/bin/env python3
"""The real program in Simplified Chinese (a file named GETSCH beside it): the login and the
main window speak Chinese, and no menu of the main window or of the projector list shows
English. Only the product's name and key names (Ctrl+O, F5) stay in Latin letters."""

import re

import tessavel_e2e as e2e
from tessavel_e2e import check, wait_for

# Words that are the same in every language.
KEPT = ("Tessavel", "CSV", "Ctrl", "F5")


def english_in(menu_bar):
    """Every menu title and item of a menu bar that still holds a Latin letter."""
    found = []
    for node in [menu_bar] + e2e.find_all(menu_bar, None, None, only_showing=False):
        if node.get_role() not in (e2e.role_of("MENU"), e2e.role_of("MENU_ITEM")):
            continue
        name = e2e.plain(node.get_name() or "")
        rest = name
        for word in KEPT:
            rest = rest.replace(word, "")
        if re.search("[A-Za-z]", rest) or not name:
            found.append(name)
    return found


with e2e.Session("chinese") as s:
    zh = s.zh
    program = s.start_program(chinese=True)
    main = program.log_in(catalog=zh)
    check(main.get_name() == zh.text(9, 58), f"the main window is called '{main.get_name()}'")
    s.screenshot("main-window")

    bar = program.child(main, "MENU_BAR", None)
    titles = [e2e.plain(m.get_name()) for m in e2e.children(bar)]
    expected = [zh.text(53, n) for n in (1, 5, 10, 85, 17)]
    check(titles == expected, f"the menu bar reads {titles}, not {expected}")
    items = e2e.find_all(bar, "MENU_ITEM", None, only_showing=False)
    check(len(items) >= 15, f"only {len(items)} menu items were found: the menus were not read")
    english = english_in(bar)
    check(not english, f"the main window's menus show English: {english}")

    # The projector list: Chinese around the demo projectors' own names.
    program.menu_command(main, zh.text(53, 10), zh.text(53, 11))
    dialog = program.window(zh.text(9, 28), "DIALOG")
    table = program.child(dialog, "TABLE", zh.text(9, 28))
    rows = wait_for(lambda: e2e.table_rows(table) if table.get_n_rows() == 3 else None, "the three demo projectors")
    s.screenshot("projector-list")
    check([r[0] for r in rows] == [d["name"] for d in s.demo], f"the Chinese list shows {rows}")
    check([r[3] for r in rows] == [zh.text(9, 222 if d["password"] else 223) for d in s.demo],
          f"the authentication column reads {[r[3] for r in rows]}")
    headers = [table.get_column_description(c) for c in range(table.get_n_columns())]
    check(headers == [zh.text(11, 41), zh.text(9, 300), zh.text(11, 34), zh.text(9, 107)],
          f"the list's columns read {headers}")
    english = english_in(program.child(dialog, "MENU_BAR", None))
    check(not english, f"the projector list's menus show English: {english}")
