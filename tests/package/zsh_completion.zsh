# zsh -f zsh_completion.zsh COMPLETIONS_DIR WORK_DIR < CASES: each case of completion_and_manuals.sh typed into an
# interactive zsh on a pseudo-terminal, with compinit and _varnhold-cli from COMPLETIONS_DIR. Every match the
# completion adds is printed as "MATCH:word"; Tab is followed by a marker line that ends the read.
zmodload zsh/zpty || { print "zsh has no zpty module"; exit 1; }
zpty vh zsh -f -i
zpty -w vh "cd ${(q)2}; fpath=(${(q)1} \$fpath); autoload -Uz compinit; compinit -u -d ${(q)2}/.zcompdump"
zpty -w vh 'compadd() { [[ " $* " == *" -"[OAD]* ]] && { builtin compadd "$@"; return; }
    local -a hits; builtin compadd -A hits "$@"; print -rl -- ${hits/#/MATCH:}; builtin compadd "$@"; }'
zpty -w vh 'vh-tab() { zle complete-word; print -r -- END-$((6*7)); }; zle -N vh-tab; bindkey "^I" vh-tab'

while IFS='|' read -r line offered absent; do
    zpty -w -n vh "$line"$'\t'
    out=''
    while zpty -r vh chunk; do
        out+=$chunk
        [[ $chunk == *END-42* ]] && break
    done
    zpty -w -n vh $'\C-u'
    matches=(${${(M)${(f)out//$'\r'}:#*MATCH:*}##*MATCH:})
    [[ $offered != - || $#matches == 0 ]] || print -r -- "zsh: '$line' offers $matches"
    for word in ${=offered:#-}; do
        (( ${matches[(Ie)$word]} )) || print -r -- "zsh: '$line' does not offer $word: $matches"
    done
    for word in ${=absent}; do
        (( ! ${matches[(Ie)$word]} )) || print -r -- "zsh: '$line' offers $word"
    done
done
zpty -d vh
