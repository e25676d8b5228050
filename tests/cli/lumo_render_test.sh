#!/usr/bin/env bash
# lumo-render as scripts use it: sequences, comparisons, output files that lose nothing, one-line
# errors, a quiet stderr. Usage: lumo_render_test.sh PATH/TO/lumo-render SANITIZED(0|1)
set -u
R=$(realpath "$1")
sanitized=${2:-0}
dir=$(mktemp -d)
trap 'chmod -R u+w "$dir"; rm -rf "$dir"' EXIT
cd "$dir" || exit 1
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# expect STATUS STDERR-TEXT COMMAND...: the command exits with STATUS and prints one line holding
# STDERR-TEXT on stderr, or nothing there when STDERR-TEXT is empty.
expect() {
  local want=$1 text=$2
  shift 2
  "$@" >out.txt 2>err.txt
  local got=$?
  [ "$got" -eq "$want" ] || fail "$* exited $got, not $want: $(cat err.txt)"
  if [ -z "$text" ]; then
    [ -s err.txt ] && fail "$*: stderr '$(head -c 300 err.txt)'"
  else
    grep -qF -- "$text" err.txt || fail "$*: stderr '$(head -c 300 err.txt)' lacks '$text'"
    [ "$(wc -l <err.txt)" -eq 1 ] || fail "$*: not one line on stderr"
  fi
}

# Sequences: every frame, numbered from 0, the clock advancing.
mkdir seq
expect 0 "" "$R" --scene egg --size 40x30 --frames 3 --out seq/egg_%03d.png
[ "$(ls seq | tr '\n' ' ')" = "egg_000.png egg_001.png egg_002.png " ] || fail "sequence files: $(ls seq)"
cmp -s seq/egg_000.png seq/egg_002.png && fail "the frames of a sequence are all alike"

# Comparison with a reference.
expect 0 "" "$R" --size 40x30 --out ref.png
expect 0 "" "$R" --size 40x30 --compare ref.png --diff diff.png
grep -qx "compare: match=1200 of 1200 pixels, max_difference=0" out.txt || fail "compare line: $(cat out.txt)"
[ -s diff.png ] || fail "no difference picture"
expect 1 "" "$R" --scene balls --size 40x30 --compare ref.png
grep -q "compare: match=[0-9]* of 1200 pixels, max_difference=[1-9]" out.txt || fail "mismatch: $(cat out.txt)"
expect 0 "" "$R" --scene balls --size 40x30 --compare ref.png --tolerance 255
expect 2 "'ref.png' is 40x30, the picture 41x30" "$R" --size 41x30 --compare ref.png
expect 2 "'none.png' cannot be read: No such file or directory" "$R" --size 40x30 --compare none.png

# Scene files: a demo scene saved as posed and read back renders the same picture; bad files are
# one line and status 2.
expect 0 "" "$R" --scene egg --time 3000 --save-scene egg.json --size 40x30 --out egg.png
expect 0 "" "$R" --scene-file egg.json --size 40x30 --compare egg.png --min-match 0.999
grep -q '"title": "LUMO-Demo: Tumbling Egg"' egg.json || fail "saved scene: $(head -c 200 egg.json)"
expect 2 "--scene-file: none.json: cannot be read: No such file or directory" "$R" --scene-file none.json
printf '{ "version": 1,\n  "light": { "position": [1, 2] } }' >short.json
expect 2 "--scene-file: short.json: light.position: expected 3 elements, got 2" "$R" --scene-file short.json
printf '{ "version": 1, "light": { "position": [1, 2, 3] } }' >plain.json
expect 2 "--caustics on: the scene file offers no caustics" "$R" --scene-file plain.json --caustics on
printf '{ "version": 1, "light": { "position": [1, 2, 3] }, "materials": [{ "name": "M" }],
  "objects": [{ "shape": "sphere", "material": "M", "centre": [0, 0, 0], "radius": 0 }] }' >flat.json
expect 0 "warning: flat.json: skipped 1 degenerate shape" "$R" --scene-file flat.json --size 8x8
expect 2 "--save-scene: cannot create 'nodir/x.json': No such file or directory" "$R" --save-scene nodir/x.json --size 8x8

# Inputs are regular files read with a limit: a device, a FIFO or a link to one, as the scene, a
# mesh, an MTL file or a glTF buffer, is one line and status 2, never a hang or a full memory (a run
# that would hang is stopped by timeout, status 124).
mkfifo fifo.json fifo.obj
printf 'v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n' >tri.obj
printf 'mtllib zero.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n' >mtl.obj
ln -s /dev/zero zero.obj
ln -s /dev/zero zero.mtl
ln -s /dev/zero zero.bin
printf '{"asset": {"version": "2.0"}, "buffers": [{"byteLength": 4, "uri": "zero.bin"}]}' >buf.gltf
mesh_scene() { printf '{ "version": 1, "light": { "position": [0, 0, 5] }, "objects": [{ "shape": "mesh", "file": "%s" }] }' "$1"; }
for m in fifo.obj zero.obj mtl.obj buf.gltf tri.obj; do mesh_scene $m >"scene-$m.json"; done
# A mesh opens by itself, framed on a ground; a file that is neither a scene nor a mesh is named.
expect 0 "" "$R" --scene-file tri.obj --size 8x8
printf 'not a scene\n' >notes.txt
expect 2 "--scene-file: notes.txt: not a file Lumo can open" "$R" --scene-file notes.txt
expect 2 "--scene-file: /dev/zero: is a character device, not a regular file" timeout 20 "$R" --scene-file /dev/zero
expect 2 "--scene-file: fifo.json: is a FIFO, not a regular file" timeout 20 "$R" --scene-file fifo.json
expect 2 "--scene-file: .: is a directory, not a file" timeout 20 "$R" --scene-file .
expect 2 "objects[0].file: fifo.obj: is a FIFO, not a regular file" timeout 20 "$R" --scene-file scene-fifo.obj.json
expect 2 "objects[0].file: zero.obj: is a character device, not a regular file" timeout 20 "$R" --scene-file scene-zero.obj.json
expect 2 "objects[0].file: mtl.obj: mtllib zero.mtl: is a character device" timeout 20 "$R" --scene-file scene-mtl.obj.json
expect 2 "objects[0].file: zero.bin: is a character device, not a regular file" timeout 20 "$R" --scene-file scene-buf.gltf.json
expect 2 "--compare: 'fifo.obj' is a FIFO, not a regular file" timeout 20 "$R" --size 4x4 --compare fifo.obj

# Outputs: a character device or FIFO is written into, never replaced; - is stdout (the summary
# then goes to stderr); directories and links to nothing are refused; an output never overwrites
# an input of the run; a replaced file keeps its owner.
"$R" --size 4x4 --out - >stdout.png 2>err.txt || fail "--out -: $(cat err.txt)"
[ "$(head -c 4 stdout.png | tail -c 3)" = PNG ] || fail "--out - wrote no PNG to stdout"
grep -q "^scene=1 " err.txt || fail "--out -: the summary is not on stderr: $(cat err.txt)"
"$R" --size 4x4 --save-scene /dev/stdout 2>/dev/null | grep -q '"version": 1' || fail "--save-scene /dev/stdout wrote no scene"
mkfifo fifo.png
timeout 20 cat fifo.png >from-fifo.png &
reader=$!
expect 0 "" timeout 20 "$R" --size 4x4 --out fifo.png
wait "$reader" || fail "the FIFO's reader got nothing"
[ -p fifo.png ] || fail "an output FIFO was replaced"
cmp -s from-fifo.png stdout.png || fail "the FIFO's reader got another picture"
if mknod null-device c 1 3 2>/dev/null; then
  expect 0 "" "$R" --size 4x4 --out null-device.png --save-scene null-device
  [ -c null-device ] || fail "an output character device was replaced"
fi
mkdir out-dir.png
expect 2 "--out: 'out-dir.png' is a directory" "$R" --size 4x4 --out out-dir.png
ln -s nowhere.png dangling.png
expect 2 "--out: 'dangling.png' is a symbolic link to a file that does not exist" "$R" --size 4x4 --out dangling.png
ln -s loop.png loop.png
expect 2 "--diff: 'loop.png' is a symbolic link that loops" "$R" --size 4x4 --compare stdout.png --diff loop.png
[ -L dangling.png ] && [ -L loop.png ] || fail "a refused link was replaced"
cp stdout.png ref.png
ln -s ref.png ref-link.png
expect 2 "--diff: 'ref-link.png' is the --compare file, which this run must not overwrite" \
  "$R" --size 4x4 --compare ./ref.png --diff ref-link.png
cmp -s stdout.png ref.png || fail "--diff overwrote the reference"
cp scene-tri.obj.json scene.png
expect 2 "--out: 'scene.png' is the --scene-file file, which this run must not overwrite" \
  "$R" --size 4x4 --scene-file scene.png --out scene.png
expect 2 "--save-scene: 'tri.obj' is a file the scene reads, which this run must not overwrite" \
  "$R" --size 4x4 --scene-file scene-tri.obj.json --save-scene tri.obj
cmp -s scene.png scene-tri.obj.json && [ "$(head -c 1 tri.obj)" = v ] || fail "an input was overwritten"
expect 2 "--save-scene: 'both.png' is also written by --out" "$R" --size 4x4 --save-scene both.png --out ./both.png
expect 2 "--save-scene: '-' is also written by --out" "$R" --size 4x4 --out /dev/stdout --save-scene -
if [ "$(id -u)" -eq 0 ]; then
  echo old >owned.png && chown nobody:nogroup owned.png
  expect 0 "" "$R" --size 4x4 --out owned.png
  [ "$(stat -c %U:%G owned.png)" = nobody:nogroup ] || fail "a replaced file changed owner: $(stat -c %U:%G owned.png)"
fi

# A failed write to stdout is an error.
expect 2 "cannot write the summary to stdout: No space left on device" sh -c "exec '$R' --size 4x4 >/dev/full"

# A write the system refuses names the file and the reason and leaves the old file as it was.
echo old >big.png
expect 2 "cannot write 'big.png': File too large" sh -c "ulimit -f 1; exec '$R' --size 256x256 --sampling full --out big.png"
[ "$(cat big.png)" = old ] || fail "a failed write changed the old file"
ls | grep -q tmp- && fail "a temporary file was left: $(ls)"

# Out of memory: one line naming what could not be allocated (address-space limits and the
# sanitizers' shadow memory do not mix).
if [ "$sanitized" = 0 ]; then
  expect 2 "out of memory: cannot allocate the 8192x8192 frame buffer (256 MiB)" \
    sh -c "ulimit -v 250000; exec '$R' --size 8192x8192 --out big.png"
  expect 2 "out of memory: cannot allocate the photon maps (2000000 GI photons)" \
    sh -c "ulimit -v 60000; exec '$R' --scene cornell-box --gi-photons 2000000 --threads 2"
  [ "$(cat big.png)" = old ] || fail "running out of memory changed the old file"
fi

# Existing files as cp treats them, for a user who is not root.
as_user=()
mkdir locked
echo old >readonly.png && chmod 444 readonly.png
echo old >private.png && chmod 600 private.png
echo old >locked/open.png && chmod 666 locked/open.png && chmod 555 locked
if [ "$(id -u)" -eq 0 ]; then
  chown -R nobody "$dir"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
expect 2 "cannot write 'readonly.png': Permission denied" "${as_user[@]}" "$R" --size 4x4 --out readonly.png
[ "$(cat readonly.png)" = old ] || fail "a read-only file was replaced"
expect 0 "" "${as_user[@]}" "$R" --size 4x4 --out private.png
[ "$(stat -c %a private.png)" = 600 ] || fail "a replaced file lost its mode: $(stat -c %a private.png)"
expect 0 "" "${as_user[@]}" "$R" --size 4x4 --out locked/open.png
[ "$(head -c 4 locked/open.png | tail -c 3)" = PNG ] || fail "a writable file in a read-only folder was not written"
expect 2 "cannot create 'locked/new.png': Permission denied" "${as_user[@]}" "$R" --size 4x4 --out locked/new.png

# A pass of several seconds on two threads: nothing on stderr (no time-out message, and no progress
# line when stderr is not a terminal).
long=(--size 8192x8192)
[ "$sanitized" = 1 ] && long=(--size 2048x2048)
expect 0 "" "$R" "${long[@]}" --sampling full --threads 2
# --progress always shows the line however fast the run: in a log a line per update ending with the
# last frame; on a terminal redrawn in place. --progress never keeps a terminal quiet.
"$R" --size 16x12 --frames 3 --progress always >out.txt 2>err.txt || fail "--progress always failed"
tail -n 1 err.txt | grep -qE "^lumo-render: \[#{20}\] +3/3 frames +[0-9]+:[0-9]{2} elapsed$" \
  || fail "--progress always, last log line: $(tail -n 1 err.txt)"
grep -q $'\033' err.txt && fail "--progress always wrote terminal codes into a log"
expect 2 "--progress expects auto, always or never, got 'sometimes'" "$R" --progress sometimes
if command -v script >/dev/null; then
  script -qec "'$R' --size 16x12 --frames 3 --progress always" /dev/null >tty.txt
  grep -q "frames .* elapsed" tty.txt || fail "no progress line on a terminal: $(head -c 200 tty.txt)"
  script -qec "'$R' --size 16x12 --frames 3 --progress never" /dev/null >tty.txt
  grep -q "elapsed" tty.txt && fail "--progress never drew a line: $(head -c 200 tty.txt)"
fi

# Refinement passes: --passes 1 is the plain frame; the mean of 8 passes with photon maps is the same
# bytes on any thread count and SIMD level; the progress line counts passes.
gi=(--scene cornell-box --gi-photons 125000 --size 40x30)
expect 0 "" "$R" "${gi[@]}" --out plain.png
expect 0 "" "$R" "${gi[@]}" --passes 1 --out one.png
cmp -s plain.png one.png || fail "--passes 1 is not the plain frame"
for t in 1 2 3 8; do
  expect 0 "" "$R" "${gi[@]}" --passes 8 --threads "$t" --json --out "mean$t.png"
  grep -q '"passes":8' out.txt || fail "--json without the passes: $(cat out.txt)"
  cmp -s mean1.png "mean$t.png" || fail "the mean of 8 passes differs on $t threads"
done
expect 0 "" "$R" "${gi[@]}" --passes 8 --threads 2 --isa scalar --out scalar.png
cmp -s mean1.png scalar.png || fail "the mean of 8 passes differs with --isa scalar"
cmp -s plain.png mean1.png && fail "8 passes gave the plain frame"
expect 0 "" "$R" --scene egg --size 40x30 --passes 4 --threads 1 --out egg1.png
expect 0 "" "$R" --scene egg --size 40x30 --passes 4 --threads 3 --isa sse --out egg3.png
cmp -s egg1.png egg3.png || fail "the mean of caustic passes differs on 3 threads"
"$R" --size 16x12 --frames 2 --passes 3 --progress always >out.txt 2>err.txt || fail "--passes 3 failed"
tail -n 1 err.txt | grep -qE " 6/6 passes " || fail "--passes, last progress line: $(tail -n 1 err.txt)"
expect 2 "--passes expects a whole number from 1 to 65536, got '0'" "$R" --passes 0
expect 2 "--frames x --passes must not pass 1000000" "$R" --frames 1000 --passes 1001

[ "$failures" -eq 0 ] && echo "all passed"
exit "$((failures > 0))"
