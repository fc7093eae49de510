#!/bin/bash
# completion_and_manuals.sh COMPLETIONS_DIR [PAGE.1...]: the manual pages format without a warning and name
# themselves, and varnhold-cli's completion offers the right words in bash (with bash-completion loaded and
# without it) and in zsh. Exit 77 (skipped) when bash-completion or zsh is missing and nothing else failed.
dir=$1
shift
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

command -v groff >/dev/null || echo "groff is not installed: the manual pages are not formatted"
for page in "$@"; do
    [ -f "$page" ] || { fail "$page was not built"; continue; }
    command -v groff >/dev/null || continue
    warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1) || fail "groff could not format $page"
    [ -z "$warnings" ] || fail "groff warns about $page: $warnings"
    name=$(basename "$page" .1)
    if command -v lexgrog >/dev/null; then
        lexgrog "$page" | grep -q "\"$name - " || fail "lexgrog finds no NAME line in $page"
    fi
done

bash_completion=/usr/share/bash-completion/bash_completion
if [ ! -f "$bash_completion" ] || ! command -v zsh >/dev/null; then
    echo "bash-completion or zsh is not installed: the completion is not checked"
    exit $((failed ? 1 : 77))
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/sub"
touch "$work/a.zip" "$work/B.ZIP" "$work/c.txt"
cd "$work" || exit 1

# LINE|OFFERED|NOT OFFERED: completing at the end of LINE offers every word of OFFERED and none of NOT OFFERED;
# OFFERED "-" means nothing at all.
cases='varnhold-cli |list test extract build update search find count split sfx|a.zip
varnhold-cli extract --|--to --password --app-folder --help|--index
varnhold-cli list |a.zip B.ZIP sub|c.txt
varnhold-cli extract a.zip --password |-|
varnhold-cli extract a.zip --to |sub|a.zip
varnhold-cli split --to=|sub|a.zip
varnhold-cli search --to |-|
varnhold-cli build --level=|maximum|a.zip
varnhold-cli count |sub|c.txt'

# The words bash hands a completion function for LINE: split at blanks, and "=" a word of its own.
bash_cases() {
    local line offered absent words word reply
    while IFS='|' read -r line offered absent; do
        words=()
        for word in $line; do
            [[ $word == *=* ]] && words+=("${word%%=*}" "=") && word=${word#*=}
            [ -n "$word" ] && words+=("$word")
        done
        [[ $line == *' ' ]] && words+=('')
        COMP_WORDS=("${words[@]}") COMP_CWORD=$((${#words[@]} - 1)) COMP_LINE=$line COMP_POINT=${#line}
        COMPREPLY=()
        _varnhold_cli
        reply=" ${COMPREPLY[*]} "
        if [[ $offered == - ]]; then
            [[ $reply == '  ' ]] || echo "bash $1: '$line' offers$reply"
            offered=''
        fi
        for word in $offered; do
            [[ $reply == *" $word "* ]] || echo "bash $1: '$line' does not offer $word:$reply"
        done
        for word in $absent; do
            [[ $reply != *" $word "* ]] || echo "bash $1: '$line' offers $word"
        done
    done <<<"$cases"
}
problems=$(
    # shellcheck source=/dev/null
    . "$dir/varnhold-cli.bash" && bash_cases "alone"
    # shellcheck source=/dev/null
    . "$bash_completion" && . "$dir/varnhold-cli.bash" && bash_cases "with bash-completion"
)
[ -z "$problems" ] || fail "$problems"

zsh -n "$dir/_varnhold-cli" || fail "zsh cannot read _varnhold-cli"
problems=$(zsh -f "$(dirname "$0")/zsh_completion.zsh" "$dir" "$work" <<<"$cases" 2>&1)
[ -z "$problems" ] || fail "$problems"
exit $failed
