#!/usr/bin/env bash
# Checks that every tracked C++ source under src, apps, tests, bench and fuzz follows .clang-format, and names
# each file that does not. Exit code 0: all formatted; 1: some differ; 77: clang-format is not installed (skip).
# Fix a file with: clang-format -i FILE
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cd "$ROOT" || exit 2

CLANG_FORMAT="${CLANG_FORMAT:-clang-format}"
if ! command -v "$CLANG_FORMAT" >/dev/null 2>&1; then
    echo "format check skipped: $CLANG_FORMAT is not installed (apt-get install clang-format)"
    exit 77
fi

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'apps/*.cpp' 'apps/*.h' 'tests/*.cpp' 'tests/*.h' \
                                        'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h' \
                                        'tools/*.cpp' 'tools/*.h')
else
    # An exported tree without git: check what is there.
    mapfile -t files < <(find src apps tests bench fuzz tools -type f \( -name '*.cpp' -o -name '*.h' \) 2>/dev/null | sort)
fi

# One clang-format run for all files; each difference is reported as "FILE:LINE:COL: error: ...".
[ ${#files[@]} -gt 0 ] || { echo "no sources to check"; exit 0; }
output="$("$CLANG_FORMAT" --dry-run --Werror "${files[@]}" 2>&1)"
status=$?
mapfile -t differ < <(printf '%s\n' "$output" | sed -n -E 's/^(.+):[0-9]+:[0-9]+: (error|warning): .*/\1/p' | sort -u)
if [ $status -ne 0 ] && [ ${#differ[@]} -eq 0 ]; then
    # clang-format itself failed (a bad .clang-format, an unreadable file): show what it said.
    printf '%s\n' "$output"
    echo "$CLANG_FORMAT failed (exit code $status)"
    exit 1
fi

if [ ${#differ[@]} -gt 0 ]; then
    echo "${#differ[@]} of ${#files[@]} files do not follow .clang-format ($("$CLANG_FORMAT" --version)):"
    printf '  %s\n' "${differ[@]}"
    echo "Fix with: clang-format -i FILE..."
    exit 1
fi
echo "all ${#files[@]} files follow .clang-format"
