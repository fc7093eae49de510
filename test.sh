#!/usr/bin/env bash
# Installs what is missing, builds Varnhold with its tests (build/) and the core alone with the UI switched off
# (build-core/, the proof that the core needs no widgets), then runs every test in build/ and the command-line
# tests again against the core-only varnhold-cli, and finally makes the Debian package from build/ and checks it
# (package.sh --check). Exit code 0 only when both builds, all tests and the package check pass.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$ROOT/scripts-common.sh"
install_missing
build_varnhold
build_core
export QT_QPA_PLATFORM=offscreen
status=0
(cd "$ROOT/build" && ctest --output-on-failure -j 2 "$@") || status=1
echo "== the core alone (build-core, no UI) =="
(cd "$ROOT/build-core" && ctest --output-on-failure -j 2 -R "^test_cli[.]" "$@") || status=1
echo "== the Debian package (package.sh --check) =="
"$ROOT/package.sh" --check || status=1
exit $status
