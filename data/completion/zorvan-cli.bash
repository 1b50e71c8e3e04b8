# bash completion for zorvan-cli: its commands, each command's options (as
# `zorvan-cli help COMMAND` shows them), the files and values those take,
# and the followed performers' ids for unfollow.

# COMPREPLY from a list of words, one a line (prefix: what stays before them).
_zorvan_cli_words() {  # WORDS CURRENT [PREFIX]
    mapfile -t COMPREPLY < <(compgen -P "${3-}" -W "$1" -- "$2")
}

# Files (-f) or folders (-d), one a line, so names with blanks stay whole.
_zorvan_cli_paths() {  # -f|-d CURRENT
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen "$1" -- "$2")
}

_zorvan_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local command=${COMP_WORDS[1]} prefix=""
    local commands="get works get-all follow unfollow following sync verify help version"
    COMPREPLY=()

    # --name=value: bash splits at "=" unless COMP_WORDBREAKS was changed.
    if [[ $cur == = ]]; then
        cur=""
    elif [[ $prev == = && $COMP_CWORD -ge 3 ]]; then
        prev=${COMP_WORDS[COMP_CWORD-2]}
    elif [[ $cur == --*=* ]]; then
        prev=${cur%%=*} prefix=${cur%%=*}= cur=${cur#*=}
    fi

    if ((COMP_CWORD == 1)); then
        _zorvan_cli_words "$commands -V --version" "$cur"
        return
    fi

    local network="--proxy --noproxy --cacert -k --insecure --retries --retry-wait --timeout
                   -H --header -A --user-agent --referer -b --cookie"
    local output="-q --quiet -s --silent --progress --config --no-config"
    local choosing="--items --match --max"
    local fetch="--service -o -d --output --output-dir -n --connections -j --jobs --limit --limit-rate
                 --on-exists -c --continue --no-continue --strict --no-fsync --dry-run --json --layout --media-files
                 --no-media-files"
    local options
    case $command in
        get) options="-o --output -d --output-dir -i --input-file -j --jobs -n --connections --limit
                      --limit-rate --json --on-exists -v --verbose --no-fsync --no-splice --buffer --chunk
                      -c --continue --no-continue --strict --checkpoint $network $output" ;;
        works) options="--service --json $choosing $network $output" ;;
        get-all | sync) options="$fetch $choosing $network $output" ;;
        verify) options="--repair --json --service -o -d --output --output-dir -n --connections $network $output" ;;
        follow | unfollow) options="--config --no-config" ;;
        following) options="--json --config --no-config" ;;
        help)
            ((COMP_CWORD == 2)) && _zorvan_cli_words "$commands" "$cur"
            return ;;
        *) return ;;
    esac

    # The value of the option before the cursor.
    case $prev in
        -o | --output)
            # get saves one file there; get-all, sync and verify take a folder.
            if [[ $command == get ]]; then _zorvan_cli_paths -f "$cur"; else _zorvan_cli_paths -d "$cur"; fi
            return ;;
        -d | --output-dir)
            _zorvan_cli_paths -d "$cur"
            return ;;
        -i | --input-file | --cacert | --config)
            _zorvan_cli_paths -f "$cur"
            return ;;
        --progress)
            _zorvan_cli_words "bar line none" "$cur" "$prefix"
            return ;;
        --layout)
            _zorvan_cli_words "song performer" "$cur" "$prefix"
            return ;;
        --on-exists)
            _zorvan_cli_words "rename skip" "$cur" "$prefix"
            return ;;
        -j | --jobs | -n | --connections | --limit | --limit-rate | --buffer | --chunk | --checkpoint | \
            --proxy | --noproxy | --retries | --retry-wait | --timeout | -H | --header | -A | --user-agent | \
            --referer | -b | --cookie | --service | --items | --match | --max)
            return ;;  # a number, an address or a text: nothing to offer
    esac

    # After "--" every word is an argument.
    local i
    for ((i = 2; i < COMP_CWORD; i++)); do
        [[ ${COMP_WORDS[i]} == -- ]] && options=""
    done
    if [[ $cur == -* && -n $options ]]; then
        _zorvan_cli_words "$options" "$cur"
    elif [[ $command == unfollow ]]; then
        local cli=${COMP_WORDS[0]/#\~/$HOME}
        _zorvan_cli_words "$("$cli" following --no-config 2>/dev/null | cut -f1)" "$cur"
    fi
}

complete -F _zorvan_cli zorvan-cli
