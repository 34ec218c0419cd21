#!/usr/bin/env bash
# Fault tests of the whole recorder, run against the real program with
# virtual cameras, offscreen: killed and terminated mid-recording, flapping
# cameras, the recording folder deleted, a full disk, a locked database.
# About five minutes; needs root for the full-disk case (a small tmpfs).
#   tests/fault/run_faults.sh [kill_and_restart|flapping_cameras|folder_removed|full_disk|database_locked|silent_name_server ...]
set -uo pipefail
IFS=$'\n'  # recording names hold blanks
repo="$(cd "$(dirname "$0")/../.." && pwd)"
bash "$repo/scripts/build.sh" >/dev/null || exit 1
lumaro="$repo/build/app/lumaro"
work="$(mktemp -d /tmp/lumaro-faults-XXXXXX)"
pass=0
fail=0
camera="lavfi:testsrc2=size=640x480:rate=25"

check() {
  if eval "$2"; then echo "PASS  $1"; pass=$((pass + 1)); else echo "FAIL  $1"; fail=$((fail + 1)); fi
}
# A working folder with a database, a recording folder and no help at start.
fresh() {
  dir="$work/$1"
  mkdir -p "$dir/rec" "$dir/config"
  (cd "$dir" && "$lumaro" --create-database >/dev/null)
  sqlite3 "$dir/db/dbvardo.db" "insert into soft_set values('video_root_path','$dir/rec')"
  printf '[start]\nshow_help=0\n' >"$dir/config/Lumaro.ini"
}
# Starts the program in $dir with the cameras $1; its pid is in $pid.
start() {
  (cd "$dir" && QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$dir/config" LUMARO_CAPTURE_DEVICES="$1" \
     exec "$lumaro" >>"$dir/stdout.log" 2>>"$dir/stderr.log") &
  pid=$!
}
# Sends $1 and waits; $status is the exit status, $took the seconds it took.
stop() {
  local t0=$SECONDS
  kill -s "$1" "$pid"
  wait "$pid"
  status=$?
  took=$((SECONDS - t0))
}
pictures() {
  ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 \
    -f mpegvideo "$1" 2>/dev/null || echo 0
}
ends_with_end_code() { [ "$(tail -c 4 "$1" | od -An -tx1 | tr -d ' \n')" = "000001b7" ]; }
rows() { sqlite3 "$dir/db/dbvardo.db" "select count(*) from video_save_history ${1:-}"; }
files() { find "$dir/rec" -name '*.mpg' | sort; }
proc() { awk -v k="$1:" '$1 == k {print $2}' "/proc/$pid/status"; }

kill_and_restart() {
  fresh kill
  start "$camera;$camera;$camera;$camera"
  sleep 6
  stop KILL
  local all_decode=true all_rows=true f
  for f in $(files); do
    [ "$(pictures "$f")" -ge 90 ] || all_decode=false
    [ "$(rows "where video_save_path='$f'")" = 1 ] || all_rows=false
  done
  check "SIGKILL, four cameras: four files" '[ "$(files | wc -l)" = 4 ]'
  check "SIGKILL: every file decodes up to the kill (>= 90 pictures)" '$all_decode'
  check "SIGKILL: every file has its row" '$all_rows'
  local before
  before="$(files)"
  sleep 1
  start "$camera;$camera;$camera;$camera"
  sleep 5
  stop TERM
  local new_files all_end=true
  new_files="$(comm -13 <(echo "$before") <(files))"
  for f in $new_files; do ends_with_end_code "$f" || all_end=false; done
  check "next start records into four new files with rows" '[ "$(printf "%s\n" "$new_files" | grep -c .)" = 4 ] && [ "$(rows)" = 8 ]'
  check "SIGTERM: exit code 0 within 5 s" '[ "$status" = 0 ] && [ "$took" -le 5 ]'
  check "SIGTERM: every file ends with 00 00 01 B7" '$all_end'
}

flapping_cameras() {
  fresh flap
  local short="lavfi:testsrc2=size=320x240:rate=25:duration=2"
  start "$short;$short;$short;$short"
  sleep 30
  local rss0 fd0 th0 rss_max=0 fd_max=0 th_max=0 i
  rss0=$(proc VmRSS); fd0=$(ls "/proc/$pid/fd" | wc -l); th0=$(proc Threads)
  for i in $(seq 9); do
    sleep 10
    local rss fd th
    rss=$(proc VmRSS); fd=$(ls "/proc/$pid/fd" | wc -l); th=$(proc Threads)
    [ "$rss" -gt "$rss_max" ] && rss_max=$rss
    [ "$fd" -gt "$fd_max" ] && fd_max=$fd
    [ "$th" -gt "$th_max" ] && th_max=$th
  done
  echo "      flapping: after 30 s RSS ${rss0} kB, fds ${fd0}, threads ${th0};" \
       "at most RSS ${rss_max} kB, fds ${fd_max}, threads ${th_max} over the next 90 s"
  stop TERM
  check "flapping: memory flat (growth under 16 MiB)" '[ $((rss_max - rss0)) -lt 16384 ]'
  check "flapping: open files flat (at most 4 more)" '[ $((fd_max - fd0)) -le 4 ]'
  # Each running camera has a reader and a streaming thread: four cameras
  # coming and going swing the count by up to eight, a pile-up grows without end.
  check "flapping: no thread piles up (at most two a camera more)" '[ $((th_max - th0)) -le 8 ]'
  local doubles count
  doubles=$(sqlite3 "$dir/db/dbvardo.db" "select count(*) from (select 1 from video_save_history group by video_save_path having count(*) > 1)")
  count=$(files | wc -l)
  echo "      flapping: $count files, $(rows) rows"
  check "flapping: every file has exactly one row" '[ "$doubles" = 0 ] && [ "$count" = "$(rows)" ] && [ "$count" -gt 40 ]'
}

folder_removed() {
  fresh folder
  start "$camera"
  sleep 4
  rm -rf "$dir/rec"
  sleep 3
  mkdir "$dir/rec"
  sleep 4
  stop TERM
  local f
  f=$(files | tail -n 1)
  check "folder removed: exit code 0" '[ "$status" = 0 ]'
  check "folder removed: one error line" '[ "$(grep -c "^[0-9-]* [0-9:]* lumaro:" "$dir/stderr.log")" = 1 ]'
  check "folder removed: recording resumes in the restored folder" '[ -n "$f" ] && [ "$(pictures "$f")" -ge 50 ] && ends_with_end_code "$f"'
}

full_disk() {
  fresh disk
  if ! mount -t tmpfs -o size=6m tmpfs "$dir/rec" 2>/dev/null; then
    echo "SKIP  full disk: this machine does not allow a tmpfs mount"
    return
  fi
  start "$camera"
  sleep 3
  dd if=/dev/zero of="$dir/rec/filler" bs=64k 2>/dev/null
  sleep 3
  local full_size after_size lines decoded=1 f
  full_size=$(cat $(files) | wc -c)
  rm -f "$dir/rec/filler"
  sleep 4
  after_size=$(cat $(files) | wc -c)
  stop TERM
  lines=$(grep -c "^[0-9-]* [0-9:]* lumaro:" "$dir/stderr.log")
  for f in $(files); do
    [ -z "$(ffmpeg -v error -i "$f" -f null - 2>&1)" ] || decoded=0
  done
  check "full disk: exit code 0" '[ "$status" = 0 ]'
  echo "      full disk: $lines error lines, $(files | wc -l) files"
  check "full disk: at most one error line for each file" '[ "$lines" -ge 1 ] && [ "$lines" -le "$(files | wc -l)" ]'
  check "full disk: recording resumes when space returns" '[ "$after_size" -gt $((full_size + 50000)) ]'
  check "full disk: every file decodes without an error" '[ "$decoded" = 1 ]'
  umount "$dir/rec"
}

database_locked() {
  fresh locked
  sqlite3 "$dir/db/dbvardo.db" "insert into video_save_history (capdrive, video_save_path, start_time) values (1, '$dir/rec/old.mpg', '2000-01-01 00:00:00')"
  (echo "begin exclusive;"; sleep 9; echo "commit;") | sqlite3 "$dir/db/dbvardo.db" &
  sleep 0.5
  start "$camera"
  sleep 50
  (echo "begin exclusive;"; sleep 20; echo "commit;") | sqlite3 "$dir/db/dbvardo.db" &
  sleep 25
  stop TERM
  local f
  f=$(files | head -n 1)
  check "database locked: exit code 0 within 5 s" '[ "$status" = 0 ] && [ "$took" -le 5 ]'
  check "database locked: the busy row write is reported" 'grep -q "Command 异常" "$dir/stdout.log"'
  check "database locked: the file kept recording (>= 1500 pictures)" '[ -n "$f" ] && [ "$(pictures "$f")" -ge 1500 ]'
  check "database locked: the row is written once the lock is gone" '[ "$(rows "where video_save_path='"'"'$f'"'"'")" = 1 ]'
}

# A camera named by a host whose name server takes packets and never
# answers: SIGTERM while the name is looked up ends the program at once,
# and after the lookup's 5 s the camera is said to have no address. Needs
# root: /etc/resolv.conf is replaced in a private mount namespace, and the
# silent server listens on 127.0.0.1:53.
silent_name_server() {
  if [ "$(id -u)" != 0 ] || ! command -v unshare >/dev/null; then echo "SKIP  silent name server (needs root)"; return; fi
  fresh dns
  python3 -c 'import socket, time
u = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); u.bind(("127.0.0.1", 53))
t = socket.socket(); t.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1); t.bind(("127.0.0.1", 53)); t.listen(8)
time.sleep(60)' 2>/dev/null &
  local server=$!
  sleep 0.5
  if ! kill -0 "$server" 2>/dev/null; then echo "SKIP  silent name server (port 53 is taken)"; return; fi
  printf 'nameserver 127.0.0.1
options timeout:5 attempts:2
' >"$dir/resolv.conf"
  local wait_s
  for wait_s in 2 8; do
    (cd "$dir" && exec unshare -m sh -c 'mount --bind "$0" /etc/resolv.conf && exec "$@"' "$dir/resolv.conf" \
       env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$dir/config" \
       LUMARO_CAPTURE_DEVICES="mpjpeg:http://camera.example.com:8080/video" "$lumaro" \
       >>"$dir/stdout.log" 2>>"$dir/stderr.log") &
    pid=$!
    sleep "$wait_s"
    stop TERM
    [ "$wait_s" = 2 ] && check "silent name server: SIGTERM during the lookup ends within 1 s" '[ "$status" = 0 ] && [ "$took" -le 1 ]'
  done
  kill "$server" 2>/dev/null
  check "silent name server: the camera's host is said not to be found" 'grep -q "the host name could not be looked up" "$dir/stderr.log"'
}

for t in "${@:-kill_and_restart flapping_cameras folder_removed full_disk database_locked silent_name_server}"; do
  for name in $(echo "$t" | tr ' ' '\n'); do "$name"; done
done
echo "$pass passed, $fail failed (logs in $work)"
[ "$fail" = 0 ]
