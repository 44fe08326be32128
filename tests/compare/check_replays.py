#!/usr/bin/env python3
"""Checks the exact replay of the targets that --abstract finds through
generalised rules, against the run without abstraction, over a corpus.

    check_replays.py VORN ROOT [--count N] [--depths 1,2] [--min-replayed K]

For each model (examples/, the conformance cases under tests/e2e/conformance,
and N random models of bench/gen_random.py, plain and shaped as protocols),
runs vorn without options and with --abstract=D for each depth D, all bounded
(--max-rules 1500 --time-limit 2), and reads the verdicts from --json. Where
both runs completed:
  - where a target found through generalised rules was replayed, the run
    without abstraction must find an attack too (a replayed run is a run of
    the model);
  - an attack of the run without abstraction is an attack or a possible
    attack with it (the abstraction loses no target).
Fails on a model that breaks either, or when fewer than K targets found
through generalised rules were replayed over the corpus (so that a replay
that never succeeds does not pass unseen).
"""
import argparse
import glob
import json
import os
import subprocess
import sys
import tempfile

BOUND = ["--max-rules", "1500", "--time-limit", "2"]


def run(vorn, model, options, scratch):
    out = os.path.join(scratch, "run.json")
    if os.path.exists(out):
        os.remove(out)
    subprocess.run([vorn, "-q", *BOUND, *options, "--json", out, model], stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, cwd=os.path.dirname(os.path.abspath(model)), timeout=60)
    if not os.path.exists(out):
        return None
    # A model error writes no results.
    try:
        with open(out) as f:
            return json.load(f)
    except ValueError:
        return None


def corpus(root, count, scratch):
    models = sorted(glob.glob(os.path.join(root, "examples", "*.vorn")))
    models += sorted(glob.glob(os.path.join(root, "tests", "e2e", "conformance", "*", "*.vorn")))
    for kind, flags in (("random", []), ("protocol", ["--protocol"])):
        folder = os.path.join(scratch, kind)
        os.makedirs(folder)
        subprocess.run([sys.executable, os.path.join(root, "bench", "gen_random.py"), "1", *flags, "--count",
                        str(count), "--out-dir", folder], check=True)
        models += sorted(glob.glob(os.path.join(folder, "*.vorn")))
    return models


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("vorn")
    parser.add_argument("root")
    parser.add_argument("--count", type=int, default=100)
    parser.add_argument("--depths", default="1,2")
    parser.add_argument("--min-replayed", type=int, default=1)
    args = parser.parse_args()
    depths = [int(d) for d in args.depths.split(",")]
    failures = []
    compared = generalised = replayed = 0
    with tempfile.TemporaryDirectory() as scratch:
        for model in corpus(args.root, args.count, scratch):
            exact = run(args.vorn, model, [], scratch)
            if exact is None or not exact["completed"]:
                continue
            for depth in depths:
                abstract = run(args.vorn, model, ["--abstract=%d" % depth], scratch)
                if abstract is None or not abstract["completed"]:
                    continue
                compared += 1
                targets = abstract.get("target_rules", [])
                generalised += sum(1 for t in targets if t.get("generalised"))
                replayed += sum(1 for t in targets if t.get("replayed"))
                first, second = exact["verdict"]["result"], abstract["verdict"]["result"]
                if any(t.get("replayed") for t in targets) and first != "attack":
                    failures.append("%s, --abstract=%d: a replayed attack, but %s without it" % (model, depth, first))
                if first == "attack" and second not in ("attack", "possible"):
                    failures.append("%s, --abstract=%d: %s, but attack without it" % (model, depth, second))
    print("%d runs compared: %d targets found through generalised rules, %d of them replayed"
          % (compared, generalised, replayed))
    for failure in failures:
        print("FAILS " + failure)
    if replayed < args.min_replayed:
        print("fewer than %d targets replayed" % args.min_replayed)
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
