#!/usr/bin/env bash
# The bash completion loads, registers itself for tagwright, and completes what the
# program takes: exactly the long options its --help lists, the six save types after
# -s and -e, file names after -o (in the same word) and after --.
#
# usage: completion_test.sh packaging/tagwright.bash path/to/tagwright
set -euo pipefail
script=$(realpath "$1")
program=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
touch game.gba ./-odd.gba notes.txt

# shellcheck source=/dev/null
source "$script"
[[ $(complete -p tagwright) == *"-F _tagwright"* ]] || { echo "not registered for tagwright"; exit 1; }

failed=0
completes() {  # completes WANT WORD... (the last word is the one completed)
    local want=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _tagwright
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
    if [[ $got != "$want" ]]; then
        echo "[$*] completes to '$got', not '$want'"
        failed=1
    fi
}

# The long options as --help lists them ("--info --json ROM..." names both).
long=$("$program" --help | grep -oE '^--[a-z-]*( --[a-z]+)?' | tr ' ' '\n' | sort -u | tr '\n' ' ')
completes "$long" tagwright --
completes "--in-place --info " tagwright --in
completes "-s1 -s2 -s3 -s4 -s5 -s6 " tagwright game.gba -s
completes "-e6 " tagwright game.gba -e6
completes "-ogame.gba " tagwright game.gba -og
completes "game.gba " tagwright g
completes "-odd.gba " tagwright --in-place -s6 -- -o
exit $failed
