#!/usr/bin/env python3
"""Prints through a real CUPS queue under Wine and reads what came out.

    print_queue.py WORK PREFIX KEEPER -- COMMAND...

Starts a CUPS server of its own (configuration, spool, cache, state, logs
and programs in WORK/cups, listening on 127.0.0.1 at a free port) with a raw
queue TESTPS whose device writes each job to a file, boots the Wine
prefix PREFIX (made once, kept apart from the other tests' prefix: Wine
writes the queue into the prefix's printer list) with CUPS_SERVER naming
that server, and runs COMMAND (the engine dialogs' test program) with the
queue (QS_PRINT_QUEUE=present, the PrintQueue cases), then after the queue
is removed, and, with the queue added again and seen, once more after the
server is stopped (QS_PRINT_QUEUE=gone, the PrintQueueGone cases).
Their output folder is WORK/out (QS_PRINT_OUT).

The sample manual, printed once to a file named as the port and once on the
queue's own port (the server's copy must have the same pages), goes through
ps2pdf, pdftoppm at 100 dpi and pdftotext -bbox: as many pages as the
preview counted, contents pages numbered in roman and the body from 1, each
page with a rule over ink in its body, the page number ending at the rule's
right end above it, the sheet's title heading the body on the first page of
each numbering and its running head on the others, today's date at the
rule's left end below everything else. Page 1 is kept as WORK/print-page1.png. The PostgreSQL manual,
cancelled on page n, left a few pages more at most, never its thousands.
Every wait is bounded; the server, the prefix's wineserver and WORK/cups
go, also after a failure.
"""
import datetime
import glob
import html
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import time

RUN_TIMEOUT = 600
STARTED = datetime.date.today()


class Failed(Exception):
    pass


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, process, seconds=20):
    end = time.time() + seconds
    while time.time() < end and process.poll() is None:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                return True
        except OSError:
            time.sleep(0.05)
    return False


CUPSD_CONF = """Listen 127.0.0.1:{port}
LogLevel info
WebInterface No
Browsing No
BrowseLocalProtocols none
DefaultAuthType None
<Location />
  Order allow,deny
  Allow 127.0.0.1
</Location>
<Policy default>
  <Limit All>
    Order allow,deny
    Allow 127.0.0.1
  </Limit>
</Policy>
"""

CUPS_FILES_CONF = """ServerRoot {root}/etc
RequestRoot {root}/spool
TempDir {root}/spool/tmp
CacheDir {root}/cache
StateDir {root}/state
AccessLog {root}/log/access_log
ErrorLog {root}/log/error_log
PageLog {root}/log/page_log
Printcap {root}/printcap
ServerBin {root}/bin
"""


# capture:PATH, as a CUPS backend: with no arguments it lists no devices,
# else it copies the job (its file, or standard input) to PATH.
CAPTURE_BACKEND = """#!/bin/sh
[ $# = 0 ] && exit 0
exec cat "${6:--}" > "${DEVICE_URI#capture:}"
"""


class Cups:
    """A private cupsd in the foreground, known by its PID."""

    def __init__(self, root):
        self.root = root
        self.process = None
        self.port = None

    def start(self):
        shutil.rmtree(self.root, ignore_errors=True)
        for sub in ("etc/ppd", "spool/tmp", "cache", "state", "log", "bin/backend"):
            os.makedirs(os.path.join(self.root, sub))
        # The scheduler's own helpers from the system; the one device is ours.
        # A raw queue with a "file:" device writes nothing in CUPS 2.4 (no
        # filter or backend runs), so the job goes through a backend that
        # copies it into the file its URI names; only root-owned 0700
        # backends run as root, which may write where the test reads.
        for sub in ("daemon", "notifier"):
            os.symlink(os.path.join("/usr/lib/cups", sub), os.path.join(self.root, "bin", sub))
        backend = os.path.join(self.root, "bin/backend/capture")
        with open(backend, "w") as f:
            f.write(CAPTURE_BACKEND)
        os.chmod(backend, 0o700)
        # The scheduler refuses programs in folders others may write to.
        for folder in ("bin", "bin/backend"):
            os.chmod(os.path.join(self.root, folder), 0o755)
        # A port taken between the choice and the bind: another try.
        for _ in range(3):
            self.port = free_port()
            with open(os.path.join(self.root, "etc/cupsd.conf"), "w") as f:
                f.write(CUPSD_CONF.format(port=self.port))
            with open(os.path.join(self.root, "etc/cups-files.conf"), "w") as f:
                f.write(CUPS_FILES_CONF.format(root=self.root))
            log = open(os.path.join(self.root, "log/cupsd.out"), "ab")
            self.process = subprocess.Popen(
                ["/usr/sbin/cupsd", "-f", "-c", os.path.join(self.root, "etc/cupsd.conf"),
                 "-s", os.path.join(self.root, "etc/cups-files.conf")],
                stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
            log.close()
            if wait_for_port(self.port, self.process):
                return
            self.stop()
        raise Failed("cupsd did not come up: " + self.log_tail())

    def server(self):
        return "127.0.0.1:%d" % self.port

    def admin(self, *args):
        env = dict(os.environ, CUPS_SERVER=self.server())
        done = subprocess.run(["lpadmin", *args], env=env, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, timeout=60)
        if done.returncode != 0:
            raise Failed("lpadmin %s: %s" % (" ".join(args), done.stderr.strip()))

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(10)
        self.process = None

    def log_tail(self):
        text = ""
        for name in ("cupsd.out", "error_log"):
            try:
                with open(os.path.join(self.root, "log", name), errors="replace") as f:
                    text += f.read()[-2000:]
            except OSError:
                pass
        return text


def wine_env(prefix, cups):
    return dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all",
                WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=", CUPS_SERVER=cups.server())


def run_cases(command, env, state, out, gtest_filter):
    env = dict(env, QS_PRINT_QUEUE=state, QS_PRINT_OUT=out)
    # Into a file, not a pipe: a Wine helper started on the way would keep a
    # pipe open and the wait for its end would last until the timeout.
    log = os.path.join(out, "run.log")
    with open(log, "wb") as f:
        returncode = subprocess.run(command + ["--gtest_filter=" + gtest_filter], env=env,
                                    stdin=subprocess.DEVNULL, stdout=f, stderr=subprocess.STDOUT,
                                    timeout=RUN_TIMEOUT).returncode
    with open(log, errors="replace") as f:
        output = f.read().replace("\r\n", "\n")
    sys.stdout.write(output)
    sys.stdout.flush()
    if returncode != 0:
        raise Failed("the %s cases failed (exit code %d)" % (state, returncode))
    # A case that skipped proved nothing; only the PostgreSQL manual may be
    # missing (its source package could not be fetched).
    for name in re.findall(r"^\[  SKIPPED \] (\S+) \(", output, re.M):
        if not (name.endswith("PostgresManualShort") and not os.path.isfile(postgres_manual())):
            raise Failed(name + " skipped")
    return output


def postgres_manual():
    here = os.path.dirname(os.path.abspath(__file__))
    return os.path.join(os.environ.get("QS_SOURCE_DIR", os.path.join(here, "..", "..", "..", "..")),
                        "build", "corpus", "postgres.xml")


# ---- Reading the printed pages ----------------------------------------------------


def run(args, **kw):
    done = subprocess.run(args, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                          errors="replace", timeout=300, **kw)
    if done.returncode != 0:
        raise Failed("%s: %s" % (" ".join(args), done.stderr.strip()[-1000:]))
    return done.stdout


def read_pgm(path):
    with open(path, "rb") as f:
        data = f.read()
    # P5, width, height, maxval, one whitespace byte, then the rows.
    fields = re.match(rb"P5\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
    if not fields:
        raise Failed("not a PGM file: " + path)
    width, height = int(fields.group(1)), int(fields.group(2))
    pixels = data[fields.end():]
    return width, height, [pixels[y * width:(y + 1) * width] for y in range(height)]


def longest_dark_run(row):
    best = run_start = best_start = 0
    length = 0
    for x, p in enumerate(row):
        if p < 128:
            if length == 0:
                run_start = x
            length += 1
            if length > best:
                best, best_start = length, run_start
        else:
            length = 0
    return best, best_start


def roman(n):
    out = ""
    for value, digits in ((1000, "m"), (900, "cm"), (500, "d"), (400, "cd"), (100, "c"),
                          (90, "xc"), (50, "l"), (40, "xl"), (10, "x"), (9, "ix"), (5, "v"),
                          (4, "iv"), (1, "i")):
        while n >= value:
            out += digits
            n -= value
    return out


def page_words(bbox_html):
    """Per page: its size in points and its words as (text, x0, y0, x1, y1)."""
    pages = []
    for page in re.finditer(r'<page width="([\d.]+)" height="([\d.]+)">(.*?)</page>', bbox_html, re.S):
        words = [(html.unescape(m.group(5)), float(m.group(1)), float(m.group(2)),
                  float(m.group(3)), float(m.group(4)))
                 for m in re.finditer(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" '
                                      r'yMax="([\d.]+)">(.*?)</word>', page.group(3))]
        pages.append((float(page.group(1)), float(page.group(2)), words))
    return pages


def check_sample(out, work, problems):
    ps = os.path.join(out, "sample.ps")
    if not os.path.isfile(ps) or os.path.getsize(ps) == 0:
        problems.append("the sample manual left no PostScript in " + ps)
        return
    expected = int(open(os.path.join(out, "sample.count")).read().strip())
    pdf = os.path.join(out, "sample.pdf")
    run(["ps2pdf", ps, pdf])
    info = run(["pdfinfo", pdf])
    pages = int(re.search(r"^Pages:\s+(\d+)", info, re.M).group(1))
    if pages != expected:
        problems.append("%d pages printed, the preview counted %d" % (pages, expected))
    run(["pdftoppm", "-r", "100", "-gray", pdf, os.path.join(out, "page")])
    run(["pdftoppm", "-r", "100", "-png", "-f", "1", "-l", "1", "-singlefile", pdf,
         os.path.join(work, "print-page1")])
    bitmaps = sorted(glob.glob(os.path.join(out, "page-*.pgm")))
    words = page_words(run(["pdftotext", "-bbox", pdf, "-"]))
    if len(bitmaps) != pages or len(words) != pages:
        problems.append("%d bitmaps and %d text pages for %d pages" % (len(bitmaps), len(words), pages))
        return
    # The date of the run's start, or of now should midnight have passed.
    dates_allowed = {"%d-%02d-%02d" % (d.year, d.month, d.day)
                     for d in (STARTED, datetime.date.today())}
    numbers = []
    for index, (bitmap, (page_width, page_height, texts)) in enumerate(zip(bitmaps, words), 1):
        width, height, rows = read_pgm(bitmap)
        scale = width / page_width  # pixels per point
        # The top rule: the first row with a dark run over half the page.
        rule = None
        for y, row in enumerate(rows):
            length, start = longest_dark_run(row)
            if length > width // 2:
                rule = (y, start, start + length)
                break
        if rule is None:
            problems.append("page %d: no rule over the body" % index)
            continue
        rule_y, left, right = rule[0] / scale, rule[1] / scale, rule[2] / scale
        # Ink in the body: lines below the rule, the first within an inch.
        bands, inside, first_ink = 0, False, None
        for y in range(rule[0] + 4, height):
            ink = min(rows[y]) < 128
            if ink and not inside:
                bands += 1
                if first_ink is None:
                    first_ink = y
            inside = ink
        if bands < 3 or first_ink - rule[0] > 100:
            problems.append("page %d: %d ink bands below the rule, the first %s pixels under it"
                            % (index, bands, first_ink and first_ink - rule[0]))
        above = [w for w in texts if w[4] <= rule_y + 0.5]
        if len(above) != 1:
            problems.append("page %d: %d words above the rule, %s" % (index, len(above), above))
            continue
        number = above[0]
        numbers.append(number[0])
        # The number ends at the body's right edge (a point of slack each way:
        # the rule's ends are read from 100-dpi pixels).
        if abs(number[3] - right) > 2.0:
            problems.append("page %d: the number %r ends at %.1f pt, the body at %.1f pt"
                            % (index, number[0], number[3], right))
        # The sheet's headers open the body: the title (HEAD-1) on each
        # numbering's first page, the running head (HEAD) on the others.
        top = [w[0] for w in texts if rule_y < w[2] <= rule_y + 36]
        header_word, other_word = ("Sample", "Bench") if number[0] in ("i", "1") else ("Bench", "Sample")
        if header_word not in top or other_word in top:
            problems.append("page %d (%s): %r heads the body, not the %s"
                            % (index, number[0], " ".join(top),
                               "title" if header_word == "Sample" else "running head"))
        dates = [w for w in texts if w[0] in dates_allowed]
        if len(dates) != 1:
            problems.append("page %d: %d words %s" % (index, len(dates), " or ".join(dates_allowed)))
            continue
        print("page %d: rule %.1f-%.1f pt at %.1f pt, number %r ends at %.1f pt, date starts at %.1f pt, %d ink bands"
              % (index, left, right, rule_y, number[0], number[3], dates[0][1], bands))
        lowest = max(w[2] for w in texts)
        if dates[0][2] < lowest - 0.5 or abs(dates[0][1] - left) > 2.0:
            problems.append("page %d: the date at (%.1f, %.1f), the body's left at %.1f, the lowest word at %.1f"
                            % (index, dates[0][1], dates[0][2], left, lowest))
    # Contents pages in roman numerals, then the body from 1.
    roman_count = 0
    while roman_count < len(numbers) and re.fullmatch(r"[ivxlcdm]+", numbers[roman_count]):
        roman_count += 1
    expected_numbers = [roman(i) for i in range(1, roman_count + 1)] + \
                       [str(i) for i in range(1, len(numbers) - roman_count + 1)]
    if roman_count == 0 or numbers != expected_numbers:
        problems.append("page numbers %s" % numbers)
    print("sample manual: %d pages, numbered %s" % (pages, " ".join(numbers)))
    # The same document through the queue: the server passed the job on as
    # it came (a raw queue).
    queued = os.path.join(out, "queue.out")
    print("through the queue: %d pages in %s" % (page_count(queued), queued))
    if page_count(queued) != pages:
        problems.append("%d pages came out of the queue, %d were printed to the file"
                        % (page_count(queued), pages))
    for bitmap in bitmaps:
        os.remove(bitmap)


def page_count(ps):
    """The pages of a PostScript file by its page comments; 0 for no file."""
    try:
        with open(ps, "rb") as f:
            return sum(1 for line in f if line.startswith(b"%%Page:"))
    except OSError:
        return 0


def check_postgres(out, problems):
    marker = os.path.join(out, "postgres.cancelled")
    if not os.path.isfile(marker):
        print("the PostgreSQL manual was not printed (not made on this machine)")
        return
    cancelled = int(open(marker).read().strip())
    ps = os.path.join(out, "postgres.ps")
    printed = page_count(ps)
    print("PostgreSQL manual: cancelled on page %d, %d pages in %s"
          % (cancelled, printed, ps if os.path.isfile(ps) else "(no file)"))
    # The run sees the press at its next page at the latest; the reader's
    # thread may have been slow to press, so a few more pages may come out,
    # but never the manual's thousands.
    if printed > cancelled + 20:
        problems.append("cancelled on page %d, yet %d pages came out" % (cancelled, printed))


def report_printer(out, name, when):
    path = os.path.join(out, name)
    if os.path.isfile(path):
        print("QsGetPrinterName, %s: %s" % (when, open(path, errors="replace").read()))
        os.remove(path)


def main():
    args = sys.argv[1:]
    if len(args) < 5 or args[3] != "--":
        print(__doc__, file=sys.stderr)
        return 2
    work, prefix, keeper = (os.path.abspath(a) for a in args[:3])
    command = args[4:]
    here = os.path.dirname(os.path.abspath(__file__))
    wine_prefix = os.path.join(here, "..", "..", "..", "..", "scripts", "wine-prefix")
    out = os.path.join(work, "out")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    sys.stdout.reconfigure(line_buffering=True)
    # A stop from ctest (timeout) still cleans up.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    cups = Cups(os.path.join(work, "cups"))
    booted = False
    problems = []
    try:
        cups.start()
        cups.admin("-p", "TESTPS", "-E", "-v", "capture:" + os.path.join(out, "queue.out"), "-m", "raw")
        env = wine_env(prefix, cups)
        booted = True
        boot = subprocess.run([wine_prefix, "setup", prefix, keeper], env=env,
                              stdin=subprocess.DEVNULL, timeout=300)
        if boot.returncode != 0:
            raise Failed("the Wine prefix did not boot")
        run_cases(command, env, "present", out, "PrintQueue.*")
        # The job Wine gave the queue, before the queue goes.
        end = time.time() + 60
        while time.time() < end and page_count(os.path.join(out, "queue.out")) < \
                page_count(os.path.join(out, "sample.ps")):
            time.sleep(0.2)
        report_printer(out, "printer-name.txt", "with the queue")
        # Without the queue, removed and then with no server at all: each
        # time a new process reads Wine's printer list again, and the queue
        # is back in it before the server stops.
        cups.admin("-x", "TESTPS")
        run_cases(command, env, "gone", out, "PrintQueueGone.*")
        report_printer(out, "printer-name-gone.txt", "the queue removed")
        cups.admin("-p", "TESTPS", "-E", "-v", "capture:" + os.path.join(out, "queue.out"), "-m", "raw")
        run_cases(command, env, "present", out, "PrintQueue.TheCupsQueueIsTheCurrentPrinterAndListed")
        report_printer(out, "printer-name.txt", "the queue back")
        cups.stop()
        run_cases(command, env, "gone", out, "PrintQueueGone.*")
        report_printer(out, "printer-name-gone.txt", "the server stopped")
        check_sample(out, work, problems)
        check_postgres(out, problems)
    except (Failed, OSError, subprocess.TimeoutExpired) as e:
        problems.append(str(e))
        problems.append("cupsd log: " + cups.log_tail())
    finally:
        if booted:
            subprocess.run([wine_prefix, "cleanup", prefix], env=wine_env(prefix, cups) if cups.port
                           else os.environ, stdin=subprocess.DEVNULL, timeout=120)
        cups.stop()
        shutil.rmtree(cups.root, ignore_errors=True)
    for p in problems:
        print("FAIL: " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
