#!/usr/bin/env python3
"""The real program in Simplified Chinese (a file named GETSCH beside it): the login, the main
window, the projector list, Qt's own file dialog and a message box show no English. Then the
language is chosen with --language and from View > Language, and the choice is kept for the
next start. Only the product's name, key names (Ctrl+O, F5), a few abbreviations and the
projectors' own names stay in Latin letters."""

import re

import tessavel_e2e as e2e
from tessavel_e2e import check, wait_for

# Words that are the same in every language.
KEPT = ("Tessavel", "CSV", "Ctrl", "F5", "English", "IP", "MAC", "qv1", "PSNR", "dB")

# Where a window shows words of its own (not data such as a table cell, a path or a field's text).
WORDED = ("FRAME", "DIALOG", "ALERT", "PUSH_BUTTON", "TOGGLE_BUTTON", "CHECK_BOX", "RADIO_BUTTON",
          "LABEL", "COLUMN_HEADER", "MENU", "MENU_ITEM", "CHECK_MENU_ITEM", "RADIO_MENU_ITEM",
          "PAGE_TAB", "TOOL_BAR", "STATUS_BAR", "SPIN_BUTTON", "GROUPING", "PANEL")


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


def english_words(root, data=()):
    """Every word-bearing widget under root, root included, whose name still holds a Latin
    letter once the kept words and the given data (projector names, file names) are taken out."""
    roles = {e2e.role_of(r) for r in WORDED}
    found = []
    for node in [root] + e2e.find_all(root, None, None):
        try:
            if node.get_role() not in roles:
                continue
            name = e2e.plain(node.get_name() or "")
        except Exception:
            continue  # gone while we looked
        rest = name
        for word in sorted(list(data) + list(KEPT), key=len, reverse=True):
            rest = rest.replace(word, "")
        if re.search("[A-Za-z]", rest):
            found.append(f"{node.get_role_name()} '{name}'")
    return found


def menu_titles(program, window):
    bar = program.child(window, "MENU_BAR", None)
    return [e2e.plain(m.get_name()) for m in e2e.children(bar)]


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
    check(headers == [zh.text(11, 41), zh.text(9, 300), zh.text(11, 34), zh.text(9, 107), zh.text(9, 1418)],
          f"the list's columns read {headers}")
    english = english_in(program.child(dialog, "MENU_BAR", None))
    check(not english, f"the projector list's menus show English: {english}")
    names = [d["name"] for d in s.demo]
    english = english_words(dialog, names)
    check(not english, f"the projector list shows English: {english}")
    program.menu_command(dialog, zh.text(53, 10), zh.text(53, 42))
    program.wait_gone(dialog, "the projector list")

    english = english_words(main, names)
    check(not english, f"the main window shows English: {english}")

    # The History window: its filters, columns and buttons.
    program.menu_command(main, zh.text(53, 85), zh.text(53, 86))
    history = program.window(zh.text(9, 796), "DIALOG")
    program.child(history, "PUSH_BUTTON", zh.text(9, 811))
    s.screenshot("history")
    english = english_words(history, names)
    check(not english, f"the History window shows English: {english}")
    program.press(history, "PUSH_BUTTON", zh.text(9, 18))
    program.wait_gone(history, "the History window")

    # Qt's own file dialog and standard buttons follow the window's language.
    program.menu_command(main, zh.text(53, 1), zh.text(53, 2).split("\t")[0])
    files = program.window(zh.text(9, 214), "DIALOG")
    s.screenshot("open-dialog")
    english = english_words(files, names)
    check(not english, f"the file dialog shows English: {english}")
    program.press(files, "PUSH_BUTTON", "取消")
    program.wait_gone(files, "the file dialog")

    program.menu_command(main, zh.text(53, 1), zh.text(53, 4))
    box = program.message_box(zh.text(9, 59))
    s.screenshot("exit-question")
    english = english_words(box)
    check(not english, f"the exit question shows English: {english}")
    program.press(box, "PUSH_BUTTON", "取消")  # Qt's own Cancel, in Chinese: stay
    program.wait_gone(box, "the exit question")

    # The language chosen on the command line, without the marker file, and kept.
    en = s.en
    expected_zh = [zh.text(53, n) for n in (1, 5, 10, 85, 17)]
    expected_en = [en.text(53, n) for n in (1, 5, 10, 85, 17)]
    program = s.start_program(args=["--language", "zh"])
    main = program.log_in(catalog=zh)
    check(menu_titles(program, main) == expected_zh, f"--language zh shows {menu_titles(program, main)}")
    program = s.start_program()
    main = program.log_in(catalog=zh)
    check(menu_titles(program, main) == expected_zh, "the choice of Chinese was not kept for the next start")

    # From the menu: the menus change at once, and the choice is kept.
    program.menu_command(main, zh.text(53, 85), zh.text(9, 975), zh.text(9, 976))
    box = program.message_box(en.text(9, 978))
    s.screenshot("language-changed")
    program.press(box, "PUSH_BUTTON", re.compile(".+"))
    program.wait_gone(box, "the message about the language")
    wait_for(lambda: menu_titles(program, main) == expected_en or None, "the menus in English")
    program = s.start_program()
    main = program.log_in(catalog=en)
    check(menu_titles(program, main) == expected_en, "the choice of English was not kept for the next start")
