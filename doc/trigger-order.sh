#!/bin/sh
# SPDX-License-Identifier: MIT
# In which order dpkg runs the triggers of cups and printer-driver-morvane,
# shown with stand-ins of the same names in a scratch dpkg database (no root
# needed): both are interested in a folder, printer-driver-morvane depends
# on cups, and a driver package ships a file there. Each stand-in's postinst
# writes a line when it runs. First without the wait of
# debian/printer-driver-morvane.postinst, then with it, for dpkg -i and for
# apt's way (--unpack and --configure with --no-triggers, then
# --configure --pending).
# Usage: sh doc/trigger-order.sh
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

package() { # NAME DEPENDS TRIGGERS POSTINST-BODY
	mkdir -p "$work/$1/DEBIAN"
	printf 'Package: %s\nVersion: 1\nArchitecture: all\nMaintainer: t <t@t.invalid>\n%sDescription: stand-in\n' \
	    "$1" "${2:+Depends: $2
}" >"$work/$1/DEBIAN/control"
	[ -z "$3" ] || printf '%s\n' "$3" >"$work/$1/DEBIAN/triggers"
	[ -z "$4" ] || printf '#!/bin/sh\nset -e\n%s\n' "$4" >"$work/$1/DEBIAN/postinst"
	[ -z "$4" ] || chmod 755 "$work/$1/DEBIAN/postinst"
	dpkg-deb --root-owner-group --build "$work/$1" "$work/$1.deb" >/dev/null
}

# $1: the wait, or nothing.
run() {
	rm -rf "$work/root" "$work/cups" "$work/printer-driver-morvane" "$work/driver"
	mkdir -p "$work/root/var/lib/dpkg/info" "$work/root/var/lib/dpkg/updates"
	: >"$work/root/var/lib/dpkg/status"
	log='echo "$DPKG_MAINTSCRIPT_PACKAGE: postinst $*" >>"$DPKG_ROOT/order"'
	package cups "" "interest-noawait /usr/share/updaters" "$log"
	package printer-driver-morvane cups "interest-noawait /usr/share/updaters
interest-noawait printer-driver-morvane-after-cups" "$log
$1"
	mkdir -p "$work/driver/usr/share/updaters"
	echo updater >"$work/driver/usr/share/updaters/driver"
	package driver "" "" ""
	dpkg="dpkg --root=$work/root --force-script-chrootless --force-not-root
	    --log=/dev/null"
	for p in cups printer-driver-morvane driver; do
		$dpkg -i "$work/$p.deb" >/dev/null
	done
	: >"$work/root/order"
	$dpkg -i "$work/driver.deb" >/dev/null
	echo "  dpkg -i:"
	sed 's/^/    /' "$work/root/order"
	: >"$work/root/order"
	$dpkg --unpack --no-triggers "$work/driver.deb" >/dev/null
	$dpkg --configure --no-triggers driver >/dev/null
	$dpkg --configure --pending >/dev/null
	echo "  apt's way:"
	sed 's/^/    /' "$work/root/order"
}

dpkg --version | head -n 1
echo "Depends: cups alone:"
run ""
echo "with the wait of debian/printer-driver-morvane.postinst:"
run '[ "$1" = triggered ] || exit 0
case " $2 " in *" printer-driver-morvane-after-cups "*) exit 0 ;; esac
case " $(dpkg-query -W -f="\${Triggers-Pending}" cups) " in
*" /usr/share/updaters "*) dpkg-trigger --no-await printer-driver-morvane-after-cups
	echo "  (waits for cups)" >>"$DPKG_ROOT/order" ;;
esac'
