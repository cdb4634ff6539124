# bash completion for tovana: commands, options, effect and preset names,
# output types and files. The names come from tovana itself (the hidden
# --complete option and each command's --help), never from this file.

# What is typed so far, without an opening quote or backslashes.
_tovana_typed() {
    local typed=$1
    case $typed in
        \'*) typed=${typed#\'} ;;
        \"*) typed=${typed#\"} ;;
        *) typed=${typed//\\/} ;;
    esac
    printf '%s' "$typed"
}

# Offers the lines of standard input that begin with what is typed; readline
# quotes them (names hold spaces) as it quotes file names.
_tovana_offer() {
    local typed word
    typed=$(_tovana_typed "$1")
    while IFS= read -r word; do
        [[ $word == "$typed"* ]] && COMPREPLY+=("$word")
    done
    compopt -o filenames 2>/dev/null
}

# The options a command's --help names.
_tovana_options() {
    "$1" "${@:2}" --help 2>/dev/null | grep -E '^(usage:|  +tovana|  -)' |
        grep -oE -- '(^|[][ ,])--?[a-zA-Z][a-zA-Z-]*' | sed 's/^[][ ,]//' | sort -u
}

_tovana_files() {
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -- "$1"))
}

_tovana() {
    local self=$1 cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local IFS=$'\n' i at=0 command=
    local -a tool=("$self")
    COMPREPLY=()
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            --plugin) tool+=(--plugin "${COMP_WORDS[i + 1]}"); ((i++)) ;;
            -*) ;;
            *) command=${COMP_WORDS[i]}; at=$i; break ;;
        esac
    done
    if [[ -z $command ]]; then
        if [[ $prev == --plugin ]]; then
            _tovana_files "$cur"
        elif [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W $'--plugin\n--help\n--version' -- "$cur"))
        else
            _tovana_offer "$cur" < <("${tool[@]}" --complete commands 2>/dev/null)
        fi
        return
    fi
    case $command in
        apply | mic)
            local effect=
            for ((i = at + 1; i < COMP_CWORD; i++)); do
                [[ ${COMP_WORDS[i]} == --effect ]] && effect=${COMP_WORDS[i + 1]}
                [[ ${COMP_WORDS[i]} == --effect=* ]] && effect=${COMP_WORDS[i]#--effect=}
            done
            case $prev in
                --effect) _tovana_offer "$cur" < <("${tool[@]}" --complete effects 2>/dev/null); return ;;
                --preset) _tovana_offer "$cur" < <("${tool[@]}" --complete presets "$effect" 2>/dev/null); return ;;
                -t | --type) _tovana_offer "$cur" < <("${tool[@]}" --complete types 2>/dev/null); return ;;
                -o | --outdir) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -d -- "$cur")); return ;;
                --spectrogram) _tovana_files "$cur"; return ;;
                --set | --wet | --dry | --seed | --selection | --quality | -j | --jobs | --target) return ;;
            esac
            ;;
        presets)
            if ((COMP_CWORD == at + 1)); then
                _tovana_offer "$cur" < <(printf 'export\nimport\n'; "${tool[@]}" --complete effects 2>/dev/null)
                return
            fi
            case ${COMP_WORDS[at + 1]} in
                import) ((COMP_CWORD == at + 2)) && _tovana_files "$cur" ;;
                export)
                    if ((COMP_CWORD == at + 2)); then
                        _tovana_files "$cur"
                    elif ((COMP_CWORD == at + 3)); then
                        _tovana_offer "$cur" < <("${tool[@]}" --complete effects 2>/dev/null)
                    else
                        _tovana_offer "$cur" < <("${tool[@]}" --complete presets "${COMP_WORDS[at + 3]}" 2>/dev/null)
                    fi
                    ;;
            esac
            return
            ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_tovana_options "${tool[@]}" "$command")" -- "$cur"))
    else
        _tovana_files "$cur"
    fi
}

complete -F _tovana tovana
