#include <sstream>

#include "packaging/CompletionTables.h"
#include "packaging/ShellCompletion.h"

namespace qv::doc {
namespace {

// The part of the function that does not depend on the program's commands. zsh keeps
// "--option=value" as one word; compset takes "--option=" off before the value is completed.
constexpr const char* kCompleter = R"script(
# The ids the list command prints, on the buses the options typed so far (@F@_bus) name.
@F@_devices() {
    local json id
    local -a ids
    json=$(${words[1]} "${@F@_bus[@]}" @LIST@ 2>/dev/null)
    while [[ $json =~ '"id":"([^"]*)"(.*)' ]]; do
        id=$match[1]
        json=$match[2]
        (( ${ids[(Ie)$id]} )) || ids+=("$id")
    done
    compadd -- "${ids[@]}"
}

local cur=${words[CURRENT]} cmdpath="" word REPLY option="" options
local -i i values
local -a @F@_bus
# The command path reached: commands go one level down, options skip their values.
for ((i = 2; i < CURRENT; i++)); do
    word=${words[i]}
    if [[ $word != -* ]]; then
        @F@_commands "$cmdpath"
        [[ " $REPLY " == *" $word "* ]] && cmdpath=${cmdpath:+$cmdpath }$word
        continue
    fi
    values=0
    if [[ $word != *=* ]]; then
        @F@_value_kind "$word"
        if [[ $REPLY == optional ]]; then
            # Its value is the next word unless that is a command or an option.
            @F@_commands "$cmdpath"
            [[ ${words[i + 1]} != -* && " $REPLY " != *" ${words[i + 1]} "* ]] && values=1
        elif [[ $REPLY != flag ]]; then
            values=1
        fi
        ((i + values < CURRENT)) || values=0
    fi
    @F@_bus_option "${word%%=*}" && @F@_bus+=("${(@)words[i,i + values]}")
    ((i += values))
done

if [[ $cur == -*=* ]]; then
    option=${cur%%=*}
    compset -P '*='
elif ((CURRENT > 2)) && [[ ${words[CURRENT - 1]} == -* && ${words[CURRENT - 1]} != *=* ]]; then
    option=${words[CURRENT - 1]}
    @F@_value_kind "$option"
    [[ $REPLY == flag || $REPLY == optional ]] && option=""
fi
if [[ -n $option ]]; then
    @F@_value_kind "$option"
    case $REPLY in
        file) _files ;;
        device) @F@_devices ;;
        choices\ *) compadd -- ${=REPLY#choices } ;;
    esac
    return
fi
if [[ $cur == -* ]]; then
    @F@_options "$cmdpath"
    options=$REPLY
    if [[ -n $cmdpath && -n "@EVERYWHERE@" ]]; then
        @F@_options ""
        options+=" $REPLY"
    fi
    compadd -- ${=options}
    return
fi
@F@_commands "$cmdpath"
if [[ -n $REPLY ]]; then
    compadd -- ${=REPLY}
elif @F@_file_arguments "$cmdpath"; then
    _files
fi
)script";

}  // namespace

std::string WriteZshCompletion(const ProgramDoc& program, const CompletionInfo& info) {
    const std::string prefix = "_" + ScriptWords({program.name}, "");
    std::ostringstream out;
    out << "#compdef " << program.name << "\n"
        << "# zsh completion for " << program.name << ": commands, options, files and the devices `"
        << program.name << " " << ScriptWords(info.listCommand, " ") << "` finds.\n"
        << "# Written by the build from " << program.name << "'s command tree; do not edit.\n\n"
        << WriteCompletionTables(program, info, prefix);
    std::string completer = Replaced(kCompleter, "@F@", prefix);
    completer = Replaced(completer, "@LIST@", ScriptWords(info.listCommand, " "));
    completer = Replaced(completer, "@EVERYWHERE@", program.topOptionsEverywhere ? "yes" : "");
    out << completer;
    return out.str();
}

}  // namespace qv::doc
