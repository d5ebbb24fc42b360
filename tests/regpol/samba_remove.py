#!/usr/bin/python3
"""samba --remove's JSON applied as samba-tool gpo remove applies it (Debian 12's has none) to pol's
Registry.pol through Samba's own PReg code: show must then find no drive value, the other kept."""
import json, os, subprocess, sys, tempfile
try:
    from samba.dcerpc import preg
    from samba.ndr import ndr_pack, ndr_unpack
except ImportError:
    sys.exit(print("samba_remove: skipped: no python3-samba (scripts/setup installs it)") or 77)
run = lambda *a: subprocess.run([sys.argv[1], *a], capture_output=True, check=True, text=True).stdout
with tempfile.TemporaryDirectory() as tmp:
    pol, other, start = os.path.join(tmp, "Registry.pol"), preg.entry(), preg.file()
    other.keyname, other.valuename, other.type, other.data = "Software\\Policies\\V", "On", 4, 1
    start.entries, start.num_entries = [other], 1
    open(pol, "wb").write(ndr_pack(start))
    run("pol", "--drives", "CDE", "--policy", "both", "--output", pol, "--force")
    for policy, left in (("hide", ["NoViewOnDrive"]), ("both", [])):
        entries = json.loads(run("samba", "--remove", "--policy", policy))
        assert all(set(e) == {"keyname", "valuename", "class"} for e in entries), entries
        data = ndr_unpack(preg.file, open(pol, "rb").read())
        kept = [r for r in data.entries if not any(  # kept alive for ndr_pack
            e["class"].lower() in ("user", "both") and
            (r.keyname, r.valuename) == (e["keyname"], e["valuename"]) for e in entries)]
        data.entries, data.num_entries = kept, len(kept)
        open(pol, "wb").write(ndr_pack(data))
        shown = [line.split("\t")[0] for line in run("show", pol, "--tsv").splitlines()]
        assert shown == left and kept[0].valuename == "On", (policy, shown)
print("samba_remove: samba --remove takes exactly the drive records out")
