# SPDX-License-Identifier: MIT
"""A stand-in for the Avahi daemon on a private D-Bus bus, for the cupsd
test's driverless printers: ippeveprinter will not start without Avahi.
It answers as a running daemon and takes every service that a printer
registers, and announces nothing.
    avahi-stand-in.py BUS-ADDRESS READY-FILE
READY-FILE is made once the stand-in has its name on the bus."""
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

SERVER = "org.freedesktop.Avahi.Server"
GROUP = "org.freedesktop.Avahi.EntryGroup"
RUNNING = 2  # the state of a running server, and of an established group


class EntryGroup(dbus.service.Object):
    @dbus.service.method(GROUP, in_signature="iiussssqaay")
    def AddService(self, interface, protocol, flags, name, kind, domain,
                   host, port, txt):
        pass

    @dbus.service.method(GROUP, in_signature="iiussss")
    def AddServiceSubtype(self, interface, protocol, flags, name, kind,
                          domain, subtype):
        pass

    @dbus.service.method(GROUP, in_signature="iiusssaay")
    def UpdateServiceTxt(self, interface, protocol, flags, name, kind,
                         domain, txt):
        pass

    @dbus.service.method(GROUP)
    def Commit(self):
        self.StateChanged(RUNNING, "")

    @dbus.service.method(GROUP)
    def Reset(self):
        pass

    @dbus.service.method(GROUP)
    def Free(self):
        self.remove_from_connection()

    @dbus.service.method(GROUP, out_signature="i")
    def GetState(self):
        return RUNNING

    @dbus.service.method(GROUP, out_signature="b")
    def IsEmpty(self):
        return False

    @dbus.service.signal(GROUP, signature="is")
    def StateChanged(self, state, error):
        pass


class Server(dbus.service.Object):
    groups = 0

    @dbus.service.method(SERVER, out_signature="u")
    def GetAPIVersion(self):
        return 0x0201

    @dbus.service.method(SERVER, out_signature="i")
    def GetState(self):
        return RUNNING

    @dbus.service.method(SERVER, out_signature="s")
    def GetVersionString(self):
        return "avahi 0.8"

    @dbus.service.method(SERVER, out_signature="s")
    def GetHostName(self):
        return "localhost"

    @dbus.service.method(SERVER, out_signature="s")
    def GetHostNameFqdn(self):
        return "localhost.local"

    @dbus.service.method(SERVER, out_signature="s")
    def GetDomainName(self):
        return "local"

    @dbus.service.method(SERVER, out_signature="u")
    def GetLocalServiceCookie(self):
        return 1

    @dbus.service.method(SERVER, out_signature="o")
    def EntryGroupNew(self):
        Server.groups += 1
        path = "/Client1/EntryGroup%d" % Server.groups
        EntryGroup(self.connection, path)
        return path


dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.bus.BusConnection(sys.argv[1])
name = dbus.service.BusName("org.freedesktop.Avahi", bus)
Server(bus, "/")
open(sys.argv[2], "w").close()
GLib.MainLoop().run()
