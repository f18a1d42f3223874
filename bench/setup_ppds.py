#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Runs morvane-setup --ppd over real PPDs and counts, for each shape of
their filter lines, how many it accepts and refuses, and why.

Usage: bench/setup_ppds.py SETUP FILTERS-FOLDER [--sample N] PPD...

PPD as for bench/real_ppds.py: files, folders, cups-driverd's drv files,
or the driver programs of /usr/lib/cups/driver (the PPD packages' archives,
or any other that lists its models). The shape is read from the PPD's
text here, not by morvane-setup:
  A  no filter lines                 D  foomatic-rip writing PJL first
  B  foomatic-rip on PostScript      E  the same at cost 100
  C  foomatic-rip on PDF and on      G  foomatic-rip rendering with
     PostScript, passing it on          ghostscript
  F  PDF straight to the printer     U  PWG or Apple raster straight to it
  R  a driver of CUPS's raster       fax  a fax queue's
  PCLm  PCLm alone                   other  any other lines
cupsfilter checks the chains with CUPS's filters of /usr/lib/cups and the
filters built in FILTERS-FOLDER, in a ServerBin of links made here. A shape
of A to G, F, U or R that is refused, or a fax or PCLm that is accepted,
is a failure: the exit status is 1.
"""
import argparse, multiprocessing, os, random, re
import subprocess, sys, tempfile
from collections import Counter

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import real_ppds

FILTER = re.compile(r'^\*cupsFilter2?:\s*"([^"]*)"', re.M)
COMMAND = re.compile(r'^\*FoomaticRIPCommandLine:\s*"([^"]*)"', re.M)


def shape(text):
    lines = [re.split(r'\s+', l.strip()) for l in FILTER.findall(text)]
    programs = [l[-1] for l in lines]
    if (re.search(r'^\*(cupsFax|cupsIPPFaxOut):\s*True', text, re.M) or
            re.search(r'^\*ModelName:.* Fax[ "]', text, re.M) or
            any('fax' in p for p in programs)):
        return 'fax'
    if not lines:
        return 'A'
    types = {}
    for l in lines:
        types.setdefault(l[0], l)
    ps = types.get('application/vnd.cups-postscript')
    pdf = types.get('application/vnd.cups-pdf') or types.get('application/pdf')
    if ps and ps[-1] == 'foomatic-rip':
        command = COMMAND.search(text)
        command = command.group(1) if command else ''
        if re.search(r'\bgs\b', command):
            return 'G'
        if pdf:
            return 'C'
        if ps[-2] == '100':
            return 'E'
        return 'D' if 'PJL' in command.split('cat')[0] else 'B'
    if ps and ps[-1] != '-':
        return 'other'
    if pdf and pdf[-1] == '-':
        return 'F'
    if any(l[0] in ('image/urf', 'image/pwg-raster') and l[-1] == '-'
           for l in lines):
        return 'U'
    raster = types.get('application/vnd.cups-raster')
    if raster and raster[-1] != '-':
        return 'R'
    if 'application/PCLm' in types:
        return 'PCLm'
    return 'other'


RANGE = re.compile(r'must lie between (-?[0-9.]+) and (-?[0-9.]+)')


def run(job):
    """Sets the PPD up with 3473, the value that leaves an A4 page where
    it is; where that value puts the page off one of its papers, with a
    value inside the ranges that the refusals give, as an administrator
    would after its error."""
    name, data, setup, env, tmp = job
    text = data.decode('latin-1')
    fd, ppd = tempfile.mkstemp(suffix='.ppd', dir=tmp)
    with os.fdopen(fd, 'wb') as f:
        f.write(data)
    low, high, value, tries = float('-inf'), float('inf'), '3473', 0
    while True:
        done = subprocess.run([setup, '--ppd', ppd, value], env=env,
                              capture_output=True)
        why = done.stderr.decode('latin-1').strip().replace(ppd, 'PPD')
        bounds = RANGE.search(why)
        tries += 1
        if done.returncode == 0 or not bounds or tries > 5:
            break
        low = max(low, float(bounds.group(1)))
        high = min(high, float(bounds.group(2)))
        if low >= high:
            break
        value = '%.2f' % ((low + high) / 2)
    os.unlink(ppd)
    # The refusal's kind, without the names that change from PPD to PPD.
    why = re.sub(r'printer/\S+|chain for them is .*|take only .*', '', why)
    if bounds and done.returncode != 0:
        why = 'no value keeps the page on every paper of the PPD'
    return name, shape(text), done.returncode == 0, value != '3473', why


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('setup')
    parser.add_argument('filters')
    parser.add_argument('--sample', type=int, default=0)
    parser.add_argument('ppds', nargs='+')
    args = parser.parse_args()
    tmp = tempfile.mkdtemp()
    # A ServerBin like the system's, with the filter under test added.
    serverbin = os.path.join(tmp, 'bin')
    os.makedirs(os.path.join(serverbin, 'filter'))
    for entry in os.listdir('/usr/lib/cups'):
        if entry != 'filter':
            os.symlink('/usr/lib/cups/' + entry,
                       os.path.join(serverbin, entry))
    for entry in os.listdir('/usr/lib/cups/filter'):
        os.symlink('/usr/lib/cups/filter/' + entry,
                   os.path.join(serverbin, 'filter', entry))
    for name in ('morvane-filter', 'morvane-pdf', 'morvane-raster'):
        target = os.path.join(serverbin, 'filter', name)
        if os.path.lexists(target):
            os.unlink(target)
        os.symlink(os.path.abspath(os.path.join(args.filters, name)), target)
    env = dict(os.environ, CUPS_SERVERBIN=serverbin, TMPDIR=tmp)
    ppds = list(real_ppds.all_ppds(args.ppds))
    if args.sample:
        ppds = random.Random(1).sample(ppds, min(args.sample, len(ppds)))
    jobs = [(n, d, os.path.abspath(args.setup), env, tmp) for n, d in ppds]
    counts, reasons, wrong, other_value = Counter(), Counter(), [], Counter()
    with multiprocessing.Pool() as pool:
        for name, kind, accepted, moved, why in pool.imap_unordered(run, jobs,
                                                                    16):
            counts[kind, accepted] += 1
            other_value[kind] += accepted and moved
            if not accepted:
                reasons[kind, why] += 1
            if kind != 'other' and accepted != (kind not in ('fax', 'PCLm')):
                wrong.append((kind, name, why))
    print('%d PPDs' % len(jobs))
    for kind in ['A', 'B', 'C', 'D', 'E', 'G', 'F', 'U', 'R', 'fax', 'PCLm',
                 'other']:
        print('%-6s accepted %5d  refused %5d  (of the accepted, %d with '
              'a value other than 3473, which puts the page off one of '
              'their papers)' % (kind, counts[kind, True],
                                 counts[kind, False], other_value[kind]))
    for (kind, why), n in sorted(reasons.items()):
        print('  %s refused %d: %s' % (kind, n, why))
    for kind, name, why in wrong[:20]:
        print('WRONG %s %s: %s' % (kind, name, why or 'accepted'))
    subprocess.run(['rm', '-rf', tmp])
    return 1 if wrong else 0


if __name__ == '__main__':
    sys.exit(main())
