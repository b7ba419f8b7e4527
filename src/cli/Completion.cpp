#include "cli/Completion.h"

namespace tavrin::cli {

namespace {

// Every name of the options of `app` that a user types ("-o --output"), skipping hidden ones
// and, unless `help`, its help.
std::string OptionWords(const CLI::App& app, bool help) {
    std::string words;
    for (const CLI::Option* opt : app.get_options()) {
        if (opt->get_group().empty() || opt->get_positional()) continue;
        if (!help && opt->get_name() == "--help") continue; // the global one stands for it
        for (const auto& s : opt->get_snames()) words += " -" + s;
        for (const auto& l : opt->get_lnames()) words += " --" + l;
    }
    return words;
}

} // namespace

std::string BashCompletion(const CLI::App& cli) {
    std::string commands, cases, positional;
    for (const CLI::App* sub : cli.get_subcommands({})) {
        commands += " " + sub->get_name();
        const std::string words = OptionWords(*sub, false);
        cases += "    " + sub->get_name() + ") words=\"" + words.substr(words.empty() ? 0 : 1) +
                 "\" ;;\n";
        for (const CLI::Option* opt : sub->get_options())
            if (opt->get_positional() && opt->get_name() == "FILE")
                positional += (positional.empty() ? "" : "|") + sub->get_name();
    }
    return "# bash completion for tavrin-cli, made by `tavrin-cli --completion bash`\n"
           "_tavrin_cli() {\n"
           "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} cmd= w words\n"
           "  for w in \"${COMP_WORDS[@]:1:COMP_CWORD-1}\"; do\n"
           "    case $w in" +
           commands.substr(0, 1) +
           [&] {
               std::string alt = commands.substr(1);
               for (char& c : alt)
                   if (c == ' ') c = '|';
               return alt;
           }() +
           ") cmd=$w; break ;; esac\n"
           "  done\n"
           "  case $prev in\n"
           "    --dir) COMPREPLY=($(compgen -d -- \"$cur\")); return ;;\n"
           "    -o|--output|--csv|--imu-yaml) COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n"
           "    --format) COMPREPLY=($(compgen -W 'csv tsv' -- \"$cur\")); return ;;\n"
           "    --taus) COMPREPLY=($(compgen -W 'all octave decade' -- \"$cur\")); return ;;\n"
           "    --adapter) COMPREPLY=($(compgen -W '0 1 2 3 all' -- \"$cur\")); return ;;\n"
           "  esac\n"
           "  case $cmd in\n"
           "    '') words=\"" +
           commands.substr(1) + "\" ;;\n" + cases +
           "  esac\n"
           "  if [[ $cur != -* ]] && [[ $cmd =~ ^(" +
           positional +
           ")$ ]]; then\n"
           "    COMPREPLY=($(compgen -f -- \"$cur\")); return\n"
           "  fi\n"
           "  COMPREPLY=($(compgen -W \"$words" +
           OptionWords(cli, true) +
           "\" -- \"$cur\"))\n"
           "}\n"
           "complete -F _tavrin_cli tavrin-cli\n";
}

} // namespace tavrin::cli
