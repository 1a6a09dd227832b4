#!/usr/bin/env python3
"""A minimal StatusNotifierItem watcher and host, as desktops without XEmbed trays provide one.

Usage: sni_host.py   (on the session bus of DBUS_SESSION_BUS_ADDRESS)

It owns org.kde.StatusNotifierWatcher, says a host is registered, and prints one line per
event to standard output: "ready", then "registered SERVICE OBJECT_PATH" for every item that
registers and "unregistered SERVICE" when an item's owner leaves the bus. The test drives the
items itself (Activate, ContextMenu, the exported menu).
"""

import os
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

WATCHER = "org.kde.StatusNotifierWatcher"
XML = """
<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
</node>
"""

items = {}  # owner's unique name -> "service/path" as registered


def say(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


def on_call(conn, sender, path, iface, method, params, invocation):
    if method == "RegisterStatusNotifierItem":
        (service,) = params.unpack()
        # Either a bus name (the object at the usual path) or an object path on the sender.
        if service.startswith("/"):
            bus_name, object_path = sender, service
        else:
            bus_name, object_path = service, "/StatusNotifierItem"
        entry = bus_name + object_path
        items[sender] = entry
        invocation.return_value(None)
        conn.emit_signal(None, "/StatusNotifierWatcher", WATCHER, "StatusNotifierItemRegistered",
                         GLib.Variant("(s)", (entry,)))
        say("registered %s %s" % (bus_name, object_path))
    elif method == "RegisterStatusNotifierHost":
        invocation.return_value(None)
    else:
        invocation.return_dbus_error("org.freedesktop.DBus.Error.UnknownMethod", method)


def on_property(conn, sender, path, iface, name):
    if name == "RegisteredStatusNotifierItems":
        return GLib.Variant("as", sorted(items.values()))
    if name == "IsStatusNotifierHostRegistered":
        return GLib.Variant("b", True)
    if name == "ProtocolVersion":
        return GLib.Variant("i", 0)
    return None


def on_owner_changed(conn, sender, path, iface, signal, params):
    name, _old, new = params.unpack()
    if not new and name in items:
        entry = items.pop(name)
        conn.emit_signal(None, "/StatusNotifierWatcher", WATCHER,
                         "StatusNotifierItemUnregistered", GLib.Variant("(s)", (entry,)))
        say("unregistered %s" % name)


def main():
    loop = GLib.MainLoop()
    conn = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    info = Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0]
    conn.register_object("/StatusNotifierWatcher", info, on_call, on_property, None)
    conn.signal_subscribe("org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
                          "/org/freedesktop/DBus", None, Gio.DBusSignalFlags.NONE,
                          on_owner_changed)
    # A host too, as a desktop's panel would be.
    conn.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                   "RequestName", GLib.Variant("(su)", ("org.kde.StatusNotifierHost-%d" % os.getpid(), 4)),
                   None, Gio.DBusCallFlags.NONE, -1, None)

    def acquired(*_):
        say("ready")

    def lost(*_):
        say("could not own " + WATCHER)
        loop.quit()

    Gio.bus_own_name_on_connection(conn, WATCHER, Gio.BusNameOwnerFlags.NONE, acquired, lost)
    loop.run()
    return 1


if __name__ == "__main__":
    sys.exit(main())
