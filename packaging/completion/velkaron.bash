# bash completion for velkaron: commands and their options. Hosts are not completed here,
# since that would need the master password; the interactive `velkaron shell` completes them.
_velkaron() {
    local cur prev words cword
    _init_completion || return
    local commands="init add edit ls show clip rm gen passwd recover import export where shell"
    local global="--vault --host-binary --password-stdin --json --help"
    case $prev in
        --vault|--host-binary|import|export)
            _filedir
            return
            ;;
    esac
    local command="" word
    for word in "${words[@]:1:cword-1}"; do
        case $word in
            -*) ;;
            *) if [[ " $commands " == *" $word "* ]]; then command=$word; break; fi ;;
        esac
    done
    local options
    case $command in
        "") COMPREPLY=($(compgen -W "$commands $global" -- "$cur")); return ;;
        add|edit) options="--generate --show --title" ;;
        show) options="--password" ;;
        clip) options="--clear" ;;
        rm) options="--yes" ;;
        import) options="--replace" ;;
        export) options="--force" ;;
        shell) options="--idle" ;;
    esac
    COMPREPLY=($(compgen -W "$options --help" -- "$cur"))
}
complete -F _velkaron velkaron
