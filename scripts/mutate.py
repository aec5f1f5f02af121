#!/usr/bin/env python3
"""Mutation check: do one library's tests notice small faults in its code?

    scripts/mutate.py pick TREE LIBRARY --coverage JSON --count N --seed S --out LIST
    scripts/mutate.py run  TREE LIBRARY --mutants LIST [--build FOLDER] [--timeout SECONDS]

`pick` chooses N single-token mutants, with a fixed seed, on the library's
lines that the coverage run (scripts/coverage.sh, its coverage.json) covered:
a flipped comparison, an off-by-one on an integer literal or a bound, && and ||
swapped, + and - swapped, a dropped statement. Each mutant is kept as its
file, the original line's text, the token's place in that text and the
replacement, so the same list applies to a later tree whose lines moved.
The same seed and coverage with a larger N give the same mutants first, so a
list can be grown without changing what was measured.

`run` applies each mutant in turn to TREE, rebuilds the library's test
programs in a build folder without sanitizers (ccache makes the restored
files cheap), runs them, and puts the source back. A failing test, a crash or
a timeout kills the mutant. A mutant whose line is gone is "not applicable";
one that does not compile is "not compiled"; neither counts. It prints
killed / survived and the list, and with --report writes them as JSON.
"""

import argparse
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time

LIBRARIES = {"base", "platform", "gui", "scene", "launcher"}

# Binary operators stand between spaces in this code base's format, which
# tells them from template brackets, pointers and stream operators.
FLIPS = {"<": ">=", ">=": "<", ">": "<=", "<=": ">", "==": "!=", "!=": "=="}
BOUNDS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">"}
LOGIC = {"&&": "||", "||": "&&"}
ARITH = {"+": "-", "-": "+", "+=": "-=", "-=": "+="}
STEPS = {"++": "--", "--": "++"}

BINARY = re.compile(r"(?<= )(<=|>=|==|!=|&&|\|\||\+=|-=|<|>|\+|-)(?= )")
STEP = re.compile(r"(\+\+|--)")
INTEGER = re.compile(r"(?<![\w.])(\d+)(?![\w.'])")
# A whole statement that calls or assigns: not a declaration, a return, or a
# line of a longer statement.
STATEMENT = re.compile(r"^[\w:.\->\[\]()*]+\s*(\(|=[^=]|\+=|-=|\|=|&=|\+\+|--|\[)")
DECLARATION = re.compile(r"^(const\s+)?[\w:<>,*&]+\s+[*&]?\w+\s*(=|\(|\{|;|\[)")
KEYWORDS = ("return", "break", "continue", "case", "default", "goto", "throw", "delete", "using", "typedef",
            "static_assert", "if", "for", "while", "switch", "do", "else", "}", "{", "#", "//", "/*", "*")


def code_part(text):
    """The line with string and character literals blanked and comments cut,
    so that tokens are found only in code; same length up to the cut."""
    out, i, n = [], 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i) or text.startswith("/*", i):
            break
        if c in "\"'":
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            out.append(c + " " * (min(j, n) - i - 1) + (c if j < n else ""))
            i = j + 1
            continue
        out.append(c)
        i += 1
    return "".join(out)


def candidates(line):
    """Every mutant of one stripped source line: (kind, column, token, replacement)."""
    code = code_part(line)
    if not code.strip() or code.lstrip().startswith(("#", "static_assert", "template", "using", "typedef")):
        return []
    found = []
    for m in BINARY.finditer(code):
        t = m.group(1)
        if t in FLIPS:
            found.append(("comparison", m.start(), t, FLIPS[t]))
        if t in BOUNDS:
            found.append(("bound", m.start(), t, BOUNDS[t]))
        if t in LOGIC:
            found.append(("logic", m.start(), t, LOGIC[t]))
        if t in ARITH:
            found.append(("arithmetic", m.start(), t, ARITH[t]))
    for m in STEP.finditer(code):
        found.append(("arithmetic", m.start(), m.group(1), STEPS[m.group(1)]))
    # Integer literals, but not array sizes or template arguments, where a
    # changed number mostly does not compile or only resizes storage.
    for m in INTEGER.finditer(code):
        before = code[: m.start()].rstrip()
        if before.endswith(("[", "<")) or code[m.end():].lstrip().startswith("]"):
            continue
        v = int(m.group(1), 0) if not m.group(1).startswith("0") or m.group(1) == "0" else None
        if v is None:
            continue
        found.append(("literal", m.start(), m.group(1), str(v + 1)))
        if v > 0:
            found.append(("literal", m.start(), m.group(1), str(v - 1)))
    stripped = code.rstrip()
    if (stripped.endswith(";") and not stripped.startswith(KEYWORDS) and STATEMENT.match(stripped)
            and not DECLARATION.match(stripped) and stripped.count("(") == stripped.count(")")):
        found.append(("statement", 0, line[: len(stripped)], ""))
    return found


def load_lines(path):
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        return f.read().split("\n")


def pick(args):
    data = json.load(open(args.coverage))
    pool = []
    for f in sorted(data["files"], key=lambda f: f["file"]):
        name = f["file"]
        if name.split("/")[0] != args.library:
            continue
        path = os.path.join(args.tree, name)
        if not os.path.exists(path):
            continue
        lines = load_lines(path)
        covered = sorted({l["line_number"] for l in f["lines"] if l["count"] > 0 and not l.get("gcovr/noncode")})
        for number in covered:
            if number > len(lines):
                continue
            text = lines[number - 1]
            stripped = text.strip()
            # A dropped statement only where the line before ends one, so
            # the line is a whole statement, not the tail of one.
            before = lines[number - 2].strip() if number > 1 else ""
            for kind, column, token, replacement in candidates(stripped):
                if kind == "statement" and before and not before.endswith((";", "{", "}", ":")) \
                        and not before.startswith("//"):
                    continue
                pool.append({"file": name, "line": number, "text": stripped, "column": column,
                             "token": token, "replacement": replacement, "kind": kind})
    rng = random.Random(args.seed)
    # Kinds in even shares, so that the many literals do not crowd out the rest.
    kinds = sorted({m["kind"] for m in pool})
    by_kind = {k: [m for m in pool if m["kind"] == k] for k in kinds}
    for k in kinds:
        rng.shuffle(by_kind[k])
    chosen = []
    while len(chosen) < args.count and any(by_kind.values()):
        for k in kinds:
            if by_kind[k] and len(chosen) < args.count:
                chosen.append(by_kind[k].pop())
    for i, m in enumerate(chosen):
        m["id"] = f"{args.library}-{args.seed}-{i + 1}"
    out = {"library": args.library, "seed": args.seed, "pool": len(pool), "mutants": chosen}
    with open(args.out, "w") as f:
        json.dump(out, f, indent=1)
    print(f"{len(chosen)} mutants of {len(pool)} on covered lines of {args.library}/, written to {args.out}")


def locate(tree, m):
    """The index of the mutant's line in the file as it is now, or None."""
    path = os.path.join(tree, m["file"])
    if not os.path.exists(path):
        return None, None
    lines = load_lines(path)
    matches = [i for i, l in enumerate(lines) if l.strip() == m["text"]]
    if not matches:
        return lines, None
    # The same text more than once: the one nearest where it was.
    return lines, min(matches, key=lambda i: abs(i + 1 - m["line"]))


def mutated_line(line, m):
    indent = line[: len(line) - len(line.lstrip())]
    text = line.strip()
    c = m["column"]
    if text[c: c + len(m["token"])] != m["token"]:
        return None
    return indent + text[:c] + m["replacement"] + text[c + len(m["token"]):]


def test_programs(build, library):
    """The library's test programs: (command, working folder, serial)."""
    out = subprocess.run(["ctest", "--show-only=json-v1"], cwd=os.path.join(build, "tests", library),
                         capture_output=True, text=True, check=True)
    programs = {}
    for t in json.loads(out.stdout)["tests"]:
        command = t.get("command")
        if not command:
            continue
        props = {p["name"]: p["value"] for p in t.get("properties", [])}
        gtest = any(a.startswith("--gtest_filter") for a in command[1:])
        key = (command[0],) if gtest else tuple(command)
        entry = programs.setdefault(key, {"command": list(key), "cwd": props.get("WORKING_DIRECTORY", build),
                                          "serial": False})
        entry["serial"] = entry["serial"] or bool(props.get("RUN_SERIAL"))
    return list(programs.values())


def targets(build, library):
    """The build targets defined under tests/LIBRARY."""
    out = subprocess.run(["cmake", "--build", build, "--target", "help"], capture_output=True, text=True)
    names = re.findall(r"^\.\.\. (\S+)", out.stdout, re.M)
    folder = os.path.join(build, "tests", library, "CMakeFiles")
    return [n for n in names if os.path.isdir(os.path.join(folder, n + ".dir"))]


def start(program, env):
    return subprocess.Popen(program["command"], cwd=program["cwd"], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)


def stop(process):
    if process.poll() is None:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()


def run_tests(programs, env, jobs, timeout):
    """'passed', or why the tests noticed: the first program that failed, crashed or ran out of time."""
    deadline = time.monotonic() + timeout
    parallel = [p for p in programs if not p["serial"]]
    serial = [p for p in programs if p["serial"]]
    running = []
    try:
        while parallel or running:
            while parallel and len(running) < jobs:
                p = parallel.pop(0)
                running.append((p, start(p, env)))
            time.sleep(0.05)
            for p, proc in list(running):
                code = proc.poll()
                if code is None:
                    continue
                running.remove((p, proc))
                if code != 0:
                    return f"{os.path.basename(p['command'][0])} exit {code}"
            if time.monotonic() > deadline:
                return "timeout"
        for p in serial:
            proc = start(p, env)
            try:
                code = proc.wait(max(0.0, deadline - time.monotonic()))
            except subprocess.TimeoutExpired:
                stop(proc)
                return "timeout"
            if code != 0:
                return f"{os.path.basename(p['command'][0])} exit {code}"
        return "passed"
    finally:
        for _, proc in running:
            stop(proc)


def build_targets(build, names, jobs):
    r = subprocess.run(["cmake", "--build", build, "-j", str(jobs), "--target", *names],
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return r.returncode == 0, r.stdout


def run(args):
    # A stop from outside still puts the mutated source back (the finally below).
    for s in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(s, lambda *_: sys.exit("mutate: stopped"))
    tree = os.path.abspath(args.tree)
    build = os.path.join(tree, args.build)
    listing = json.load(open(args.mutants))
    mutants = listing["mutants"]
    launcher = []
    if shutil.which("ccache"):
        launcher = ["-DCMAKE_C_COMPILER_LAUNCHER=ccache", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"]
    subprocess.run(["cmake", "-S", tree, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DKALVORA_BENCH=OFF",
                    "-DKALVORA_SANITIZE=OFF", *launcher], check=True, stdout=subprocess.DEVNULL)
    names = targets(build, args.library)
    ok, log = build_targets(build, names, args.jobs)
    if not ok:
        sys.exit("mutate: the unchanged tree does not build:\n" + log[-4000:])
    env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS="disabled:", MESA_SHADER_CACHE_DISABLE="true")
    programs = test_programs(build, args.library)
    began = time.monotonic()
    verdict = run_tests(programs, env, args.jobs, 3600)
    took = time.monotonic() - began
    if verdict != "passed":
        sys.exit(f"mutate: the unchanged tree's {args.library} tests fail ({verdict}); nothing to measure")
    timeout = args.timeout or max(60.0, 3 * took + 20)
    print(f"{args.library}: {len(programs)} test programs, {took:.0f} s unchanged, {timeout:.0f} s per mutant at most",
          flush=True)

    results = []
    for m in mutants:
        lines, at = locate(tree, m)
        new = mutated_line(lines[at], m) if at is not None else None
        if new is None:
            results.append(dict(m, outcome="not applicable", why="line gone"))
            print(f"  {m['id']:<18} not applicable  {m['file']}: {m['text'][:60]}", flush=True)
            continue
        path = os.path.join(tree, m["file"])
        original = open(path, "rb").read()
        changed = lines[:at] + [new] + lines[at + 1:]
        started = time.monotonic()
        try:
            with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
                f.write("\n".join(changed))
            ok, log = build_targets(build, names, args.jobs)
            if not ok:
                outcome, why = "not compiled", ""
            else:
                why = run_tests(programs, env, args.jobs, timeout)
                outcome = "survived" if why == "passed" else "killed"
        finally:
            with open(path, "wb") as f:
                f.write(original)
        results.append(dict(m, outcome=outcome, why=why, line_now=at + 1))
        print(f"  {m['id']:<18} {outcome:<14} {m['kind']:<10} {m['file']}:{at + 1} "
              f"'{m['token'][:30]}' -> '{m['replacement']}'  {why}  ({time.monotonic() - started:.0f} s)", flush=True)
    # The unchanged tree's objects come back (from ccache) for whoever builds next.
    build_targets(build, names, args.jobs)

    counts = {k: sum(r["outcome"] == k for r in results)
              for k in ("killed", "survived", "not compiled", "not applicable")}
    print(f"{args.library}: killed {counts['killed']}, survived {counts['survived']}, "
          f"not compiled {counts['not compiled']}, not applicable {counts['not applicable']}")
    for r in results:
        if r["outcome"] == "survived":
            print(f"  survived {r['id']}: {r['file']}:{r.get('line_now', r['line'])} {r['kind']} "
                  f"'{r['token'][:40]}' -> '{r['replacement']}' in: {r['text'][:90]}")
    if args.report:
        with open(args.report, "w") as f:
            json.dump({"library": args.library, "tree": tree, "counts": counts, "results": results}, f, indent=1)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("pick", help="choose seeded mutants on covered lines")
    p.add_argument("tree")
    p.add_argument("library", choices=sorted(LIBRARIES))
    p.add_argument("--coverage", required=True, help="coverage.json written by scripts/coverage.sh")
    p.add_argument("--count", type=int, required=True)
    p.add_argument("--seed", type=int, default=16)
    p.add_argument("--out", required=True)
    r = sub.add_parser("run", help="apply each mutant, rebuild, run the library's tests")
    r.add_argument("tree")
    r.add_argument("library", choices=sorted(LIBRARIES))
    r.add_argument("--mutants", required=True, help="a list written by pick")
    r.add_argument("--build", default="build-mutate", help="build folder inside the tree")
    r.add_argument("--jobs", type=int, default=3)
    r.add_argument("--timeout", type=float, default=0, help="seconds per mutant (default: 3x the unchanged run)")
    r.add_argument("--report", help="write the outcomes as JSON here")
    args = parser.parse_args()
    if args.command == "run" and not os.environ.get("DISPLAY"):
        # The GL and window tests need a display; one Xvfb serves every mutant.
        os.execvp("xvfb-run", ["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24 -noreset", sys.executable, *sys.argv])
    pick(args) if args.command == "pick" else run(args)


if __name__ == "__main__":
    main()
