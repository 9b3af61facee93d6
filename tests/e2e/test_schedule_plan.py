#!/usr/bin/env python3
"""A new user's first entry with days and times: an entry made in the Insert form and saved,
then given the window 07:00-11:00 on weekdays in its Days and Times dialog, in a loop that
sends every hour. The plan below the list shows exactly the sends that gives over the next
week, worked out here from the moment the plan says it starts; saved again, the schedule
file keeps its bytes and the options file beside it holds the days and the window. The
program runs in Europe/Berlin, whatever the machine's own zone."""

import datetime
import os
import re
import zoneinfo

import tessavel_e2e as e2e
from tessavel_e2e import check, wait_for

ZONE = "Europe/Berlin"
INTERVAL_MIN = 60
PLAN_DAYS = 7
STAMP = "%Y-%m-%d %H:%M:%S"


def expected_sends(start, day_names):
    """The loop's sends inside 07:00-11:00 on weekdays in the week after start (local time)."""
    tz = start.tzinfo
    end = (start.replace(tzinfo=None) + datetime.timedelta(days=PLAN_DAYS)).replace(tzinfo=tz)
    rows = []
    day = start.date()
    while day <= end.date():
        if day.isoweekday() <= 5:
            at = datetime.datetime.combine(day, datetime.time(7, 0), tz)
            close = datetime.datetime.combine(day, datetime.time(11, 0), tz)
            if at < start < close:
                at = start  # inside the window already: at once, then every hour
            while at < close and at < end:
                if at >= start:
                    rows.append(f"{at.strftime(STAMP)} {day_names[at.isoweekday() - 1]}")
                at += datetime.timedelta(minutes=INTERVAL_MIN)
        day += datetime.timedelta(days=1)
    return rows


def save_as(program, dialog, en, path):
    program.press(dialog, "PUSH_BUTTON", en.text(9, 36))
    files = program.window(en.text(9, 225), "DIALOG")
    program.type_into(program.child(files, "TEXT", re.compile("^File name")), path)
    program.press(files, "PUSH_BUTTON", "Save")
    program.wait_gone(files, "the save dialog")
    wait_for(lambda: os.path.exists(path), f"{path} to be written")


with e2e.Session("schedule_plan") as s:
    en = s.en
    s.env["TZ"] = ZONE
    tz = zoneinfo.ZoneInfo(ZONE)
    slide = s.make_picture("slide")
    program = s.start_program()
    main = program.log_in()

    program.menu_command(main, en.text(53, 10), en.text(53, 51))
    dialog = program.window(en.text(9, 33), "DIALOG")
    table = program.child(dialog, "TABLE", en.text(9, 33))

    hall = s.demo[0]
    program.press(dialog, "PUSH_BUTTON", en.text(9, 34))
    form = program.window(en.text(9, 39), "DIALOG")
    for i, part in enumerate(hall["address"].split("."), 1):
        program.type_into(program.child(form, "TEXT", en.text(9, 699, en.text(9, 40), i)), part)
    program.type_into(program.child(form, "TEXT", en.text(9, 41)), slide)
    program.type_into(program.child(form, "TEXT", en.text(9, 42)), str(INTERVAL_MIN))
    program.press(form, "PUSH_BUTTON", en.text(9, 302))
    program.wait_gone(form, "the Insert form")
    wait_for(lambda: table.get_n_rows() == 1, "the entry in the schedule")

    plain_sch = os.path.join(s.work, "plain.sch")
    save_as(program, dialog, en, plain_sch)

    loop = program.child(dialog, "CHECK_BOX", en.text(9, 38))
    program.act(loop)
    wait_for(lambda: e2e.has_state(loop, "CHECKED"), "Loop to be on")

    # The entry's days and times, as a user sets them: untick the weekend, add a window.
    e2e.select_only(table, 0)
    program.press(dialog, "PUSH_BUTTON", en.text(9, 1373))
    days = program.window(en.text(9, 1372, "1"), "DIALOG")
    for weekend in (en.text(9, 1357), en.text(9, 1358)):
        box = program.child(days, "CHECK_BOX", weekend)
        program.act(box)
        wait_for(lambda: not e2e.has_state(box, "CHECKED"), f"'{weekend}' to be off")
    program.press(days, "PUSH_BUTTON", en.text(9, 1360))
    for name, clock in ((en.text(9, 1362, "1"), "07:00"), (en.text(9, 1363, "1"), "11:00")):
        program.type_into(program.child(days, None, name), clock)
    s.screenshot("days-and-times")
    program.press(days, "PUSH_BUTTON", en.text(9, 302))
    program.wait_gone(days, "the Days and Times dialog")

    prefix = e2e.plain(en.text(9, 1369, str(PLAN_DAYS), "@")).split("@")[0]
    label_pattern = re.compile(re.escape(prefix) + r"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")
    plan = program.child(dialog, "TABLE", re.compile("^" + re.escape(prefix)))
    day_names = [en.text(9, n) for n in range(1352, 1359)]
    store = en.text(9, 216, "1")
    projector = en.text(9, 1114, hall["name"], hall["address"])

    def plan_matches():
        # The plan moves on with the clock: read its start before and after its rows.
        before = label_pattern.search(plan.get_name() or "")
        rows = e2e.table_rows(plan)
        after = label_pattern.search(plan.get_name() or "")
        if before is None or after is None or before.group(1) != after.group(1):
            return None
        start = datetime.datetime.strptime(before.group(1), STAMP).replace(tzinfo=tz)
        want = [[t, "1", projector, store, slide] for t in expected_sends(start, day_names)]
        return (rows, want) if rows == want else None

    try:
        rows, want = wait_for(plan_matches, "the plan to show the weekday mornings")
    except e2e.TestFailure:
        e2e.log(f"the plan shows {e2e.table_rows(plan)}")
        raise
    check(want, "the week ahead holds no weekday morning")
    s.screenshot("plan")
    e2e.log(f"the plan shows {len(rows)} sends, the first at {rows[0][0]}")

    days_sch = os.path.join(s.work, "weekdays.sch")
    save_as(program, dialog, en, days_sch)
    with open(plain_sch, "rb") as a, open(days_sch, "rb") as b:
        check(a.read() == b.read(), "the schedule file changed with the entry's days and times")
    check(not os.path.exists(plain_sch + ".options"), "a schedule without days and times wrote an options file")
    with open(days_sch + ".options", encoding="utf-8") as f:
        lines = f.read().splitlines()
    check("entry.1.days=mon-fri" in lines and "entry.1.windows=07:00-11:00" in lines,
          f"the options file holds {lines}")
