#!/usr/bin/env bash
# scripts/check-layers fails, naming the file and the two layers, on what it
# exists to catch: a window including another window, a window linking
# another, the engine linking Qt Widgets. Each is planted in a copy of the
# sources.
set -euo pipefail
source=$1
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
# What the check reads: the table, the script, the sources and CMake files
# (build trees left out, as the check leaves them out).
(cd "$source" && find . -name .git -prune -o -type d -exec test -e '{}/CMakeCache.txt' ';' -prune -o -type f \
   \( -name '*.cpp' -o -name '*.h' -o -name CMakeLists.txt -o -name '*.cmake' -o -name README.md \
      -o -path ./scripts/check-layers \) -print) | tar -C "$source" -cf - -T - | tar -C "$copy" -xf -

# plant FILE SED-EXPRESSION EXPECTED: the check must fail and say EXPECTED.
plant() {
  cp "$copy/$1" "$copy/$1.kept"
  sed -i "$2" "$copy/$1"
  if out=$("$copy/scripts/check-layers" "$copy"); then
    echo "not caught: $1 ($2)"; exit 1
  fi
  grep -qF "$3" <<<"$out" || { echo "caught without saying \"$3\":"; echo "$out"; exit 1; }
  mv "$copy/$1.kept" "$copy/$1"
}
"$copy/scripts/check-layers" "$copy"
plant catalogue/Frmobjetos.cpp '1a #include "loans/Frmemprestimos.h"' \
  'catalogue/Frmobjetos.cpp:2 includes "loans/Frmemprestimos.h": the catalogue window Frmobjetos (ondrel_catalogue) may not use the loans window Frmemprestimos (ondrel_loans)'
plant catalogue/CMakeLists.txt 's/ondrel_chrome/ondrel_chrome ondrel_search/' \
  'links ondrel_catalogue to ondrel_search: the catalogue window Frmobjetos (ondrel_catalogue) may not use the search dialog Frmpesquisa (ondrel_search)'
plant database/CMakeLists.txt 's/SQLite::SQLite3/SQLite::SQLite3 Qt6::Widgets/' \
  'links ondrel_engine to Qt6::Widgets: engine (ondrel_engine) may not use Qt6::Widgets'
echo "the layer check catches a planted include and two planted links"
