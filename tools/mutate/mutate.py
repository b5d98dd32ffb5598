#!/usr/bin/env python3
"""Mutation testing of glyphHerder's library sources (README.md beside this file).

    python3 tools/mutate/mutate.py [PATH...] [--sample N --seed S] [--resume]
                                   [--list | --dry-run | --report] [--jobs N]
"""
import argparse
import os
import random
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import rooms  # noqa: E402
from campaign import Campaign, CMakeBackend, CommandBackend  # noqa: E402
from lexer import LexError  # noqa: E402
from mutant import OPERATORS  # noqa: E402
from operators import mutants_of  # noqa: E402
from report import build_report  # noqa: E402
from state import STATUSES, State, load_equivalents, load_records  # noqa: E402
from structure import StructureError  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    p.add_argument("paths", nargs="*", help="files or folders to mutate (default: every room)")
    p.add_argument("--root", default=ROOT, help="the source tree (default: this repository)")
    p.add_argument("--rooms", help="comma-separated room folders (default: %s)" % ",".join(rooms.ROOMS))
    p.add_argument("--ops", help="comma-separated operators (default: all of %s)" % ",".join(OPERATORS))
    p.add_argument("--sample", type=int, help="run N mutants drawn at random")
    p.add_argument("--seed", type=int, default=1, help="seed of the draw (default 1)")
    p.add_argument("--resume", action="store_true",
                   help="keep the results so far, skip those mutants; a --sample draw keeps\n"
                        "the mutants already run that still exist and draws only the rest")
    p.add_argument("--again", help="with --resume, run again the mutants with these verdicts\n"
                                   "(comma-separated, e.g. survived after adding tests)")
    p.add_argument("--sanitize", action="store_true",
                   help="build with the sanitizers (AddressSanitizer, LeakSanitizer, UBSan), in\n"
                        "src-sanitized and build-sanitized of the work folder; with --resume\n"
                        "--again survived, what only they catch is recorded killed")
    p.add_argument("--only", help="comma-separated mutant ids (or @FILE, one id a line): run these alone")
    p.add_argument("--jobs", type=int, default=1, help="mutants built and tested at once (default 1)")
    p.add_argument("--work", help="work folder (default: ROOT/build/mutate)")
    p.add_argument("--equivalents", help="equivalent mutants (default: ROOT/tests/mutation_equivalents.txt)")
    p.add_argument("--timeout-factor", type=float, default=3.0,
                   help="a mutant's tests may take this many times the baseline (default 3)")
    p.add_argument("--min-timeout", type=float, default=30.0, help="but never less, in seconds (default 30)")
    p.add_argument("--build-command", help="shell command replacing the CMake build ({src} {build} {room})")
    p.add_argument("--test-command", help="shell command replacing ctest ({src} {build} {room} {tests})")
    mode = p.add_mutually_exclusive_group()
    mode.add_argument("--list", action="store_true", help="list the mutants (id, place, change), run nothing")
    mode.add_argument("--dry-run", action="store_true", help="say what a run would do, run nothing")
    mode.add_argument("--report", action="store_true", help="print the report of the results so far")
    args = p.parse_args(argv)
    if bool(args.build_command) != bool(args.test_command):
        p.error("--build-command and --test-command go together")
    args.root = os.path.abspath(args.root)
    args.work = os.path.abspath(args.work or os.path.join(args.root, "build", "mutate"))
    if args.equivalents is None:
        args.equivalents = os.path.join(args.root, "tests", "mutation_equivalents.txt")
    args.again = set(args.again.split(",")) if args.again else set()
    if args.again - set(STATUSES):
        p.error("unknown verdict(s): %s" % ", ".join(sorted(args.again - set(STATUSES))))
    if args.only:
        if args.only.startswith("@"):
            with open(args.only[1:], encoding="utf-8") as f:
                args.only = {line.split()[0] for line in f if line.strip() and not line.startswith("#")}
        else:
            args.only = set(args.only.split(","))
    args.rooms = args.rooms.split(",") if args.rooms else None
    args.ops = set(args.ops.split(",")) if args.ops else None
    if args.ops and not args.ops <= set(OPERATORS):
        p.error("unknown operator(s): %s" % ", ".join(sorted(args.ops - set(OPERATORS))))
    return args


def generate(args, log):
    """Every mutant of the sources asked for, in a stable order."""
    all_mutants = []
    for room, rel in rooms.discover(args.root, args.rooms, args.paths):
        with open(os.path.join(args.root, rel), encoding="utf-8", newline="") as f:
            text = f.read()
        try:
            found = mutants_of(rel, text, args.ops)
        except (LexError, StructureError) as e:
            log("skipped %s: %s" % (rel, e))
            continue
        for m in found:
            m.room = room
        all_mutants += sorted(found, key=lambda m: (m.start, m.op, m.replacement))
    return all_mutants


def select(mutants, sample, seed, keep=frozenset(), only=None):
    """The mutants to run.  A draw keeps those in `keep` (already run) and draws
    only the rest, so that edits to the sources between sessions, which add and
    drop mutants, do not throw away what has run."""
    if only is not None:
        return [m for m in mutants if m.id in only]
    if sample is None or sample >= len(mutants):
        return list(mutants)
    ids = sorted(m.id for m in mutants)
    kept = [i for i in ids if i in keep][:sample]
    rest = [i for i in ids if i not in keep]
    chosen = set(kept) | set(random.Random(seed).sample(rest, sample - len(kept)))
    return [m for m in mutants if m.id in chosen]


def main(argv=None):
    args = parse_args(argv)

    def log(text):
        print(text, file=sys.stderr, flush=True)

    mutants = generate(args, log)
    if not mutants:
        log("no source to mutate under %s" % (", ".join(args.paths) or "the rooms"))
        return 2
    state_path = os.path.join(args.work, "state.jsonl")
    resume = args.resume or args.dry_run or args.report
    done = load_records(state_path) if resume else {}
    chosen = select(mutants, args.sample, args.seed, keep=frozenset(done), only=args.only)
    if args.only is not None and len(chosen) < len(args.only):
        log("not found: %s" % ", ".join(sorted(args.only - {m.id for m in chosen})))
    equivalents = load_equivalents(args.equivalents)
    report_path = os.path.join(args.work, "report.md")

    if args.list:
        for m in chosen:
            print("%s\t%s:%d\t%s\t%s" % (m.id, m.path, m.line, m.op, m.change()))
        log("%d mutants (%d in all in these files)" % (len(chosen), len(mutants)))
        return 0
    if args.report:
        print(_report(_records_of(done, chosen), chosen, equivalents, len(mutants)), end="")
        return 0

    todo = [m for m in chosen if m.id not in equivalents
            and (m.id not in done or done[m.id]["status"] in args.again)]
    jobs = max(1, args.jobs)
    test_table = None
    if args.build_command:
        backends = [CommandBackend(args.work, i, args.build_command, args.test_command, test_table)
                    for i in range(jobs)]
    else:
        backends = [CMakeBackend(args.work, i, test_table, build_jobs=max(1, 2 // jobs),
                                 test_jobs=max(1, 2 // jobs), sanitize=args.sanitize)
                    for i in range(jobs)]
    if args.dry_run:
        print("%d mutants chosen of %d; %d done already, %d equivalent; %d to run with %d job(s)."
              % (len(chosen), len(mutants), len(chosen) - len(todo) - sum(
                  1 for m in chosen if m.id in equivalents and m.id not in done),
                 sum(1 for m in chosen if m.id in equivalents), len(todo), jobs))
        print("work folder: %s (copy %s, state %s)" % (args.work, backends[0].src, state_path))
        for room in sorted({m.room for m in todo}):
            print("room %s: %s" % (room, backends[0].describe(room)))
        for m in todo:
            m.apply(open(os.path.join(args.root, m.path), encoding="utf-8", newline="").read())
            print("would run %s:%d %s %s" % (m.path, m.line, m.op, m.change()))
        return 0

    state = State(state_path, resume)
    campaign = Campaign(backends, state, args.root, exclude=[args.work],
                        timeout_factor=args.timeout_factor, min_timeout=args.min_timeout, log=log)
    started = time.monotonic()
    try:
        if todo:
            campaign.prepare({m.room for m in todo})
            campaign.run(todo)
    except KeyboardInterrupt:
        log("interrupted: the results so far are in %s (--resume goes on)" % state_path)
        return 130
    except RuntimeError as e:
        log("mutate: %s" % e)
        return 2
    finally:
        records = _records_of(state.records, chosen)
        if records:
            ran = list(records.values())
            text = _report(records, chosen, equivalents, len(mutants),
                           sum(e["seconds"] for e in ran) / len(ran))
            with open(report_path, "w", encoding="utf-8") as f:
                f.write(text)
    log("%d mutants run in %.0f s; report: %s" % (len(todo), time.monotonic() - started, report_path))
    print(open(report_path, encoding="utf-8").read() if os.path.exists(report_path) else "", end="")
    return 0


def _records_of(records, chosen):
    """The results of the mutants chosen: those of mutants whose lines have since
    changed, or of another draw, stay in the state file but not in the report."""
    ids = {m.id for m in chosen}
    return {i: e for i, e in records.items() if i in ids}


def _report(records, chosen, equivalents, generated, seconds_per_mutant=None):
    entries = dict(records)
    for m in chosen:
        if m.id in equivalents:
            entries[m.id] = {"id": m.id, "path": m.path, "line": m.line, "room": m.room,
                             "op": m.op, "change": m.change(), "line_text": m.line_text.strip(),
                             "status": "equivalent", "seconds": 0}
    return build_report(entries, equivalents, generated, seconds_per_mutant=seconds_per_mutant,
                        parsers=rooms.PARSERS)


if __name__ == "__main__":
    sys.exit(main())
