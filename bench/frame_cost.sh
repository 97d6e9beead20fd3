#!/usr/bin/env bash
# bench/frame_cost.sh PROGRAM SCRIPT BUDGET [options]: the instructions one game frame
# costs, counted by callgrind over a headless run of PROGRAM driven by the button SCRIPT
# (host/README.md gives its format), and their share of BUDGET, the console's cycles per
# frame (6000000 for a 30-ms frame, 3333333 for a 60-fps one), taking one instruction a
# cycle.
#
# options:
#   --frame FN        the function that runs one frame; its calls are the frames, and only
#                     instructions under it count (required)
#   --pace FN[,FN..]  functions that wait for the frame's time (spinning on the timer or the
#                     vertical blank): left out whole, as idle time on the console
#   --until MS        virtual time at which the run ends (default: 1000 after the script's
#                     last line)
#   --data DIR        files copied into the folder the program runs in (its data)
#   --keep DIR        keep callgrind's files in DIR (default: a temporary folder, removed)
#   --arg ARG         an argument for PROGRAM (may be given more than once)
#   --arm             PROGRAM is the ARM build (build-arm): count its instructions under
#                     qemu-arm with our plugin (bench/frame_count_plugin.c) instead of
#                     callgrind, and print the worst frame and the top functions as well
#
# Left out everywhere: what the host layer runs for a register access (gp2x::peek16/32,
# gp2x::poke16/32), a single load or store on the console. Threads other than the main one
# are not in the figure; their instructions per frame are printed below it (a sound
# thread that runs on the console's main core competes with the frames for its cycles).
#
# Example (pellax's title screen; see bench/README.md):
#   bench/frame_cost.sh build-release/pellax/game/pellax bench/scripts/pellax_title.txt \
#     6000000 --frame pellax_frame --pace pace_frame,wait_vsync --data build-release/pellax/data
set -euo pipefail

usage() { sed -n '2,25p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
[ $# -ge 3 ] || usage
program=$(realpath -- "$1") script=$(realpath -- "$2") budget=$3
shift 3
frame="" pace="" until="" data="" keep="" arm=0 args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --frame) frame=$2; shift 2 ;;
    --pace) pace=$2; shift 2 ;;
    --until) until=$2; shift 2 ;;
    --data) data=$(realpath -- "$2"); shift 2 ;;
    --keep) keep=$(realpath -m -- "$2"); shift 2 ;;
    --arm) arm=1; shift ;;
    --arg) args+=("$2"); shift 2 ;;
    *) usage ;;
  esac
done
[ -n "$frame" ] || usage
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

if [ $arm = 1 ]; then
  run=$(mktemp -d)
  trap 'rm -rf "$run"' EXIT
  out=${keep:-$run/counts}
  mkdir -p "$out" "$run/play"
  [ -n "$data" ] && cp -a "$data"/. "$run/play"/
  cc -O2 -shared -fPIC -Wall -Wextra -o "$run/plugin.so" "$(dirname "$0")/frame_count_plugin.c"
  # The functions and their roles for the plugin: the frame function, and what is left out
  # (the pacing waits and the host's register emulation).
  arm-linux-gnueabi-nm -S -C --defined-only "$program" | python3 -c '
import sys
frame, leave = sys.argv[1], set(a for a in sys.argv[2].split(",") if a)
def base(name):
    name = name.replace("(anonymous namespace)", "{anonymous}").split("(")[0]
    depth, cut = 0, 0
    for i, ch in enumerate(name):
        depth += ch == "<"
        depth -= ch == ">"
        if ch == " " and depth == 0:
            cut = i + 1
    return name[cut:].replace("{anonymous}", "(anonymous namespace)")
for line in sys.stdin:
    parts = line.rstrip("\n").split(" ", 3)
    if len(parts) < 4 or parts[2] not in "TtWw":
        continue
    b = base(parts[3])
    role = "F" if b == frame else "L" if b in leave else "-"
    print(parts[0], parts[1], role, parts[3])
' "$frame" "$pace,gp2x::peek16,gp2x::peek32,gp2x::poke16,gp2x::poke32" > "$out/syms.txt"
  grep -q ' F ' "$out/syms.txt" || { echo "frame_cost: no function $frame in $program" >&2; exit 1; }
  (cd "$run/play" && GP2X_HEADLESS=1 GP2X_CLOCK=virtual GP2X_AUDIO=null GP2X_TIMER_START=0x4321 \
    GP2X_SCRIPT="$script" GP2X_UNTIL="$until" \
    qemu-arm -cpu arm926 -plugin "$run/plugin.so,syms=$out/syms.txt,out=$out/counts.txt" \
    "$program" "${args[@]}" >"$run/program.log" 2>&1) || {
    echo "frame_cost: the run failed; its output:" >&2
    tail -20 "$run/program.log" >&2
    exit 1
  }
  python3 - "$out/counts.txt" "$frame" "$pace" "$budget" "$program" "$script" "$until" <<'PY'
import sys
path, frame, pace, budget, program, script, until = sys.argv[1:]
budget = float(budget)
frames, funcs, worst_funcs, left, threads = [], [], [], 0, []
for line in open(path):
    kind, rest = line.rstrip("\n").split(" ", 1)
    if kind == "frame":
        frames.append(int(rest))
    elif kind == "func":
        n, name = rest.split(" ", 1)
        funcs.append((int(n), name))
    elif kind == "worst":
        n, name = rest.split(" ", 1)
        worst_funcs.append((int(n), name))
    elif kind == "left":
        left = int(rest)
    elif kind == "thread":
        index, n, name = rest.split(" ", 2)
        threads.append((index, int(n), name))
if not frames:
    sys.exit(f"frame_cost: {frame} was never called; is it the frame function?")
n = len(frames)
mean = sum(frames) / n
worst = max(frames)
print(f"program  {program} (ARM, under qemu-arm)")
print(f"script   {script} (until {until} ms)")
print(f"frames   {n} (calls of {frame})")
print(f"per frame {mean:,.0f} instructions = {100 * mean / budget:.1f}% of {budget:,.0f} cycles")
print(f"worst frame {worst:,} instructions = {100 * worst / budget:.1f}% (frame {frames.index(worst)})")
print(f"left out per frame: pacing ({pace or 'none'}) and host register emulation {left / n:,.0f}")
print("top functions (instructions per frame, share of the frame):")
for cost, name in sorted(funcs, reverse=True)[:15]:
    print(f"  {cost / n:12,.0f}  {100 * cost / sum(frames):5.1f}%  {name[:90]}")
print(f"top functions of the worst frame:")
for cost, name in sorted(worst_funcs, reverse=True)[:8]:
    print(f"  {cost:12,}  {100 * cost / worst:5.1f}%  {name[:90]}")
for index, total, name in threads:
    print(f"thread {index} ({name[:70]}): {total / n:,.0f} per frame, not in the figure")
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

python3 - "$out" "$frame" "$pace" "$budget" "$program" "$script" "$until" <<'PY'
import glob, os, re, sys

out, frame, pace, budget, program, script, until = sys.argv[1:]
pace = [p for p in pace.split(",") if p]
budget = float(budget)
host = ["gp2x::peek16", "gp2x::peek32", "gp2x::poke16", "gp2x::poke32"]
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

in_frame = paced = hosted = unknown = 0
for ctx, cost in main_cost.items():
    chain = [base(n) for n in ctx.split("'")]
    if frame not in chain:
        if len(chain) > DEPTH:
            unknown += cost  # too deep to tell
        continue
    below = chain[: chain.index(frame) + 1]
    if any(p in below for p in pace):
        paced += cost
    elif any(h in below for h in host):
        hosted += cost
    else:
        in_frame += cost

per = in_frame / frames
print(f"program  {program}")
print(f"script   {script} (until {until} ms)")
print(f"frames   {frames} (calls of {frame})")
print(f"per frame {per:,.0f} instructions = {100 * per / budget:.1f}% of {budget:,.0f} cycles")
print(f"left out per frame: pacing ({', '.join(pace) or 'none'}) {paced / frames:,.0f}, "
      f"host register emulation {hosted / frames:,.0f}")
if unknown:
    print(f"warning: {unknown:,.0f} instructions lie too deep below their thread to place")
for path in files[1:]:
    cost, _ = parse(path)
    total = sum(cost.values())
    # Name the thread after the outermost function of our own below the thread start,
    # the one that most of its instructions lie under.
    entries = {}
    for ctx, c in cost.items():
        chain = ctx.split("'")
        if chain[-1] == "clone":
            own = [n for n in chain if not re.match(r"(clone|start_thread|0x|std::|_dl_)", n)]
            if own:
                entries[own[-1]] = entries.get(own[-1], 0) + c
    entry = max(entries, key=entries.get) if entries else "?"
    print(f"thread {path.rsplit('-', 1)[1]} ({entry[:70]}): {total / frames:,.0f} per frame, "
          f"not in the figure")
PY
