# bash completion for zmctl: commands, options, memory names, choices, files and port paths.
#
# The commands, their options, their synopses and the fixed values of their arguments and
# options come from the zmctl being completed (zmctl --commands), so a command or a choice
# added to zmctl completes without touching this file: what its help lists is offered here.
# Where the table names no values, the synopsis says what an argument is: a|b|c its choices,
# FILE (and any name not known to be a number or a text) file names; --port completes
# COM1..COM20 and the ports `zmctl ports` reports.

# The placeholders that stand for numbers or free text: nothing to offer for them.
_zmctl_plain=" ADDR CODE COUNT H HEX KEY L LENGTH LINE M N NAME S T TEXT V VALUE W X Y "

# Sets COMPREPLY to the words of $2 (blank-separated) that start with $1.
_zmctl_words()
{
    local IFS=$' \t\n'
    COMPREPLY+=($(compgen -W "$2" -- "$1"))
}

_zmctl_files()
{
    compopt -o filenames 2>/dev/null
    local IFS=$'\n'
    COMPREPLY+=($(compgen -f -- "$1"))
}

# Completes $2 as a value of the placeholder $1 (MEM, FILE, a|b|c ...).
_zmctl_value()
{
    local what=$1 cur=$2
    what=${what#[}
    what=${what%]}
    what=${what//\"/}
    if [[ $what == *"|"* ]]; then
        local choice choices=() files=0 parts
        IFS='|' read -ra parts <<<"$what"
        for choice in "${parts[@]}"; do
            if [[ $choice == FILE ]]; then
                files=1
            elif [[ $choice =~ ^[a-z0-9][a-z0-9-]*$ ]]; then
                choices+=("$choice")
            fi
        done
        _zmctl_words "$cur" "${choices[*]}"
        ((files)) && _zmctl_files "$cur"
    elif [[ $_zmctl_plain != *" $what "* && $what =~ ^[A-Z] ]]; then
        _zmctl_files "$cur"
    fi
}

_zmctl_ports()
{
    local cur=$1 ports
    ports=$("$2" ports 2>/dev/null | awk '{ print $1 }')
    _zmctl_words "$cur" "$(printf 'COM%d ' {1..20}) $ports"
    # A pseudo-terminal, a link made by zmsim --link, an adapter by its id.
    [[ $cur == /* || $cur == .* || $cur == \~* ]] && _zmctl_files "$cur"
}

_zmctl()
{
    COMPREPLY=()
    # The line as typed up to the cursor, split at blanks: '=' and ':' stay inside a word.
    local line=${COMP_LINE:0:COMP_POINT} words cur
    read -ra words <<<"$line"
    if [[ $line == *[[:blank:]] || ${#words[@]} -eq 0 ]]; then
        cur=
    else
        cur=${words[-1]}
        unset 'words[-1]'
    fi
    local prog=${words[0]/#\~/$HOME}
    local table
    table=$("$prog" --commands 2>/dev/null) || return 0

    local entry name opts synopsis values value_entry global_opts="" command="" command_opts="" command_synopsis=""
    local -A opts_of synopsis_of values_of
    while IFS= read -r entry; do
        # Split by hand: read would take two tabs around an empty field for one.
        name=${entry%%$'\t'*}
        entry=${entry#*$'\t'}
        opts=${entry%%$'\t'*}
        entry=${entry#*$'\t'}
        synopsis=${entry%%$'\t'*}
        values=${entry#*$'\t'}
        [[ $values == "$entry" ]] && values=""
        if [[ $name == zmctl ]]; then
            global_opts=$opts
        else
            opts_of[$name]=$opts
            synopsis_of[$name]=$synopsis
        fi
        # "WHAT=a|b" or "WHAT@FIRST=a|b", keyed by command (zmctl for the program's own).
        for value_entry in $values; do
            values_of["$name ${value_entry%%=*}"]=${value_entry#*=}
        done
    done <<<"$table"

    # Which command, its arguments so far, and whether the last word wants a value.
    local i word positional=0 pending="" first="" ended=0
    for ((i = 1; i < ${#words[@]}; i++)); do
        word=${words[i]}
        if [[ -n $pending ]]; then
            pending=""
        elif ((!ended)) && [[ $word == -- ]]; then
            ended=1
        elif ((!ended)) && [[ $word == -?* ]]; then
            [[ $word != *=* && " $global_opts $command_opts " == *" $word= "* ]] && pending=$word
        elif [[ -z $command ]]; then
            command=$word
            command_opts=${opts_of[$word]-}
            command_synopsis=${synopsis_of[$word]-}
        else
            ((positional++ == 0)) && first=$word
        fi
    done

    local option=$pending value=$cur
    if [[ -z $option && $cur == --*=* ]]; then
        option=${cur%%=*}
        value=${cur#*=}
    fi
    if [[ -n $option ]]; then
        # The values the table names: those that depend on the first argument, the command's,
        # the program's.
        local known=${values_of["$command $option@$first"]-${values_of["$command $option"]-${values_of["zmctl $option"]-}}}
        if [[ -n $known ]]; then
            _zmctl_words "$value" "${known//|/ }"
            return 0
        fi
        case $option in
        --port) _zmctl_ports "$value" "$prog" ;;
        --log) _zmctl_files "$value" ;;
        *)
            # The option's placeholder in the synopsis: "[-o FILE]", "--source gpio|uart".
            local tokens j
            read -ra tokens <<<"$command_synopsis"
            for ((j = 0; j + 1 < ${#tokens[@]}; j++)); do
                if [[ ${tokens[j]#[} == "$option" ]]; then
                    _zmctl_value "${tokens[j + 1]}" "$value"
                    break
                fi
            done
            ;;
        esac
        return 0
    fi

    if [[ $cur == -* ]] && ((!ended)); then
        local all=${global_opts//=/}
        [[ -n $command ]] && all+=" ${command_opts//=/}"
        _zmctl_words "$cur" "$all"
        return 0
    fi

    if [[ -z $command ]]; then
        _zmctl_words "$cur" "${!opts_of[*]}"
        return 0
    fi
    # zmctl help COMMAND
    if [[ $command == help ]]; then
        ((positional == 0)) && _zmctl_words "$cur" "${!opts_of[*]}"
        return 0
    fi

    # The synopsis' argument at this place; option groups ("[--width W]") are not arguments.
    local tokens args=() j group=0
    read -ra tokens <<<"$command_synopsis"
    for ((j = 1; j < ${#tokens[@]}; j++)); do
        word=${tokens[j]}
        if ((group)); then
            [[ $word == *"]" ]] && group=0
        elif [[ $word == "[-"* ]]; then
            [[ $word != *"]" ]] && group=1
        elif [[ $word == -* ]]; then
            [[ " $command_opts " == *" $word= "* ]] && ((j++))
        else
            args+=("$word")
        fi
    done
    ((positional < ${#args[@]})) || return 0
    local known=${values_of["$command ${args[positional]}"]-}
    if [[ -n $known ]]; then
        _zmctl_words "$cur" "${known//|/ }"
        # "default|FILE": the table names the word, the synopsis the file.
        [[ ${args[positional]} == *FILE* ]] && _zmctl_files "$cur"
    else
        _zmctl_value "${args[positional]}" "$cur"
    fi
    return 0
}

complete -F _zmctl zmctl
