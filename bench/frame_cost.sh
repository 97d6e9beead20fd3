#!/usr/bin/env bash
# bench/frame_cost.sh PROGRAM SCRIPT BUDGET [options]: the instructions the console's main
# core spends on one game frame, counted by callgrind over a headless run of PROGRAM driven
# by the button SCRIPT (host/README.md gives its format), and their share of BUDGET, the
# console's cycles per frame (6000000 for a 30-ms frame, 3333333 for a 60-fps one), taking
# one instruction a cycle.
#
# options:
#   --frame FN         the function that runs one frame; its calls are the frames, and only
#                      instructions under it count on the main thread (required)
#   --pace FN[,FN..]   functions that wait for the frame's time (spinning on the timer or the
#                      vertical blank): left out whole, as idle time on the console
#   --thread FN[,FN..] functions that run a thread's work on the main core (a sound writer
#                      that mixes): what runs under them counts too, less the same waits
#   --screen FN[,FN..] with --arm: only the frames that call one of these count (one screen
#                      of a run that passes through others)
#   --until MS         virtual time at which the run ends (default: 1000 after the script's
#                      last line)
#   --data DIR         files copied into the folder the program runs in (its data)
#   --keep DIR         keep callgrind's (or the plugin's) files in DIR (default: a temporary
#                      folder, removed)
#   --arg ARG          an argument for PROGRAM (may be given more than once)
#   --arm              PROGRAM is the ARM build (build-arm): count its instructions under
#                      qemu-arm with our plugin (bench/frame_count_plugin.c) instead of
#                      callgrind, and print the worst frame and the top functions as well
#
# Left out everywhere: what the host layer runs for a call through the device seam
# (seam/gp2x_seam.h): on the console a register access is one load or store, and a system
# call or a sleep is the kernel's time. A --thread function's work goes with the frame in
# whose interval it runs (--arm); callgrind cannot tell when it ran, so there it is the
# thread's whole run divided by the frames. Other threads (the host's own, the emulated
# second core) are printed apart, not in the figure.
#
# Example (pellax's title screen; see bench/README.md):
#   bench/frame_cost.sh build-release/pellax/game/pellax bench/scripts/pellax_title.txt \
#     6000000 --frame pellax_frame --pace pace_frame,wait_vsync --thread audio_thread_main \
#     --data build-release/pellax/data
set -euo pipefail

usage() { sed -n '2,34p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
[ $# -ge 3 ] || usage
program=$(realpath -- "$1") script=$(realpath -- "$2") budget=$3
shift 3
frame="" pace="" thread="" screen="" until="" data="" keep="" arm=0 args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --frame) frame=$2; shift 2 ;;
    --pace) pace=$2; shift 2 ;;
    --thread) thread=$2; shift 2 ;;
    --screen) screen=$2; shift 2 ;;
    --until) until=$2; shift 2 ;;
    --data) data=$(realpath -- "$2"); shift 2 ;;
    --keep) keep=$(realpath -m -- "$2"); shift 2 ;;
    --arm) arm=1; shift ;;
    --arg) args+=("$2"); shift 2 ;;
    *) usage ;;
  esac
done
[ -n "$frame" ] || usage
if [ -n "$screen" ] && [ $arm = 0 ]; then
  echo "frame_cost: --screen needs --arm: callgrind cannot tell one frame from another" \
    "(take the difference of two runs instead; bench/README.md)" >&2
  exit 2
fi
[ -x "$program" ] || { echo "frame_cost: no program $program" >&2; exit 1; }
tools=(valgrind python3)
[ $arm = 1 ] && tools=(qemu-arm arm-linux-gnueabi-nm cc python3)
for tool in "${tools[@]}"; do
  command -v "$tool" >/dev/null || { echo "frame_cost: needs $tool (tools/install-deps.sh)" >&2; exit 1; }
done
if [ -z "$until" ]; then
  last=$(grep -v '^\s*\(#\|$\)' "$script" | awk '{print $1}' | tail -1)
  until=$(( ${last:-0} + 1000 ))
fi
# The seam's functions, from its header: what the host layer runs for them is left out.
seam=$(sed -n 's/^[A-Za-z_0-9]*[ *]*\([a-z_0-9]*\)(.*/gp2x::\1/p' \
  "$(dirname "$0")/../seam/gp2x_seam.h" | paste -sd, -)
[ -n "$seam" ] || { echo "frame_cost: no functions found in seam/gp2x_seam.h" >&2; exit 1; }

if [ $arm = 1 ]; then
  run=$(mktemp -d)
  trap 'rm -rf "$run"' EXIT
  out=${keep:-$run/counts}
  mkdir -p "$out" "$run/play"
  [ -n "$data" ] && cp -a "$data"/. "$run/play"/
  cc -O2 -shared -fPIC -Wall -Wextra -o "$run/plugin.so" "$(dirname "$0")/frame_count_plugin.c"
  # The functions and their roles for the plugin: the frame function, what is left out (the
  # pacing waits and the seam), the threads' work and the screens.
  arm-linux-gnueabi-nm -S -C --defined-only "$program" | python3 -c '
import sys
frame = sys.argv[1]
roles = [(set(a for a in arg.split(",") if a), r) for arg, r in zip(sys.argv[2:], "LTS")]
def base(name):
    name = name.replace("(anonymous namespace)", "{anonymous}").split("(")[0]
    depth, cut = 0, 0
    for i, ch in enumerate(name):
        depth += ch == "<"
        depth -= ch == ">"
        if ch == " " and depth == 0:
            cut = i + 1
    return name[cut:].replace("{anonymous}", "(anonymous namespace)")
found = set()
for line in sys.stdin:
    parts = line.rstrip("\n").split(" ", 3)
    if len(parts) < 4 or parts[2] not in "TtWw":
        continue
    b = base(parts[3])
    role = "F" if b == frame else next((r for names, r in roles if b in names), "-")
    found.add(b)
    print(parts[0], parts[1], role, parts[3])
# A misspelt thread or screen would quietly count nothing.
missing = sorted(({frame} | roles[1][0] | roles[2][0]) - found)
if missing:
    sys.exit("frame_cost: no function " + ", ".join(missing) + " in the program")
' "$frame" "$pace,$seam" "$thread" "$screen" > "$out/syms.txt"
  (cd "$run/play" && GP2X_HEADLESS=1 GP2X_CLOCK=virtual GP2X_AUDIO=null GP2X_TIMER_START=0x4321 \
    GP2X_SCRIPT="$script" GP2X_UNTIL="$until" \
    qemu-arm -cpu arm926 -plugin "$run/plugin.so,syms=$out/syms.txt,out=$out/counts.txt" \
    "$program" "${args[@]}" >"$run/program.log" 2>&1) || {
    echo "frame_cost: the run failed; its output:" >&2
    tail -20 "$run/program.log" >&2
    exit 1
  }
  python3 - "$out/counts.txt" "$frame" "$pace" "$screen" "$budget" "$program" "$script" "$until" <<'PY'
import sys
path, frame, pace, screen, budget, program, script, until = sys.argv[1:]
budget = float(budget)
frames, funcs, worst_funcs, left, threads, worst_index = [], [], [], 0, [], None
slots, slot_funcs, overflow = {}, {}, False
for line in open(path):
    kind, _, rest = line.rstrip("\n").partition(" ")
    if kind == "frame":
        main, counts, *work = (int(v) for v in rest.split())
        frames.append((main, counts, work))
    elif kind == "slot":
        index, outside, name = rest.split(" ", 2)
        slots[int(index)] = (name, int(outside))
    elif kind == "slotfunc":
        index, n, name = rest.split(" ", 2)
        slot_funcs.setdefault(int(index), []).append((int(n), name))
    elif kind == "func":
        n, name = rest.split(" ", 1)
        funcs.append((int(n), name))
    elif kind == "worstframe":
        worst_index = int(rest)
    elif kind == "worst":
        n, name = rest.split(" ", 1)
        worst_funcs.append((int(n), name))
    elif kind == "left":
        left = int(rest)
    elif kind == "thread":
        vcpu, total, counted, lost, name = rest.split(" ", 4)
        threads.append((int(vcpu), int(total), int(counted), int(lost), name))
    elif kind == "overflow":
        overflow = True
counted = [(i, main, work) for i, (main, counts, work) in enumerate(frames) if counts]
if not frames:
    sys.exit(f"frame_cost: {frame} was never called; is it the frame function?")
if not counted:
    sys.exit(f"frame_cost: no frame of {frame} called {screen}")
n = len(counted)
names = [slots[s][0].split("(")[0] for s in sorted(slots)]
totals = {i: main + sum(work) for i, main, work in counted}
mean = sum(totals.values()) / n
if worst_index not in totals:
    worst_index = max(totals, key=totals.get)
worst = totals[worst_index]
main_sum = sum(main for _, main, _ in counted)
work_sums = [sum(work[s] for _, _, work in counted) for s in range(len(names))]
worst_main, _, worst_work = frames[worst_index]
of = f"calls of {frame}" + (f" that call {screen}; {len(frames)} in all" if screen else "")
print(f"program  {program} (ARM, under qemu-arm)")
print(f"script   {script} (until {until} ms)")
print(f"frames   {n} ({of})")
print(f"per frame {mean:,.0f} instructions = {100 * mean / budget:.1f}% of {budget:,.0f} cycles")
print(f"  main thread ({frame}) {main_sum / n:,.0f}")
for name, total in zip(names, work_sums):
    print(f"  thread {name} {total / n:,.0f} (its work in the frames' intervals)")
print(f"worst frame {worst:,} instructions = {100 * worst / budget:.1f}% (frame {worst_index})")
print(f"  main thread {worst_main:,}")
for name, work in zip(names, worst_work):
    print(f"  thread {name} {work:,}")
print(f"left out per frame (main thread): pacing ({pace or 'none'}) and the host's seam calls {left / n:,.0f}")
print("top functions of the main thread (instructions per frame, share of the frame):")
for cost, name in sorted(funcs, reverse=True)[:15]:
    print(f"  {cost / n:12,.0f}  {100 * cost / n / mean:5.1f}%  {name[:90]}")
print(f"top functions of the main thread in the worst frame:")
for cost, name in sorted(worst_funcs, reverse=True)[:8]:
    print(f"  {cost:12,}  {100 * cost / worst:5.1f}%  {name[:90]}")
for s, name in enumerate(names):
    # Over every frame's interval and outside them: a thread's function is not told apart
    # by frame.
    spent = sorted(slot_funcs.get(s, []), reverse=True)
    whole = sum(c for c, _ in spent) or 1
    print(f"top functions of thread {name} (share of its work):")
    for cost, fn in spent[:8]:
        print(f"  {100 * cost / whole:5.1f}%  {fn[:90]}")
    print(f"thread {name} outside the frames (start-up, shut-down), not in the figure: "
          f"{slots[s][1]:,} in all")
for vcpu, total, used, lost, top in threads:
    if used:
        print(f"thread {vcpu}: {used / n:,.0f} per frame under its --thread function (outside the "
              f"frames too), {lost / n:,.0f} left out there (waits, the host's seam calls), "
              f"{(total - used - lost) / n:,.0f} elsewhere")
    else:
        print(f"thread {vcpu} (busiest in {top[:60]}): {total / n:,.0f} per frame, not in the figure")
if overflow:
    print("warning: more frames than the plugin keeps; the last ones are not counted")
print(f"summary mean {100 * mean / budget:.1f} % worst {100 * worst / budget:.1f} % of {budget:.0f}")
PY
  exit 0
fi

run=$(mktemp -d)
trap 'rm -rf "$run"' EXIT
out=${keep:-$run/cg}
mkdir -p "$out" "$run/play"
[ -n "$data" ] && cp -a "$data"/. "$run/play"/
rm -f "$out"/callgrind.out*
# Callers are kept apart (deep enough to reach the frame function from any leaf), so that
# each cost knows whether it lies under the frame, a pacing wait or a register access.
# A fixed timer start: the same script gives the same frames on every run.
(cd "$run/play" && GP2X_HEADLESS=1 GP2X_CLOCK=virtual GP2X_AUDIO=null GP2X_TIMER_START=0x4321 \
  GP2X_SCRIPT="$script" \
  GP2X_UNTIL="$until" valgrind --tool=callgrind --separate-threads=yes --separate-callers=60 \
  --callgrind-out-file="$out/callgrind.out" "$program" "${args[@]}" >"$run/program.log" 2>&1) || {
  echo "frame_cost: the run failed; its output:" >&2
  tail -20 "$run/program.log" >&2
  exit 1
}

python3 - "$out" "$frame" "$pace" "$thread" "$seam" "$budget" "$program" "$script" "$until" <<'PY'
import glob, os, re, sys

out, frame, pace, thread, seam, budget, program, script, until = sys.argv[1:]
pace = [p for p in pace.split(",") if p]
thread = [t for t in thread.split(",") if t]
host = seam.split(",")
budget = float(budget)
DEPTH = 60


def base(name):
    """A function's name without its return type and parameter list."""
    name = name.replace("(anonymous namespace)", "{anonymous}")
    name = name.split("(")[0]
    depth, cut = 0, 0
    for i, ch in enumerate(name):  # a return type ends at the last space outside <...>
        depth += ch == "<"
        depth -= ch == ">"
        if ch == " " and depth == 0:
            cut = i + 1
    return name[cut:].replace("{anonymous}", "(anonymous namespace)")


def parse(path):
    """Self cost per context (a function with its chain of callers), and call counts."""
    names, self_cost, calls = {}, {}, {}
    fn = cfn = None
    skip = False
    with open(path) as f:
        for line in f:
            if line.startswith("fn="):
                m = re.match(r"fn=\((\d+)\)(?: (.*))?", line.rstrip("\n"))
                if m.group(2):
                    names[m.group(1)] = m.group(2)
                fn = names[m.group(1)]
            elif line.startswith("cfn="):
                m = re.match(r"cfn=\((\d+)\)(?: (.*))?", line.rstrip("\n"))
                if m.group(2):
                    names[m.group(1)] = m.group(2)
                cfn = names[m.group(1)]
            elif line.startswith("calls="):
                n = int(line.split("=")[1].split()[0])
                callee = base(cfn.split("'")[0])
                calls[callee] = calls.get(callee, 0) + n
                skip = True  # the next line is the call's inclusive cost
            elif line[:1].isdigit() or line[:1] in "+-*":
                if skip:
                    skip = False
                    continue
                parts = line.split()
                if fn is not None and len(parts) > 1:
                    self_cost[fn] = self_cost.get(fn, 0) + int(parts[1])
    return self_cost, calls


files = sorted(glob.glob(os.path.join(out, "callgrind.out-*")))
if not files:
    sys.exit("frame_cost: callgrind wrote no thread files")
main_cost, calls = parse(files[0])
frames = calls.get(frame, 0)
if frames == 0:
    sys.exit(f"frame_cost: {frame} was never called; is it the frame function?")


def split(cost, roots):
    """A thread's instructions under one of roots: those counted, under a pacing wait, under
    a seam call; and those too deep below the thread to place."""
    counted = paced = hosted = unknown = 0
    for ctx, c in cost.items():
        chain = [base(n) for n in ctx.split("'")]
        top = next((r for r in roots if r in chain), None)
        if top is None:
            if len(chain) > DEPTH:
                unknown += c
            continue
        below = chain[: chain.index(top) + 1]
        if any(p in below for p in pace):
            paced += c
        elif any(h in below for h in host):
            hosted += c
        else:
            counted += c
    return counted, paced, hosted, unknown


def entry_of(cost):
    """The thread's name: the outermost function of our own below the thread start, the one
    that most of its instructions lie under."""
    entries = {}
    for ctx, c in cost.items():
        chain = ctx.split("'")
        if chain[-1] == "clone":
            own = [n for n in chain if not re.match(r"(clone|start_thread|0x|std::|_dl_)", n)]
            if own:
                entries[own[-1]] = entries.get(own[-1], 0) + c
    return max(entries, key=entries.get) if entries else "?"


in_frame, paced, hosted, unknown = split(main_cost, [frame])
work, apart, seen = [], [], set()
for path in files[1:]:
    cost, thread_calls = parse(path)
    seen.update(thread_calls)
    index = path.rsplit("-", 1)[1]
    counted, p, h, u = split(cost, thread)
    if counted:
        unknown += u  # a thread apart may run as deep as it likes
        work.append((index, entry_of(cost), counted, p + h))
    else:
        apart.append((index, entry_of(cost), sum(cost.values())))

# A misspelt thread function would quietly count nothing.
missing = [t for t in thread if t not in seen]
if missing:
    sys.exit("frame_cost: no thread ran " + ", ".join(missing))
per = (in_frame + sum(w[2] for w in work)) / frames
print(f"program  {program}")
print(f"script   {script} (until {until} ms)")
print(f"frames   {frames} (calls of {frame})")
print(f"per frame {per:,.0f} instructions = {100 * per / budget:.1f}% of {budget:,.0f} cycles")
print(f"  main thread ({frame}) {in_frame / frames:,.0f}")
for index, entry, counted, _ in work:
    # callgrind keeps no time: the thread's work over the whole run, start-up and shut-down
    # included, shared over the frames.
    print(f"  thread {index} ({entry[:60]}) {counted / frames:,.0f} (its whole run over the frames)")
print(f"left out per frame (main thread): pacing ({', '.join(pace) or 'none'}) {paced / frames:,.0f}, "
      f"the host's seam calls {hosted / frames:,.0f}")
for index, entry, _, lost in work:
    print(f"left out per frame (thread {index}): waits and the host's seam calls {lost / frames:,.0f}")
if unknown:
    print(f"warning: {unknown:,.0f} instructions lie too deep below their thread to place")
for index, entry, total in apart:
    print(f"thread {index} ({entry[:70]}): {total / frames:,.0f} per frame, not in the figure")
PY
