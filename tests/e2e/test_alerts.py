#!/usr/bin/env python3
"""Alerts reach the desktop. With a short alert time, a demo projector that stops answering
brings a desktop notification once the alert time has passed, and one that it answers again
once it is back; the Alerts list (View menu) shows the alert and when it cleared. The
notifications go to a small service on the session's own bus that records each call."""

import json
import os
import re
import sys
import time

import tessavel_e2e as e2e
from tessavel_e2e import check, wait_for

ALERT_SECONDS = 4

# The desktop's notification service, as small as it can be: it owns the well-known name on
# the session bus, answers Notify with a fresh id and writes each call as one JSON line.
SERVICE = r'''
import json, sys
from gi.repository import Gio, GLib
XML = """<node><interface name="org.freedesktop.Notifications">
<method name="Notify"><arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
<arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
<arg type="a{sv}" direction="in"/><arg type="i" direction="in"/><arg type="u" direction="out"/></method>
<method name="GetCapabilities"><arg type="as" direction="out"/></method>
<method name="GetServerInformation"><arg type="s" direction="out"/><arg type="s" direction="out"/>
<arg type="s" direction="out"/><arg type="s" direction="out"/></method>
<method name="CloseNotification"><arg type="u" direction="in"/></method>
</interface></node>"""
record = open(sys.argv[1], "a", buffering=1)
count = [0]
def call(conn, sender, path, iface, method, params, invocation):
    if method == "Notify":
        app, _, _, summary, body, _, _, _ = params.unpack()
        count[0] += 1
        record.write(json.dumps({"app": app, "summary": summary, "body": body}) + "\n")
        invocation.return_value(GLib.Variant("(u)", (count[0],)))
    elif method == "GetCapabilities":
        invocation.return_value(GLib.Variant("(as)", (["body"],)))
    elif method == "GetServerInformation":
        invocation.return_value(GLib.Variant("(ssss)", ("e2e", "tests", "1", "1.2")))
    else:
        invocation.return_value(None)
node = Gio.DBusNodeInfo.new_for_xml(XML)
def acquired(conn, name):
    print("ready", flush=True)
def bus_up(conn, name):
    conn.register_object("/org/freedesktop/Notifications", node.interfaces[0], call, None, None)
Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.Notifications", Gio.BusNameOwnerFlags.NONE, bus_up,
                 acquired, lambda *a: sys.exit("the name is taken"))
GLib.MainLoop().run()
'''


def notifications(path):
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8") as f:
        return [json.loads(line) for line in f if line.strip()]


with e2e.Session("alerts") as s:
    en = s.en
    s.start_emulators()
    hall = s.demo[0]

    # The service, before the program asks for it.
    record = os.path.join(s.work, "notifications.jsonl")
    service_log = os.path.join(s.artefacts, "notification-service.log")
    script = os.path.join(s.work, "notification_service.py")
    with open(script, "w") as f:
        f.write(SERVICE)
    service = e2e._spawn(["/usr/bin/python3", script, record], service_log, s.env)
    s._procs.append(service)

    def service_ready():
        if service.poll() is not None:
            raise e2e.TestFailure(f"the notification service ended (see {service_log})")
        with open(service_log, encoding="utf-8", errors="replace") as f:
            return "ready" in f.read().split()
    wait_for(service_ready, "the notification service", e2e.START_LIMIT)

    # A short alert time, and the board refreshing by itself, through the settings file.
    config = os.path.join(s.env["XDG_CONFIG_HOME"], "Tessavel")
    os.makedirs(config, exist_ok=True)
    with open(os.path.join(config, "Tessavel.conf"), "w") as f:
        f.write(f"[alerts]\nofflineAfterSeconds={ALERT_SECONDS}\n\n[board]\ntimedRefresh=true\nminutes=1\n")

    program = s.start_program()
    main = program.log_in()
    view = en.text(53, 85)

    # Every projector answers first: the board's first look raises nothing.
    program.menu_command(main, view, en.text(53, 96))
    board = program.child(main, "TABLE", en.text(9, 864))
    reachable = re.compile("^" + re.escape(en.text(9, 851, "\x00")).replace("\x00", ".+") + "$", re.S)
    wait_for(lambda: (lambda r: len(r) == 3 and all(reachable.match(x[2]) for x in r))(e2e.table_rows(board)),
             "every demo projector to answer the board")
    check(notifications(record) == [], f"notifications before anything happened: {notifications(record)}")

    # Hall stops answering; the board's next look sees it (asked for now, not in a minute).
    hall_proc = next(p for p in s._procs if p.args and "--address" in p.args
                     and p.args[p.args.index("--address") + 1] == hall["address"])
    e2e._stop(hall_proc)
    stopped = time.monotonic()
    program.menu_command(main, view, en.text(53, 96))
    offline = en.text(9, 1470, hall["name"])
    wait_for(lambda: any(n["summary"] == offline for n in notifications(record)), f"the notification '{offline}'")
    took = time.monotonic() - stopped
    e2e.log(f"offline notification {took:.1f} s after the stop")
    check(took >= ALERT_SECONDS - 0.5, f"the alert came {took:.1f} s after the stop, before the alert time")
    first = next(n for n in notifications(record) if n["summary"] == offline)
    check(first["app"] == "Tessavel", f"the notification names {first['app']}")
    said = re.compile("^" + re.escape(en.text(9, 1553, hall["name"], "\x00")).replace("\x00", ".+") + "$")
    check(said.match(first["body"]), f"the notification says {first['body']!r}")
    s.screenshot("offline")

    # Back again: the next look clears it.
    s.spawn_emulator(hall["address"], hall["name"].split(" (")[0], hall["mac"])
    program.menu_command(main, view, en.text(53, 96))
    online = en.text(9, 1471, hall["name"])
    wait_for(lambda: any(n["summary"] == online for n in notifications(record)), f"the notification '{online}'")
    sent = notifications(record)
    check([n["summary"] for n in sent] == [offline, online], f"notifications: {sent}")
    check(sent[1]["body"] == en.text(9, 1554, hall["name"]), f"the clear says {sent[1]['body']!r}")

    # The Alerts list holds it, cleared.
    program.menu_command(main, view, en.text(9, 1450))
    dialog = program.window(en.text(9, 1452), "DIALOG")
    table = program.child(dialog, "TABLE", en.text(9, 1478))
    stamp = re.compile(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$")

    def listed():
        rows = e2e.table_rows(table)
        return rows if len(rows) == 1 else None
    rows = wait_for(listed, "one alert in the Alerts list")
    time_cell, projector, what, cleared = rows[0]
    check(stamp.match(time_cell), f"the alert's time reads {time_cell!r}")
    check(projector == hall["name"], f"the alert names {projector!r}")
    check(what.startswith(en.text(9, 1458)), f"the alert says {what!r}")
    check(stamp.match(cleared) and cleared >= time_cell, f"the alert cleared at {cleared!r}")
    # The board refreshes by itself: the list says so, and offers nothing to turn on.
    program.child(dialog, "LABEL", en.text(9, 1468, "1"))
    check(e2e.find(dialog, "PUSH_BUTTON", en.text(9, 1467)) is None, "the list offers to turn on a running refresh")
    s.screenshot("alerts-list")
    program.press(dialog, "PUSH_BUTTON", en.text(9, 1469))
    program.wait_gone(dialog, "the Alerts list")
