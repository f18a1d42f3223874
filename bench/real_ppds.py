#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Runs the CUPS filter over real PPDs and counts how often it gives each
job the size that the PPD's *PaperDimension declares.

Usage: bench/real_ppds.py FILTER MORVANE [--sizes K] [--sample N] PPD...

PPD: files (.ppd or .ppd.gz), folders of them, or the names of the driver
programs in /usr/lib/cups/driver that hold compressed archives of PPDs
(Debian: openprinting-ppds, foomatic-db-compressed-ppds, hpijs-ppds).
Each PPD gets *MorvaneVerticalDots: "3473". The filter prints the default
size, K sizes drawn from the PPD (by name, in lower case as media=, and by
the PWG name that clients send for the common ones), and where the PPD has
custom sizes one in the middle of its range and one too wide for it, which
the filter must refuse. The expected size is read from the PPD's text
here, not through libcups. pstops is replaced by a copy, so only the size
that morvane was given is checked, from the filter's DEBUG: line.
"""
import argparse, base64, gzip, lzma, multiprocessing, os, random, re
import struct, subprocess, sys, tempfile
from collections import Counter

PWG = {'letter': 'na_letter_8.5x11in', 'legal': 'na_legal_8.5x14in',
       'a4': 'iso_a4_210x297mm', 'a5': 'iso_a5_148x210mm',
       'a3': 'iso_a3_297x420mm', 'executive': 'na_executive_7.25x10.5in',
       'tabloid': 'na_ledger_11x17in', 'env10': 'na_number-10_4.125x9.5in',
       'envdl': 'iso_dl_110x220mm', 'envc5': 'iso_c5_162x229mm'}


def listed_ppds(path):
    # Any other driver program lists its models, and prints each one's PPD.
    listing = subprocess.run([path, 'list'], capture_output=True,
                             check=True).stdout.decode('latin-1')
    for uri in re.findall(r'^"([^"]+)"', listing, re.M):
        done = subprocess.run([path, 'cat', uri], capture_output=True)
        if done.returncode == 0 and done.stdout:
            yield os.path.basename(path) + ':' + uri, done.stdout


def drv_ppds(path):
    # cups-driverd's drv files, compiled by CUPS's ppdc.
    with tempfile.TemporaryDirectory() as out:
        subprocess.run(['ppdc', '-z', '-d', out, path], capture_output=True,
                       check=True)
        for name, data in all_ppds([out]):
            yield path + ':' + os.path.basename(name), data


def driver_ppds(driver):
    # The driver programs of the PPD packages are Python that carry an xz
    # archive and an index of it; loading it once is far faster than asking
    # the program per PPD.
    scope = {'__name__': 'driver'}
    path = '/usr/lib/cups/driver/' + driver
    with open(path, 'rb') as f:
        if b'python' not in f.readline():
            yield from listed_ppds(path)
            return
    exec(compile(open(path).read(), path, 'exec'), scope)
    index = scope['load']()
    archive = lzma.decompress(base64.b64decode(index.pop('ARCHIVE')))
    for key, (start, length, *_) in sorted(index.items()):
        yield driver + ':' + key, archive[start:start + length]


def all_ppds(sources):
    for source in sources:
        if os.path.isdir(source):
            for folder, _, names in sorted(os.walk(source)):
                for name in sorted(names):
                    if name.endswith(('.ppd', '.ppd.gz')):
                        yield from all_ppds([os.path.join(folder, name)])
        elif source.endswith('.drv'):
            yield from drv_ppds(source)
        elif os.path.isfile(source):
            opener = gzip.open if source.endswith('.gz') else open
            with opener(source, 'rb') as f:
                yield source, f.read()
        else:
            yield from driver_ppds(source)


def expected(dimensions):
    # morvane prints the 32-bit floats that it reads with "%f".
    w, h = (struct.unpack('f', struct.pack('f', float(v)))[0]
            for v in dimensions)
    return '-w%f -h%f' % (w, h)


def shape(text, name):
    code = re.search(r'^\*PageSize\s+' + re.escape(name) +
                     r'[/:][^"\n]*"([^"\n]*)("?)', text, re.M)
    if code is None:
        return 'no code'
    if not code.group(2):
        return 'multi-line'
    if 'FoomaticRIPOptionSetting' in code.group(1):
        return 'foomatic'
    if '@PJL' in code.group(1) or '<1B>%-12345X' in code.group(1):
        return 'PJL'
    return 'bracketed' if '[' in code.group(1) else 'other'


def checks(text, sizes, rng):
    """The (kind, options, expected) runs for one PPD."""
    names = re.findall(r'^\*PageSize\s+([^/:\s]+)', text, re.M)
    dims = {m[0]: expected(m[1:]) for m in re.findall(
        r'^\*PaperDimension\s+([^/:\s]+)[^:]*:\s*"\s*(\S+)\s+([^\s"]+)',
        text, re.M)}
    default = re.search(r'^\*DefaultPageSize:\s*(\S+)', text, re.M)
    default = default.group(1) if default else None
    runs = [('default', '', dims.get(default, 'copy')
             if default in names else 'copy')]
    lower = Counter(n.lower() for n in names)
    for name in rng.sample(names, min(sizes, len(names))):
        want = dims.get(name, 'copy')
        runs.append(('name', 'PageSize=' + name, want))
        if lower[name.lower()] == 1:
            runs.append(('lower-case media', 'media=' + name.lower(), want))
            if name.lower() in PWG:
                runs.append(('PWG media', 'media=' + PWG[name.lower()], want))
    runs += custom_checks(text)
    return runs


def custom_checks(text):
    """A custom size in the middle of the PPD's range for them, and one
    100 points wider than the range allows, which the filter refuses."""
    if not re.search(r'^\*CustomPageSize True', text, re.M):
        return []
    ranges = dict((m[0], [float(m[1]), float(m[2])]) for m in re.findall(
        r'^\*ParamCustomPageSize\s+(Width|Height):\s*\d+\s+points\s+'
        r'(\S+)\s+(\S+)', text, re.M))
    for key, name in (('Width', 'MaxMediaWidth'), ('Height', 'MaxMediaHeight')):
        most = re.search(r'^\*' + name + r':\s*"\s*([\d.]+)', text, re.M)
        if most and key in ranges:
            ranges[key][1] = min(ranges[key][1], float(most.group(1)))
    if 'Width' not in ranges or 'Height' not in ranges:
        return []
    (wlow, whigh), (hlow, hhigh) = ranges['Width'], ranges['Height']
    if wlow > whigh or hlow > hhigh or whigh <= 0 or hhigh <= 0:
        return []
    w, h = round((wlow + whigh) / 2), round((hlow + hhigh) / 2)
    return [('custom, in range', 'PageSize=Custom.%dx%d' % (w, h),
             expected((w, h))),
            ('custom, too wide', 'PageSize=Custom.%dx%d' % (whigh + 100, h),
             'failed')]


def run(job):
    name, data, sizes, seed, filter_, morvane, stand_in, tmp = job
    text = data.decode('latin-1').replace('\r\n', '\n')
    rng = random.Random(seed)
    fd, ppd = tempfile.mkstemp(suffix='.ppd', dir=tmp)
    with os.fdopen(fd, 'wb') as f:
        f.write(data + b'\n*MorvaneVerticalDots: "3473"\n')
    default = re.search(r'^\*DefaultPageSize:\s*(\S+)', text, re.M)
    group = [shape(text, default.group(1)) if default else 'no default']
    if b'\r\n' in data:
        group.append('CRLF')
    results = []
    env = dict(os.environ, PPD=ppd, MORVANE=morvane, MORVANE_PSTOPS=stand_in,
               TMPDIR=tmp)
    for kind, options, want in checks(text, sizes, rng):
        done = subprocess.run([filter_, '1', 'user', 'title', '1', options],
                              input=b'%!PS\n', env=env, capture_output=True)
        got = re.search(rb'page size [^:]*: \S+ (-w\S+ -h\S+)', done.stderr)
        got = got.group(1).decode() if got else (
            'copy' if done.returncode == 0 else 'failed')
        results.append((name, kind, group, options, want, got))
    os.unlink(ppd)
    return results


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('filter')
    parser.add_argument('morvane')
    parser.add_argument('--sizes', type=int, default=3)
    parser.add_argument('--sample', type=int, default=0)
    parser.add_argument('ppds', nargs='+')
    args = parser.parse_args()
    ppds = list(all_ppds(args.ppds))
    if args.sample:
        ppds = random.Random(1).sample(ppds, min(args.sample, len(ppds)))
    tmp = tempfile.mkdtemp()
    stand_in = os.path.join(tmp, 'copy')
    with open(stand_in, 'w') as f:
        f.write('#!/bin/sh\nfor last; do :; done\ncp in.ps "$last"\n')
    os.chmod(stand_in, 0o755)
    jobs = [(name, data, args.sizes, i, os.path.abspath(args.filter),
             os.path.abspath(args.morvane), stand_in, tmp)
            for i, (name, data) in enumerate(ppds)]
    right, total, wrong = Counter(), Counter(), []
    with multiprocessing.Pool() as pool:
        for results in pool.imap_unordered(run, jobs, chunksize=8):
            for name, kind, group, options, want, got in results:
                for key in [kind] + ['%s (%s)' % (kind, g) for g in group]:
                    total[key] += 1
                    right[key] += want == got
                if want != got:
                    wrong.append((name, options, want, got))
    os.unlink(stand_in)
    os.rmdir(tmp)
    print('%d PPDs' % len(ppds))
    for key in sorted(total):
        print('%-34s %6d of %6d right (%.2f %%)' % (
            key, right[key], total[key], 100.0 * right[key] / total[key]))
    for name, options, want, got in wrong[:20]:
        print('wrong: %s [%s] expected %s, got %s' % (name, options, want, got))
    return 1 if wrong else 0


if __name__ == '__main__':
    sys.exit(main())
