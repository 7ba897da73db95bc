#!/usr/bin/env bash
# The bash completion of quelmonctl and quelmondsrvc, called as bash calls it (COMP_WORDS set).
# usage: completion_test.sh COMPLETION_DIR QUELMONCTL FIXTURE_MACHINE   (exit 77: no bash-completion)
completions=$1 quelmonctl=$2 machine=$(cd "$3" && pwd)
source /usr/share/bash-completion/bash_completion 2>/dev/null || { echo "bash-completion is missing"; exit 77; }
source "$completions/quelmonctl" && source "$completions/quelmondsrvc" || exit 1
export QUELLARIMOND_PROCFS=$machine/proc QUELLARIMOND_SYSFS=$machine/sys
failures=0

# complete FUNCTION WORD...: the completions of the last word.
complete_words()
{
    local function=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}"
}

# expect WANTED|!UNWANTED... -- FUNCTION WORD...: each wanted line is offered, no unwanted one.
expect()
{
    local checks=()
    while [[ $1 != -- ]]; do checks+=("$1"); shift; done
    shift
    local offered
    offered=$(complete_words "$@")
    for check in "${checks[@]}"; do
        if [[ $check == !* ]]; then
            grep -qxF -- "${check#!}" <<<"$offered" || continue
        else
            ! grep -qxF -- "$check" <<<"$offered" || continue
        fi
        echo "FAIL: [${*:2}] gave [${offered//$'\n'/ | }], expected ${check}"
        failures=$((failures + 1))
    done
}

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" && touch web.qlmd notes.txt && mkdir profiles

expect sample -- _quelmonctl "$quelmonctl" sa
expect list sample render check rules --version -- _quelmonctl "$quelmonctl" ""
expect --size --wait --default -- _quelmonctl "$quelmonctl" render --
expect web.qlmd profiles !notes.txt -- _quelmonctl "$quelmonctl" check ""
# Counter paths once a backslash is typed: in single quotes as typed, else escaped for the shell.
expect "'\\Processor" "'\\Memory" -- _quelmonctl "$quelmonctl" sample "'\\"
expect "'\\Processor(_Total)\\% Processor Time" "'\\Processor(0)\\% Processor Time" \
    "!'\\Memory\\Available Bytes" -- _quelmonctl "$quelmonctl" sample "'\\Processor("
expect '\\Memory\\Available\ Bytes' -- _quelmonctl "$quelmonctl" sample '\\Memory\\Av'
expect Processor -- _quelmonctl "$quelmonctl" list Proc
expect -remove -run -- _quelmondsrvc quelmondsrvc -r
expect -metrics -metrics-web-config -- _quelmondsrvc quelmondsrvc -run -m

((failures == 0)) && echo "completion: all cases passed"
exit $((failures != 0))
