#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Seeds small faults into the CUPS filter's sources, one at a time, and
reports how many of them the test suite catches.

Usage: tests/seed_faults.py [--count N] [--seed S] [--keep] [FILE...]

Each fault is one change at a place drawn at random from all the places
where one can be made (so the files get faults in proportion to their
size): a comparison, a logical operator or a boolean turned round, a
small integer changed, or a call that stands alone removed. The sources
are copied into a scratch folder, built with the cupsd test on, and every
test runs for each fault: a fault is caught when a test fails or times
out. The report lists the faults that no test caught, for a contributor
to read: one that changes what the filter does calls for a test.
Needs what the cupsd test needs (see the README); takes about half a
minute a fault.
"""
import argparse, os, random, re, shutil, subprocess, sys, tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
FILES = ['cups/filter/' + name + '.cpp' for name in
         ('main', 'paper', 'documents', 'shift', 'plan', 'print', 'splice',
          'procsets', 'in_place', 'job', 'copy')] + \
        ['cups/common/' + name + '.cpp' for name in
         ('run', 'log', 'folder', 'dots', 'ppd')]

# (pattern, replacement) pairs: each match of a pattern is one place.
SWAPS = [
    (r'==', '!='), (r'!=', '=='), (r'(?<![<>=!])<(?![<=])', '<='),
    (r'(?<![<>=-])>(?![>=])', '>='), (r'<=', '<'), (r'>=', '>'),
    (r'&&', '||'), (r'\|\|', '&&'), (r'\btrue\b', 'false'),
    (r'\bfalse\b', 'true'), (r'(?<![\w.])0(?![\w.x])', '1'),
    (r'(?<![\w.])1(?![\w.])', '0'), (r'(?<![\w.])2(?![\w.])', '1'),
    (r' \+ 1\b', ' - 1'), (r' - 1\b', ' + 1'), (r'\+\+', '--'),
    (r'(?<=[(\s])!(?!=)', ''),
]
# A statement that is a call and nothing else, on a line of its own.
CALL = re.compile(r'^(\s*)(\(void\))?[a-z_][\w]*\([^;]*\);\s*$')


def code_lines(text):
    """The lines that hold code: no comments, no preprocessor lines, no
    lines in which a string or character holds the text to change."""
    for number, line in enumerate(text.split('\n')):
        stripped = line.strip()
        if stripped.startswith(('//', '#', '*', '/*')) or not stripped:
            continue
        # Strings keep their length, so that places in code are places in
        # the line.
        code = re.sub(r'"(\\.|[^"\\])*"|\'(\\.|[^\'\\])*\'',
                      lambda m: m.group(0)[0] + 'x' * (len(m.group(0)) - 2) +
                      m.group(0)[0], line)
        code = code.split('//')[0]
        yield number, line, code


def places(path):
    text = open(os.path.join(ROOT, path)).read()
    found = []
    for number, line, code in code_lines(text):
        for pattern, replacement in SWAPS:
            for match in re.finditer(pattern, code):
                found.append((path, number, match.start(), match.end(),
                              replacement))
        if CALL.match(line) and 'return' not in line:
            found.append((path, number, None, None, None))
    return found


def mutate(text, place):
    path, number, start, end, replacement = place
    lines = text.split('\n')
    line = lines[number]
    if start is None:
        lines[number] = re.sub(r'\S.*', '; // removed', line, count=1)
    else:
        lines[number] = line[:start] + replacement + line[end:]
    return '\n'.join(lines), line.strip(), lines[number].strip()


def run(command, cwd, timeout=None):
    try:
        return subprocess.run(command, cwd=cwd, timeout=timeout,
                              stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode
    except subprocess.TimeoutExpired:
        return -1


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--count', type=int, default=60)
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--keep', action='store_true',
                        help='keep the scratch folder')
    parser.add_argument('files', nargs='*', default=FILES)
    args = parser.parse_args()

    scratch = tempfile.mkdtemp(prefix='seed-faults.')
    source = os.path.join(scratch, 'source')
    build = os.path.join(scratch, 'build')
    tracked = subprocess.run(['git', 'ls-files'], cwd=ROOT, check=True,
                             capture_output=True, text=True).stdout.split()
    for name in tracked:
        os.makedirs(os.path.dirname(os.path.join(source, name)) or source,
                    exist_ok=True)
        shutil.copy2(os.path.join(ROOT, name), os.path.join(source, name))
    tests = ['ctest', '--test-dir', build, '--timeout', '120']
    if (run(['cmake', '-S', source, '-B', build, '-DMORVANE_CUPS=ON',
             '-DMORVANE_CUPS_TEST=ON'], scratch) or
            run(['cmake', '--build', build, '-j2'], scratch) or
            run(tests, scratch)):
        sys.exit('the unchanged sources do not build or pass: ' + scratch)

    candidates = [p for f in args.files for p in places(f)]
    chosen = random.Random(args.seed).sample(
        candidates, min(args.count, len(candidates)))
    built = caught = 0
    missed = []
    for i, place in enumerate(chosen, 1):
        path = os.path.join(source, place[0])
        original = open(path).read()
        text, before, after = mutate(original, place)
        open(path, 'w').write(text)
        what = '%s:%d: %s  ->  %s' % (place[0], place[1] + 1, before, after)
        if run(['cmake', '--build', build, '-j2'], scratch) != 0:
            status = 'does not build'
        else:
            built += 1
            if run(tests, scratch, timeout=600) != 0:
                caught += 1
                status = 'caught'
            else:
                missed.append(what)
                status = 'MISSED'
        print('%2d/%d %-14s %s' % (i, len(chosen), status, what), flush=True)
        open(path, 'w').write(original)
    run(['cmake', '--build', build, '-j2'], scratch)
    print('\ncaught %d of the %d faults that built' % (caught, built))
    for what in missed:
        print('  missed: ' + what)
    if not args.keep:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == '__main__':
    main()
