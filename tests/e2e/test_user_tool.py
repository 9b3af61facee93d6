#!/usr/bin/env python3
"""User Administration from the login of the real program. The user tool lies beside the
program, so the button opens the user-administration form, not the message that the tool
is missing, and the program stays. Closed again, the form gives way to the login, which
still lets the administrator in."""

import tessavel_e2e as e2e
from tessavel_e2e import check

with e2e.Session("user_tool") as s:
    en = s.en
    program = s.start_program()
    login = program.window(en.text(9, 500), "DIALOG", e2e.START_LIMIT)
    program.press(login, "PUSH_BUTTON", en.text(9, 504))

    form = program.window(en.text(9, 521), "DIALOG")
    s.screenshot("user-administration")
    missing = en.text(2201, 1001)
    for w in program.windows():
        check(not any(missing in e2e.plain(label.get_name() or "") for label in e2e.find_all(w, "LABEL")),
              "the program says the user tool is missing, though it lies beside the program")
    program.child(form, "LABEL", en.text(9, 526))
    program.child(form, "PUSH_BUTTON", en.text(9, 525))

    program.press(form, "PUSH_BUTTON", en.text(9, 18))
    program.wait_gone(form, "the user-administration form")
    main = program.log_in()
    check(e2e.showing(main), "the main window is not showing after the login")
    s.screenshot("logged-in")
