#!/usr/bin/env python3
"""A serial peer on a pseudo-terminal that sends back every byte it gets.

Prints the terminal's path, then echoes until it is killed or, at the latest,
after the given number of seconds (default 600)."""
import os
import select
import sys
import time
import tty

limit = float(sys.argv[1]) if len(sys.argv) > 1 else 600.0
master, slave = os.openpty()
tty.setraw(slave)
print(os.ttyname(slave), flush=True)
end = time.monotonic() + limit
while time.monotonic() < end:
    ready, _, _ = select.select([master], [], [], 0.5)
    if not ready:
        continue
    try:
        data = os.read(master, 4096)
    except OSError:
        time.sleep(0.05)  # no one has the terminal open
        continue
    os.write(master, data)
