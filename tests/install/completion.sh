#!/usr/bin/env bash
# The bash completion of upkeepctl, run as bash runs it on Tab.
#   completion.sh COMPLETION-FILE DIRECTORY-OF-UPKEEPCTL
set -uo pipefail
source /usr/share/bash-completion/bash_completion
source "$1"
compopt() { :; }  # only a real Tab has options to set
PATH=$2:$PATH
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/package"
touch "$scratch/update.fmw"

status=0
# expect "WORDS..." "EXPECTED COMPLETIONS": completes the last word.
expect() {
    COMP_LINE=$1
    COMP_POINT=${#COMP_LINE}
    read -ra COMP_WORDS <<<"$COMP_LINE"
    [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _upkeepctl upkeepctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    local got
    got=$(printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd " ")
    if [[ $got != "$2" ]]; then
        echo "'$1': expected '$2', got '$got'" >&2
        status=1
    fi
}

expect "upkeepctl ch" "check"
expect "upkeepctl --v" "--version"
expect "upkeepctl check --p" "--package --parallel"
expect "upkeepctl check --m" "--metrics"
expect "upkeepctl check --j" "--json --json-lines"
expect "upkeepctl add-profile --" "--yes"
expect "upkeepctl upgrade --k" "--keyring"
expect "upkeepctl send --r" "--require-signed"
expect "upkeepctl catalogue --package $scratch/" "$scratch/package"
expect "upkeepctl send 127.0.0.1 $scratch/" "$scratch/package $scratch/update.fmw"
expect "upkeepctl downgrade 127.0.0.1 --package $scratch/package 1." ""
# No spooler answers: the target forms alone, and nothing said.
export CUPS_SERVER=$scratch/no-spooler.sock
expect "upkeepctl upgrade u" "usb:"
expect "upkeepctl check 127.0.0.1 --all l" "lpt:"

# A spooler's printers, as "upkeepctl printers" lists them.
mkdir "$scratch/bin"
cat >"$scratch/bin/upkeepctl" <<'LIST'
#!/bin/sh
printf '%s\n' "Name    Port type  Port" "office  TcpIp      192.0.2.7" \
    "lab     Usb        /dev/usb/lp0" "old     Parallel   LPT1:" \
    "gone    TcpIp      not reachable: no such host"
LIST
chmod +x "$scratch/bin/upkeepctl"
PATH=$scratch/bin:$PATH
expect "upkeepctl profiles " "192.0.2.7 ipx: lpt: usb: usb:/dev/usb/lp0"
expect "upkeepctl query " "192.0.2.7"
exit $status
