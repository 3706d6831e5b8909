#!/usr/bin/env python3
"""corvina-cli against a board played on a pty and a Wi-Fi module played by a
UDP listener on 127.0.0.1: what it writes, renders and sends.

usage: cli_board.py CORVINA_CLI [--udp]
Without --udp everything but the Wi-Fi send; with it only that (it needs
the fixed local port 20002, which one test at a time may hold)."""
import os
import plistlib
import select
import socket
import subprocess
import sys
import tempfile
import threading
import time
import tty

cli = sys.argv[1]
udp_only = "--udp" in sys.argv[2:]
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def read_board(master, into, done):
    """What the board on the pty's master end receives, collected into
    `into` on a thread until `done` is set; the thread, started."""
    def read():
        while not done.is_set():
            ready, _, _ = select.select([master], [], [], 0.1)
            if ready:
                try:
                    into.extend(os.read(master, 4096))
                except OSError:
                    return

    reader = threading.Thread(target=read)
    reader.start()
    return reader


def run(*args, **kw):
    return subprocess.run([cli, *args], capture_output=True, timeout=120, **kw)


work = tempfile.mkdtemp()
doc = os.path.join(work, "program.plist")
# LED on (basic 0) on line 10, wait any (full set) with 1.5 s on line 30,
# LED off (basic 1) on line 40.
wait_any = None
for index in range(30):
    r = run("new", "--row", f"2:2:{index}:1.5", os.path.join(work, "probe.plist"))
    if r.returncode != 0:
        break
    r = run("render", os.path.join(work, "probe.plist"))
    if b"WAIT 90" in r.stdout:
        wait_any = index
        break
check(wait_any is not None, "a wait card that takes seconds is found")

r = run("new", "--row", "0:0:0", "--row", f"2:2:{wait_any}:1.5", "--row", "3:0:1", doc)
check(r.returncode == 0, "new writes a program")
with open(doc, "rb") as f:
    cards = plistlib.load(f)
check(isinstance(cards, list) and len(cards) == 3, "the program is a property-list array of three cards")
check(all(set(c) == {"tab", "index", "x", "y", "zorder", "value"} for c in cards), "each card has its six keys")
check(cards[1]["value"] == "1.5" and cards[1]["tab"] == 2, "the number and the set are kept")

if not udp_only:
    rendered = run("render", doc)
    check(rendered.returncode == 0, "render succeeds")
    jam = rendered.stdout
    check(jam.startswith(b"\x1b") and b"10 LED 1\r\n" in jam and b"30 WAIT 90\r\n" in jam and b"40 LED 0\r\n" in jam,
          "jam: break, then numbered lines of the rows")
    que = run("render", "--dialect", "que", doc).stdout
    check(len(que) == 512 and que.endswith(b"\xff" * 8), "que: a 512-byte program image padded with 255")

    # The board on a pty: what it receives is what render printed.
    master, slave = os.openpty()
    tty.setraw(master)
    slave_path = os.ttyname(slave)
    got = bytearray()
    done = threading.Event()
    reader = read_board(master, got, done)
    sent = run("send", "--dialect", "latte", "--fast", "--port", slave_path, doc)
    latte = run("render", "--dialect", "latte", doc).stdout
    check(sent.returncode == 0, "send over the pty succeeds")
    check(bytes(got) == latte, "the pty board received exactly the rendered latte bytes")
    check(b"sleep(1500);" in sent.stderr, "the typed text is shown while sending")
    check(b"--fast changes nothing in latte" in sent.stderr, "send --fast says latte keeps its pace")
    got.clear()
    fast = run("send", "--fast", "--port", slave_path, doc)
    done.set()
    reader.join()
    check(fast.returncode == 0 and b"changes nothing" not in fast.stderr, "send --fast in jam")
    # This board never answers: LIST before SAVE, and the program is not checked.
    listed = jam[:jam.rindex(b"SAVE 0")] + b"LIST\r\n" + jam[jam.rindex(b"SAVE 0"):]
    check(bytes(got) == listed, "fast typing types exactly the rendered jam bytes, with LIST before SAVE")
    check(fast.stderr.endswith(b"\nnot checked\n"), "a board that never answers: not checked")
    check(run("render", "--fast", doc).returncode == 1, "--fast belongs to send only: status 1")
    os.close(master)

    # The board unplugged half way: the far end goes away after a few bytes.
    master, slave = os.openpty()
    tty.setraw(master)
    path = os.ttyname(slave)

    def unplug():
        seen = 0
        while seen < 5:
            ready, _, _ = select.select([master], [], [], 5)
            if not ready:
                break
            try:
                seen += len(os.read(master, 64))
            except OSError:
                break
        os.close(master)

    unplugger = threading.Thread(target=unplug)
    unplugger.start()
    failed = run("send", "--dialect", "latte", "--port", path, doc)
    unplugger.join()
    os.close(slave)
    check(failed.returncode == 4 and b"The cable came out while sending." in failed.stderr,
          "a write that fails half way is reported, with what to do")

    check(run("send", "--port", "/nonexistent/tty", doc).returncode == 3, "a port that cannot be opened: status 3")
    check(run("render", os.path.join(work, "missing.plist")).returncode == 2, "a missing program: status 2")
    with open(os.path.join(work, "bad.plist"), "w") as f:
        f.write("not a program")
    check(run("render", os.path.join(work, "bad.plist")).returncode == 2, "a file that is no program: status 2")
    check(run("render", "--dialect", "cobol", doc).returncode == 1, "an unknown dialect: status 1")
    check(run("send", doc).returncode == 1, "send without a port or module: status 1")
    # Loops inside loops: the full set's cards found by what they render.
    def rendered_line(index, number="2"):
        probe = os.path.join(work, "probe.plist")
        run("new", "--row", f"0:2:{index}:{number}", probe)
        out = run("render", probe).stdout
        start = out.find(b"10 ")
        return out[start:out.find(b"\r\n", start)] if start >= 0 else b""

    full = {rendered_line(i): i for i in range(30) if rendered_line(i)}
    repeat3, repeat_any = full.get(b"10 FOR I = 1 TO 3"), full.get(b"10 FOR I = 1 TO 2")
    check(repeat3 is not None and repeat_any is not None, "the repeat 3 and any-times repeat cards are found")
    nested = os.path.join(work, "nested.plist")
    run("new", "--row", f"0:2:{repeat3}", "--row", f"1:2:{repeat_any}:2", "--row", f"2:2:{full[b'10 BEEP']}",
        "--row", f"3:2:{full[b'10 NEXT']}", "--row", f"4:2:{full[b'10 NEXT']}", nested)
    inner = run("render", nested)
    check(inner.returncode == 0 and b"10 FOR I = 1 TO 3\r\n20 FOR J = 1 TO 2\r\n30 BEEP\r\n" in inner.stdout,
          "render: a loop inside a loop counts with J")

    too_deep = os.path.join(work, "too_deep.plist")
    run("new", *[a for row in range(7) for a in ("--row", f"{row}:2:{repeat3}")], too_deep)
    refused = run("render", too_deep)
    check(refused.returncode == 5 and refused.stdout == b"" and b"line 70" in refused.stderr,
          "render: seven loops deep writes nothing and names line 70")
    japanese = run("render", "--dialect", "latte", too_deep, env={**os.environ, "LANG": "ja_JP.UTF-8"})
    check(japanese.returncode == 5 and "70ぎょうめ".encode() in japanese.stderr, "the refusal in Japanese")
    master, slave = os.openpty()
    tty.setraw(master)
    refused = run("send", "--port", os.ttyname(slave), too_deep)
    os.set_blocking(master, False)
    try:
        typed = os.read(master, 4096)
    except BlockingIOError:
        typed = b""
    os.close(master)
    os.close(slave)
    check(refused.returncode == 5 and typed == b"" and b"line 70" in refused.stderr,
          "send: a refused program types nothing into the board")
    check(run("send", "--port", "/nonexistent/tty", too_deep).returncode == 5,
          "a refused program is refused before the port is looked at: status 5")

    # Only a board's kind of port; never the console.
    not_port = run("send", "--port", "/dev/null", doc)
    check(not_port.returncode == 1 and b"not a USB or Bluetooth serial port" in not_port.stderr
          and b"--any-port" in not_port.stderr, "send into a device that is no serial port: status 1, and why")
    check(run("send", "--any-port", "--port", "/dev/null", doc).returncode == 3,
          "--any-port tries it anyway (and /dev/null is no port: status 3)")
    for console in ["/dev/tty", "/dev/console"]:
        refused = run("send", "--any-port", "--port", console, doc)
        check(refused.returncode == 1 and b"console" in refused.stderr, f"{console} is never typed into")

    # Two writers at once: the second is refused within a second, and the
    # board gets one program whole.
    master, slave = os.openpty()
    tty.setraw(master)
    both = bytearray()
    stop_reading = threading.Event()
    reader = read_board(master, both, stop_reading)
    first = subprocess.Popen([cli, "send", "--fast", "--port", os.ttyname(slave), doc],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    time.sleep(0.3)
    asked = time.monotonic()
    second = run("send", "--fast", "--port", os.ttyname(slave), doc)
    took = time.monotonic() - asked
    first_err = first.communicate(timeout=60)[1]
    stop_reading.set()
    reader.join()
    os.close(master)
    os.close(slave)
    check(second.returncode == 3 and b"Another program is using the board" in second.stderr and took < 1.0,
          f"a second writer is refused at once with the reason (status {second.returncode}, {took:.2f} s)")
    check(first.returncode == 0 and bytes(both) == listed, "the board received the first program whole")

    # The simulated board runs the typed program on a virtual clock: no
    # board, no waiting, one line per thing it does.
    for dialect in ["jam", "latte"]:
        simulated = run("simulate", "--dialect", dialect, doc)
        check(simulated.returncode == 0 and simulated.stdout == b"0 LED 1\n1500 LED 0\n",
              f"simulate {dialect}: the LED on at RUN and off 1.5 s later")

    def card_index(card_set, jam_text):
        probe = os.path.join(work, "probe.plist")
        for index in range(30):
            if run("new", "--row", f"0:{card_set}:{index}", probe).returncode != 0:
                return None
            if run("render", probe).stdout.find(b"10 " + jam_text + b"\r\n") >= 0:
                return index
        return None

    basic = {text: card_index(0, text) for text in [b"@LOOP", b"LED 1", b"WAIT 60", b"LED 0", b"GOTO @LOOP"]}
    check(None not in basic.values(), "the blink's cards are found")
    blink = os.path.join(work, "blink.plist")
    run("new", *[a for row, text in enumerate([b"@LOOP", b"LED 1", b"WAIT 60", b"LED 0", b"WAIT 60", b"GOTO @LOOP"])
                 for a in ("--row", f"{row}:0:{basic[text]}")], blink)
    for dialect in ["jam", "latte"]:
        simulated = run("simulate", "--dialect", dialect, "--seconds", "3.5", blink)
        check(simulated.returncode == 0 and simulated.stdout == b"0 LED 1\n1000 LED 0\n2000 LED 1\n3000 LED 0\n",
              f"simulate {dialect}: a blink in a forever loop, cut after 3.5 s")
    ten = run("simulate", blink).stdout.splitlines()
    check(len(ten) == 11 and ten[-1] == b"10000 LED 1", "simulate runs 10 seconds unless told")

    stray = os.path.join(work, "stray.plist")
    run("new", "--row", f"0:2:{full[b'10 NEXT']}", stray)
    check(run("simulate", stray).stdout == b"0 Not match in 10\n", "simulate jam: a stray loop end")
    check(run("simulate", "--dialect", "latte", stray).stdout == b"0 Syntax error in line 3\n",
          "simulate latte: a stray loop end")

    que = run("simulate", "--dialect", "que", doc)
    check(que.returncode == 1 and que.stdout == b"" and b"jam and latte" in que.stderr, "simulate refuses que: status 1")
    check(run("simulate", "--seconds", "ten", doc).returncode == 1, "simulate: seconds that are no number, status 1")
    check(run("render", "--seconds", "3", doc).returncode == 1, "--seconds belongs to simulate only: status 1")
    refused = run("simulate", too_deep)
    check(refused.returncode == 5 and refused.stdout == b"" and b"line 70" in refused.stderr,
          "simulate: a refused program does not run")
    check(run("simulate", os.path.join(work, "missing.plist")).returncode == 2, "simulate: a missing program, status 2")

    for command in ["ports", "new", "render", "send", "stop", "simulate"]:
        h = run(command, "--help")
        check(h.returncode == 0 and b"usage: corvina-cli " + command.encode() in h.stdout, f"{command} --help")
else:
    # The Wi-Fi module: one datagram per character, from local port 20002.
    listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    listener.bind(("127.0.0.1", 0))
    listener.settimeout(0.5)
    port = listener.getsockname()[1]
    datagrams = []

    def listen():
        while True:
            try:
                data, source = listener.recvfrom(64)
            except socket.timeout:
                if sender_done.is_set():
                    return
                continue
            datagrams.append((data, source))

    sender_done = threading.Event()
    t = threading.Thread(target=listen)
    t.start()
    sent = run("send", "--dialect", "latte", "--udp", f"127.0.0.1:{port}", doc)
    sender_done.set()
    t.join()
    latte = run("render", "--dialect", "latte", doc).stdout
    check(sent.returncode == 0, "send over UDP succeeds")
    check(all(len(d) == 1 for d, _ in datagrams), "every datagram is one byte")
    check(b"".join(d for d, _ in datagrams) == latte, "the datagrams carry exactly the rendered bytes")
    check(all(src[1] == 20002 for _, src in datagrams), "they come from local port 20002")

sys.exit(1 if failures else 0)
