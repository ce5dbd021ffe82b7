#include <sstream>

#include "packaging/CompletionTables.h"
#include "packaging/ShellCompletion.h"

namespace qv::doc {
namespace {

// The part of the script that does not depend on the program's commands.
constexpr const char* kCompleter = R"script(
# COMP_WORDS with what COMP_WORDBREAKS split apart (--option=value, fault:N) joined again: the
# words in @F@_w, the index of the one being completed in @F@_i.
@F@_join_words() {
    local i j=0
    @F@_w=("${COMP_WORDS[0]}")
    @F@_i=0
    for ((i = 1; i < ${#COMP_WORDS[@]}; i++)); do
        if ((i > 1)) && [[ ${COMP_WORDS[i]} == [=:] || ${COMP_WORDS[i - 1]} == [=:] ]]; then
            @F@_w[j]+=${COMP_WORDS[i]}
        else
            @F@_w[++j]=${COMP_WORDS[i]}
        fi
        ((i == COMP_CWORD)) && @F@_i=$j
    done
}

# Offers the full words given for the word being completed; bash replaces only the part after
# the last word break, so what comes before it is taken off.
@F@_offer() {
    local typed=${COMP_WORDS[COMP_CWORD]} before=${@F@_w[@F@_i]}
    before=${before:0:${#before}-${#typed}}
    COMPREPLY=("${@#"$before"}")
}

# $1: what is typed before the value (e.g. "--file="), $2: the value so far.
@F@_offer_files() {
    local IFS=$'\n'
    local -a names=($(compgen -f -- "$2"))
    compopt -o filenames 2>/dev/null
    @F@_offer "${names[@]/#/$1}"
}

@F@_offer_words() {  # $1: before the value, $2: the value so far, $3: the words
    local word
    local -a words=()
    for word in $3; do
        [[ $word == "$2"* ]] && words+=("$1$word")
    done
    @F@_offer "${words[@]}"
}

# The ids the list command prints, on the buses the options typed so far (@F@_bus) name.
@F@_offer_devices() {
    local json id seen=" "
    local -a offers=()
    json=$("${@F@_w[0]}" "${@F@_bus[@]}" @LIST@ 2>/dev/null)
    while [[ $json =~ \"id\":\"([^\"]*)\"(.*) ]]; do
        id=${BASH_REMATCH[1]}
        json=${BASH_REMATCH[2]}
        [[ $id == "$2"* && $seen != *" $id "* ]] || continue
        seen+="$id "
        printf -v id '%q' "$1$id"
        offers+=("$id")
    done
    @F@_offer "${offers[@]}"
}

@F@() {
    @F@_join_words
    local cur=${@F@_w[@F@_i]} path="" i word values
    @F@_bus=()
    # The command path reached: commands go one level down, options skip their values.
    for ((i = 1; i < @F@_i; i++)); do
        word=${@F@_w[i]}
        if [[ $word != -* ]]; then
            @F@_commands "$path"
            [[ " $REPLY " == *" $word "* ]] && path=${path:+$path }$word
            continue
        fi
        values=0
        if [[ $word != *=* ]]; then
            @F@_value_kind "$word"
            if [[ $REPLY == optional ]]; then
                # Its value is the next word unless that is a command or an option.
                @F@_commands "$path"
                [[ ${@F@_w[i + 1]} != -* && " $REPLY " != *" ${@F@_w[i + 1]} "* ]] && values=1
            elif [[ $REPLY != flag ]]; then
                values=1
            fi
            ((i + values < @F@_i)) || values=0
        fi
        @F@_bus_option "${word%%=*}" && @F@_bus+=("${@F@_w[@]:i:values + 1}")
        ((i += values))
    done

    local option="" before="" value=$cur
    if [[ $cur == -*=* ]]; then
        option=${cur%%=*}
        before=$option=
        value=${cur#*=}
    elif ((@F@_i > 1)) && [[ ${@F@_w[@F@_i - 1]} == -* && ${@F@_w[@F@_i - 1]} != *=* ]]; then
        option=${@F@_w[@F@_i - 1]}
    fi
    @F@_value_kind "$option"
    if [[ -n $option && ( $REPLY != flag && $REPLY != optional || -n $before ) ]]; then
        case $REPLY in
            file) @F@_offer_files "$before" "$value" ;;
            device) @F@_offer_devices "$before" "$value" ;;
            choices\ *) @F@_offer_words "$before" "$value" "${REPLY#choices }" ;;
            *) COMPREPLY=() ;;
        esac
        return
    fi
    if [[ $cur == -* ]]; then
        local options
        @F@_options "$path"
        options=$REPLY
        if [[ -n $path && -n "@EVERYWHERE@" ]]; then
            @F@_options ""
            options+=" $REPLY"
        fi
        @F@_offer_words "" "$cur" "$options"
        return
    fi
    @F@_commands "$path"
    if [[ -n $REPLY ]]; then
        @F@_offer_words "" "$cur" "$REPLY"
    elif @F@_file_arguments "$path"; then
        @F@_offer_files "" "$cur"
    fi
}
complete -F @F@ @PROGRAM@
)script";

}  // namespace

std::string WriteBashCompletion(const ProgramDoc& program, const CompletionInfo& info) {
    const std::string prefix = "_" + ScriptWords({program.name}, "");
    std::ostringstream out;
    out << "# bash completion for " << program.name
        << ": commands, options, files and the devices `" << program.name << " "
        << ScriptWords(info.listCommand, " ") << "` finds.\n"
        << "# Written by the build from " << program.name << "'s command tree; do not edit.\n\n"
        << WriteCompletionTables(program, info, prefix);
    std::string completer = Replaced(kCompleter, "@F@", prefix);
    completer = Replaced(completer, "@LIST@", ScriptWords(info.listCommand, " "));
    completer = Replaced(completer, "@EVERYWHERE@", program.topOptionsEverywhere ? "yes" : "");
    completer = Replaced(completer, "@PROGRAM@", program.name);
    out << completer;
    return out.str();
}

}  // namespace qv::doc
