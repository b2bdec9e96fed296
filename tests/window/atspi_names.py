"""Reads the main window's controls over the AT-SPI bus and checks the names a screen
reader announces. Run on the session bus of the program under test."""
import sys
import time

import pyatspi

APP = "quorvane's Flash Wrendel utilite"
EXPECTED = [
    ("push button", "Start"),
    ("push button", "Exit"),
    ("push button", "Read FLASH"),
    ("check box", "Read FLASH"),  # CheckBox1, labelled by Button1
    ("check box", "Erase FLASH"),
    ("check box", "Write FLASH"),
    ("radio button", "Auto"),
    ("radio button", "Manual"),
    ("progress bar", "Progress"),
    ("text", "Last read MD5"),
    ("text", "Last read SHA-1"),
    ("text", "Last read CRC AGI"),
    ("text", "MD5"),
    ("text", "SHA-1"),
    ("text", "AGI CRC"),
]


def descendants(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        yield child
        yield from descendants(child)


def main():
    desktop = pyatspi.Registry.getDesktop(0)
    deadline = time.time() + 60  # long for a busy machine; ends as soon as all is there
    seen = []
    while time.time() < deadline:
        apps = [desktop.getChildAtIndex(i) for i in range(desktop.childCount)]
        app = next((a for a in apps if a is not None and a.name == APP), None)
        if app is not None and app.childCount > 0:
            seen = [(n.getRoleName(), n.name) for n in descendants(app)]
            if any(name.startswith("[") for _, name in seen):  # the first log line is there
                break
        time.sleep(0.2)
    failures = [f"FAIL: no {role} named {name!r}" for role, name in EXPECTED
                if (role, name) not in seen]
    if not any(role == "label" and "Program started." in name for role, name in seen):
        failures.append("FAIL: no log row label with the start-up line")
    print("\n".join(failures) if failures else f"{len(seen)} accessible objects, names as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
