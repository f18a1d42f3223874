#!/bin/sh
# SPDX-License-Identifier: MIT
# In which order dpkg runs cups's trigger and printer-driver-morvane's
# restore, shown with stand-ins of the two packages, of the same names, in a
# scratch dpkg database (no root needed): both are interested in a folder,
# printer-driver-morvane depends on cups, and a driver package ships a file
# there. cups's postinst writes a line when it runs. printer-driver-morvane
# has first a postinst that writes a line when it runs, then the package's
# own postinst and triggers, the folder renamed, with a morvane-setup and
# an lpstat in front of the system's that write a line for
# morvane-setup --restore, and a dpkg-trigger that writes one for each
# wait. Each case runs with dpkg -i and in apt's way
# (--unpack and --configure with --no-triggers, then --configure
# --pending); the last installs the driver and printer-driver-morvane in
# one run.
# Usage: sh doc/trigger-order.sh
set -eu
source=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder=/usr/share/updaters

package() { # NAME DEPENDS TRIGGERS-FILE POSTINST-FILE
	rm -rf "$work/$1"
	mkdir -p "$work/$1/DEBIAN"
	printf 'Package: %s\nVersion: 1\nArchitecture: all\nMaintainer: t <t@t.invalid>\n%sDescription: stand-in\n' \
	    "$1" "${2:+Depends: $2
}" >"$work/$1/DEBIAN/control"
	[ -z "$3" ] || cp "$3" "$work/$1/DEBIAN/triggers"
	[ -z "$4" ] || install -m 755 "$4" "$work/$1/DEBIAN/postinst"
	[ "$1" != driver ] || mkdir -p "$work/driver$folder"
	[ "$1" != driver ] || echo updater >"$work/driver$folder/driver"
	dpkg-deb --root-owner-group --build "$work/$1" "$work/$1.deb" >/dev/null
}

# The scratch database with the three packages, printer-driver-morvane's
# postinst and triggers $1 and $2.
start() {
	rm -rf "$work/root"
	mkdir -p "$work/root/var/lib/dpkg/info" "$work/root/var/lib/dpkg/updates"
	: >"$work/root/var/lib/dpkg/status"
	package cups "" "$work/cups.triggers" "$work/logs"
	package printer-driver-morvane cups "$2" "$1"
	package driver "" "" ""
	for p in cups printer-driver-morvane driver; do
		$dpkg -i "$work/$p.deb" >/dev/null
	done
}

# Runs the command given, then shows the lines written.
show() {
	: >"$work/root/order"
	"$@" >/dev/null
	sed 's/^/    /' "$work/root/order"
}

# Installs the packages named, with dpkg -i, then in apt's way.
both_ways() {
	echo "  dpkg -i $*:"
	show $dpkg -i $(for p in "$@"; do echo "$work/$p.deb"; done)
	echo "  apt's way:"
	show apt_way "$@"
}

apt_way() {
	$dpkg --unpack --no-triggers $(for p in "$@"; do echo "$work/$p.deb"; done)
	$dpkg --configure --no-triggers "$@"
	$dpkg --configure --pending
}

echo "interest-noawait $folder" >"$work/cups.triggers"
printf '#!/bin/sh\necho "$DPKG_MAINTSCRIPT_PACKAGE: postinst $*" >>"$DPKG_ROOT/order"\n' \
    >"$work/logs"
sed "s|/usr/share/cups/ppd-updaters|$folder|" \
    "$source/debian/printer-driver-morvane.postinst" >"$work/postinst"
sed "s|/usr/share/cups/ppd-updaters|$folder|" \
    "$source/debian/printer-driver-morvane.triggers" >"$work/triggers"
mkdir "$work/bin"
printf '#!/bin/sh\necho "  morvane-setup $*" >>"$DPKG_ROOT/order"\n' \
    >"$work/bin/morvane-setup"
printf '#!/bin/sh\necho "scheduler is running"\n' >"$work/bin/lpstat"
printf '#!/bin/sh\necho "  waits: dpkg-trigger $*" >>"$DPKG_ROOT/order"\nexec %s "$@"\n' \
    "$(command -v dpkg-trigger)" >"$work/bin/dpkg-trigger"
chmod 755 "$work/bin/morvane-setup" "$work/bin/lpstat" "$work/bin/dpkg-trigger"
export PATH="$work/bin:$PATH"
dpkg="dpkg --root=$work/root --force-script-chrootless --force-not-root
    --log=/dev/null"

dpkg --version | head -n 1
echo "Depends: cups alone, the postinst writes a line:"
start "$work/logs" "$work/cups.triggers"
both_ways driver
echo "debian/printer-driver-morvane.postinst and .triggers:"
start "$work/postinst" "$work/triggers"
both_ways driver
both_ways driver printer-driver-morvane
