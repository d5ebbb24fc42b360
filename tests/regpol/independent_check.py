#!/usr/bin/env python3
"""An independent witness for tarnwick-cli's Registry.pol, gpt.ini and Samba outputs: its own PReg
encoder and decoder, Python's json module, and plain text for gpt.ini. Usage: independent_check.py
TARNWICK_CLI. Exits 1 with the first difference."""
import json
import os
import struct
import subprocess
import sys
import tempfile

CLI = sys.argv[1]
EXPLORER = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"


def text(s):
    return (s + "\0").encode("utf-16-le")


def record(key, value, rtype, data):
    return (b"[\0" + text(key) + b";\0" + text(value) + b";\0" + struct.pack("<I", rtype) +
            b";\0" + struct.pack("<I", len(data)) + b";\0" + data + b"]\0")


def decode(blob):
    """Every record as (key, value, type, data, raw bytes), found by walking the fields."""
    assert blob[:8] == b"PReg\x01\0\0\0", "header"
    out, i = [], 8
    while i < len(blob):
        start = i
        assert blob[i:i + 2] == b"[\0", f"[ at {i}"
        i += 2
        fields = []
        for _ in range(2):
            end = i
            while blob[end:end + 2] != b"\0\0":
                end += 2
            fields.append(blob[i:end].decode("utf-16-le"))
            i = end + 2
            assert blob[i:i + 2] == b";\0", f"; at {i}"
            i += 2
        rtype, = struct.unpack_from("<I", blob, i)
        size, = struct.unpack_from("<I", blob, i + 6)
        i += 12
        data = blob[i:i + size]
        i += size
        assert blob[i:i + 2] == b"]\0", f"] at {i}"
        i += 2
        out.append((fields[0], fields[1], rtype, data, blob[start:i]))
    return out


def run(*args):
    done = subprocess.run([CLI, *args], capture_output=True)
    if done.returncode != 0:
        sys.exit(f"{args}: exit {done.returncode}: {done.stderr.decode()}")
    return done.stdout.decode()


def check(condition, what):
    if not condition:
        sys.exit("independent check failed: " + what)


others = [
    record("Software\\Policies\\Vendor", "Name", 1, text("Ünïcode text")),
    record("Software\\Policies\\Vendor", "List", 7, text("one") + text("two") + b"\0\0"),
    record("Software\\Policies\\Vendor", "Blob", 3, b"\x01\x02\x03"),  # odd: later fields unaligned
    record(EXPLORER, "**del.NoRun", 1, text(" ")),
    record("Software\\Policies\\Vendor\\Sub", "**DelVals.", 1, text(" ")),
    record(EXPLORER, "NoClose", 4, struct.pack("<I", 1)),
    record("Software\\Policies\\Vendor", "Odd [name]; here", 4, struct.pack("<I", 2)),
]
old_nodrives = record(EXPLORER.upper(), "nodrives", 4, struct.pack("<I", 3))
old_again = record(EXPLORER, "**del.NoDrives", 1, text(" "))

with tempfile.TemporaryDirectory() as tmp:
    pol = os.path.join(tmp, "Registry.pol")
    with open(pol, "wb") as f:
        f.write(b"PReg\x01\0\0\0" + others[0] + old_nodrives + b"".join(others[1:4]) + old_again +
                b"".join(others[4:]))
    run("pol", "--drives", "CDE", "--output", pol, "--force")
    after = decode(open(pol, "rb").read())
    kept = [r[4] for r in after if r[1].lower() not in ("nodrives", "**del.nodrives")]
    check(kept == others, "the other records are not kept byte for byte and in order")
    drives = [r for r in after if r[1] == "NoDrives"]
    check(len(drives) == 1 and drives[0][:4] == (EXPLORER, "NoDrives", 4, struct.pack("<I", 28)),
          f"NoDrives is not once 28: {drives}")
    check(after[1][1] == "NoDrives", "NoDrives did not take the first old record's place")

    run("pol", "--disable", "--policy", "both", "--output", pol, "--force")
    after = decode(open(pol, "rb").read())
    dels = [(r[1], r[2], r[3]) for r in after if r[0] == EXPLORER and r[1].startswith("**del.No")]
    check(dels == [("**del.NoDrives", 1, text(" ")), ("**del.NoRun", 1, text(" ")),
                   ("**del.NoViewOnDrive", 1, text(" "))], f"disabled records: {dels}")

    run("pol", "--remove", "--policy", "both", "--output", pol, "--force")
    check([r[4] for r in decode(open(pol, "rb").read())] == others, "--remove left drive records")

    # A GPO folder: Registry.pol under User, gpt.ini's user version up by exactly one.
    gpo = os.path.join(tmp, "{31B2F340-016D-11D2-945F-00C04FB984F9}")
    os.mkdir(gpo)
    with open(os.path.join(gpo, "GPT.INI"), "wb") as f:
        f.write(b"[General]\r\ndisplayName=Drives\r\nVersion=65539\r\n[Other]\r\nVersion=7\r\n")
    run("pol", "--drives", "AB", "--policy", "prevent", "--gpo", gpo)
    check(open(os.path.join(gpo, "GPT.INI"), "rb").read() ==
          b"[General]\r\ndisplayName=Drives\r\nVersion=131075\r\n[Other]\r\nVersion=7\r\n",
          "gpt.ini after --gpo")
    user = decode(open(os.path.join(gpo, "User", "Registry.pol"), "rb").read())
    check([r[:4] for r in user] == [(EXPLORER, "NoViewOnDrive", 4, struct.pack("<I", 3))],
          f"the GPO's Registry.pol: {user}")

# The Samba JSON: strict JSON, the fields samba-tool gpo load reads.
entries = json.loads(run("samba", "--drives", "C", "--all-but", "--policy", "both"))
check(entries == [{"keyname": EXPLORER, "valuename": name, "class": "USER", "type": "REG_DWORD",
                   "data": 67108859} for name in ("NoDrives", "NoViewOnDrive")],
      f"samba JSON: {entries}")
print("independent check: Registry.pol, gpt.ini and Samba JSON as expected")
