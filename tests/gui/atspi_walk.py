#!/usr/bin/python3
# The device panel as a screen reader meets it, end to end: the real tester in Xvfb under a
# D-Bus session with the AT-SPI bus, fed at 1000 frames per second by ombrix-sim. Walks the
# panel through pyatspi, counts the name, description and value changes the tester announces
# over 3 s, then presses Q.
#
# Usage: atspi_walk.py BIN_DIR   (BIN_DIR holds skywandtester and ombrix-sim)
# Exit status: 0 passed, 1 failed, 77 when a prerequisite is missing.
import os, re, shutil, socket, subprocess, sys, tempfile, time
from collections import Counter

ANNOUNCE_S = 0.75  # PanelAccessibility::announceIntervalMs
COUNT_S = 3.0

if len(sys.argv) == 2:  # outside: check prerequisites, then run this again in X and D-Bus
    missing = [t for t in ("Xvfb", "dbus-run-session", "xdotool", "/usr/libexec/at-spi-bus-launcher")
               if not shutil.which(t)]
    if subprocess.run(["/usr/bin/python3", "-c", "import pyatspi"], capture_output=True).returncode:
        missing.append("python3-pyatspi")
    if missing:
        print("missing:", *missing, "- skipped (scripts/install-deps installs them)")
        sys.exit(77)
    # The X server picks a free display itself: no race with other X servers starting.
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten",
                             "tcp"], pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    display = os.read(read, 16).decode().strip()
    env = dict(os.environ, DISPLAY=":" + display, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    env.pop("QT_QPA_PLATFORM", None)
    status = subprocess.run(["dbus-run-session", "--", "/usr/bin/python3", __file__, sys.argv[1],
                             "--inside"], env=env).returncode if display else 1
    xvfb.terminate()
    xvfb.wait()
    sys.exit(status)

import pyatspi
from gi.repository import GLib

failures = []
def check(ok, what):
    print(("ok:   " if ok else "FAIL: ") + what)
    if not ok:
        failures.append(what)

bin_dir, work = sys.argv[1], tempfile.mkdtemp()
# The tester reads its port from the configuration file beside its executable.
shutil.copy(os.path.join(bin_dir, "skywandtester"), work)
with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
    s.bind(("", 0))
    port = s.getsockname()[1]
open(os.path.join(work, "skywandtester.config"), "w").write(str(port))
# Events are sent only for the kinds someone listens to: listen before anything is counted.
events = []
def on_event(e):
    events.append((e.type, e.source.name, e.source.description))
kinds = ["object:property-change:accessible-" + p for p in ("name", "description", "value")]
pyatspi.Registry.registerEventListener(on_event, *kinds)

sim = tester = None
log = open(os.path.join(work, "tester.log"), "w+")
try:
    tester = subprocess.Popen([os.path.join(work, "skywandtester")], stdout=log, stderr=log)
    sim = subprocess.Popen([os.path.join(bin_dir, "ombrix-sim"), "--port", str(port), "--rate", "1000",
                            "--quiet"], stdout=subprocess.DEVNULL, stderr=log)
    app = None
    for _ in range(100):
        app = next((a for a in pyatspi.Registry.getDesktop(0) if a and tester.pid == a.get_process_id()), None)
        if app and app.childCount:
            break
        time.sleep(0.1)
    check(app is not None, "the tester is on the AT-SPI bus")
    if app is None:
        raise SystemExit(1)
    time.sleep(1.0)  # a few announcements with frames flowing

    walk = lambda a: [a] + [n for child in a if child for n in walk(child)]
    nodes = walk(app)
    named = {n.name: n for n in nodes if n.name}
    for i in range(1, 6):
        b = named.get("Button %d" % i)
        check(b is not None and b.getRole() == pyatspi.ROLE_LABEL and
              b.description in ("pressed", "released"), "Button %d: label, pressed or released" % i)
    stick = re.compile(r"X -?\d\.\d\d, Y -?\d\.\d\d(, pressed)?$")
    j = named.get("Joystick")
    check(j is not None and j.getRole() == pyatspi.ROLE_IMAGE and stick.match(j.description),
          "indicator: image 'Joystick', value %r" % (j and j.description))
    for axis in "XY":
        v = named.get("Joystick " + axis)
        check(v is not None and v.getRole() == pyatspi.ROLE_LABEL and
              re.match(axis + r" = -?\d\.\d\d$", v.description), "value label 'Joystick %s': %r" % (axis, v and v.description))
    combos = [n for n in nodes if n.getRole() == pyatspi.ROLE_COMBO_BOX]
    labels = [r.getTarget(0).name for c in combos for r in c.getRelationSet()
              if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]
    check("Skywand nr.:" in labels, "selector labelled by 'Skywand nr.:' (%r)" % labels)

    while GLib.MainContext.default().iteration(False):
        pass  # what came during the walk
    events.clear()
    GLib.timeout_add(int(COUNT_S * 1000), pyatspi.Registry.stop)
    pyatspi.Registry.start()
    counts = Counter((kind.rsplit("-", 1)[1], name) for kind, name, _ in events)
    print("changes in %.0f s:" % COUNT_S, dict(counts))
    # The values are announced once per interval, one event for each of the three; the
    # buttons' descriptions change only with the buttons (the simulator changes one every
    # 0.5 s: two changes). A value label without its fixed name would announce every text it
    # shows as a name change of its own: about 300 in 3 s.
    ticks = int(COUNT_S / ANNOUNCE_S) + 1
    values = sum(n for (_, s), n in counts.items() if s.startswith("Joystick"))
    buttons = sum(n for (_, s), n in counts.items() if s.startswith("Button"))
    check(values <= 3 * ticks, "%d value announcements, at most %d" % (values, 3 * ticks))
    check(buttons <= 2 * (int(COUNT_S / 0.5) + 1), "%d button changes" % buttons)
    said = {d for _, s, d in events if s.startswith("Button")}
    check(said == {"pressed", "released"}, "buttons said %r" % said)
    others = len(events) - values - buttons
    check(others <= 2, "%d other changes, at most 2 (the status line's)" % others)

    win = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Skywandtester$"],
                         capture_output=True, text=True).stdout.split()
    check(win != [], "the tester's window is on the X server")
    subprocess.run(["xdotool", "windowfocus", "--sync", win[0], "key", "--clearmodifiers", "q"] if win else ["true"])
    try:
        check(tester.wait(10) == 0, "Q ends the tester cleanly")
    except subprocess.TimeoutExpired:
        check(False, "Q ends the tester within 10 s")
finally:
    for p in (sim, tester):
        if p and p.poll() is None:
            p.kill()
            p.wait()
    if failures:
        log.seek(0)
        print(log.read()[-3000:])
    shutil.rmtree(work, ignore_errors=True)
sys.exit(1 if failures else 0)
