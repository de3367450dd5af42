# bash completion for vantor-cli: its commands, each command's options, and the
# values of the run's options as `vantor-cli options` lists them.

# The words an option name takes ("takes a, b, c" of `vantor-cli options`);
# nothing for free text. $1: the program, $2: the option's name.
_vantor_cli_values() {
    "$1" options 2>/dev/null | awk -v name="$2" '
        /^[^ ]/ { current = $1; next }
        current == name && /; takes / {
            sub(/.*; takes /, "")
            n = split($0, parts, /, /)
            for (i = 1; i <= n; i++) if (parts[i] ~ /^[A-Za-z0-9.]+$/) print parts[i]
            exit
        }'
}

_vantor_cli() {
    local cur prev words cword
    _init_completion || return

    local commands="discover processes start run options set hwinfo set-game set-steam update history
        compare export --help --version"
    local run_flags="--yes --debug --json --adaptive --only --summary --no-result-files"
    local run_values="--log --passes --threshold --cap --resolution --detail --demo --filtering --antialiasing
        --heap-size --refresh --directx --fast-z --minimize-hdd --note --results-folder"

    if ((cword == 1)); then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        return
    fi

    local command=${words[1]}
    case $command in
    run)
        case $prev in
        --log | --results-folder)
            _filedir -d
            [[ $prev == --log ]] && _filedir
            return
            ;;
        --detail)
            COMPREPLY=($(compgen -W "$(_vantor_cli_values "$1" detail)" -- "$cur"))
            _filedir cfg
            return
            ;;
        --demo)
            COMPREPLY=($(compgen -W "$(_vantor_cli_values "$1" demo)" -- "$cur"))
            _filedir dem
            return
            ;;
        --resolution)
            COMPREPLY=($(compgen -W "640x480 800x600 1024x768 1280x1024 1600x1200 2048x1536 1280x720
                1920x1080 2560x1440 3840x2160 1920x1200 2560x1080" -- "$cur"))
            return
            ;;
        --note) return ;;
        --passes | --threshold | --cap | --filtering | --antialiasing | --heap-size | --refresh | --directx | \
            --fast-z | --minimize-hdd)
            COMPREPLY=($(compgen -W "$(_vantor_cli_values "$1" "${prev#--}")" -- "$cur"))
            return
            ;;
        esac
        COMPREPLY=($(compgen -W "$run_flags $run_values" -- "$cur"))
        ;;
    start | update) COMPREPLY=($(compgen -W "--yes" -- "$cur")) ;;
    hwinfo) COMPREPLY=($(compgen -W "--save" -- "$cur")) ;;
    history) COMPREPLY=($(compgen -W "--json" -- "$cur")) ;;
    export)
        if [[ $prev == --format ]]; then
            COMPREPLY=($(compgen -W "csv json" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "--format" -- "$cur"))
        fi
        ;;
    set)
        if ((cword == 2)); then
            COMPREPLY=($(compgen -W "$("$1" options 2>/dev/null | awk '/^[^ ]/ { print $1 }')" -- "$cur"))
        elif ((cword == 3)); then
            COMPREPLY=($(compgen -W "$(_vantor_cli_values "$1" "$prev")" -- "$cur"))
            case $prev in
            detail) _filedir cfg ;;
            demo) _filedir dem ;;
            results-folder) _filedir -d ;;
            esac
        fi
        ;;
    set-game) ((cword == 2)) && _filedir ;;
    set-steam) ((cword == 2)) && _filedir -d ;;
    esac
} &&
    complete -F _vantor_cli vantor-cli
