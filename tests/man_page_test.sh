#!/usr/bin/env bash
# The manual page lists every option the program's --help lists, and man formats it without a warning.
# Usage: man_page_test.sh PROGRAM PAGE.1
set -uo pipefail
program=$1 page=$2
help=$(QT_QPA_PLATFORM=offscreen "$program" --help) || { echo "$program --help failed"; exit 1; }
text=$(sed 's/\\-/-/g' "$page")
failed=0
while read -r option; do
  if ! grep -qE -- "(^|[^a-z-])${option}([^a-z-]|$)" <<<"$text"; then
    echo "$page: no $option"
    failed=1
  fi
done < <(grep -oE '^  --[a-z][a-z-]*' <<<"$help" | sed 's/^ *//')
warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
  echo "$page: man warns: $warnings"
  failed=1
fi
exit $failed
