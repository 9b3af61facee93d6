#!/usr/bin/env python3
"""Trimming in the real program. A photograph-like picture opened from the command line is
shown at its size; a region drawn with the mouse on the picture becomes the whole picture
after Edit > Trimming, exactly as large as the region the canvas reported; Undo gives the
whole picture back."""

import re
import shutil
import subprocess

import tessavel_e2e as e2e
from tessavel_e2e import check, wait_for

WIDTH, HEIGHT = 800, 600

with e2e.Session("trim") as s:
    en = s.en
    if shutil.which("convert") is None:
        e2e.skip("ImageMagick's convert is not installed")
    photo = f"{s.work}/photo.png"
    subprocess.run(["convert", "-seed", "7", "-size", f"{WIDTH}x{HEIGHT}", "plasma:fractal", photo], check=True,
                   env=s.env, timeout=e2e.STEP_LIMIT)

    program = s.start_program(args=[photo])
    main = program.log_in()
    wait_for(lambda: "photo.png" in main.get_name(), "the photo to open")
    canvas = program.child(main, None, en.text(9, 934))

    def described(pattern):
        return lambda: (lambda m: m.groups() if m else None)(pattern.match(canvas.get_description() or ""))

    number = r"(\d+)"
    size = re.compile("^" + re.escape(en.text(9, 935, "\x00", "\x01")).replace("\x00", number)
                      .replace("\x01", number) + "$")
    region = re.compile("^" + re.escape(en.text(9, 936, *[chr(i) for i in range(6)]))
                        .replace("\x00", number).replace("\x01", number).replace("\x02", number)
                        .replace("\x03", number).replace("\x04", number).replace("\x05", number) + "$")
    shown = wait_for(described(size), "the canvas to describe the whole photo")
    check(shown == (str(WIDTH), str(HEIGHT)), f"the canvas shows a picture of {shown}")
    s.screenshot("opened")

    # Around the centre, which is the picture's centre however it is scaled.
    program.drag(canvas, (-70, -40), (50, 60))
    picked = wait_for(described(region), "the canvas to report the drawn region")
    _, _, rw, rh, rx, ry = (int(v) for v in picked)
    check(60 <= rw < WIDTH and 40 <= rh < HEIGHT, f"the drawn region is {rw} x {rh}")
    check(rx > 0 and ry > 0, f"the region starts at {rx}, {ry}, not inside the picture")
    s.screenshot("region")

    program.menu_command(main, en.text(53, 5), en.text(53, 9))
    trimmed = wait_for(lambda: (lambda d: d if d and d != shown else None)(described(size)()),
                       "the trimmed picture")
    check(trimmed == (str(rw), str(rh)), f"the trimmed picture is {trimmed}, the region was {rw} x {rh}")
    s.screenshot("trimmed")

    program.menu_command(main, en.text(53, 5), en.text(53, 34))
    wait_for(lambda: described(size)() == shown, "Undo to give the whole photo back")
    s.screenshot("undone")
