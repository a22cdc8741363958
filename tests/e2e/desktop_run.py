#!/usr/bin/env python3
"""The real ticklog program in a real X server (Xvfb), used as a person would use it.

    desktop_run.py BIN_DIR SHOT_DIR demo     ticklog --demo: Start, the three display
                                             modes, Stop, the analysis button, Escape
    desktop_run.py BIN_DIR SHOT_DIR killed   a run on instrument-sim ended by SIGKILL

Each case runs in a fresh temporary folder that holds the program, started from another
working folder, so its settings and data file land beside it and not beside the built
program or in the working folder. The
window is driven with xdotool (mnemonics, Enter, a mouse click), screenshots of it go
to SHOT_DIR/e2e_*.png, and the data file is read from this process while the run goes
on. E2E_RUN_SECONDS (default 9) is about how long the demo run lasts.

Exit status 77 (skipped) only when the X server cannot be started.
"""
import os
import pathlib
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from xml.etree import ElementTree

SKIPPED = 77
CAPTION = "Marwen Ostrand Communications Program"
# One record: the scaled reading as "%20.15e" (never shorter than 21 characters, so
# never padded) and CR LF.
RECORD = re.compile(rb"-?\d\.\d{15}e[+-]\d{2,3}")
# Window and control sizes in dialog units, from the window's template.
DIALOG_UNITS = (233, 163)
PLOT_AREA = (5, 71, 223, 58)
ANALYZE_BUTTON = (180, 53, 46, 14)

BIN, SHOTS, CASE = pathlib.Path(sys.argv[1]).resolve(), pathlib.Path(sys.argv[2]), sys.argv[3]
RUN_SECONDS = float(os.environ.get("E2E_RUN_SECONDS", "9"))


def fail(message):
    raise AssertionError(message)


def wait_for(what, test, timeout, step=0.1):
    """Polls test() until it gives something true, and returns that."""
    end = time.monotonic() + timeout
    while True:
        result = test()
        if result:
            return result
        if time.monotonic() > end:
            fail(f"timed out after {timeout} s waiting for {what}")
        time.sleep(step)


class XServer:
    """Xvfb on a display number of its own choosing."""

    def __init__(self, folder):
        self.process = None
        if not any((pathlib.Path(d) / "Xvfb").exists() for d in os.environ["PATH"].split(os.pathsep)):
            skip("Xvfb is not installed (./run.sh installs the xvfb package)")
        log = open(folder / "xvfb.log", "w+b")
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        os.close(write_end)
        number = b""
        end = time.monotonic() + 20
        while not number.endswith(b"\n") and time.monotonic() < end and self.process.poll() is None:
            if select.select([read_end], [], [], 0.2)[0]:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
        os.close(read_end)
        if not number.strip().isdigit():
            self.stop()
            log.seek(0)
            skip("Xvfb could not start: " + log.read().decode(errors="replace").strip()[-400:])
        self.display = ":" + number.decode().strip()

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def skip(reason):
    print(f"SKIPPED: {reason}")
    sys.exit(SKIPPED)


class Desktop:
    """The environment of a program on the X server, and xdotool and xwd against it."""

    def __init__(self, folder, display):
        home, runtime = folder / "home", folder / "runtime"
        home.mkdir()
        runtime.mkdir(mode=0o700)
        self.env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", HOME=str(home),
                        XDG_RUNTIME_DIR=str(runtime))

    def tool(self, *arguments, timeout=30):
        done = subprocess.run(arguments, env=self.env, capture_output=True, timeout=timeout)
        if done.returncode != 0:
            fail(f"{' '.join(map(str, arguments))}: {done.stderr.decode(errors='replace')}")
        return done.stdout

    def find_window(self):
        found = self.tool("xdotool", "search", "--sync", "--onlyvisible", "--name", f"^{CAPTION}$")
        return found.split()[0].decode()

    def window_size(self, window):
        text = self.tool("xdotool", "getwindowgeometry", "--shell", window).decode()
        values = dict(line.split("=", 1) for line in text.split())
        return int(values["WIDTH"]), int(values["HEIGHT"])

    def keys(self, window, *keys):
        self.tool("xdotool", "windowfocus", "--sync", window)
        self.tool("xdotool", "key", "--clearmodifiers", *keys)

    def click(self, window, x, y):
        self.tool("xdotool", "mousemove", "--window", window, str(x), str(y), "click", "1")

    def screenshot(self, window, name):
        """Saves SHOT_DIR/NAME.png and returns the picture as (width, height, rgb bytes)."""
        xwd = self.tool("xwd", "-silent", "-id", window)
        ppm = subprocess.run(["xwdtopnm"], input=xwd, capture_output=True, check=True).stdout
        png = subprocess.run(["pnmtopng"], input=ppm, capture_output=True, check=True).stdout
        SHOTS.mkdir(parents=True, exist_ok=True)
        (SHOTS / f"{name}.png").write_bytes(png)
        return parse_ppm(ppm)


def parse_ppm(ppm):
    fields, position = [], 0
    while len(fields) < 4:
        match = re.compile(rb"\s*(#[^\n]*\n\s*)*(\S+)").match(ppm, position)
        fields.append(match.group(2))
        position = match.end()
    if fields[0] != b"P6" or fields[3] != b"255":
        fail(f"unexpected picture format {fields}")
    width, height = int(fields[1]), int(fields[2])
    return width, height, ppm[position + 1:position + 1 + 3 * width * height]


class DialogUnits:
    """Pixel rectangles of the template's controls, from the window's size: the window
    is 233 x 153 dialog units of whole base units, as the program lays it out."""

    def __init__(self, width, height):
        self.base_x = next(b for b in range(1, 64) if DIALOG_UNITS[0] * b // 4 == width)
        self.base_y = next(b for b in range(1, 64) if DIALOG_UNITS[1] * b // 8 == height)

    def rect(self, x, y, w, h):
        bx, by = self.base_x, self.base_y
        return x * bx // 4, y * by // 8, w * bx // 4, h * by // 8

    def centre(self, control):
        x, y, w, h = self.rect(*control)
        return x + w // 2, y + h // 2


def colour_counts(picture, rect):
    """Numbers of pure red (data) and pure green (mean line) pixels inside rect."""
    width, _, rgb = picture
    x0, y0, w, h = rect
    red = green = 0
    for y in range(y0, y0 + h):
        row = rgb[3 * (y * width + x0):3 * (y * width + x0 + w)]
        for i in range(0, len(row), 3):
            pixel = row[i:i + 3]
            red += pixel == b"\xff\x00\x00"
            green += pixel == b"\x00\xff\x00"
    return red, green


class DataFileReader:
    """Reads the data file as another program would while the run goes on: it may only
    grow at its end, and every line there is one whole record. A record still being
    written may show as an unfinished last line; it must be whole at the next look."""

    def __init__(self, path):
        self.path = path
        self.data = b""
        self.looks = 0

    def look(self):
        data = self.path.read_bytes() if self.path.exists() else b""
        if not data.startswith(self.data):
            fail(f"{self.path} changed before its end: {len(self.data)} bytes were {self.data[-60:]!r}, "
                 f"now {data[:len(self.data)][-60:]!r}")
        whole = data[:data.rfind(b"\r\n") + 2] if b"\r\n" in data else b""
        for line in whole.split(b"\r\n")[:-1]:
            if not RECORD.fullmatch(line):
                fail(f"{self.path}: {line!r} is not one whole record")
        self.data = data
        self.looks += 1
        return whole

    def records(self):
        return self.look().split(b"\r\n")[:-1]

    def unfinished(self):
        return self.data[len(self.look()):]

    def wait_for_records(self, count, timeout):
        return wait_for(f"{count} records in {self.path}", lambda: len(self.records()) >= count, timeout)


class Ticklog:
    """The real program, installed in the work folder (a hard link, else a copy: the
    program's folder is that of the file it runs from, whatever link led to it) with
    the tools it starts beside it, and started by a relative name from another working
    folder, so that every path it uses must come from its own folder."""

    def __init__(self, desktop, work, *arguments):
        program = work / "ticklog"
        try:
            os.link(BIN / "ticklog", program)
        except OSError:
            shutil.copy2(BIN / "ticklog", program)
        for tool in ("instrument-sim", "varnis-analyze"):
            (work / tool).symlink_to(BIN / tool)
        self.elsewhere = work.parent / "elsewhere"
        self.elsewhere.mkdir()
        self.stderr_path = work.parent / "ticklog.stderr"
        with open(work.parent / "ticklog.stdout", "wb") as out, open(self.stderr_path, "wb") as err:
            # A session of its own, so that a failed test can end the program together
            # with the simulated instrument it started.
            self.process = subprocess.Popen([os.path.relpath(program, self.elsewhere), *arguments],
                                            cwd=self.elsewhere, env=desktop.env,
                                            stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                            start_new_session=True)

    def stderr(self):
        return self.stderr_path.read_text(errors="replace")

    def open_devices(self):
        folder = pathlib.Path(f"/proc/{self.process.pid}/fd")
        devices = set()
        for fd in folder.iterdir() if folder.exists() else ():
            try:
                devices.add(os.readlink(fd))
            except OSError:
                pass
        return devices

    def group_members(self):
        """Processes left in the program's process group, zombies aside."""
        members = []
        for status in pathlib.Path("/proc").glob("[0-9]*/stat"):
            try:
                fields = status.read_text().rsplit(")", 1)[1].split()
            except OSError:
                continue
            if int(fields[2]) == self.process.pid and fields[0] != "Z":
                members.append(status.parent.name)
        return members

    def end(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()
        elif self.group_members():
            os.killpg(self.process.pid, signal.SIGKILL)


def read_ini(path):
    sections, section = {}, None
    for line in path.read_text().splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            section = sections.setdefault(line[1:-1].lower(), {})
        elif "=" in line and section is not None:
            key, value = line.split("=", 1)
            section[key.strip().lower()] = value.strip()
    return sections


def check_analysis_outputs(data_path, records):
    """The outputs of varnis-analyze beside the data file, once they are complete."""
    text, csv, svg, page = (pathlib.Path(f"{data_path}.{ext}") for ext in ("txt", "csv", "svg", "html"))

    def complete(path):
        try:
            return ElementTree.parse(path).getroot()
        except (OSError, ElementTree.ParseError):
            return None

    # The report is written last, each output whole.
    report = wait_for("the analysis report " + page.name, lambda: complete(page), 60, step=0.25)
    if report.tag != "{http://www.w3.org/1999/xhtml}html" or \
            report.find(".//{http://www.w3.org/1999/xhtml}h2[@id='sigma-tau']") is None:
        fail(f"{page} is not the report page: {report.tag}")
    root = complete(svg)
    if root is None or root.tag != "{http://www.w3.org/2000/svg}svg":
        fail(f"{svg} is no SVG picture")
    table = text.read_text()
    if not table.startswith(f"Data file: {data_path}\n") or \
            f"phase (s), {len(records)} values, tau0 = 1 s" not in table:
        fail(f"{text} is not the table of {data_path} with {len(records)} values:\n{table[:400]}")
    rows = csv.read_text().splitlines()
    if rows[0] != "statistic,m,tau,terms,value,edf,lower,upper,noise_alpha,note":
        fail(f"{csv}: heading {rows[0]!r}")
    factors = sorted({int(r.split(",")[1]) for r in rows[1:] if r.startswith("oadev,")})
    expected = [2 ** i for i in range(20) if len(records) - 2 * 2 ** i >= 1]
    if factors != expected:
        fail(f"{csv}: averaging factors {factors}, expected {expected}")
    for line in table.splitlines():
        print("  | " + line)
    return text, csv, svg, page


def demo_case(folder, desktop):
    work = folder / "work"
    work.mkdir()
    data_path = work / "Ticklog.dat"
    program = Ticklog(desktop, work, "--demo")
    try:
        # a. The window by its caption, with COM1 open on the simulated instrument.
        device = wait_for("the simulated instrument's device in the program's messages",
                          lambda: re.search(r"COM1 is the simulated instrument on (\S+)", program.stderr()),
                          30).group(1)
        window = desktop.find_window()
        wait_for(f"{device} among the program's open files", lambda: device in program.open_devices(), 15)
        units = DialogUnits(*desktop.window_size(window))
        plot_area = units.rect(*PLOT_AREA)
        print(f"window {window}, COM1 = {device} open, base units {units.base_x} x {units.base_y}")
        if data_path.exists():
            fail("the data file exists before Start")

        # b. Start by its mnemonic; the list, then each plot, for a third of the run.
        reader = DataFileReader(data_path)
        desktop.keys(window, "alt+s")
        per_mode = max(3, round(RUN_SECONDS / 3))
        started = time.monotonic()
        reader.wait_for_records(per_mode, per_mode + 10)
        red, green = colour_counts(desktop.screenshot(window, "e2e_list"), plot_area)
        if red or green:
            fail(f"list mode shows plot colours in the plot's place: {red} red, {green} green pixels")

        desktop.keys(window, "alt+p")
        reader.wait_for_records(2 * per_mode, per_mode + 10)
        red, green = colour_counts(desktop.screenshot(window, "e2e_phase"), plot_area)
        print(f"phase plot: {red} red pixels, {green} green pixels")
        if red < 10 or green:
            fail("the phase plot shows no data line, or a mean line that belongs to the frequency plot")

        desktop.keys(window, "alt+f")
        reader.wait_for_records(3 * per_mode, per_mode + 10)
        red, green = colour_counts(desktop.screenshot(window, "e2e_freq"), plot_area)
        print(f"frequency plot: {red} red pixels, {green} green pixels")
        # The mean line runs under the staircase, which hides most of it: 11 of its
        # pixels showed in a quiet run, 9 in one under load, so any one is enough.
        if red < 10 or green == 0:
            fail("the frequency plot shows no staircase or no mean line")

        # c. Stop with Enter on the focused Stop button: no record after it.
        desktop.keys(window, "Return")
        stopped = time.monotonic()
        wait_for("the run to stop", lambda: time.monotonic() - stopped > 2.5 and not reader.unfinished(), 10)
        records = reader.records()
        time.sleep(2.5)
        if reader.records() != records or reader.unfinished():
            fail(f"the data file still grows after Stop: {len(records)} then {len(reader.records())} records")
        elapsed = stopped - started
        print(f"run of {elapsed:.1f} s: {len(records)} records, {reader.looks} looks at the file while it ran, "
              f"{len(reader.data)} bytes, first {records[0].decode()}, last {records[-1].decode()}")
        if len(records) < int(elapsed) - 2:
            fail(f"only {len(records)} records in a run of {elapsed:.1f} s at one reading a second")
        # The demo's scale makes the counter's cycles seconds: phases of nanoseconds.
        if not all(abs(float(r)) < 1e-3 for r in records[:5]):
            fail(f"the demo's first records are not seconds: {[r.decode() for r in records[:5]]}")

        # The analysis button, clicked where it is, with Vantor empty: varnis-analyze.
        desktop.click(window, *units.centre(ANALYZE_BUTTON))
        outputs = check_analysis_outputs(data_path, records)
        if data_path.read_bytes() != reader.data:
            fail("the analysis changed the data file")

        # d. Escape closes: exit status 0, the settings written, the instrument gone.
        desktop.keys(window, "Escape")
        try:
            code = program.process.wait(15)
        except subprocess.TimeoutExpired:
            fail("the program is still running 15 s after Escape")
        if code != 0:
            fail(f"exit status {code}; messages:\n{program.stderr()}")
        wait_for("the simulated instrument to end with the program", lambda: not program.group_members(), 5)
        if any(program.elsewhere.iterdir()):
            fail(f"files in the working folder: {sorted(p.name for p in program.elsewhere.iterdir())}")
        settings = read_ini(work / "Ticklog.ini")
        expected = {"comm": "1", "plot": "1", "freq": "1", "size": "240", "scale": "1.000000e-07",
                    "file": str(data_path)}
        if settings.get("preferences") != expected:
            fail(f"Ticklog.ini holds {settings}, expected [Preferences] {expected}")
        print(f"exit 0; Ticklog.ini [Preferences] {settings['preferences']}; "
              f"analysis wrote {', '.join(p.name for p in outputs)}")
    finally:
        program.end()


def killed_case(folder, desktop):
    work = folder / "work"
    work.mkdir()
    data_path, sent_path, link = work / "Ticklog.dat", work / "sent.log", work / "instrument"
    sim = subprocess.Popen([str(BIN / "instrument-sim"), "--period", "0.4", "--link", str(link),
                            "--log", str(sent_path)], stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
    program = None
    try:
        device = sim.stdout.readline().decode().strip()
        settings_text = f"[Ports]\nCOM1={link}\n"
        (work / "Ticklog.ini").write_text(settings_text)
        program = Ticklog(desktop, work)
        window = desktop.find_window()
        wait_for(f"{device} among the program's open files", lambda: device in program.open_devices(), 15)

        reader = DataFileReader(data_path)
        desktop.keys(window, "alt+s")
        reader.wait_for_records(12, 30)
        sent_before_kill = sent_path.read_text().split("\n")[:-1]
        os.kill(program.process.pid, signal.SIGKILL)
        code = program.process.wait(10)
        if code != -signal.SIGKILL:
            fail(f"the program ended with {code}, not by SIGKILL")
    finally:
        sim.terminate()
        sim.wait(10)
        if program:
            program.end()

    data = data_path.read_bytes()
    if not data.endswith(b"\r\n"):
        fail(f"the data file ends in a partial record: {data[-40:]!r}")
    records = data.split(b"\r\n")[:-1]
    for record in records:
        if not RECORD.fullmatch(record):
            fail(f"{record!r} is not one whole record")
    # Each record is a reading the instrument sent, in the order it sent them.
    sent = [f"{float(value):20.15e}".encode() for value in sent_path.read_text().split("\n")[:-1]]
    position = -1
    for record in records:
        try:
            position = sent.index(record, position + 1)
        except ValueError:
            fail(f"{record!r} is no reading the instrument sent after the one before it")
    missing_at_end = len(sent_before_kill) - 1 - position
    skipped = position + 1 - len(records) - sent.index(records[0])
    print(f"killed after {len(records)} records; {len(sent_before_kill)} readings sent before the kill, "
          f"the last record is reading {position + 1}; {max(missing_at_end, 0)} missing at the end, "
          f"{skipped} skipped within the run")
    if missing_at_end > 1:
        fail(f"{missing_at_end} readings sent before the kill are missing at the end of the data file")
    if (work / "Ticklog.ini").read_text() != settings_text:
        fail("the settings file changed although the program never exited normally")


def main():
    cases = {"demo": demo_case, "killed": killed_case}
    with tempfile.TemporaryDirectory(prefix="ticklog-e2e-") as name:
        folder = pathlib.Path(name)
        server = XServer(folder)
        try:
            cases[CASE](folder, Desktop(folder, server.display))
        finally:
            server.stop()
    print(f"{CASE}: ok")


if __name__ == "__main__":
    main()
