#!/bin/bash
# bash completion of pixmill-cli: commands, options, format, operation and
# settings names, all taken from the program in BIN (so a new plug-in or
# option completes without touching the script).
set -u
bin="$1"; script="$2"
export PATH="$bin:$PATH" PIXMILL_SETTINGS="$(mktemp -d)/settings.ini"
compopt() { :; } # only meaningful inside a real completion
source "$script"
failures=0

# complete WORDS...: the replies for the last word.
complete_words() {
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _pixmill_cli
    printf '%s\n' "${COMPREPLY[@]}"
}
expect() { # what, words..., reply expected among the replies
    local what="$1" expected="${*: -1}" replies
    replies=$(complete_words "${@:2:$#-2}")
    if ! grep -qxF -- "$expected" <<<"$replies"; then
        echo "FAIL $what: '$expected' not among: $(tr '\n' '|' <<<"$replies")"
        failures=$((failures + 1))
    fi
}

expect "commands"          pixmill-cli ba                        batch
expect "page commands"     pixmill-cli page re                   render
expect "options"           pixmill-cli batch --thu               --thumbs
expect "new options"       pixmill-cli batch --pages             --pages-only
expect "format names"      pixmill-cli batch --format We         WebP
expect "operation names"   pixmill-cli convert --op Res          Resample
expect "names with blanks" pixmill-cli convert --op "Black"      'Black\ and\ White\ \(1-bit\)'
expect "settings fields"   pixmill-cli convert --set Resample.w  Resample.width=
# Every format the program lists completes.
while read -r name; do
    expect "format $name"  pixmill-cli batch --format "${name:0:2}" "$name"
done < <(pixmill-cli formats | awk 'NR > 1 { print $1 }')
exit $((failures > 0))
