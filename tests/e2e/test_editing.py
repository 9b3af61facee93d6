#!/usr/bin/env python3
"""Unsaved edits and a disabled Send in the real program. A large noisy photo opened from
the command line cannot go to a projector as it is: Send is disabled and the status bar says
why, with the measured size in digit groups. After an edit, File > Exit asks Save, Discard or
Cancel: Cancel keeps the program and the edit, Discard ends the program and leaves the file
as it was."""

import hashlib
import re
import shutil
import subprocess

import tessavel_e2e as e2e
from tessavel_e2e import check, wait_for

with e2e.Session("editing") as s:
    en = s.en
    if shutil.which("convert") is None:
        e2e.skip("ImageMagick's convert is not installed")
    photo = f"{s.work}/noise.png"
    subprocess.run(["convert", "-seed", "11", "-size", "1024x768", "xc:", "+noise", "Random", photo], check=True,
                   env=s.env, timeout=e2e.STEP_LIMIT)
    with open(photo, "rb") as f:
        original = hashlib.sha256(f.read()).hexdigest()

    program = s.start_program(args=[photo])
    main = program.log_in()
    wait_for(lambda: "noise.png" in main.get_name(), "the photo to open")

    # Send is disabled, and the status bar says what is missing once the size is measured.
    number = r"(\d{1,3}(?:,\d{3})+)"
    reason = re.compile("^" + re.escape(en.text(9, 1149, "\x00", "\x01")).replace("\x00", number)
                        .replace("\x01", number) + "$")
    pane = program.child(main, "LABEL", reason, limit=e2e.STEP_LIMIT * 3)
    measured, limit = reason.match(pane.get_name()).groups()
    check(limit == "130,816", f"the limit reads {limit}")
    check(int(measured.replace(",", "")) > 130816, f"the measured size {measured} is over the limit")
    s.screenshot("send-disabled")
    bar = program.child(main, "MENU_BAR", None)
    send = program.child(bar, "MENU_ITEM", en.text(53, 12), only_showing=False)
    check(not e2e.enabled(send), "Send is enabled for a picture too large for a projector")

    def undo_enabled():
        return any(e2e.enabled(i) for i in e2e.find_all(bar, "MENU_ITEM", en.text(53, 34), only_showing=False))

    # An edit: Colour Saturation with its values as they come.
    program.menu_command(main, en.text(53, 5), en.text(53, 7))
    dialog = program.window(re.compile(".+"), "DIALOG")
    program.press(dialog, "PUSH_BUTTON", re.compile(r"^(OK|确定)$"))
    program.wait_gone(dialog, "the saturation dialog")
    wait_for(undo_enabled, "the edit to be done (Undo enabled)")

    question = en.text(9, 1140, "noise.png")
    buttons = [en.text(9, 1142), en.text(9, 1143), en.text(9, 1144)]

    program.menu_command(main, en.text(53, 1), en.text(53, 4))
    box = program.message_box(question.split("\n")[0])
    for b in buttons:
        program.child(box, "PUSH_BUTTON", b)
    s.screenshot("exit-question")
    program.press(box, "PUSH_BUTTON", en.text(9, 1144))
    program.wait_gone(box, "the question after Cancel")
    program.assert_running()
    check(undo_enabled(), "Cancel kept the edited picture")
    s.screenshot("after-cancel")

    program.menu_command(main, en.text(53, 1), en.text(53, 4))
    box = program.message_box(question.split("\n")[0])
    program.press(box, "PUSH_BUTTON", en.text(9, 1143))
    wait_for(lambda: program.proc.poll() is not None, "the program to end after Discard")
    check(program.proc.returncode == 0, f"the program ended with status {program.proc.returncode}")
    s.program = None  # it ended as asked
    with open(photo, "rb") as f:
        check(hashlib.sha256(f.read()).hexdigest() == original, "Discard changed the photo's file")
