#!/usr/bin/env bash
# Fails when "upkeepctl --help" names a command or an option that the
# manual page leaves out: every command needs an entry whose first line
# carries each option of its usage, and every option an entry of its own.
#   man-page-covers-help.sh UPKEEPCTL PAGE.1
set -euo pipefail
program=$1
page=$2

# The headings it looks for are the English ones.
help=$(LC_ALL=C "$program" --help)
# The page's lines with roff's font changes and zero-width marks taken out;
# an entry is a line that starts with its command or option in bold.
plain() { sed -e 's/\\f[BIRP]//g' -e 's/\\&//g'; }
entries=$(grep -E '^\\fB' "$page" | plain)
status=0
lacks() {
    echo "$page lacks $1" >&2
    status=1
}

commands=$(sed -n '/^commands:/,/^$/p' <<<"$help" | grep -E '^  [a-z]' || true)
[ -n "$commands" ] || lacks "nothing: no command found in the help"
while read -r name usage; do
    entry=$(grep -m1 -E "^$name( |$)" <<<"$entries" || true)
    if [ -z "$entry" ]; then
        lacks "an entry for the command '$name'"
        continue
    fi
    for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$usage" || true); do
        grep -qE -- "(^| |\[)$option( |\]|$)" <<<"$entry" || lacks "$option in the entry of '$name'"
    done
done <<<"$commands"

for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -qE -- "^(-[a-z], )?$option( |,|$)" <<<"$entries" || lacks "an entry for the option $option"
done
exit $status
