#!/usr/bin/env bash
# The man pages and the programs' --help agree: every option that "NAME --help" lists is an item
# (.TP) of NAME's man page and every item of the page is listed by --help. For a program with
# commands ("commands:" in its --help) each command has a ".SS COMMAND" section under COMMANDS
# holding the items of that command's options (from the program's --help and the command's own
# "NAME COMMAND --help"). "NAME --version" shows "NAME VERSION".
# usage: man_pages_test.sh VERSION NAME PROGRAM MAN_PAGE [NAME PROGRAM MAN_PAGE ...]
set -uo pipefail

version=$1
shift
mismatches=0

# The items of a --help text as "SCOPE ITEM" lines: SCOPE is the command an option belongs to,
# "-" for the program itself; ITEM is a long option, or "command" for the command itself.
help_items() {
    awk '
        /^commands:/ { in_commands = 1; next }
        in_commands && /^$/ { in_commands = 0 }
        in_commands && /^  [a-z]/ { scope = $1; print scope, "command" }
        {
            s = in_commands ? scope : "-"
            line = $0
            while (match(line, /--[a-z][a-z0-9-]*/)) {
                print s, substr(line, RSTART, RLENGTH)
                line = substr(line, RSTART + RLENGTH)
            }
        }'
}

# The items of a man page in the same form: the long options in the tag lines of .TP, scoped by
# the .SS section they stand in under COMMANDS.
page_items() {
    sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\f([A-Z][A-Z]//g' "$1" | awk '
        /^\.\\"/ { next }
        /^\.SH/ { commands = ($2 == "COMMANDS" || $2 == "\"COMMANDS\""); scope = "-"; next }
        /^\.SS/ && commands { scope = $2; gsub(/"/, "", scope); print scope, "command"; next }
        /^\.TP/ { tag = 1; next }
        tag {
            tag = 0
            line = $0
            while (match(line, /--[a-z][a-z0-9-]*/)) {
                print scope, substr(line, RSTART, RLENGTH)
                line = substr(line, RSTART + RLENGTH)
            }
        }'
}

report() { # WHERE_FOUND WHERE_MISSING SCOPE ITEM
    local what="$4"
    if [ "$4" = command ]; then
        what="the command $3"
    elif [ "$3" != - ]; then
        what="$4 of the command $3"
    fi
    echo "MISMATCH: $what is in $1 but not in $2"
    mismatches=$((mismatches + 1))
}

while [ $# -ge 3 ]; do
    name=$1 program=$2 page=$3
    shift 3
    if ! help=$("$program" --help); then
        echo "MISMATCH: '$name --help' exits with a failure"
        mismatches=$((mismatches + 1))
    fi
    shown_version=$("$program" --version)
    if [ "$shown_version" != "$name $version" ]; then
        echo "MISMATCH: '$name --version' shows '$shown_version', not '$name $version'"
        mismatches=$((mismatches + 1))
    fi
    from_help=$(help_items <<<"$help")
    # A command's own --help, where it has one, counts for that command as well.
    for command in $(awk '$2 == "command" { print $1 }' <<<"$from_help"); do
        if command_help=$("$program" "$command" --help 2>/dev/null); then
            from_help+=$'\n'$(help_items <<<"$command_help" | awk -v c="$command" '{ print c, $2 }')
        fi
    done
    from_help=$(sort -u <<<"$from_help")
    from_page=$(page_items "$page" | sort -u)
    while read -r scope item; do
        [ -n "$scope" ] && report "'$name --help'" "$page" "$scope" "$item"
    done < <(comm -23 <(echo "$from_help") <(echo "$from_page"))
    while read -r scope item; do
        [ -n "$scope" ] && report "$page" "'$name --help'" "$scope" "$item"
    done < <(comm -13 <(echo "$from_help") <(echo "$from_page"))
    echo "$name: $(wc -l <<<"$from_help") items of --help checked against $page"
done

if [ "$mismatches" -gt 0 ]; then
    echo "$mismatches mismatches: describe each new option as a .TP item of the man page (in its"
    echo "command's .SS section), or list it in --help."
    exit 1
fi
