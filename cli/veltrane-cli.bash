# bash completion for veltrane-cli                         -*- shell-script -*-

# File names one to a line, never split at spaces nor expanded as patterns.
_veltrane_cli_files()
{
    compopt -o filenames
    local IFS=$'\n'
    mapfile -t COMPREPLY < <(compgen -f -- "$1")
}

_veltrane_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local i command=""
    COMPREPLY=()

    # The command word is the first word that is neither an option nor the
    # value of one.
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            -k | --key | -o | --offset | -n | --size) ((i++)) ;;
            -*) ;;
            *) command=${COMP_WORDS[i]}; break ;;
        esac
    done

    case $prev in
        -k | --key)
            _veltrane_cli_files "$cur"
            return ;;
        -o | --offset)
            COMPREPLY=($(compgen -W "0 17 128 255" -- "$cur"))
            return ;;
        -n | --size)
            COMPREPLY=($(compgen -W "1K 64K 1M 16M 1G" -- "$cur"))
            return ;;
    esac

    case $cur in
        --*=*)
            # --key=FILE: complete the file after the "=".
            if [[ $cur == --key=* ]]; then
                _veltrane_cli_files "${cur#--key=}"
            fi
            return ;;
        -*)
            case $command in
                keygen) COMPREPLY=($(compgen -W "-n --size= --for -h --help" -- "$cur")) ;;
                encrypt | decrypt)
                    COMPREPLY=($(compgen -W "-k --key= -o --offset= --key-read-only -r --recursive
                        -q --quiet -v --verbose -c --stdout -h --help" -- "$cur")) ;;
                *) COMPREPLY=($(compgen -W "-h --help --version" -- "$cur")) ;;
            esac
            [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
            return ;;
    esac

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "encrypt decrypt keygen" -- "$cur"))
        return
    fi
    _veltrane_cli_files "$cur"
} &&
    complete -F _veltrane_cli veltrane-cli

# ex: filetype=sh
