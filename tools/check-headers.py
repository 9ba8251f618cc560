#!/usr/bin/env python3
"""Checks that every header of the given folders compiles on its own (syntax only, no precompiled
header, which would hide a missing include).

Headers are checked in chains rather than one translation unit each: a chain includes headers one
after another where each (through its own includes) already includes the one before it, so what
the earlier ones bring is a part of what the later one brings itself, and a missing include still
fails. That leaves one translation unit per chain, about a third of the headers.

  check-headers.py --root DIR --jobs N FOLDER... -- COMPILER FLAGS...
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def project_includes(root, header):
    """The project headers a header includes, as paths relative to root."""
    with open(os.path.join(root, header), encoding='utf-8', errors='replace') as f:
        text = f.read()
    found = []
    for name in INCLUDE.findall(text):
        for candidate in (name, os.path.normpath(os.path.join(os.path.dirname(header), name))):
            if os.path.isfile(os.path.join(root, candidate)):
                found.append(candidate.replace(os.sep, '/'))
                break
    return found


def chains_of(headers, includes):
    """A smallest set of chains covering the headers, each header transitively including the one
    before it (a path cover of the include order, by bipartite matching)."""
    closure = {}

    def close(h, stack=()):
        if h in closure:
            return closure[h]
        if h in stack:  # an include cycle: no chain through it
            return set()
        seen = set()
        for d in includes.get(h, ()):
            seen.add(d)
            seen |= close(d, stack + (h,))
        closure[h] = seen
        return seen

    for h in headers:
        close(h)
    wanted = set(headers)
    # after[u]: checked headers that include u, so u may stand right before them.
    after = {u: sorted(v for v in headers if v != u and u in closure[v]) for u in headers}
    match_next, match_prev = {}, {}

    def augment(u, visited):
        for v in after[u]:
            if v in visited:
                continue
            visited.add(v)
            if v not in match_prev or augment(match_prev[v], visited):
                match_next[u] = v
                match_prev[v] = u
                return True
        return False

    for u in sorted(headers, key=lambda h: len(closure[h])):
        augment(u, set())
    chains = []
    for h in sorted(wanted):
        if h in match_prev:
            continue
        chain = [h]
        while chain[-1] in match_next:
            chain.append(match_next[chain[-1]])
        chains.append(chain)
    return chains


def main():
    args = sys.argv[1:]
    if '--' not in args:
        sys.exit('usage: check-headers.py --root DIR [--jobs N] FOLDER... -- COMPILER FLAGS...')
    split = args.index('--')
    parser = argparse.ArgumentParser()
    parser.add_argument('--root', required=True)
    parser.add_argument('--jobs', type=int, default=2)
    parser.add_argument('folders', nargs='+')
    opts = parser.parse_args(args[:split])
    compiler = args[split + 1:]
    root = os.path.abspath(opts.root)

    headers = []
    for folder in opts.folders:
        for dirpath, _, files in os.walk(os.path.join(root, folder)):
            for name in files:
                if name.endswith('.h'):
                    headers.append(os.path.relpath(os.path.join(dirpath, name), root).replace(os.sep, '/'))
    headers.sort()
    includes = {}
    pending = list(headers)
    while pending:
        h = pending.pop()
        if h in includes:
            continue
        includes[h] = project_includes(root, h)
        pending.extend(includes[h])
    chains = chains_of(headers, includes)

    with tempfile.TemporaryDirectory() as tmp:
        def compile_chain(index):
            source = os.path.join(tmp, 'chain%d.cpp' % index)
            with open(source, 'w') as f:
                f.writelines('#include "%s"\n' % h for h in chains[index])
            run = subprocess.run(compiler + ['-fsyntax-only', '-I', root, source],
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
            return index, run.returncode, run.stdout

        failed = 0
        with ThreadPoolExecutor(max_workers=max(1, opts.jobs)) as pool:
            for index, rc, output in pool.map(compile_chain, range(len(chains))):
                if rc != 0:
                    failed += 1
                    print('FAILED: %s' % ' <- '.join(reversed(chains[index])))
                    print(output)
    print('%d headers in %d translation units; %d failed' % (len(headers), len(chains), failed))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
