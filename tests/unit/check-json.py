#!/usr/bin/env python3
"""Checks each line of a file as the JSON document `--json` writes, against
the names scripts rely on:  check-json.py DOCUMENTS
Each line is COMMAND<TAB>EXIT<TAB>DOCUMENT. Prints the first fault and exits
1, else how many documents it read."""
import json
import sys

SWITCH = {"on", "off", "default", None}
CHANGE = {"written", "unchanged", "deleted", "absent", "failed", "untouched"}
IN_USE = {"set", "refused", "leftAlone", "restart", "notConnected", "tooSmall", "notPutBack", None}
STATUS = {"found", "silent", "unreachable", "belowRange", "cannotSend", "interrupted", "noSureFigure",
          "notStarted"}


def number_or_null(value):
    return value is None or (isinstance(value, int) and not isinstance(value, bool) and value > 0)


def check_adapter(a, command):
    assert isinstance(a["slot"], int) and 0 <= a["slot"] < 30, a
    assert isinstance(a["id"], str) and a["id"], a
    assert a["description"] is None or isinstance(a["description"], str), a
    assert number_or_null(a["storedMtu"]) and (a["storedText"] is None or isinstance(a["storedText"], str)), a
    for key in ("inUse", "link"):
        assert set(a[key]) == {"ipv4", "ipv6"} and all(number_or_null(v) for v in a[key].values()), a
    if command in ("apply", "remove") and "change" in a:
        assert a["change"] in CHANGE, a
        assert set(a["inUseResult"]) == {"ipv4", "ipv6"} and all(v in IN_USE for v in a["inUseResult"].values()), a
        assert all(v is None or isinstance(v, str) for v in a["reason"].values()), a
        assert a["lasts"]["ipv4"] is None and a["lasts"]["ipv6"] in (None, "untilRestart", "pastRestart"), a
        assert (a["lasts"]["ipv6"] is None) == (a["inUseResult"]["ipv6"] != "set"), a
    if command == "check":
        assert isinstance(a["compliant"], bool), a


def check(command, code, doc):
    assert isinstance(doc, dict), doc
    assert doc["command"] == command and doc["exitCode"] == code, (command, code)
    assert isinstance(doc["version"], str) and isinstance(doc["changed"], bool), doc
    assert isinstance(doc["errors"], list) and all(isinstance(e, str) for e in doc["errors"]), doc
    # A run that failed says why.
    assert code in (0, 3) or command == "check" or doc["errors"], doc
    for family in doc["families"]:
        assert family["family"] in ("nt", "9x") and isinstance(family["caption"], str), family
        assert family["pathMtuDiscovery"] in SWITCH, family
        for adapter in family["adapters"]:
            check_adapter(adapter, command)
    if command == "check" and code != 2 and not doc["errors"]:
        assert doc["compliant"] == (code == 0), doc
    if command == "probe":
        assert doc["ipVersion"] in (4, 6) and doc["status"] in STATUS, doc
        assert doc["address"] is None or (":" in doc["address"]) == (doc["ipVersion"] == 6), doc
        assert number_or_null(doc["mtu"]) and (doc["mtu"] is not None) == (doc["status"] == "found"), doc
        assert isinstance(doc["probes"], int) and isinstance(doc["seconds"], (int, float)), doc
        assert doc["routeAdapter"] is None or isinstance(doc["routeAdapter"], dict), doc


count = 0
with open(sys.argv[1], encoding="utf-8", errors="strict") as documents:
    for line in documents:
        command, code, text = line.rstrip("\n").split("\t", 2)
        try:
            check(command, int(code), json.loads(text))
        except (AssertionError, KeyError, ValueError, TypeError) as fault:
            print(f"document {count + 1} ({command}, exit {code}): {fault!r}\n{text}")
            sys.exit(1)
        count += 1
print(f"{count} documents read")
