"""The Markdown report: scores per room and per file, and every survivor."""
from collections import OrderedDict

from state import BUILD_FAILED, KILLED, NOT_BUILT, SURVIVED, TIMEOUT

_COLUMNS = ("mutants", "killed", "survived", "timed out", "build failures", "equivalent",
            "not built here", "score", "score by tests")


def _tally(entries):
    t = {"mutants": len(entries), KILLED: 0, SURVIVED: 0, TIMEOUT: 0, BUILD_FAILED: 0,
         "equivalent": 0, NOT_BUILT: 0}
    for e in entries:
        t["equivalent" if e.get("equivalent") else e["status"]] += 1
    # Neither equivalents nor mutants this machine does not build count.
    counted = t["mutants"] - t["equivalent"] - t[NOT_BUILT]
    dead = t[KILLED] + t[TIMEOUT] + t[BUILD_FAILED]
    # Build failures count as killed; the second score leaves them out, as
    # only the tests' own catches are in it.
    t["score"] = _percent(dead, counted)
    t["score by tests"] = _percent(t[KILLED] + t[TIMEOUT], counted - t[BUILD_FAILED])
    return t


def _percent(a, b):
    return "%.1f%%" % (100.0 * a / b) if b else "-"


def _row(name, t):
    cells = [str(t[k]) for k in ("mutants", KILLED, SURVIVED, TIMEOUT, BUILD_FAILED,
                                 "equivalent", NOT_BUILT)] + [t["score"], t["score by tests"]]
    return "| %s | %s |" % (name, " | ".join(cells))


def _table(title, groups):
    lines = ["| %s | %s |" % (title, " | ".join(_COLUMNS)),
             "|---|" + "---:|" * len(_COLUMNS)]
    for name, entries in groups.items():
        lines.append(_row(name, _tally(entries)))
    return lines


def build_report(records, equivalents, generated=None, title="Mutation testing report",
                 seconds_per_mutant=None, parsers=()):
    """Markdown text for the results (records: {id: entry}); equivalents: {id: reason}."""
    entries = []
    for mutant_id, entry in sorted(records.items(), key=lambda kv: (kv[1]["path"], kv[1]["line"])):
        entry = dict(entry)
        entry["equivalent"] = mutant_id in equivalents
        entries.append(entry)
    rooms, files = OrderedDict(), OrderedDict()
    for e in sorted(entries, key=lambda e: (e["room"], e["path"])):
        rooms.setdefault(e["room"], []).append(e)
        files.setdefault(e["path"], []).append(e)
    total = _tally(entries)

    out = ["# " + title, ""]
    summary = ("%d mutants run: %d killed by a test, %d survived, %d timed out, "
               "%d did not build, %d equivalent, %d in code this machine does not build." % (
                   total["mutants"], total[KILLED], total[SURVIVED], total[TIMEOUT],
                   total[BUILD_FAILED], total["equivalent"], total[NOT_BUILT]))
    if generated is not None:
        summary += " (%d generated in the files asked for.)" % generated
    out += [summary, ""]
    counted = total["mutants"] - total["equivalent"] - total[NOT_BUILT]
    out.append("Score: %s of the mutants that are not equivalent are killed (a failed test, a "
               "timeout or a failed build); %s by the tests alone (build failures left out). "
               "Build failures: %s of the mutants." % (
                   total["score"], total["score by tests"], _percent(total[BUILD_FAILED], counted)))
    if seconds_per_mutant is not None:
        out.append("Time: %.1f s per mutant on average." % seconds_per_mutant)
    out += ["", "## Per room", ""]
    out += _table("room", rooms)
    out.append(_row("**all**", total))
    parsing = [e for e in entries if e["path"] in parsers]
    if parsing:
        out += ["", "## Code that parses outside input", ""]
        out += _table("files", OrderedDict([("%d files" % len({e['path'] for e in parsing}), parsing)]))
    out += ["", "## Per file", ""]
    out += _table("file", files)

    survivors = [e for e in entries if e["status"] == SURVIVED and not e["equivalent"]]
    out += ["", "## Survivors (%d)" % len(survivors), ""]
    if not survivors:
        out.append("None.")
    for e in survivors:
        out += ["- `%s:%d` %s: %s" % (e["path"], e["line"], e["op"], e["change"]),
                "  - line: `%s`" % e["line_text"].replace("`", "'"),
                "  - id: `%s`" % e["id"]]
    equivalent = [e for e in entries if e["equivalent"]]
    if equivalent:
        out += ["", "## Equivalent, left out of the score (%d)" % len(equivalent), ""]
        for e in equivalent:
            out.append("- `%s:%d` %s: %s (%s)" % (e["path"], e["line"], e["op"], e["change"],
                                                   equivalents[e["id"]]))
    return "\n".join(out) + "\n"
