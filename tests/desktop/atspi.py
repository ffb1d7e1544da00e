"""What a screen reader sees of the program, through the AT-SPI bus.

  atspi.py listen FILE   writes one line per event to FILE, as a screen reader hears them:
                         type, role, name, label, detail1 and the event's text, tab-separated;
                         "ready" first, once the listener is registered
  atspi.py status        prints the text of the main window's status notification, read
                         through its Text interface
  atspi.py focused       prints the objects of the program that report the focus, one a line
"""

import sys

import pyatspi

APPLICATION = "Tenvari"


def clean(text):
    return " ".join(str(text).split())


def label_of(accessible):
    """The name of the object's label, as a screen reader names a list by it."""
    try:
        for relation in accessible.getRelationSet():
            if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
                return relation.getTarget(0).name
    except Exception:  # pylint: disable=broad-except
        pass
    return ""


def describe(accessible):
    try:
        return accessible.getRoleName(), accessible.name, label_of(accessible)
    except Exception:  # pylint: disable=broad-except
        return "defunct", "", ""


def listen(path):
    out = open(path, "w", buffering=1, encoding="utf-8")

    def on_event(event):
        role, name, label = describe(event.source)
        data = event.any_data if isinstance(event.any_data, str) else ""
        if event.type.endswith("accessible-description"):
            try:
                data = event.source.description
            except Exception:  # pylint: disable=broad-except
                data = ""
        fields = [event.type, role, name, label, str(event.detail1), data]
        out.write("\t".join(clean(field) for field in fields) + "\n")

    for kind in ("object:state-changed:focused", "object:state-changed:showing",
                 "object:state-changed:selected", "object:text-changed",
                 "object:property-change:accessible-name",
                 "object:property-change:accessible-description"):
        pyatspi.Registry.registerEventListener(on_event, kind)
    out.write("ready\n")
    pyatspi.Registry.start()


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == APPLICATION:
            return app
    return None


def walk(accessible):
    yield accessible
    if accessible.getRoleName() in ("list", "table", "tree", "tree table"):
        return
    for child in accessible:
        if child is not None:
            yield from walk(child)


def status():
    app = application()
    for window in app or []:
        for each in walk(window):
            if each.getRoleName() == "notification" and \
                    each.parent.getRoleName() == "status bar":
                text = each.queryText()
                print(text.getText(0, text.characterCount))
                return 0
    return 1


def focused():
    app = application()
    if app is None:
        return 1
    for window in app:
        for each in walk(window):
            if each.getState().contains(pyatspi.STATE_FOCUSED):
                role, name, label = describe(each)
                print("%s\t%s" % (role, clean(label or name)))
    return 0


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "listen":
        listen(sys.argv[2])
        return 0
    if len(sys.argv) == 2 and sys.argv[1] == "status":
        return status()
    if len(sys.argv) == 2 and sys.argv[1] == "focused":
        return focused()
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main())
