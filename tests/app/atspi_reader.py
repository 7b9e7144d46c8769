#!/usr/bin/python3
# What a screen reader gets from Corvale, read through the desktop's
# accessibility bus with pyatspi, as Orca reads it.
#
#   atspi_reader.py tree [NAME]     every window of the program (or those named
#                                   NAME): its role, name and nodes (role, name,
#                                   showing, hidden, labelled-by)
#   atspi_reader.py events N CMD... runs CMD once listening for what Orca
#                                   listens for (focus, selection, state, name
#                                   and value changes), then prints the events
#                                   heard until N focus events and a quiet half
#                                   second more (10 seconds at most)
# Both print JSON on standard output.
import json
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

PROGRAM = "corvale"


def program():
    desktop = pyatspi.Registry.getDesktop(0)
    for _ in range(100):
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == PROGRAM:
                return app
        time.sleep(0.1)
    return None


# Not shown while its parent is: an entry scrolled out of its list, and a
# closed picker's list of entries, are not hidden things.
ENTRIES = ("table cell", "heading", "list item")


def node(acc, parent):
    states = acc.getState().getStates()
    labels = []
    for relation in acc.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            labels += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    showing = pyatspi.STATE_SHOWING in states
    hidden = parent["showing"] and not showing and acc.getRoleName() not in ENTRIES and parent["role"] != "combo box"
    return {"role": acc.getRoleName(), "name": acc.name, "showing": showing, "hidden": hidden, "labelledBy": labels}


def walk(acc, nodes, parent={"showing": False, "role": ""}):
    nodes.append(node(acc, parent))
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            walk(child, nodes, nodes[-1])


def ancestors(acc):
    roles = []
    while acc is not None and acc.getRoleName() != "application" and len(roles) < 10:
        acc = acc.parent
        roles.append(acc.getRoleName() if acc is not None else "")
    return roles


def tree(name):
    app = program()
    windows = []
    for i in range(app.childCount if app else 0):
        window = app.getChildAtIndex(i)
        if window is None or (name is not None and window.name != name):
            continue
        nodes = []
        walk(window, nodes)
        windows.append({"role": window.getRoleName(), "name": window.name, "nodes": nodes})
    print(json.dumps({"windows": windows}))


def events(count, command):
    seen = []
    quiet = [None]  # the timer that ends listening once N focus events are heard

    def stop():
        pyatspi.Registry.stop()
        return False

    def heard(event):
        source = event.source
        described = {"type": event.type, "role": source.getRoleName(), "name": source.name,
                     "detail": event.detail1, "ancestors": ancestors(source),
                     "enabled": pyatspi.STATE_ENABLED in source.getState().getStates()}
        if isinstance(event.any_data, pyatspi.Accessible):
            described["descendant"] = event.any_data.name
        seen.append(described)
        if sum(e["type"] == "focus:" for e in seen) >= count:
            if quiet[0] is not None:
                GLib.source_remove(quiet[0])
            quiet[0] = GLib.timeout_add(500, stop)

    app = program()
    pyatspi.Registry.registerEventListener(heard, "focus:", "object:state-changed:focused",
                                           "object:state-changed:selected", "object:active-descendant-changed",
                                           "object:selection-changed", "object:property-change:accessible-name",
                                           "object:value-changed")
    GLib.timeout_add(300, lambda: subprocess.call(command) and False)
    GLib.timeout_add(10000, stop)
    pyatspi.Registry.start()
    print(json.dumps({"program": app is not None, "events": seen}))


if __name__ == "__main__":
    if sys.argv[1] == "tree":
        tree(sys.argv[2] if len(sys.argv) > 2 else None)
    else:
        events(int(sys.argv[2]), sys.argv[3:])
