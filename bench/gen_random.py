#!/usr/bin/env python3
"""Writes a random vorn model to standard output, for differential testing.

    bench/gen_random.py SEED [options]

The same SEED and options always give the same model. The models mean nothing
as protocols; they are built to make rules meet in the engine: a few states
(keyed by their starred positions) and events, small shared pools of
variables x y z, constants a[] b[] c[], nonces [n] [o], configurations |c| |d|
and functions g/1 h/1 enc/2 pair/2, consistent rules, transfer rules with
converting and creating conversions, and access queries.

A generated model follows the grammar and avoids the model errors that are
easy to avoid (an undeclared name, too many arguments, a starred event
position that is not a nonce, two states of one process in a rule, a premise
equal to the conclusion, a bare variable concluded without a premise to
resolve), so that most models run to the end. Knowledge is mostly drawn from
a few shared messages and states from those written before, and queries are
mostly instances of the rules' states, so that rules compose, final rules are
carried back through transfer rules and queries find target rules. With the
default sizes nearly all models saturate within a second.

--sloppy P uses, with probability P per occurrence, a wrong number of
arguments for a function, state or event, which the engine reports only when
it meets it. See --help for the sizes.
"""
import argparse
import random
import re
import sys

VARIABLES = ["x", "y", "z"]
CONSTANTS = ["a[]", "b[]", "c[]"]
NONCES = ["[n]", "[o]"]
CONFIGURATIONS = ["|c|", "|d|"]
FUNCTIONS = {"g": 1, "h": 1, "enc": 2, "pair": 2}
STATE_NAMES = ["A", "B", "C", "D"]
EVENT_NAMES = ["e", "f", "u"]

# Usual attacker capabilities over the functions above.
ATTACKER_RULES = [
    "! k(x), k(y) -[  ]-> k(pair(x, y));",
    "! k(pair(x, y)) -[  ]-> k(x);",
    "! k(pair(x, y)) -[  ]-> k(y);",
    "! k(enc(x, y)), k(y) -[  ]-> k(x);",
    "! k(x) -[  ]-> k(h(x));",
]


class Declaration:
    def __init__(self, name, stars):
        self.name = name
        self.stars = stars  # one flag per position: starred or not

    def text(self):
        positions = []
        for i, starred in enumerate(self.stars):
            positions.append(("*" if starred else "") + "pqrs"[i])
        return "$ %s(%s);" % (self.name, ", ".join(positions))


class Rule:
    """What one rule has used so far, to keep the rule valid."""

    def __init__(self):
        self.fresh = set()  # nonces at starred event positions
        self.keys = set()  # (state name, key text) of the rule's processes


class ModelWriter:
    def __init__(self, rng, args):
        self.rng = rng
        self.args = args
        self.states = []
        self.events = []
        self.messages = []  # terms that several rules send and receive
        self.seen = []  # (declaration, arguments) of the states written so far

    def chance(self, p):
        return self.rng.random() < p

    def sloppy(self):
        return self.args.sloppy > 0 and self.chance(self.args.sloppy)

    def count(self, low, high):
        return self.rng.randint(low, high)

    # Terms -----------------------------------------------------------------

    def term(self, depth, variable=True):
        """A term; a bare variable only when `variable` is true."""
        weights = {"var": 3 if variable else 0, "const": 3, "nonce": 1.5,
                   "conf": 0 if self.args.no_configurations else 1,
                   "func": 2.5 if depth < self.args.depth else 0}
        kind = self.rng.choices(list(weights), weights=list(weights.values()))[0]
        if kind == "var":
            return self.rng.choice(VARIABLES)
        if kind == "const":
            return self.rng.choice(CONSTANTS)
        if kind == "nonce":
            return self.rng.choice(NONCES)
        if kind == "conf":
            return self.rng.choice(CONFIGURATIONS)
        name = self.rng.choice(list(FUNCTIONS))
        arity = FUNCTIONS[name]
        if self.sloppy():
            arity = self.rng.choice([a for a in range(0, 4) if a != arity])
        return "%s(%s)" % (name, ", ".join(self.term(depth + 1) for _ in range(arity)))

    def arguments(self, decl):
        """How many arguments a fact of `decl` gets: all, or (sloppy) one fewer."""
        if self.sloppy() and len(decl.stars) > 0:
            return len(decl.stars) - 1
        return len(decl.stars)

    # Facts -----------------------------------------------------------------

    def event(self, rule):
        decl = self.rng.choice(self.events)
        args = []
        for i in range(self.arguments(decl)):
            if decl.stars[i]:
                unused = [n for n in NONCES if n not in rule.fresh]
                if not unused:
                    return None
                nonce = self.rng.choice(unused)
                rule.fresh.add(nonce)
                args.append(nonce)
            else:
                args.append(self.term(1))
        return "%s(%s)" % (decl.name, ", ".join(args))

    def state_argument(self, starred):
        """A position of a state: keys and steps are mostly plain names, so that
        processes are told apart and steps are matched."""
        if self.chance(0.6):
            return self.rng.choice(CONSTANTS + NONCES + VARIABLES if starred else CONSTANTS)
        return self.term(1)

    def state(self, rule, decl=None, key=None):
        """A state of a process the rule does not have yet; None if none was found.

        With `decl` and `key`, a state of that declaration whose starred positions
        are taken from `key`; else now and then a state written before."""
        for _ in range(10):
            d = decl or self.rng.choice(self.states)
            args = [self.state_argument(starred) for starred in d.stars[: self.arguments(d)]]
            if key is not None:
                args = [key[i] if starred and i < len(key) else a
                        for i, (a, starred) in enumerate(zip(args, d.stars))]
            elif decl is None and self.seen and self.chance(self.args.reuse):
                d, args = self.rng.choice(self.seen)
            ident = (d.name, tuple(a for a, s in zip(args, d.stars) if s))
            if ident in rule.keys:
                if key is not None:
                    return None
                continue
            rule.keys.add(ident)
            self.seen.append((d, args))
            return d, args, "%s(%s)" % (d.name, ", ".join(args))
        return None

    def message(self, variable=True):
        """A term known or sent by a rule: mostly one of the model's messages."""
        if self.messages and self.chance(self.args.reuse):
            return self.rng.choice(self.messages)
        return self.term(1, variable)

    def bind(self, term, facts):
        """`term` with most of its variables that occur in none of `facts` made constants.

        A known term with a variable of its own stands for every value; projected
        out, it would let the attacker know anything, which the tool refuses."""
        bound = set(re.findall(r"\b[xyz]\b", " ".join(facts)))

        def replace(match):
            if match.group(0) in bound or self.chance(0.1):
                return match.group(0)
            return self.rng.choice(CONSTANTS)

        return re.sub(r"\b[xyz]\b", replace, term)

    def premise(self, rule):
        if self.events and self.chance(0.25):
            fact = self.event(rule)
            if fact is not None:
                return fact
        return "k(%s)" % self.message()

    def premises(self, rule, high):
        facts = []
        for _ in range(self.rng.choices(range(high + 1), weights=[3, 4, 3, 1][: high + 1])[0]):
            fact = self.premise(rule)
            if fact not in facts:
                facts.append(fact)
        return facts

    def state_list(self, rule, high):
        states = []
        for _ in range(self.rng.choices(range(high + 1), weights=[4, 4, 2][: high + 1])[0]):
            s = self.state(rule)
            if s is not None:
                states.append(s[2])
        return states

    # Items -----------------------------------------------------------------

    def declarations(self):
        names = self.rng.sample(STATE_NAMES, self.count(2, 4))
        for name in sorted(names):
            arity = self.count(1, 3)
            stars = [True] + [False] * (arity - 1)
            if arity > 1 and self.chance(0.15):
                stars[1] = True
            if self.chance(0.1):
                stars[0] = False
            self.states.append(Declaration(name, stars))
        for name in sorted(self.rng.sample(EVENT_NAMES, self.count(1, 2))):
            arity = self.count(1, 2)
            stars = [arity == 2 and self.chance(0.6)] + [False] * (arity - 1)
            self.events.append(Declaration(name, stars))

    def consistent_rule(self):
        """An output (no premise, concludes knowledge), a goal (premises, concludes
        an event) or a rule of any shape, so that rules that provide knowledge
        meet rules that need it."""
        rule = Rule()
        shape = self.rng.choices(["output", "goal", "any"], weights=[3, 3, 4])[0]
        premises = [] if shape == "output" else self.premises(rule, 2 if shape == "goal" else 3)
        states = self.state_list(rule, 2)
        if shape == "goal" and not states:
            # A goal mostly speaks of a process, which transfer rules lead to.
            made = self.state(rule) if self.chance(0.4) else None
            states = [made[2]] if made else []
        # A bare variable is concluded only with a premise to resolve that is
        # not a configuration (the tool also tries the rule without that one).
        selectable = any(p.startswith("k(") and p[2] not in "|" and p[2:-1] not in VARIABLES
                         for p in premises)
        conclusion = None
        if self.events and (shape == "goal" or shape == "any" and self.chance(0.3)):
            conclusion = self.event(rule)
        while conclusion is None or conclusion in premises:
            conclusion = "k(%s)" % self.bind(self.message(variable=selectable), premises + states)
        return "! %s -[ %s ]-> %s;" % (", ".join(premises), ", ".join(states), conclusion)

    def conversion(self, rule):
        if self.chance(0.3):
            # A creating conversion: a new process, mostly keyed by a nonce.
            decl = self.rng.choice(self.states)
            key = [self.rng.choice(NONCES) if self.chance(0.6) else self.term(1)
                   for _ in decl.stars]
            made = self.state(rule, decl, key)
            return None if made is None else "<, %s>" % made[2]
        source = self.state(rule)
        if source is None:
            return None
        decl, args, text = source
        # The process mostly keeps its name and key and changes its other
        # positions, now and then to those of a state written before.
        target_decl = decl if self.chance(0.8) else self.rng.choice(self.states)
        earlier = [a for d, a in self.seen if d is target_decl and a != args]
        keep_key = self.chance(0.85)
        for _ in range(5):
            if earlier and self.chance(self.args.reuse):
                target = list(self.rng.choice(earlier))
            else:
                target = [self.state_argument(starred)
                          for starred in target_decl.stars[: self.arguments(target_decl)]]
            if keep_key:
                target = [args[i] if starred and i < len(args) else a
                          for i, (a, starred) in enumerate(zip(target, target_decl.stars))]
            if target_decl is not decl or target != args:
                break  # a step that changes something
            keep_key = False
        self.seen.append((target_decl, target))
        return "<%s, %s(%s)>" % (text, target_decl.name, ", ".join(target))

    def transfer_rule(self):
        rule = Rule()
        premises = self.premises(rule, 2)
        states = self.state_list(rule, 1)
        conversions = []
        for _ in range(self.rng.choices([1, 2], weights=[3, 1])[0]):
            c = self.conversion(rule)
            if c is not None:
                conversions.append(c)
        if not conversions:
            return None
        return "? %s -[ %s ]-> %s;" % (", ".join(premises), ", ".join(states), ", ".join(conversions))

    def query(self, queries):
        """A queried state: mostly an instance of a state of the rules, which the
        processes of final rules can match."""
        flag = "true" if self.chance(0.4) else "false"
        if self.seen and self.chance(0.7):
            decl, args = self.rng.choice(self.seen)
            args = [self.rng.choice(CONSTANTS + NONCES) if a in VARIABLES and self.chance(0.5) else a
                    for a in args]
            ident = (decl.name, tuple(a for a, s in zip(args, decl.stars) if s))
            if ident not in queries.keys:
                queries.keys.add(ident)
                return "%% %s(%s) * %s;" % (decl.name, ", ".join(args), flag)
        made = self.state(queries)
        if made is None:
            return None
        return "%% %s * %s;" % (made[2], flag)

    def write(self):
        self.declarations()
        self.messages = [self.term(1, variable=False) for _ in range(self.count(2, 4))]
        lines = [d.text() for d in self.states + self.events]
        if self.chance(self.args.attacker):
            lines += self.rng.sample(ATTACKER_RULES, self.count(1, len(ATTACKER_RULES)))
        # The transfer rules are made first, so that the states of the consistent
        # rules can be those the steps lead to; the file mixes both kinds.
        transfer = [self.transfer_rule() for _ in range(self.count(*self.args.transfer))]
        transfer = [rule for rule in transfer if rule is not None]
        consistent = [self.consistent_rule() for _ in range(self.count(*self.args.consistent))]
        rules = consistent + transfer
        self.rng.shuffle(rules)
        if self.chance(0.3):
            rules = consistent + transfer  # now and then all consistent rules first
        lines += rules
        # Rules whose first premise resolves with their own conclusion, made
        # after everything else so that the other models stay as they were.
        if self.args.loops > 0 and self.chance(self.args.loops):
            for _ in range(self.count(1, 2)):
                outer, inner = self.rng.choice(["g", "h"]), self.rng.choice(["g", "h"])
                other = self.rng.choice(["enc", "pair"])
                lines.append("! k(%s(x)), k(%s(x, %s)) -[  ]-> k(%s(%s(x)));"
                             % (outer, other, self.rng.choice(CONSTANTS + ["y"]), outer, inner))
        queries = Rule()
        for _ in range(self.count(*self.args.queries)):
            q = self.query(queries)
            if q is not None:
                lines.append(q)
        return "\n".join(lines) + "\n"


class ProtocolWriter:
    """Models shaped as protocols (--protocol): processes keyed by a device
    name go through modes by transfer rules, some of which need a message or
    another process's state, and now and then go back to an earlier mode; in
    some modes a process outputs a message or opens a ciphertext in one of
    two ways; the goal needs what two modes give, so that runs visit modes in
    turn, take a step again after going back, and interleave processes."""

    ROLES = ["Dev", "Tok"]
    DEVICES = ["d1[]", "d2[]"]

    def __init__(self, rng, args):
        self.rng = rng
        self.args = args

    def chance(self, p):
        return self.rng.random() < p

    def write(self):
        rng = self.rng
        roles = rng.sample(self.ROLES, rng.randint(1, 2))
        lines = ["$ %s(*id, mode, v);" % role for role in roles] + ["$ Bad(p);"]
        lines += ["! k(x), k(y) -[  ]-> k(pair(x, y));",
                  "! k(pair(x, y)) -[  ]-> k(x);",
                  "! k(pair(x, y)) -[  ]-> k(y);",
                  "! k(x), k(y) -[  ]-> k(enc(x, y));"]
        secrets = ["s1[]", "s2[]"]
        rules = ["! -[  ]-> k(enc(pair(%s, %s), key(%s)));" % (secrets[0], secrets[1], rng.choice(self.DEVICES))]
        gives = []  # messages that some mode gives: (term with x, role)
        for role in roles:
            modes = ["m%d[]" % i for i in range(rng.randint(3, 5))]
            # Every mode is reached from the first; some steps go back.
            edges = [(rng.randrange(i), i) for i in range(1, len(modes))]
            for _ in range(rng.randint(1, 2)):
                a, b = rng.randrange(len(modes)), rng.randrange(len(modes))
                if a != b:
                    edges.append((a, b))
            for a, b in edges:
                premise, value = "", "v"
                if gives and self.chance(0.35):
                    term, _ = rng.choice(gives)
                    premise = "k(%s)" % term
                elif self.chance(0.3):
                    premise, value = "k(y)", "y"
                guard = ""
                others = [r for r in roles if r != role]
                if others and self.chance(0.25):
                    guard = "%s(%s, m%d[], u)" % (others[0], rng.choice(self.DEVICES), rng.randrange(3))
                rules.append("? %s -[ %s ]-> <%s(x, %s, v), %s(x, %s, %s)>;"
                             % (premise, guard, role, modes[a], role, modes[b], value))
            # What modes give: a tagged message, or one half of a ciphertext.
            for i, mode in enumerate(modes[1:], 1):
                kind = rng.choice(["tag", "left", "right", "none"])
                if kind == "tag":
                    term = "h(pair(x, %s))" % mode
                    rules.append("! -[ %s(x, %s, v) ]-> k(%s);" % (role, mode, term))
                    gives.append((term, role))
                elif kind in ("left", "right"):
                    half = "p" if kind == "left" else "q"
                    rules.append("! k(enc(pair(p, q), key(x))) -[ %s(x, %s, v) ]-> k(%s);" % (role, mode, half))
            lines += ["%% %s(%s, m0[], none[]) * %s;" % (role, device, "true" if self.chance(0.5) else "false")
                      for device in self.DEVICES[: rng.randint(1, 2)]]
        goals = ["! k(%s), k(%s) -[  ]-> Bad(%s);" % (secrets[0], secrets[1], secrets[0])]
        if len(gives) >= 2:
            (t1, r1), (t2, r2) = rng.sample(gives, 2)
            goals.append("! k(%s), k(%s) -[  ]-> Bad(c[]);" % (t1.replace("x", "d1[]"), t2.replace("x", "d1[]")))
        rules += goals
        rng.shuffle(rules)
        queries = [line for line in lines if line.startswith("%")]
        return "\n".join([line for line in lines if not line.startswith("%")] + rules + queries) + "\n"


def span(text):
    low, _, high = text.partition("-")
    low = int(low)
    high = int(high) if high else low
    if low < 0 or high < low:
        raise argparse.ArgumentTypeError("expected N or LOW-HIGH with 0 <= LOW <= HIGH")
    return low, high


def main():
    parser = argparse.ArgumentParser(description="Write a random vorn model to standard output.")
    parser.add_argument("seed", type=int, help="the seed; one seed, one model")
    parser.add_argument("--consistent", type=span, default=(4, 10), metavar="LOW-HIGH",
                        help="how many consistent rules (default 4-10)")
    parser.add_argument("--transfer", type=span, default=(1, 5), metavar="LOW-HIGH",
                        help="how many transfer rules (default 1-5)")
    parser.add_argument("--queries", type=span, default=(1, 3), metavar="LOW-HIGH",
                        help="how many access queries (default 1-3)")
    parser.add_argument("--depth", type=int, default=3,
                        help="deepest nesting of function terms inside a fact (default 3)")
    parser.add_argument("--attacker", type=float, default=0.25, metavar="P",
                        help="chance of adding some usual attacker rules (default 0.25)")
    parser.add_argument("--reuse", type=float, default=0.5, metavar="P",
                        help="chance that a known or sent term is one of a few shared messages,"
                        " and that a state is one written before (default 0.5)")
    parser.add_argument("--sloppy", type=float, default=0.0, metavar="P",
                        help="chance per occurrence of a wrong number of arguments (default 0)")
    parser.add_argument("--protocol", action="store_true",
                        help="a model shaped as a protocol: processes through modes, messages,"
                        " steps back to earlier modes, a goal that needs two modes (the sizes"
                        " above do not apply)")
    parser.add_argument("--loops", type=float, default=0.0, metavar="P",
                        help="chance of adding rules whose first premise resolves with their"
                        " own conclusion (default 0)")
    parser.add_argument("--no-configurations", action="store_true",
                        help="write no configuration terms (|c|, |d|)")
    parser.add_argument("--count", type=int, default=0, metavar="N",
                        help="write the models of the N seeds from SEED on, each into"
                        " DIR/SEED.vorn (with --out-dir), as one run per seed would")
    parser.add_argument("--out-dir", metavar="DIR", help="the folder for --count")
    args = parser.parse_args()
    if args.consistent[1] < 1:
        parser.error("a model needs at least one consistent rule")
    if args.count > 0 and not args.out_dir:
        parser.error("--count needs --out-dir")
    # The options that make the model, as a run for one seed names them.
    argv = sys.argv[1:]
    options = []
    skip = False
    for i, word in enumerate(argv):
        if skip:
            skip = False
        elif word in ("--count", "--out-dir"):
            skip = True
        elif word.startswith("--count=") or word.startswith("--out-dir="):
            pass
        elif i > 0 or word != str(args.seed):
            options.append(word)
    writer = ProtocolWriter if args.protocol else ModelWriter
    if args.count == 0:
        rng = random.Random(args.seed)
        sys.stdout.write("// bench/gen_random.py %s\n" % " ".join(sys.argv[1:]))
        sys.stdout.write(writer(rng, args).write())
        return
    for seed in range(args.seed, args.seed + args.count):
        with open("%s/%d.vorn" % (args.out_dir, seed), "w") as out:
            out.write("// bench/gen_random.py %s\n" % " ".join([str(seed)] + options))
            out.write(writer(random.Random(seed), args).write())


if __name__ == "__main__":
    main()
