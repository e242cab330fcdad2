#!/usr/bin/env bash
# Writes the manual page of vkdc-cli from the program's own --help and each command's --help,
# so that the page says what the program it ships with does.
#   tools/cli-manpage.sh VKDC_CLI VERSION OUT.1
# The build runs it (src/app/packaging.cmake); the .deb installs the page compressed.
set -euo pipefail

cli=$1
version=$2
out=$3

# Roff-escapes text: backslashes, minus signs, and a leading '.' or "'" that would start a
# request.
escape() {
    sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"
}

# A CLI11 help text as roff: the "Usage:" line in bold, each "Positionals:"/"Options:" entry as
# a tagged paragraph, the other lines as text. "-h,--help" is left out (every command has it),
# and so is the "TEXT REQUIRED" of positionals. Takes text already escaped.
help_to_roff() {
    awk '
        /^Usage: / { sub(/^Usage: /, ""); printf ".PP\n.B %s\n", $0; next }
        /^(Positionals|Options|Subcommands):$/ { section = 1; next }
        /^$/ { section = 0; print ".PP"; next }
        section && /^  [^ ]/ {
            line = substr($0, 3)
            name = line; desc = ""
            if (match(line, /   +/)) {
                name = substr(line, 1, RSTART - 1)
                desc = substr(line, RSTART + RLENGTH)
            }
            if (name ~ /^\\-h,/) next
            sub(/ TEXT REQUIRED$/, "", name)
            printf ".TP\n.B %s\n%s\n", name, desc
            next
        }
        { print }
    '
}

top=$("$cli" --help)
# The first paragraph (before "Usage:") describes the program.
summary=$(printf '%s\n' "$top" | sed -n '1,/^Usage:/p' | sed '$d' | tr '\n' ' ' | sed 's/ *$//')
summary=${summary%.}
# After the list of commands: the exit statuses and the note on '--'.
footer=$(printf '%s\n' "$top" | sed -n '/^Subcommands:$/,$p' | sed -n '/^$/,$p' | sed '1d')
verbs=$(printf '%s\n' "$top" | sed -n '/^Subcommands:$/,/^$/p' | awk '/^  [^ ]/ {print $1}')

{
    echo ".TH VKDC\\-CLI 1 \"\" \"vkdc $version\" \"User Commands\""
    echo ".SH NAME"
    echo "vkdc\\-cli \\- $(printf '%s' "${summary#vkdc-cli: }" | escape)"
    echo ".SH SYNOPSIS"
    for verb in $verbs; do
        usage=$("$cli" "$verb" --help | sed -n 's/^Usage: //p')
        printf '.B %s\n.br\n' "$(printf '%s' "$usage" | escape)"
    done
    echo ".SH DESCRIPTION"
    printf '\\fBvkdc\\-cli\\fR %s\n' "$(printf '%s' "${summary#vkdc-cli: }" | escape)"
    echo ".PP"
    echo "Every command takes \\fB\\-h\\fR, \\fB\\-\\-help\\fR. Put \\fB\\-\\-\\fR before a file name that starts with '\\-'."
    echo ".SH COMMANDS"
    for verb in $verbs; do
        echo ".SS $(printf '%s' "$verb" | escape)"
        # The commands that repeat the program's exit statuses leave them to EXIT STATUS.
        "$cli" "$verb" --help | awk -v footer="$footer" '
            { text = text $0 "\n" }
            END { i = index(text, footer); if (footer != "" && i) text = substr(text, 1, i - 1); printf "%s", text }
        ' | escape | help_to_roff
    done
    echo ".SH EXIT STATUS"
    printf '%s\n' "$footer" | grep -v "^Use '--'" | escape
    echo ".SH FILES"
    echo "The templates \\fIVKDB12.mdb\\fR (version 2.0) and \\fIVKDB23.mdb\\fR (version 3.0) are"
    echo "looked for beside the program, then in \\fI../share/vkdc\\fR beside it"
    echo "(\\fI/usr/share/vkdc\\fR for the installed program). They are never written."
    echo ".SH SEE ALSO"
    echo ".BR vkdc (1)"
} >"$out.tmp"
mv "$out.tmp" "$out"
