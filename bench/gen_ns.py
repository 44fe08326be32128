#!/usr/bin/env python3
"""Writes the Needham-Schroeder public-key benchmark model with N honest agents.

The protocol, between an initiator A and a responder B, each with a key pair
(secret key sk(X), public key pk(sk(X))):

    1. A -> B: aenc(<na, A>, pk(B))
    2. B -> A: aenc(<na, nb>, pk(A))          Lowe's fix: aenc(<na, <nb, B>>, pk(A))
    3. A -> B: aenc(nb, pk(B))

The agents are a1[] .. aN[], all honest, and i[], whose secret key the
attacker holds. Each session is a process keyed by a nonce: Ini/IniDone for
the initiator before and after message 2, Res/ResDone for the responder
before and after message 3; every nonce a session draws comes with a fresh
event Gen(*n, role), which keeps the sessions apart. The property: a
responder that finished a run with an honest peer keeps its nonce nb secret
(Leak(nb) must be unreachable). The access query starts from any number of
initiator sessions of a1[].

The original protocol has Lowe's man-in-the-middle attack (ns1: one target
rule); Lowe's fix has none. The rule count of a run grows quickly with N:
ns1 makes 205 rules, ns2 about 4,000, ns5 more than half a million.

usage: bench/gen_ns.py N [--lowe] > model.vorn
       bench/gen_ns.py --write DIR [N]   writes ns1..nsN and nsl1..nslN (N 5 by
                                         default) into DIR
"""
import argparse
import os
import sys

# What every party, and the attacker, can do with messages.
ATTACKER = [
    "! k(x), k(y) -[ ]-> k(pair(x, y));",
    "! k(pair(x, y)) -[ ]-> k(x);",
    "! k(pair(x, y)) -[ ]-> k(y);",
    "! k(x), k(y) -[ ]-> k(aenc(x, y));",
    # Decryption needs the secret key whose public key encrypted.
    "! k(aenc(x, pk(y))), k(y) -[ ]-> k(x);",
    "! k(x) -[ ]-> k(pk(x));",
]

DECLARATIONS = [
    "$ Ini(*s, a, b, na);",
    "$ IniDone(*s, a, b, na, nb);",
    "$ Res(*s, b, a, na, nb);",
    "$ ResDone(*s, b, a, na, nb);",
    "$ Leak(x);",
    "$ Gen(*n, r);",
]


def pair(*parts):
    """Right-nested pairs: <a, b, c> is pair(a, pair(b, c))."""
    if len(parts) == 1:
        return parts[0]
    return f"pair({parts[0]}, {pair(*parts[1:])})"


def aenc(message, owner):
    return f"aenc({message}, pk(sk({owner})))"


def initiator(a, lowe):
    """The rules of agent a as initiator, talking to any peer x."""
    message2 = pair("[na]", "[m]", "x") if lowe else pair("[na]", "[m]")
    return [
        # A session starts with a fresh nonce, for a peer whose name is known.
        f"? k(x), Gen([na], ini[]) -[ ]-> <, Ini([s], {a}, x, [na])>;",
        # Message 1.
        f"! -[ Ini([s], {a}, x, [na]) ]-> k({aenc(pair('[na]', a), 'x')});",
        # Message 2 received: the session learns nb.
        f"? k({aenc(message2, a)}) -[ ]-> "
        f"<Ini([s], {a}, x, [na]), IniDone([s], {a}, x, [na], [m])>;",
        # Message 3.
        f"! -[ IniDone([s], {a}, x, [na], [m]) ]-> k({aenc('[m]', 'x')});",
    ]


def responder(a, lowe):
    """The rules of agent a as responder, answering any peer w."""
    message2 = pair("[z]", "[nb]", a) if lowe else pair("[z]", "[nb]")
    return [
        # Message 1 received: a session starts with a fresh nonce nb.
        f"? k({aenc(pair('[z]', 'w'), a)}), Gen([nb], res[]) -[ ]-> "
        f"<, Res([t], {a}, w, [z], [nb])>;",
        # Message 2.
        f"! -[ Res([t], {a}, w, [z], [nb]) ]-> k(aenc({message2}, pk(sk(w))));",
        # Message 3 received: the run is complete.
        f"? k({aenc('[nb]', a)}) -[ ]-> "
        f"<Res([t], {a}, w, [z], [nb]), ResDone([t], {a}, w, [z], [nb])>;",
    ]


def secrecy(a, peers):
    """A finished responder run of a with an honest peer keeps nb secret."""
    return [f"! k([nb]) -[ ResDone([t], {a}, {b}, [z], [nb]) ]-> Leak([nb]);" for b in peers]


def model(n, lowe):
    agents = [f"a{j}[]" for j in range(1, n + 1)]
    name = "Needham-Schroeder-Lowe" if lowe else "Needham-Schroeder"
    lines = [f"// {name} public key, {n} honest agent(s) and dishonest i."]
    lines += DECLARATIONS
    lines += ATTACKER
    # Names are public; the attacker is the agent i[] and holds its secret key.
    lines += [f"! -[ ]-> k({agent});" for agent in agents + ["i[]"]]
    lines.append("! -[ ]-> k(sk(i[]));")
    for a in agents:
        lines += initiator(a, lowe)
        lines += responder(a, lowe)
        lines += secrecy(a, agents)
    lines.append(f"% Ini([s], {agents[0]}, x, [na]) * true;")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("n", nargs="?", type=int, help="number of honest agents (1 or more)")
    parser.add_argument("--lowe", action="store_true", help="Lowe's fixed protocol")
    parser.add_argument("--write", metavar="DIR", help="write ns1..nsMAX and nsl1..nslMAX into DIR")
    args = parser.parse_args()
    if args.write:
        # With --write, N is the largest model written.
        top = args.n if args.n is not None else 5
        os.makedirs(args.write, exist_ok=True)
        for n in range(1, top + 1):
            for lowe, prefix in ((False, "ns"), (True, "nsl")):
                with open(os.path.join(args.write, f"{prefix}{n}.vorn"), "w") as out:
                    out.write(model(n, lowe))
        return 0
    if args.n is None or args.n < 1:
        parser.error("N must be a whole number of 1 or more")
    sys.stdout.write(model(args.n, args.lowe))
    return 0


if __name__ == "__main__":
    sys.exit(main())
