#!/usr/bin/env python3
"""The first start of the real program: no users exist, so the login shows "Create the
First Administrator". A typing mistake keeps the form open; the administrator made there
opens the main window with its English menus. Started again, the program asks to log in,
refuses a wrong password and lets the new administrator in."""

import re

import tessavel_e2e as e2e
from tessavel_e2e import check

with e2e.Session("first_start") as s:
    en = s.en
    program = s.start_program(users=False)

    form = program.window(en.text(9, 506), "DIALOG", e2e.START_LIMIT)
    s.screenshot("first-start")
    check(e2e.find(form, "LABEL", en.text(9, 507)) is not None, "the first-start form does not say why it shows")
    check(e2e.find(form, "PUSH_BUTTON", en.text(9, 504)) is None,
          "the first-start form offers user administration, though there are no users to administer")
    name = program.child(form, "TEXT", en.text(9, 501))
    password = program.child(form, "PASSWORD_TEXT", en.text(9, 502))
    repeat = program.child(form, "PASSWORD_TEXT", en.text(9, 503))

    # Passwords that differ: told so, and the form stays for another try.
    program.type_into(name, "chief")
    password.set_text_contents("first-admin-77")
    repeat.set_text_contents("first-admin-78")
    program.press(form, "PUSH_BUTTON", en.text(9, 302))
    box = program.message_box(en.text(9, 510))
    s.screenshot("passwords-differ")
    program.press(box, "PUSH_BUTTON", "OK")
    program.wait_gone(box, "the message box")
    check(e2e.showing(form), "the first-start form closed after passwords that differ")

    password.set_text_contents("first-admin-77")
    repeat.set_text_contents("first-admin-77")
    program.press(form, "PUSH_BUTTON", en.text(9, 302))
    main = program.main_window()
    s.screenshot("main-window")

    # The menu bar in English, every title from the catalog (none says the catalog is missing).
    bar = program.child(main, "MENU_BAR", None)
    titles = [e2e.plain(m.get_name()) for m in e2e.children(bar)]
    expected = [en.text(53, n) for n in (1, 5, 10, 85, 17)]
    check(titles == expected, f"the menu bar reads {titles}, not {expected}")
    items = e2e.find_all(bar, "MENU_ITEM", None, only_showing=False)
    check(len(items) >= 15, f"only {len(items)} menu items were found: the menus were not read")
    for item in items:
        check("Catalog" not in (item.get_name() or ""), f"a menu item reads '{item.get_name()}'")

    # Again: now there is a user, so the program asks to log in.
    program = s.start_program()
    login = program.window(en.text(9, 500), "DIALOG", e2e.START_LIMIT)
    check(e2e.find(login, "PASSWORD_TEXT", en.text(9, 503)) is None, "the login asks to repeat the password")
    program.type_into(program.child(login, "TEXT", en.text(9, 501)), "chief")
    program.child(login, "PASSWORD_TEXT", en.text(9, 502)).set_text_contents("not-the-password")
    program.press(login, "PUSH_BUTTON", en.text(9, 302))
    box = program.message_box(en.text(9, 508))
    s.screenshot("wrong-password")
    program.press(box, "PUSH_BUTTON", "OK")
    program.wait_gone(box, "the message box")
    program.wait_gone(login, "the refused login")

    # The login shows again for the next try.
    main = program.log_in("chief", "first-admin-77")
    check(re.search(re.escape(en.text(9, 58)), main.get_name()), f"the main window is called '{main.get_name()}'")
    s.screenshot("logged-in")
