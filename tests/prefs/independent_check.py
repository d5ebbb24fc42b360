#!/usr/bin/env python3
"""An independent witness for tarnwick-cli gpp: Python's ElementTree reads the Registry.xml it
writes and finds every attribute of the preference items in place; Python's uuid module gives the
uids. Usage: independent_check.py TARNWICK_CLI. Exits 1 with the first difference."""
import os
import subprocess
import sys
import tempfile
import uuid
import xml.etree.ElementTree as ET

CLI = sys.argv[1]
EXPLORER = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"
NAMESPACE = uuid.UUID("5d1f7a43-c29e-4b06-8a31-e42790bd6c58")
GROUP = ("CONTOSO\\Pupils & <Year 7>", "S-1-5-21-1004336348-1177238915-682003330-1105")
OU = "OU=Staff,DC=contoso,DC=com"
USER = ("CONTOSO\\kiosk\u00e9", "S-1-5-21-1004336348-1177238915-682003330-1001")


def gpp(folder, what=("--drives", "C,D", "--all-but")):
    args = ["gpp", *what, "--policy", "both", "--gpo", folder, "--group",
            GROUP[0], "--sid", GROUP[1], "--ou", OU, "--not", "--user", USER[0], "--sid", USER[1]]
    env = dict(os.environ, SOURCE_DATE_EPOCH="1767323045")
    done = subprocess.run([CLI, *args], capture_output=True, env=env)
    if done.returncode != 0:
        sys.exit(f"{args}: exit {done.returncode}: {done.stderr.decode()}")


def check(condition, what):
    if not condition:
        sys.exit("independent check failed: " + what)


def uid(value, keys):
    name = "tarnwick drive restriction\n" + value + "".join("\n" + k for k in sorted(keys))
    return "{" + str(uuid.uuid5(NAMESPACE, name)).upper() + "}"


with tempfile.TemporaryDirectory() as tmp:
    gpo = os.path.join(tmp, "{31B2F340-016D-11D2-945F-00C04FB984F9}")
    os.mkdir(gpo)
    gpp(gpo)
    path = os.path.join(gpo, "User", "Preferences", "Registry", "Registry.xml")
    raw = open(path, "rb").read()
    check(raw.startswith(b'<?xml version="1.0" encoding="utf-8"?>\r\n'), "the declaration")
    check(b"\n" not in raw.replace(b"\r\n", b""), "CR LF line ends only")
    root = ET.fromstring(raw)
    check(root.tag == "RegistrySettings" and
          root.attrib == {"clsid": "{A3CCFC41-DFDB-43a5-8D26-0FE8B954DA51}"}, "root element")
    items = list(root)
    check([i.attrib["name"] for i in items] == ["NoDrives", "NoViewOnDrive"], "one item a value")
    keys = ["group " + GROUP[1], "ou not " + OU.lower(), "user " + USER[1]]
    mask = ((1 << 26) - 1) & ~0b1100
    for item, value in zip(items, ["NoDrives", "NoViewOnDrive"]):
        check(item.tag == "Registry", "item element")
        check(item.attrib == {"clsid": "{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}", "name": value,
                              "status": value, "image": "12", "changed": "2026-01-02 03:04:05",
                              "uid": uid(value, keys), "bypassErrors": "1"},
              f"item attributes {item.attrib}")
        props, filters = list(item)
        check(filters.tag == "Filters", "filters element")
        check(props.tag == "Properties" and props.attrib == {
            "action": "U", "displayDecimal": "1", "default": "0", "hive": "HKEY_CURRENT_USER",
            "key": EXPLORER, "name": value, "type": "REG_DWORD", "value": f"{mask:08X}"},
              f"properties {props.attrib}")
        group, ou, user = list(filters)
        check(group.tag == "FilterGroup" and group.attrib == {
            "bool": "AND", "not": "0", "name": GROUP[0], "sid": GROUP[1], "userContext": "1",
            "primaryGroup": "0", "localGroup": "0"}, f"group filter {group.attrib}")
        check(ou.tag == "FilterOrgUnit" and ou.attrib == {
            "bool": "AND", "not": "1", "name": OU, "userContext": "1", "directMember": "0"},
              f"OU filter {ou.attrib}")
        check(user.tag == "FilterUser" and user.attrib == {
            "bool": "AND", "not": "0", "name": USER[0], "sid": USER[1]},
              f"user filter {user.attrib}")
    gpt = open(os.path.join(gpo, "gpt.ini"), "rb").read()
    check(b"Version=65536" in gpt, "gpt.ini's user version")

    # The same run again replaces its items: same bytes, the version moved once more.
    gpp(gpo)
    check(open(path, "rb").read() == raw, "a second run repeats an item")

    # The way back: the same items, where they stood, with action Delete (and its icon).
    gpp(gpo, ["--remove"])
    removed = list(ET.fromstring(open(path, "rb").read()))
    for before, after in zip(items, removed):
        before.set("image", "13")
        before[0].attrib.update(action="D", value="00000000")
        check(ET.tostring(after) == ET.tostring(before), f"removal item {ET.tostring(after)}")
    check(len(removed) == 2, "removal adds no item")

print("independent check: Registry.xml as expected")
