# bash completion for varnhold-cli                         -*- shell-script -*-
# Installed as bash-completion/completions/varnhold-cli. Uses bash-completion's helpers when they are loaded and
# plain compgen when they are not, so sourcing this file alone in any bash works too.

# The commands, in the order varnhold-cli --help lists them.
_varnhold_cli_commands='list test extract build update search find count split sfx'

# _varnhold_cli_options COMMAND: the options of COMMAND, those that take a value and those that do not.
_varnhold_cli_options() {
    local valued='' flags=''
    case $1 in
    test) valued='--password' ;;
    extract)
        valued='--entry --to --password'
        flags='--overwrite --no-overwrite --skip-older --no-folder-names'
        ;;
    build)
        valued='--set --level --mode --password --comment --span --include --exclude --save-set'
        flags='--replace-set --no-replace'
        ;;
    update)
        valued='--password'
        flags='--freshen --update'
        ;;
    search)
        valued='--at-least --at-most --name --text --date --from --to --drives'
        flags='--match-case --ignore-case --defaults'
        ;;
    find)
        valued='--drives --entry'
        flags='--index'
        ;;
    split) valued='--size --to' ;;
    sfx) valued='--to --name' ;;
    esac
    _varnhold_cli_valued="--app-folder $valued"
    _varnhold_cli_flags="--help $flags"
}

# _varnhold_cli_files KIND: files of that kind for $cur into COMPREPLY (zip: zip packages and folders to reach
# them; dir: folders; any: every file).
_varnhold_cli_files() {
    if declare -F _filedir >/dev/null; then
        case $1 in
        zip) _filedir zip ;;
        dir) _filedir -d ;;
        *) _filedir ;;
        esac
        return
    fi
    # One name a line, never split at blanks nor taken as a pattern.
    local add
    case $1 in
    zip) add=$(compgen -f -X '!*.[zZ][iI][pP]' -- "$cur"; compgen -d -- "$cur") ;;
    dir) add=$(compgen -d -- "$cur") ;;
    *) add=$(compgen -f -- "$cur") ;;
    esac
    [[ -n $add ]] && mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY <<<"$add"
    compopt -o filenames 2>/dev/null
}

# Without bash-completion: the words with "--name=value" joined again (COMP_WORDBREAKS splits at "="), as
# _init_completion -n = gives them.
_varnhold_cli_words() {
    words=() cword=0
    local i n glue=false
    for ((i = 0; i < ${#COMP_WORDS[@]}; i++)); do
        n=${#words[@]}
        if ((n > 0)) && [[ ${COMP_WORDS[i]} == = && ${words[n - 1]} == --* && ${words[n - 1]} != *=* ]]; then
            words[n - 1]+='='
            glue=true
        elif ((n > 0)) && $glue; then
            words[n - 1]+=${COMP_WORDS[i]}
            glue=false
        else
            words+=("${COMP_WORDS[i]}")
        fi
        ((i == COMP_CWORD)) && cword=$((${#words[@]} - 1))
    done
    cur=${words[cword]-} prev=${words[cword - 1]-}
}

_varnhold_cli() {
    local cur prev words cword
    if declare -F _init_completion >/dev/null; then
        _init_completion -n = || return
    else
        _varnhold_cli_words
    fi
    COMPREPLY=()

    # "--name=value": the value is completed as after "--name value".
    local option=''
    if [[ $cur == --*=* ]]; then
        option=${cur%%=*} cur=${cur#*=}
    elif [[ $prev == --* ]]; then
        option=$prev
    fi

    # The command, and how many arguments stand between it and the cursor; after "--" every word is one.
    local command='' arg=0 endOfOptions=false i word _varnhold_cli_valued _varnhold_cli_flags
    _varnhold_cli_options ''
    for ((i = 1; i < cword; i++)); do
        word=${words[i]}
        if $endOfOptions; then
            ((arg++))
            continue
        fi
        case $word in
        --) [[ -n $command ]] && endOfOptions=true ;;
        --*=*) ;;
        --*) [[ " $_varnhold_cli_valued " == *" $word "* ]] && ((i++)) ;;
        *)
            if [[ -z $command ]]; then
                command=$word
                _varnhold_cli_options "$command"
            else
                ((arg++))
            fi
            ;;
        esac
    done

    # The value of an option: folders, one of a few words, or free text that no file name would help with.
    if ! $endOfOptions && [[ -n $option && " $_varnhold_cli_valued " == *" $option "* ]]; then
        case $command:$option in
        *:--app-folder | extract:--to | split:--to | sfx:--to | search:--drives | find:--drives)
            _varnhold_cli_files dir
            ;;
        build:--level) COMPREPLY=($(compgen -W 'none fast normal maximum' -- "$cur")) ;;
        build:--mode) COMPREPLY=($(compgen -W 'add freshen update' -- "$cur")) ;;
        build:--span) COMPREPLY=($(compgen -W 'auto' -- "$cur")) ;;
        search:--date) COMPREPLY=($(compgen -W 'modified created accessed' -- "$cur")) ;;
        esac
        return 0
    fi

    if ! $endOfOptions && [[ $cur == -* ]]; then
        if [[ -z $command ]]; then
            COMPREPLY=($(compgen -W '--app-folder --help --version' -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$_varnhold_cli_valued $_varnhold_cli_flags" -- "$cur"))
        fi
        return 0
    fi

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$_varnhold_cli_commands help" -- "$cur"))
        return 0
    fi

    case $command in
    list | test | extract | update | sfx) ((arg == 0)) && _varnhold_cli_files zip ;;
    build) if ((arg == 0)); then _varnhold_cli_files zip; else _varnhold_cli_files any; fi ;;
    count) _varnhold_cli_files dir ;;
    split) ((arg == 0)) && _varnhold_cli_files any ;;
    esac
    return 0
} &&
    complete -F _varnhold_cli varnhold-cli
