#!/usr/bin/env bash
# The mutation probe: applies each mutant of tests/mutants/mutants.tsv to a scratch copy of the
# tree, rebuilds incrementally, runs the tests (the fault matrix too) and writes the kill ratio and
# the survivors to tests/mutants/RESULTS.md. Not part of CI: it takes an hour or more.
# Usage: scripts/mutate.sh [pattern]   (only mutants whose line matches the pattern; MUTANTS=file
# takes the list from another file of the same columns)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${MUTANT_DIR:-$root/build-mutants}
pattern=${1:-}
mutants=${MUTANTS:-$root/tests/mutants/mutants.tsv}
mkdir -p "$work"
rm -rf "$work/src" && mkdir -p "$work/src"
git -C "$root" ls-files -z | (cd "$root" && tar --null -T - -cf -) | tar -xmf - -C "$work/src"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$work/src" -B "$work/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTQ_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$work/build" -j"$(nproc)" >/dev/null
export QT_QPA_PLATFORM=offscreen

killed=0 survived=0 invalid=0
survivors=()
while IFS=$'\t' read -r file text replacement why; do
  [[ -z "$file" || "$file" == \#* ]] && continue
  [[ -n "$pattern" && "$file$text$why" != *"$pattern"* ]] && continue
  target="$work/src/$file"
  # Restored from the scratch copy, not the live tree, which may change while the probe runs.
  cp "$target" "$work/original"
  if ! python3 - "$target" "$text" "$replacement" <<'PY'
import sys
path, text, replacement = sys.argv[1:]
source = open(path, encoding='utf-8').read()
if source.count(text) != 1:
    sys.exit(1)
open(path, 'w', encoding='utf-8').write(source.replace(text, replacement))
PY
  then
    echo "invalid (text not found once): $file: $why"
    invalid=$((invalid + 1))
    continue
  fi
  if ! cmake --build "$work/build" -j"$(nproc)" >/dev/null 2>&1; then
    echo "invalid (does not build): $file: $why"
    invalid=$((invalid + 1))
  elif ctest --test-dir "$work/build" -j2 --stop-on-failure -LE fuzz --timeout 600 >/dev/null 2>&1; then
    echo "SURVIVED: $file: $why"
    survived=$((survived + 1))
    survivors+=("| \`$file\` | $why |")
  else
    echo "killed: $file: $why"
    killed=$((killed + 1))
  fi
  cp "$work/original" "$target"
done <"$mutants"

total=$((killed + survived))
{
  echo "# Mutation probe"
  echo
  echo "\`scripts/mutate.sh${pattern:+ $pattern}\` on $(date -u +%Y-%m-%d): $killed of $total mutants killed" \
       "($((total ? killed * 100 / total : 0)) %), $invalid not applicable. Goal: at least 90 % of at least 40."
  echo
  echo "| survivor | the fault it plants |"
  echo "|---|---|"
  printf '%s\n' "${survivors[@]}"
} | tee "$root/tests/mutants/RESULTS.md"
cmake --build "$work/build" -j"$(nproc)" >/dev/null 2>&1 || true
