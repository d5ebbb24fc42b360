#!/usr/bin/python3
"""samba --remove against Samba's own Registry.pol code: a Registry.pol that pol wrote, read with
Samba's PReg parser (samba.dcerpc.preg), has the JSON's entries taken out as samba-tool gpo remove
takes them (Samba 4.19 and later; Debian 12's samba-tool has no gpo remove, so the step is done
here): every entry must name keyname, valuename and class, and a record goes when its key and
value name are spelt exactly as the entry's. show must then find no drive value and every other
record kept. Usage: samba_remove.py TARNWICK_CLI. Exits 77 without python3-samba."""
import json
import os
import subprocess
import sys
import tempfile

try:
    from samba.dcerpc import preg
    from samba.ndr import ndr_pack, ndr_unpack
except ImportError:
    print("samba_remove: skipped: python3-samba is not installed (scripts/setup installs it)")
    sys.exit(77)

CLI = sys.argv[1]


def run(*args):
    return subprocess.run([CLI, *args], capture_output=True, check=True, text=True)


with tempfile.TemporaryDirectory() as tmp:
    pol = os.path.join(tmp, "Registry.pol")
    other = preg.entry()
    other.keyname, other.valuename, other.type, other.data = "Software\\Policies\\Vendor", "On", 4, 1
    start = preg.file()
    start.entries, start.num_entries = [other], 1
    with open(pol, "wb") as f:
        f.write(ndr_pack(start))
    run("pol", "--drives", "CDE", "--policy", "both", "--output", pol, "--force")
    for policy, left in (("hide", ["NoViewOnDrive"]), ("both", [])):
        entries = json.loads(run("samba", "--remove", "--policy", policy).stdout)
        assert all(set(e) == {"keyname", "valuename", "class"} for e in entries), entries
        data = ndr_unpack(preg.file, open(pol, "rb").read())
        kept = [r for r in data.entries if not any(
            e["class"].lower() in ("user", "both") and
            (r.keyname, r.valuename) == (e["keyname"], e["valuename"]) for e in entries)]
        data.entries, data.num_entries = kept, len(kept)
        with open(pol, "wb") as f:
            f.write(ndr_pack(data))
        shown = run("show", pol, "--tsv").stdout.splitlines()
        assert [line.split("\t")[0] for line in shown] == left, (policy, shown)
        assert (kept[0].keyname, kept[0].valuename, kept[0].data) == ("Software\\Policies\\Vendor", "On", 1)
print("samba_remove: samba --remove takes exactly the drive records out")
