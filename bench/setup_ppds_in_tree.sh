# SPDX-License-Identifier: MIT
# morvane-setup over Debian's PPD packages, in a tree that .ci/fresh-debian
# made and built the project in:
#   sudo .ci/fresh-debian --run bench/setup_ppds_in_tree.sh trixie
apt-get install -y -q python3 cups cups-filters foomatic-db-compressed-ppds \
    openprinting-ppds hp-ppd hpijs-ppds printer-driver-hpijs >/dev/null
python3 bench/setup_ppds.py build/morvane-setup build \
    openprinting-ppds foomatic-db-compressed-ppds hpijs-ppds /usr/share/ppd
