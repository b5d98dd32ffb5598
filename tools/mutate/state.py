"""The run's memory: one JSON line per mutant tried, and the equivalents list."""
import json
import os
import threading
import time

KILLED, SURVIVED, TIMEOUT, BUILD_FAILED = "killed", "survived", "timeout", "build_failed"
# The mutated file is compiled into nothing this machine builds (an ARM
# kernel on x86, say): no test can see the mutant here.
NOT_BUILT = "not_built"
STATUSES = (KILLED, SURVIVED, TIMEOUT, BUILD_FAILED, NOT_BUILT)


class State:
    """Results in a JSON lines file; the last line about a mutant wins."""

    def __init__(self, path, resume):
        self.path = path
        self.lock = threading.Lock()
        self.records = {}
        if resume:
            self.records = load_records(path)
        elif os.path.exists(path):
            os.replace(path, path + ".prev")  # a fresh run keeps the last one's results aside

    def done(self, mutant_id):
        return mutant_id in self.records

    def record(self, mutant, status, seconds, detail=""):
        entry = {
            "id": mutant.id, "path": mutant.path, "line": mutant.line, "room": mutant.room,
            "op": mutant.op, "change": mutant.change(), "line_text": mutant.line_text.strip(),
            "status": status, "seconds": round(seconds, 2), "detail": detail,
            "when": time.strftime("%Y-%m-%dT%H:%M:%S"),
        }
        with self.lock:
            os.makedirs(os.path.dirname(os.path.abspath(self.path)), exist_ok=True)
            with open(self.path, "a", encoding="utf-8") as f:
                f.write(json.dumps(entry, sort_keys=True) + "\n")
            self.records[mutant.id] = entry
        return entry


def load_records(path):
    records = {}
    if not os.path.exists(path):
        return records
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line:
                continue
            try:
                entry = json.loads(line)
            except ValueError:
                continue  # a line cut short by a crash
            if entry.get("status") in STATUSES:
                records[entry["id"]] = entry
    return records


def load_equivalents(path):
    """{mutant id: reason} from lines `ID reason...`; '#' starts a comment line."""
    equivalents = {}
    if not path or not os.path.exists(path):
        return equivalents
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            parts = line.split(None, 1)
            if len(parts) < 2:
                raise ValueError("%s:%d: an equivalent needs a reason after its id" % (path, number))
            equivalents[parts[0]] = parts[1]
    return equivalents
