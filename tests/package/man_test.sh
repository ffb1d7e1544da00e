#!/usr/bin/env bash
# Checks the manual pages: each passes mandoc's lint, renders without a warning from man (the
# English pages also in the C locale, on a terminal without Japanese), gives whatis a NAME line
# and names the version the tool reports; and tenvari-cli(1), in every language, shows each
# command and option of `tenvari-cli --help` as the usage writes it, so that the two cannot drift
# apart.
# usage: man_test.sh TENVARI_CLI MAN_SOURCE_DIR
set -uo pipefail
tool=$1
man_dir=$2

missing=()
for tool_package in man:man-db lexgrog:man-db mandoc:mandoc; do
    command -v "${tool_package%%:*}" >/dev/null || missing+=("${tool_package#*:}")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "skipped: the manual pages need the packages $(printf '%s\n' "${missing[@]}" |
        sort -u | paste -sd ' ')"
    exit 77
fi

passed=0
failed=0
check() {
    local what=$1 ok=$2 detail=$3
    if [[ $ok ]]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAILED: %s\n%s\n' "$what" "$detail" >&2
    fi
}

# The page as man shows it, on one line per paragraph line, with runs of blanks as one and the
# hyphen and minus signs of the typesetter as "-".
rendered() {
    MANWIDTH=1000 man -l "$1" 2>/dev/null | sed 's/‐/-/g; s/−/-/g; s/[[:space:]]\{1,\}/ /g'
}

version=$("$tool" --version)
version=${version##* }
for page in "$man_dir"/*.1 "$man_dir"/ja/*.1; do
    name=${page#"$man_dir"/}
    lint=$(mandoc -Tlint "$page" 2>&1)
    check "$name passes mandoc -Tlint" "$([[ -z $lint ]] && echo 1)" "$lint"
    warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    check "$name renders without warnings" "$([[ -z $warnings ]] && echo 1)" "$warnings"
    if [[ $name != */* ]]; then
        warnings=$(LC_ALL=C LANG=C MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
        check "$name renders without warnings in the C locale" \
            "$([[ -z $warnings ]] && echo 1)" "$warnings"
    fi
    whatis=$(lexgrog "$page" 2>&1)
    check "$name has a NAME line for whatis" "$([[ $whatis == *' - '* ]] && echo 1)" "$whatis"
    header=$(grep -m 1 '^\.TH ' "$page")
    check "$name is of version $version" "$([[ $header == *"\"Tenvari $version\""* ]] && echo 1)" \
        "$header"
done

# Each entry of the usage: a line of two blanks, then the entry up to the next two blanks.
usage=$("$tool" --help)
entries=()
while IFS= read -r line; do
    if [[ $line == '  '[![:space:]]* ]]; then
        entry=${line:2}
        entries+=("${entry%%  *}")
    fi
done <<<"$usage"
check "the usage lists the commands and options" "$([[ ${#entries[@]} -ge 10 ]] && echo 1)" \
    "$usage"

for page in "$man_dir/tenvari-cli.1" "$man_dir/ja/tenvari-cli.1"; do
    text=$(rendered "$page")
    missing=()
    for entry in "${entries[@]}"; do
        [[ $text =~ (^|[^[:alnum:]-])"$entry"([^[:alnum:]-]|$) ]] || missing+=("$entry")
    done
    check "${page#"$man_dir"/} shows every entry of the usage" \
        "$([[ ${#missing[@]} -eq 0 ]] && echo 1)" "  missing: $(printf '"%s" ' "${missing[@]}")"
done

echo "man test: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
