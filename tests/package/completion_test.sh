#!/usr/bin/env bash
# Drives the bash completion of tenvari-cli as bash does on Tab: sets COMP_WORDS, COMP_CWORD,
# COMP_LINE and COMP_POINT, calls the completion function and compares COMPREPLY.
# usage: completion_test.sh TENVARI_CLI COMPLETION_SCRIPT
set -uo pipefail
tool=$1
script=$2

completion=/usr/share/bash-completion/bash_completion
if [ ! -r "$completion" ]; then
    echo "skipped: the package bash-completion is missing ($completion)"
    exit 77
fi
# shellcheck source=/dev/null
source "$completion" || exit 1
# shellcheck source=/dev/null
source "$script" || exit 1

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tenvari-completion.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
# The user's own data stays out of the fixture's way.
export XDG_DATA_HOME=$tmp/xdg-data

# Names with blanks, brackets, quotes, a colon and a dollar; a symbol two units share; a
# symbol that is another unit's full name.
data=$tmp/data
mkdir -p "$data/sub"
{
    printf '\xef\xbb\xbf'
    cat <<'EOF'
>>
長さ
"メートル [m]",$i,$t,
"フィート [ft]",$i*0.3048,$t/0.3048,
"米国測量フィート [ft(US)]",$i*1200/3937,$t*3937/1200,
"O'Brien [ob]",$i*2,$t/2,
"a ""q"" [dq]",$i*3,$t/3,
"比:1 [r]",$i*4,$t/4,
"$HOME [h]",$i*5,$t/5,
<<
>>
面 積
"平方メートル [m2]",$i,$t,,sqm
"秒 [s]",$i,$t,
"別の秒 [s]",$i,$t,
"m2",$i,$t,
<<
EOF
} >"$data/units.dat"
printf 'k,1E3\n' >"$data/prefix.dat"

passed=0
failed=0

# complete WORD...: runs the completion with the last WORD as the one being completed.
complete_words() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _tenvari_cli "$1" "${!#}" "${COMP_WORDS[COMP_CWORD - 1]}"
}

report() {
    local name=$1 ok=$2 detail=$3
    if [[ $ok ]]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAILED: %s\n%s\n' "$name" "$detail" >&2
    fi
}

# row NAME WORD... :: REPLY...: the completion of the words gives exactly these replies.
row() {
    local name=$1 words=() expected=() got want
    shift
    while [[ $1 != "::" ]]; do
        words+=("$1")
        shift
    done
    shift
    expected=("$@")
    complete_words "$tool" "${words[@]}"
    got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort)
    want=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
    report "$name" "$([[ $got == "$want" ]] && echo 1)" "  got:  ${got//$'\n'/ | }
  want: ${want//$'\n'/ | }"
}

d=(--data "$data")

row "commands by prefix" base :: base base-all
row "option values" --show-ans '' :: 0 1 2
row "options before the command include --help" --show- :: --show-ans --show-exp
row "no --help after the command" groups --h :: ''
row "groups after convert" "${d[@]}" convert '' :: 長さ '面\ 積'
row "groups after units, by prefix" "${d[@]}" units 面 :: '面\ 積'
row "units and unique symbols, escaped" "${d[@]}" convert 長さ フ :: 'フィート\ \[ft\]'
row "symbols complete" "${d[@]}" convert 長さ f :: ft 'ft\(US\)'
row "open double quote" "${d[@]}" convert 長さ '"米' :: '米国測量フィート [ft(US)]'
row "open single quote" "${d[@]}" all 長さ "'米" :: '米国測量フィート [ft(US)]'
row "escaped prefix" "${d[@]}" convert 長さ 'メートル\ \[' :: 'メートル\ \[m\]'
row "single quote in a name" "${d[@]}" convert 長さ "'O" :: "O'\\''Brien [ob]"
row "double quote in a name" "${d[@]}" convert 長さ '"a' :: 'a \"q\" [dq]'
row "single quote in a name, unquoted" "${d[@]}" convert 長さ O :: "O\\'Brien\\ \\[ob\\]"
row "double quote in a name, unquoted" "${d[@]}" all 長さ a :: 'a\ \"q\"\ \[dq\]'
row "dollar in a name" "${d[@]}" convert 長さ '\$H' :: '\$HOME\ \[h\]'
row "colon in a name" "${d[@]}" convert 長さ '比:' :: '1\ \[r\]'
row "quoted group before the unit" "${d[@]}" convert '"面 積"' 平 :: '平方メートル\ \[m2\]'
row "to unit after from unit" "${d[@]}" convert 長さ ft メ :: 'メートル\ \[m\]'
row "group by index" "${d[@]}" all '#1' 秒 :: '秒\ \[s\]'
row "shared symbol and full-name symbol left out" "${d[@]}" all 面\ 積 '' \
    :: '平方メートル\ \[m2\]' '秒\ \[s\]' '別の秒\ \[s\]' m2
row "nothing after the last argument" "${d[@]}" convert 長さ ft m '' :: ''
row "--data=DIR form" "--data=$data" units '' :: 長さ '面\ 積'
row "options ended by --" "${d[@]}" -- units '' :: 長さ '面\ 積'
row "quoted command" "${d[@]}" '"units"' '' :: 長さ '面\ 積'
row "no command" "${d[@]}" nosuch '' :: ''
row "the history's commands" h :: history
row "history's options" history '' :: -n --clear
row "history's options after the command" "${d[@]}" history --c :: --clear
row "nothing after the history's count" history -n 5 '' :: ''
row "a query is typed freely" "${d[@]}" 5 ft to '' :: ''
row "to unit after a unit given by its alias" "${d[@]}" convert sqm 平 :: '平方メートル\ \[m2\]'
row "the value option" "${d[@]}" --va :: --value
row "the version option before a command" --vers :: --version

# Every command and option of the tool's own usage text is offered.
usage=$("$tool" --help)
complete_words "$tool" ''
commands=" ${COMPREPLY[*]} "
complete_words "$tool" -
options=" ${COMPREPLY[*]} "
missing=()
for word in $(printf '%s\n' "$usage" | sed -n 's/^  \([a-z-][a-z-]*\).*/\1/p'); do
    if [[ $word == -* ]]; then
        [[ $options == *" $word "* ]] || missing+=("$word")
    else
        [[ $commands == *" $word "* ]] || missing+=("$word")
    fi
done
report "every command and option of --help" "$([[ ${#missing[@]} -eq 0 ]] && echo 1)" \
    "  not offered: ${missing[*]}"

# The tool is asked with the line's data options, and nothing on the line runs. A stand-in
# tool answers with fixed lines and logs its arguments; it also knows the search command.
stub=$tmp/stub-cli
cat >"$stub" <<EOF
#!/bin/sh
printf '%s\n' "\$*" >>"$tmp/stub.log"
case "\$*" in
*groups) printf '0\t長さ\n1\t面積\n' ;;
*"units -- 長さ") printf '0\tフィート [ft]\n1\tメートル [m]\n' ;;
*"units -- 面積") printf '0\t平方フィート [ft2]\n' ;;
*"find -- ft" | *"find -- フィート") printf '長さ\tフィート [ft]\n面積\t平方フィート [ft2]\n' ;;
*) exit 2 ;;
esac
EOF
chmod +x "$stub"
tool=$stub
row "group left out: the units beside FROM, by symbol" convert ft '' \
    :: 'フィート\ \[ft\]' 'メートル\ \[m\]' ft m
row "group left out, FROM by its name without the symbol" convert フィート メ :: 'メートル\ \[m\]'
row "group left out, unknown FROM" convert nosuch '' :: ''
: >"$tmp/stub.log"
(
    cd "$tmp" || exit 1
    complete_words "$stub" --data '"my dir"' --no-user-data convert '"$(touch ran)"' ''
)
expected="--data my dir --no-user-data units -- \$(touch ran)
--data my dir --no-user-data find -- \$(touch ran)"
report "data options reach the tool" "$([[ $(cat "$tmp/stub.log") == "$expected" ]] && echo 1)" \
    "  got:  $(cat "$tmp/stub.log")
  want: $expected"
report "nothing on the line runs" "$([[ ! -e $tmp/ran ]] && echo 1)" "  a word was run"

echo "completion test: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
