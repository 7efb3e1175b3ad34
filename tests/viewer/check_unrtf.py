#!/usr/bin/env python3
"""The rich text the viewer put on the clipboard, read by Debian's unrtf:
as text it gives the words of the plain text put beside it, as HTML the
manual's title in bold.

  check_unrtf.py COPY.rtf COPY.txt
"""
import re
import subprocess
import sys


def main():
    rtf, txt = sys.argv[1], sys.argv[2]
    words = open(txt, encoding="cp1252", errors="replace").read().split()
    run = subprocess.run(["unrtf", "--text", rtf], capture_output=True, text=True, errors="replace")
    if run.returncode != 0:
        print(f"unrtf --text failed: {run.stderr}")
        return 1
    # unrtf starts its text output with a comment block of its own and a
    # rule of dashes.
    body = "\n".join(line for line in run.stdout.splitlines()
                     if not line.startswith("###") and not re.fullmatch(r"-+", line.strip()))
    if body.split() != words:
        print("unrtf --text words differ:")
        print("  unrtf:", body.split()[:40])
        print("  text: ", words[:40])
        return 1
    html = subprocess.run(["unrtf", "--html", rtf], capture_output=True, text=True, errors="replace").stdout
    bold = " ".join(re.sub(r"<[^>]*>", " ", m).strip() for m in re.findall(r"<b>(.*?)</b>", html, re.S))
    if "Corvina Sample Service Manual" not in " ".join(bold.split()):
        print("the title is not bold in unrtf --html:", html[:800])
        return 1
    print(f"ok: {len(words)} words, the title bold")
    return 0


if __name__ == "__main__":
    sys.exit(main())
