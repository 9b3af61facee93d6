"""Support for the end-to-end tests: the real program under Xvfb, driven through AT-SPI.

Every test imports this module and does its work inside one Session:

    with Session("name") as s:
        s.start_emulators()
        app = s.start_program()
        ...

A Session gives a private network namespace where the machine allows one, a fresh
home and configuration, an X server, a session bus with the accessibility bus, emulated
projectors, and the program copied into a scratch folder (so its INI and users files
start empty). Widgets are found by role and accessible name, never by position, and
every wait is for a condition with a generous limit. Screenshots are kept for people to
look at; no verdict depends on them.
"""

import argparse
import ctypes
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

SKIP = 77

# A loaded two-core machine can take minutes to bring up the first window.
START_LIMIT = 240.0
# Any other single step: a dialog to open, a button to become enabled, a send to end.
STEP_LIMIT = 120.0
POLL = 0.2

# The demo projector list (scripts/run.sh), in a namespace of our own where its loopback
# addresses clash with no other test; outside one, the same list on addresses nothing
# else in the tests uses.
DEMO = [
    {"name": "Demo Hall (open)", "mac": "02-00-00-00-00-02", "password": ""},
    {"name": "Demo Lobby (password demo)", "mac": "02-00-00-00-00-03", "password": "demo"},
    {"name": "Demo Stage (open)", "mac": "02-00-00-00-00-04", "password": ""},
]
NETNS_FIRST = 2
SHARED_FIRST = 172

USER = "operator"
PASSWORD = "e2e-pass-4821"


class TestFailure(Exception):
    pass


def in_ci():
    return os.environ.get("CI", "") not in ("", "0", "false")


def skip(why):
    """Ends the test as skipped: only for what cannot exist on this machine. CI installs
    everything, so there it is a failure."""
    if in_ci():
        print(f"FAILED: {why} (CI must have it)", flush=True)
        sys.exit(1)
    print(f"skipped: {why}", flush=True)
    sys.exit(SKIP)


def log(text):
    print(f"[{time.strftime('%H:%M:%S')}] {text}", flush=True)


def wait_for(condition, what, limit=STEP_LIMIT):
    """Calls condition until it returns something true and returns that; fails after limit
    seconds. Errors from objects that vanish meanwhile count as "not yet"."""
    deadline = time.monotonic() + limit
    last_error = None
    while True:
        try:
            value = condition()
            if value:
                return value
        except Exception as e:  # a widget that went away while we looked
            if isinstance(e, TestFailure):
                raise
            last_error = e
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise TestFailure(f"gave up after {limit:.0f} s waiting for {what}{detail}")
        time.sleep(POLL)


def check(condition, message):
    if not condition:
        raise TestFailure(message)


# --- message catalog -------------------------------------------------------------------------

def source_dir():
    return os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


class Catalog:
    """The texts the program shows, read from the translators' files, so tests name
    widgets as the user reads them in either language."""

    def __init__(self, language):
        self.texts = {}
        suffix = {1033: "en", 2052: "zh"}[language]
        path = os.path.join(source_dir(), "resources", "catalog", f"Pellatic.{suffix}.cat")
        group = None
        with open(path, encoding="utf-8") as f:
            for line in f:
                line = line.rstrip("\n")
                if not line or line.startswith(";"):
                    continue
                m = re.fullmatch(r"\[(\d+)\.(\d+)\]", line.strip())
                if m:
                    group = int(m.group(2))
                    continue
                number, sep, text = line.partition("=")
                if sep and group is not None and number.strip().isdigit():
                    self.texts[(group, int(number))] = text

    def raw(self, group, number):
        return self.texts[(group, number)]

    def text(self, group, number, *inserts):
        """The text as shown: escapes resolved, inserts filled, menu letters removed."""
        out = []
        raw = self.raw(group, number)
        i = 0
        while i < len(raw):
            c = raw[i]
            if c == "%" and i + 1 < len(raw):
                n = raw[i + 1]
                if n == "n":
                    out.append("\n")
                elif n == "t":
                    out.append("\t")
                elif n == "%":
                    out.append("%")
                elif n.isdigit() and 1 <= int(n) <= len(inserts):
                    out.append(str(inserts[int(n) - 1]))
                else:
                    out.append(raw[i:i + 2])
                i += 2
                continue
            out.append(c)
            i += 1
        return plain("".join(out))


def plain(text):
    """A label as a screen reader says it: no menu letter ("&File", "文件(&F)") and no key
    name after a tab."""
    text = text.split("\t", 1)[0]
    text = re.sub(r"\(&?[A-Za-z0-9]\)", "", text)
    return text.replace("&", "").strip()


# --- processes ---------------------------------------------------------------------------------

_libc = ctypes.CDLL(None, use_errno=True)
_PR_SET_PDEATHSIG = 1


def _die_with_parent():
    # A helper must not outlive a test that was killed.
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGTERM)


def _spawn(argv, log_path, env, cwd=None, stdin=None, pass_fds=()):
    out = open(log_path, "ab")
    try:
        return subprocess.Popen(argv, stdout=out, stderr=subprocess.STDOUT, stdin=stdin or subprocess.DEVNULL,
                                env=env, cwd=cwd, pass_fds=pass_fds, start_new_session=True,
                                preexec_fn=_die_with_parent)
    finally:
        out.close()


def _stop(proc, grace=10.0):
    """Ends a process this session started, with the helpers it started itself (its own
    process group)."""
    if proc is None or proc.poll() is not None:
        return
    try:
        os.killpg(proc.pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    try:
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        proc.wait()


def _read_line_from(fd, limit, what):
    deadline = time.monotonic() + limit
    data = b""
    while b"\n" not in data:
        left = deadline - time.monotonic()
        if left <= 0:
            raise TestFailure(f"{what} did not start within {limit:.0f} s")
        ready, _, _ = select.select([fd], [], [], left)
        if ready:
            chunk = os.read(fd, 4096)
            if not chunk:
                break
            data += chunk
    return data.decode().strip()


# --- the session -------------------------------------------------------------------------------

def _enter_private_network():
    """Re-runs this test inside a network namespace of its own when the machine allows
    it: the demo addresses and the program's own datagrams then stay inside."""
    if os.environ.get("TESSAVEL_E2E_NETNS") == "1":
        subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
        return True
    if os.environ.get("TESSAVEL_E2E_NETNS") == "0" or shutil.which("unshare") is None:
        return False
    if subprocess.run(["unshare", "-n", "true"], stderr=subprocess.DEVNULL).returncode != 0:
        return False
    if shutil.which("ip") is None:
        return False
    sys.stdout.flush()
    os.execvp("unshare", ["unshare", "-n", "env", "TESSAVEL_E2E_NETNS=1", sys.executable] + sys.argv)
    return False  # not reached


def _parse_arguments():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, help="the build folder with tessavel and its tools")
    return parser.parse_args()


class Session:
    def __init__(self, name):
        args = _parse_arguments()
        self.name = name
        self.build = os.path.abspath(args.build)
        self.private_network = _enter_private_network()
        first = NETNS_FIRST if self.private_network else SHARED_FIRST
        self.demo = [dict(d, address=f"127.0.0.{first + i}") for i, d in enumerate(DEMO)]
        self.en = Catalog(1033)
        self.zh = Catalog(2052)
        self._procs = []
        self.program = None
        self.shots = 0
        self.started = time.monotonic()

    # -- set-up --

    def __enter__(self):
        self._check_tools()
        base = os.path.join(self.build, "e2e-work")
        os.makedirs(base, exist_ok=True)
        self.work = tempfile.mkdtemp(prefix=f"{self.name}-", dir=base)
        self.artefacts = os.path.join(self.build, "e2e-screenshots", self.name)
        shutil.rmtree(self.artefacts, ignore_errors=True)
        os.makedirs(self.artefacts)
        self.env = self._fresh_environment()
        log(f"{self.name}: work folder {self.work}; "
            f"{'private network namespace' if self.private_network else 'shared network'}")
        try:
            self._start_display()
            self._start_buses()
            self._connect_accessibility()
        except BaseException:
            self._teardown(keep=True)
            raise
        return self

    def __exit__(self, kind, value, tb):
        failed = kind is not None and not (isinstance(value, SystemExit) and value.code in (0, SKIP))
        if failed and not isinstance(value, SystemExit):
            print(f"FAILED: {value}", flush=True)
            if not isinstance(value, TestFailure):
                traceback.print_exception(kind, value, tb)
            self._record_failure()
        self._teardown(keep=failed)
        elapsed = time.monotonic() - self.started
        if isinstance(value, SystemExit) and not failed:
            return False  # a skip
        if not failed:
            log(f"{self.name}: passed in {elapsed:.1f} s")
            sys.exit(0)
        if isinstance(value, SystemExit):
            return False
        log(f"{self.name}: failed after {elapsed:.1f} s; artefacts in {self.artefacts}")
        sys.exit(1)

    def _check_tools(self):
        for tool in ("Xvfb", "dbus-daemon", "dbus-send"):
            if shutil.which(tool) is None:
                skip(f"{tool} is not installed")
        self.bus_launcher = next((p for p in ("/usr/libexec/at-spi-bus-launcher",
                                              "/usr/lib/at-spi2-core/at-spi-bus-launcher")
                                  if os.access(p, os.X_OK)), None)
        if self.bus_launcher is None:
            skip("at-spi-bus-launcher (at-spi2-core) is not installed")
        try:
            import gi
            gi.require_version("Atspi", "2.0")
            from gi.repository import Atspi  # noqa: F401
        except (ImportError, ValueError) as e:
            skip(f"python3-gi with gir1.2-atspi-2.0 is not importable by {sys.executable}: {e}")
        for binary in ("tessavel", "tessavel-emulator", "Fennick", "tessavelctl", "Pellatic.cat", "Pellaticsc.cat"):
            if not os.path.exists(os.path.join(self.build, binary)):
                raise TestFailure(f"{binary} is missing from {self.build}: build it first")

    def _fresh_environment(self):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("XDG_", "DBUS_", "AT_SPI", "QT_", "LC_", "LANG", "WAYLAND", "DISPLAY"))}
        home = os.path.join(self.work, "home")
        runtime = os.path.join(self.work, "runtime")
        for d in (home, runtime):
            os.makedirs(d, mode=0o700)
        env.update({
            "HOME": home,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
            "XDG_CACHE_HOME": os.path.join(home, ".cache"),
            "XDG_RUNTIME_DIR": runtime,
            # English unless a test asks for Chinese with GETSCH.
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
        })
        return env

    def _start_display(self):
        read_fd, write_fd = os.pipe()
        xvfb = _spawn(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                       "-noreset"], os.path.join(self.artefacts, "xvfb.log"), self.env, pass_fds=(write_fd,))
        os.close(write_fd)
        self._procs.append(xvfb)
        number = _read_line_from(read_fd, START_LIMIT, "Xvfb")
        os.close(read_fd)
        if not number.isdigit():
            raise TestFailure(f"Xvfb gave no display number (see {self.artefacts}/xvfb.log)")
        self.env["DISPLAY"] = f":{number}"
        log(f"X server on :{number}")

    def _start_buses(self):
        read_fd, write_fd = os.pipe()
        bus = _spawn(["dbus-daemon", "--session", "--nofork", f"--print-address={write_fd}",
                      f"--address=unix:path={self.env['XDG_RUNTIME_DIR']}/bus"],
                     os.path.join(self.artefacts, "session-bus.log"), self.env, pass_fds=(write_fd,))
        os.close(write_fd)
        self._procs.append(bus)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = _read_line_from(read_fd, START_LIMIT, "the session bus")
        os.close(read_fd)
        # The launcher owns org.a11y.Bus on the session bus and runs the accessibility bus,
        # on which the registry starts when first asked for.
        launcher = _spawn([self.bus_launcher, "--launch-immediately"], os.path.join(self.artefacts, "a11y-bus.log"),
                          self.env)
        self._procs.append(launcher)
        self.env["AT_SPI_BUS_ADDRESS"] = wait_for(self._a11y_address, "the accessibility bus", START_LIMIT)
        # Qt asks this before it exposes anything; the variable below makes sure.
        subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                        "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status", "string:IsEnabled",
                        "variant:boolean:true"], env=self.env, check=False, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        self.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        self.env["QT_ACCESSIBILITY"] = "1"

    def _a11y_address(self):
        r = subprocess.run(["dbus-send", "--session", "--print-reply=literal", "--dest=org.a11y.Bus", "/org/a11y/bus",
                            "org.a11y.Bus.GetAddress"], env=self.env, capture_output=True, text=True, timeout=60)
        address = r.stdout.strip()
        return address if r.returncode == 0 and address.startswith("unix:") else None

    def _connect_accessibility(self):
        # libatspi and GIO read these when first used, so they are set before the import.
        for key in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS", "XDG_RUNTIME_DIR"):
            os.environ[key] = self.env[key]
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi, Gio, GLib
        self.Atspi, self.Gio, self.GLib = Atspi, Gio, GLib
        Atspi.init()
        # A loaded machine answers slowly; an answer that comes late is still an answer.
        Atspi.set_timeout(60000, 60000)
        self.desktop = wait_for(lambda: Atspi.get_desktop(0), "the accessibility registry", START_LIMIT)
        # Commands go out on a connection of their own, without waiting for the answer: a
        # menu command that opens a modal dialog answers only when the dialog closes.
        self.bus = Gio.DBusConnection.new_for_address_sync(
            self.env["AT_SPI_BUS_ADDRESS"],
            Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)

    # -- teardown --

    def _record_failure(self):
        try:
            self.screenshot("failure")
        except Exception as e:
            print(f"(no failure screenshot: {e})")
        if self.program is not None:
            try:
                path = os.path.join(self.artefacts, "accessibility-tree.txt")
                with open(path, "w", encoding="utf-8") as f:
                    for window in self.program.windows():
                        f.write(dump(window))
                print(f"accessibility tree: {path}")
            except Exception as e:
                print(f"(no accessibility tree: {e})")
            try:
                with open(self.program.log_path, encoding="utf-8", errors="replace") as f:
                    tail = f.read()[-4000:]
                print("program output (last lines):\n" + tail)
            except OSError:
                pass

    def _teardown(self, keep):
        if self.program is not None:
            _stop(self.program.proc)
        for p in reversed(self._procs):
            _stop(p)
        self._procs.clear()
        if not keep:
            shutil.rmtree(self.work, ignore_errors=True)

    # -- helpers for tests --

    def screenshot(self, step):
        """Keeps a picture of the whole screen for people; never part of a verdict."""
        self.shots += 1
        path = os.path.join(self.artefacts, f"{self.shots:02d}-{step}.png")
        tool = shutil.which("import")
        if tool is None or "DISPLAY" not in self.env:
            return None
        subprocess.run([tool, "-display", self.env["DISPLAY"], "-window", "root", path], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120, check=False)
        return path

    def run_tool(self, *argv, stdin_text=None, check_ok=True, env=None):
        """Runs one of the build's command-line tools in the session's environment."""
        tool = argv[0] if os.path.isabs(argv[0]) else os.path.join(self.build, argv[0])
        r = subprocess.run([tool, *argv[1:]], env=env or self.env, input=stdin_text, capture_output=True, text=True,
                           timeout=STEP_LIMIT, cwd=self.work)
        if check_ok and r.returncode != 0:
            raise TestFailure(f"{' '.join(argv)} failed ({r.returncode}): {r.stdout}{r.stderr}")
        return r

    def start_emulators(self, slow_store_ms=None):
        """The three demo projectors (the second wants the password "demo"). With
        slow_store_ms the third gives its verdict on an upload that much later."""
        for i, d in enumerate(self.demo):
            extra = ["--store-delay", str(slow_store_ms)] if slow_store_ms and i == 2 else []
            self.spawn_emulator(d["address"], d["name"].split(" (")[0], d["mac"], *extra, password=d["password"])
        log("emulators ready on " + ", ".join(d["address"] for d in self.demo))

    def spawn_emulator(self, address, name, mac, *extra, password=""):
        """One emulated projector; returns once it listens."""
        argv = [os.path.join(self.build, "tessavel-emulator"), "--address", address, "--name", name, "--mac", mac,
                *extra]
        if password:
            argv += ["--password", "-"]
        log_path = os.path.join(self.artefacts, f"emulator-{address}.log")
        proc = _spawn(argv, log_path, self.env, stdin=subprocess.PIPE if password else None)
        self._procs.append(proc)
        if password:
            proc.stdin.write(password.encode() + b"\n")
            proc.stdin.close()

        def listening():
            if proc.poll() is not None:
                raise TestFailure(f"the emulator on {address} ended (see {log_path})")
            with open(log_path, encoding="utf-8", errors="replace") as f:
                return "ready" in f.read().split()
        wait_for(listening, f"the emulator on {address}", START_LIMIT)
        return proc

    def write_demo_list(self, folder):
        lines = ["[Projector List]", f"COUNT={len(self.demo)}"]
        for i, d in enumerate(self.demo, 1):
            lines += [f"NAME-{i}={d['name']}", f"MAC-{i}={d['mac']}", f"IP-{i}={d['address']}",
                      f"AUTH-{i}={1 if d['password'] else 0}", f"PASS-{i}={d['password']}"]
        path = os.path.join(folder, "tessavel.INI")
        fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
        with os.fdopen(fd, "w") as f:
            f.write("\n".join(lines) + "\n")

    def make_picture(self, name="slide"):
        """A projector picture made from a gradient with the command-line client."""
        png = os.path.join(self.work, f"{name}.png")
        qv1 = os.path.join(self.work, f"{name}.qv1")
        if shutil.which("convert") is None:
            skip("ImageMagick's convert is not installed")
        subprocess.run(["convert", "-size", "320x240", "gradient:navy-orange", png], check=True, env=self.env,
                       timeout=STEP_LIMIT)
        self.run_tool("tessavelctl", "convert", png, qv1, "--fit")
        return qv1

    def store_holds(self, demo_index, store, file_name):
        d = self.demo[demo_index]
        argv = ["tessavelctl", "info", d["address"], "--store", str(store)]
        stdin_text = None
        if d["password"]:
            argv += ["--password", "-"]
            stdin_text = d["password"] + "\n"
        r = self.run_tool(*argv, stdin_text=stdin_text, check_ok=False)
        return r.returncode == 0 and file_name in r.stdout

    def start_program(self, args=(), chinese=False, users=True, projectors=True):
        """Starts the build's program from a scratch folder of its own, so its INI and users
        files beside it start as the test says: the demo projector list (projectors) and an
        administrator made with the user tool (users; without one the program starts for
        the first time). A second call starts it again on the same files."""
        folder = os.path.join(self.work, "program")
        if not os.path.isdir(folder):
            os.makedirs(folder)
            for f in ("tessavel", "Fennick", "Pellatic.cat", "Pellaticsc.cat"):
                src = os.path.join(self.build, f)
                dst = os.path.join(folder, f)
                try:
                    os.link(src, dst)  # the program looks for its files beside its own path
                except OSError:
                    shutil.copy2(src, dst)
            if projectors:
                self.write_demo_list(folder)
            if users:
                r = subprocess.run([os.path.join(folder, "Fennick"), "add", USER, "--admin"], input=PASSWORD + "\n",
                                   capture_output=True, text=True, env=self.env, cwd=folder, timeout=STEP_LIMIT)
                if r.returncode != 0:
                    raise TestFailure(f"the user tool could not add the administrator: {r.stdout}{r.stderr}")
        marker = os.path.join(folder, "GETSCH")
        if chinese:
            open(marker, "w").close()
        elif os.path.exists(marker):
            os.remove(marker)
        self.stop_program()
        # Without AT_SPI_BUS_ADDRESS: Qt 6.4 takes it as "enabled" before its bridge listens
        # for that, and then exposes nothing. Asked through the session bus, it does.
        env = {k: v for k, v in self.env.items() if k != "AT_SPI_BUS_ADDRESS"}
        env["QT_QPA_PLATFORM"] = "xcb"
        self.program = Program(self, folder, list(args), env)
        return self.program

    def stop_program(self):
        if self.program is not None:
            self.program.assert_running()  # a crash on the way is a failure, not an ending
            _stop(self.program.proc)
            self.program = None


# --- the program under test --------------------------------------------------------------------

def dump(acc, depth=0, limit=12):
    """The tree under acc as text, for the artefacts of a failed run."""
    lines = []
    try:
        states = acc.get_state_set()
        flags = [n for n, s in (("showing", "SHOWING"), ("enabled", "ENABLED"), ("checked", "CHECKED"),
                                ("selected", "SELECTED"), ("focused", "FOCUSED"))
                 if states.contains(getattr(_atspi().StateType, s))]
        lines.append(f"{'  ' * depth}{acc.get_role_name()} '{acc.get_name()}' [{' '.join(flags)}]"
                     f" {acc.get_description() or ''}")
        if depth < limit:
            for i in range(acc.get_child_count()):
                child = acc.get_child_at_index(i)
                if child is not None:
                    lines.append(dump(child, depth + 1, limit).rstrip("\n"))
    except Exception as e:
        lines.append(f"{'  ' * depth}(gone: {e})")
    return "\n".join(lines) + "\n"


def _atspi():
    from gi.repository import Atspi
    return Atspi


def role_of(name):
    return getattr(_atspi().Role, name)


def has_state(acc, name):
    return acc.get_state_set().contains(getattr(_atspi().StateType, name))


def showing(acc):
    return has_state(acc, "SHOWING")


def enabled(acc):
    return has_state(acc, "ENABLED") and has_state(acc, "SENSITIVE")


def _text_matches(actual, name):
    actual = plain(actual or "")
    if isinstance(name, re.Pattern):
        return name.search(actual) is not None
    return actual == plain(name)


def labels_of(acc):
    """The names of the labels that label acc (a buddy label, for one)."""
    out = []
    for relation in acc.get_relation_set() or []:
        if relation.get_relation_type() == _atspi().RelationType.LABELLED_BY:
            for i in range(relation.get_n_targets()):
                target = relation.get_target(i)
                if target is not None:
                    out.append(target.get_name())
    return out


def _name_matches(acc, name):
    """Its accessible name, or on Linux, where Qt names a list box by its current entry,
    the label that labels it."""
    if name is None or _text_matches(acc.get_name(), name):
        return True
    return any(_text_matches(label, name) for label in labels_of(acc))


def children(acc):
    out = []
    for i in range(acc.get_child_count()):
        c = acc.get_child_at_index(i)
        if c is not None:
            out.append(c)
    return out


def find_all(root, role=None, name=None, only_showing=True, limit_depth=25):
    """Every descendant of root with that role (an Atspi.Role name such as "PUSH_BUTTON")
    and accessible name (a text compared as plain(), or a compiled pattern)."""
    want = role_of(role) if isinstance(role, str) else role
    found = []
    level = [root]
    depth = 0
    while level and depth < limit_depth:
        nxt = []
        for acc in level:
            for c in children(acc):
                try:
                    if only_showing and not showing(c):
                        # A hidden widget hides its children too; a closed menu is
                        # searched with only_showing=False.
                        continue
                    if (want is None or c.get_role() == want) and _name_matches(c, name):
                        found.append(c)
                    nxt.append(c)
                except Exception:
                    continue
        level = nxt
        depth += 1
    return found


def find(root, role=None, name=None, only_showing=True):
    hits = find_all(root, role, name, only_showing)
    return hits[0] if hits else None


class Program:
    def __init__(self, session, folder, args, env):
        self.session = session
        self.folder = folder
        self.log_path = os.path.join(session.artefacts, "program.log")
        with open(self.log_path, "a") as f:
            f.write(f"--- tessavel {' '.join(args)}\n")
        self.proc = _spawn([os.path.join(folder, "tessavel"), *args], self.log_path, env, cwd=folder)
        log(f"program started (pid {self.proc.pid})")
        self.app = wait_for(self._find_app, "the program on the accessibility bus", START_LIMIT)
        # The tree changes under us all the time; every question goes to the program.
        self.app.set_cache_mask(session.Atspi.Cache.NONE)

    def _find_app(self):
        self.assert_running()
        desktop = self.session.desktop
        desktop.clear_cache()  # no main loop runs here to hear of new applications
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is not None and app.get_process_id() == self.proc.pid:
                return app
        return None

    def assert_running(self):
        if self.proc.poll() is not None:
            raise TestFailure(f"the program ended with status {self.proc.returncode}")

    def windows(self):
        return children(self.app)

    def window(self, name, role=None, limit=STEP_LIMIT):
        """Waits for a showing top-level window (frame, dialog or message box) with that
        title and returns it."""
        roles = {role_of(r) for r in ([role] if role else ["FRAME", "DIALOG", "ALERT", "WINDOW"])}

        def look():
            self.assert_running()
            for w in self.windows():
                if w.get_role() in roles and showing(w) and _name_matches(w, name):
                    return w
            return None
        return wait_for(look, f"the window '{name}'", limit)

    def wait_gone(self, window, what, limit=STEP_LIMIT):
        def gone():
            self.assert_running()
            try:
                return not showing(window) or window.get_index_in_parent() < 0
            except Exception:
                return True
        wait_for(gone, f"{what} to close", limit)

    def message_box(self, text=None, limit=STEP_LIMIT):
        """Waits for a message box (showing text, when given) and returns it."""
        def look():
            self.assert_running()
            for w in self.windows():
                if w.get_role() in (role_of("ALERT"), role_of("DIALOG")) and showing(w):
                    if text is None or any(plain(text) in plain(label.get_name() or "")
                                           for label in find_all(w, "LABEL")):
                        return w
            return None
        return wait_for(look, f"a message box{f' saying {text!r}' if text else ''}", limit)

    def child(self, root, role, name, limit=STEP_LIMIT, only_showing=True):
        """Waits for a widget under root and returns it."""
        def look():
            self.assert_running()
            return find(root, role, name, only_showing)
        return wait_for(look, f"{role} '{name}'", limit)

    def enabled_child(self, root, role, name, limit=STEP_LIMIT):
        def look():
            self.assert_running()
            w = find(root, role, name)
            return w if w is not None and enabled(w) else None
        return wait_for(look, f"{role} '{name}' to be enabled", limit)

    def act(self, acc, action=("Press", "Toggle", "ShowMenu")):
        """Performs the widget's action as a screen reader would, without waiting for its
        answer."""
        names = [acc.get_action_name(i) for i in range(acc.get_n_actions())]
        wanted = [action] if isinstance(action, str) else list(action)
        index = next((names.index(n) for w in wanted for n in names if n.lower() == w.lower()), None)
        if index is None:
            raise TestFailure(f"{acc.get_role_name()} '{acc.get_name()}' has no action of {wanted}: {names}")
        s = self.session
        msg = s.Gio.DBusMessage.new_method_call(acc.app.bus_name, acc.path, "org.a11y.atspi.Action", "DoAction")
        msg.set_body(s.GLib.Variant("(i)", (index,)))
        msg.set_flags(s.Gio.DBusMessageFlags.NO_REPLY_EXPECTED)
        s.bus.send_message(msg, s.Gio.DBusSendMessageFlags.NONE)
        s.bus.flush_sync(None)

    def press(self, root, role, name, limit=STEP_LIMIT):
        """Waits for an enabled button (or menu item) and presses it."""
        w = self.enabled_child(root, role, name, limit)
        self.act(w)
        return w

    def menu_command(self, window, *path, limit=STEP_LIMIT):
        """Runs a command from a window's menu bar: menu_command(main, "Projector",
        "Projector List..."). The menus need not be open."""
        bar = self.child(window, "MENU_BAR", None, limit)
        node = bar
        menus = (role_of("MENU"), role_of("MENU_ITEM"))
        for title in path[:-1]:
            # A menu bar's entry is an item whose child is the (nameless) popup menu.
            node = wait_for(lambda: next((m for m in find_all(node, None, title, only_showing=False)
                                          if m.get_role() in menus and m.get_child_count() > 0), None),
                            f"the menu '{title}'", limit)
        item = wait_for(lambda: next((i for i in find_all(node, "MENU_ITEM", path[-1], only_showing=False)
                                      if enabled(i)), None),
                        f"the menu command {' > '.join(path)} to be enabled", limit)
        self.act(item, ("Press", "Toggle"))
        return item

    def drag(self, acc, start, end):
        """Drags with the left button between two points given relative to the widget's
        centre, as a hand on the mouse would (XTest through xdotool). Where the widget is
        comes from the accessibility tree, never from a fixed screen position."""
        if shutil.which("xdotool") is None:
            skip("xdotool is not installed")
        box = acc.get_extents(self.session.Atspi.CoordType.SCREEN)
        cx, cy = box.x + box.width // 2, box.y + box.height // 2
        steps = [f"{cx + start[0] + (end[0] - start[0]) * i // 4} {cy + start[1] + (end[1] - start[1]) * i // 4}"
                 for i in range(5)]
        argv = ["xdotool", "mousemove", "--sync", *steps[0].split(), "mousedown", "1"]
        for step in steps[1:]:
            argv += ["mousemove", "--sync", *step.split()]
        argv += ["mouseup", "1"]
        subprocess.run(argv, check=True, env=self.session.env, timeout=STEP_LIMIT)

    def type_into(self, acc, text):
        acc.set_text_contents(text)
        wait_for(lambda: self.text_of(acc) == text or ("PASSWORD" in acc.get_role().value_nick.upper()),
                 f"'{text}' in {acc.get_name()}", STEP_LIMIT)

    @staticmethod
    def text_of(acc):
        return acc.get_text(0, acc.get_character_count())

    def log_in(self, user=USER, password=PASSWORD, catalog=None):
        """Fills and confirms the login dialog; returns the main window."""
        c = catalog or self.session.en
        dialog = self.window(c.text(9, 500), "DIALOG", START_LIMIT)
        self.session.screenshot("login")
        self.type_into(self.child(dialog, "TEXT", c.text(9, 501)), user)
        self.child(dialog, "PASSWORD_TEXT", c.text(9, 502)).set_text_contents(password)
        self.press(dialog, "PUSH_BUTTON", c.text(9, 302))
        return self.main_window(c)

    def main_window(self, catalog=None, title_pattern=None):
        c = catalog or self.session.en
        pattern = title_pattern or re.compile(re.escape(c.text(9, 58)) + "$")
        return self.window(pattern, "FRAME", START_LIMIT)


def table_rows(table):
    """The cell texts of a table or tree, row by row."""
    t = table
    rows = []
    for r in range(t.get_n_rows()):
        row = []
        for c in range(t.get_n_columns()):
            cell = t.get_accessible_at(r, c)
            row.append(cell.get_name() if cell is not None else "")
        rows.append(row)
    return rows


def table_cell(table, row, column):
    return table.get_accessible_at(row, column)


def select_only(table, row):
    """Selects one row of a table, and no other."""
    for r in table.get_selected_rows():
        table.remove_row_selection(r)
    table.add_row_selection(row)
    wait_for(lambda: list(table.get_selected_rows()) == [row], f"row {row + 1} alone to be selected")
