# Shared by the fault scripts: the saves under test, each as four functions over a work folder.
#   prepare_OP DIR   lays out the state before the save (the "old" versions)
#   run_OP DIR       the save itself; replaces the shell with the program (exec), so that the
#                    caller's $! is the program and kill -9 hits it
#   files_OP         the files the save rewrites, relative to DIR, each "path|backup suffix"
#                    (a suffix starting with "." is numbered: path.NNN.suffix; none: no backup)
#   extra_OP DIR REF optional further checks after an interrupted save
# A new save (category, page or meta file) is one more set of these and its name in OPS.
# Needs QUILO (the quilo binary), DRIVER (fault_driver), SRC (the repository) and WORK (the
# script's scratch folder); the index saves also need quilo-server beside quilo.

# QUILO and DRIVER of the build in $BIN (the driver from $DRIVER_DIR when given); exits 2 when
# one is not built.
find_binaries() {
  QUILO=$BIN/quilo
  DRIVER=${DRIVER_DIR:-$BIN/tests}/fault_driver
  [ -x "$DRIVER" ] || DRIVER=$BIN/fault_driver
  for b in "$QUILO" "$DRIVER"; do
    [ -x "$b" ] || { echo "missing $b: build the targets quilo and fault_driver first" >&2; exit 2; }
  done
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
}

OPS_ALL="generate split merge article shrink category page meta metainit"
TEMP_PATTERN='*.[A-Za-z0-9][A-Za-z0-9][A-Za-z0-9][A-Za-z0-9][A-Za-z0-9][A-Za-z0-9]'

tab1="본문"
long_file="본문/03_제2부/01_등대.txt"

prepare_generate() { cp -r "$SRC/examples/demo/job" "$1/job"; }
run_generate() { exec "$QUILO" generate "$1/job" --after ". "; }
files_generate() {
  (cd "$SRC/examples/demo/job" && find . -name '*.txt' | sed 's|^\./|job/|; s/$/|.org/')
}
extra_generate() {
  local dir=$1 ref=$2 f tab
  for f in "$dir"/job/*.idx; do
    [ -e "$f" ] || continue
    cmp -s "$f" "$ref/job/$(basename "$f")" || { echo "half-written index: $f"; return 1; }
  done
  # Articles are written plainly into a work folder that no index names until the run ends (the
  # old index is moved to .bak first): once the index is there, every article must be whole.
  for f in "$dir"/job/*.idx; do
    [ -e "$f" ] || continue
    tab=$(basename "$f" .idx)
    while IFS= read -r a; do
      cmp -s "$dir/$a" "$ref/$a" || { echo "half-written article under a complete index: $a"; return 1; }
    done < <(cd "$dir" && find "job/work_$tab" -name '*.txt')
  done
}
# The index keeps one generation as .bak; a rerun after a kill makes one that a clean run has not.
# A write killed half-way leaves its temporary file (name.XXXXXX) beside the whole original.
final_generate() { diff -r -q -x '~work_*' -x '*.org' -x '*.bak' -x "$TEMP_PATTERN" "$1/job" "$2/job"; }
# The file with the long line is first split (its own backup), then gets its headings numbered:
# the split alone is a whole version too.
mid_generate() {
  cp -r "$1/old/job" "$1/mid/job"
  "$QUILO" split-lines "$1/mid/job/$long_file" --after ". " >/dev/null 2>&1
}

prepare_split() { mkdir -p "$1/text"; cp "$SRC/examples/demo/job/$long_file" "$1/text/long.txt"; }
run_split() { exec "$QUILO" split-lines "$1/text/long.txt" --after ". "; }
files_split() { echo "text/long.txt|.org"; }

prepare_merge() {
  mkdir -p "$1/in" "$1/out"
  local f n=0
  # Enough text that the merge takes a while.
  for f in $(cd "$SRC/examples/demo/job" && find . -name '*.txt' | sort); do
    for r in 1 2 3 4; do n=$((n + 1)); cp "$SRC/examples/demo/job/$f" "$1/in/$(printf '%03d' $n).txt"; done
  done
  printf '이전 결과\r\n' > "$1/out/merged.txt"
}
run_merge() { exec "$QUILO" merge "$1/in" --out "$1/out/merged.txt"; }
files_merge() { echo "out/merged.txt|.bak"; }

prepare_article() {
  mkdir -p "$1/work_본문/0001"
  printf '\xff\xfe' > "$1/work_본문/0001/1_2.txt"
  printf '<H2 id=1_2>옛 기사</H2>\r\n' | iconv -f UTF-8 -t UTF-16LE >> "$1/work_본문/0001/1_2.txt"
  # The new text: large enough that writing it takes a noticeable moment.
  cp "$SRC/examples/demo/job/$long_file" "$1/new.txt"
  local i; for i in $(seq 1 6); do cat "$1/new.txt" "$1/new.txt" > "$1/new2.txt"; mv "$1/new2.txt" "$1/new.txt"; done
}
run_article() { exec "$DRIVER" save-article "$1/work_본문/0001/1_2.txt" "$1/new.txt"; }
files_article() { echo "work_본문/0001/1_2.txt|.bak"; }

prepare_shrink() { mkdir -p "$1/img"; cp "$SRC/examples/demo/job/img/lighthouse.jpg" "$1/img/a.jpg"; }
run_shrink() { exec "$QUILO" shrink "$1/img/a.jpg" 120; }
files_shrink() { echo "img/a.jpg|원본"; }

# ---- the index work saves: a demo job taken down the road once, then copied per run ----------

# Builds $WORK/road once: the demo job generated, keyword definitions fetched from a quilo-server
# child with the demo seed (which also leaves the code table in QUILO_HOME), default categories,
# the extraction workbooks and the meta files. road/job is the job after `meta init`;
# road/edited the same job after one more meta edit, with the keyword flag back on "Y" (as a
# later extraction leaves it), so that a new initialisation changes every file it writes.
demo_road() {
  local road=$WORK/road server_pid port="" i quiet=/dev/null
  [ -e "$road/done" ] && return 0
  rm -rf "$road"; mkdir -p "$road/data"
  cp -r "$SRC/examples/demo/job" "$road/job"
  "$BIN/refserver/quilo-server" --data "$road/data" --port 0 --seed "$SRC/examples/demo/server" >"$road/server.out" 2>&1 &
  server_pid=$!
  for i in $(seq 1 100); do
    port=$(sed -n 's|.*http://127\.0\.0\.1:\([0-9]*\).*|\1|p' "$road/server.out" | head -n 1)
    [ -n "$port" ] && break
    sleep 0.1
  done
  local url=http://127.0.0.1:$port ok=1
  if [ -z "$port" ]; then
    echo "road: quilo-server did not start: $(head -c 300 "$road/server.out")"; ok=0
  fi
  [ $ok = 1 ] && { "$QUILO" generate "$road/job" --after ". " >$quiet 2>"$road/err" || ok=0; }
  [ $ok = 1 ] && { "$QUILO" login --id demo --pw demo --server "$url" >$quiet 2>"$road/err" || ok=0; }
  [ $ok = 1 ] && { "$QUILO" keywords fetch "$road/job" --id demo --pw demo --server "$url" >$quiet 2>"$road/err" || ok=0; }
  kill "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null
  [ $ok = 1 ] && { "$QUILO" categories "$road/job" --tab "$tab1" --tab 번역 >$quiet 2>"$road/err" || ok=0; }
  [ $ok = 1 ] && { "$QUILO" extract "$road/job" >$quiet 2>"$road/err" || ok=0; }
  [ $ok = 1 ] && { "$QUILO" meta init "$road/job" >$quiet 2>"$road/err" || ok=0; }
  if [ $ok = 1 ]; then
    # A page file of "Main" lines, longer than the tree: saving over it keeps a backup.
    local nodes; nodes=$("$QUILO" pages "$road/job" --tab "$tab1" 2>/dev/null | wc -l)
    { printf '\xff\xfe'; for i in $(seq 1 $((nodes + 3))); do printf 'Main\r\n'; done | iconv -f UTF-8 -t UTF-16LE; } \
      > "$road/job/${tab1}_pageinfo.txt"
    cp -r "$road/job" "$road/edited"
    "$QUILO" meta set "$road/edited" --tab "$tab1" --article 1 mt_lang=영어 >$quiet 2>"$road/err" || ok=0
    LC_ALL=C sed -i 's/^updated=N/updated=Y/' "$road/edited/vuxinfo.ini"
  fi
  if [ $ok = 0 ]; then echo "road: preparing the demo job failed: $(tail -n 3 "$road/err" | tr '\n' ' ')"; return 1; fi
  touch "$road/done"
}

# Keyword tabs of the demo job, as the meta files name them.
meta_files() { (cd "$WORK/road/job" && ls -- *.kwd) | sed "s|^|job/|; s/\$/|$1/"; }

prepare_category() { demo_road && cp -r "$WORK/road/job" "$1/job"; }
run_category() { exec "$QUILO" categories "$1/job" --tab "$tab1" --set "1=기타/역사"; }
files_category() { echo "job/${tab1}_category.txt|"; }

prepare_page() { demo_road && cp -r "$WORK/road/job" "$1/job"; }
run_page() { exec "$QUILO" pages "$1/job" --tab "$tab1" --by-title; }
files_page() { echo "job/${tab1}_pageinfo.txt|"; }

prepare_meta() { demo_road && cp -r "$WORK/road/job" "$1/job"; }
run_meta() { exec "$QUILO" meta set "$1/job" --tab "$tab1" --article 1 mt_lang=한국어; }
files_meta() { echo "job/$tab1.kwd|.bak"; }

prepare_metainit() { demo_road && cp -r "$WORK/road/edited" "$1/job"; }
run_metainit() { exec "$QUILO" meta init "$1/job"; }
files_metainit() { meta_files .bak; echo "job/vuxinfo.ini|"; }

# ---- checks -------------------------------------------------------------------------------

# Every rewritten file is its old or its new complete version, and once it is the new one the
# backup holding the old one is there.
check_files() {
  local op=$1 dir=$2 old=$3 ref=$4 entry rel suffix cur found b
  while IFS= read -r entry; do
    rel=${entry%|*}; suffix=${entry#*|}
    cur="$dir/$rel"
    cmp -s "$old/$rel" "$ref/$rel" && continue
    if [ ! -e "$cur" ]; then echo "$op: $rel is gone"; return 1; fi
    if cmp -s "$cur" "$old/$rel"; then continue; fi
    if ! cmp -s "$cur" "$ref/$rel" && ! cmp -s "$cur" "${ref%/ref}/mid/$rel" 2>/dev/null; then echo "$op: $rel is neither the old nor the new version"; return 1; fi
    [ -z "$suffix" ] && continue
    found=0
    if [[ $suffix == .* ]]; then
      for b in "$cur".[0-9][0-9][0-9]"$suffix"; do cmp -s "$b" "$old/$rel" && found=1; done
    else
      cmp -s "$cur.$suffix" "$old/$rel" && found=1
    fi
    [ $found = 1 ] || { echo "$op: $rel is new but no backup holds the old version"; return 1; }
  done < <(files_"$op")
}

# The files a completed save must leave: the reference.
check_final() {
  local op=$1 dir=$2 ref=$3 entry rel
  if declare -F final_"$op" >/dev/null; then final_"$op" "$dir" "$ref" || return 1; fi
  while IFS= read -r entry; do
    rel=${entry%|*}
    cmp -s "$dir/$rel" "$ref/$rel" || { echo "$op: after the rerun $rel differs from a clean run"; return 1; }
  done < <(files_"$op")
}

# A clean run of the save in $1/ref and the untouched state in $1/old.
make_reference() {
  local op=$1 base=$2
  mkdir -p "$base/old" "$base/ref" "$base/mid"
  prepare_"$op" "$base/old"; prepare_"$op" "$base/ref"
  if declare -F mid_"$op" >/dev/null; then mid_"$op" "$base"; fi
  ( run_"$op" "$base/ref" ) >/dev/null 2>&1 || { echo "$op: the clean run failed"; return 1; }
}
