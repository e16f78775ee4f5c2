#!/usr/bin/python3
"""Writes the man page and the bash, zsh and fish completions of the
flowchart command from the help the built command prints, so that none of
them can say something the help does not.

    from_help.py FLOWCHART VERSION OUT_DIR

reads `FLOWCHART --help` and `FLOWCHART help COMMAND` for each command,
and writes OUT_DIR/flowchart.1, flowchart.bash, _flowchart and
flowchart.fish.  The help is: an introduction, "Usage:", one block per
command (its usage lines, then its description indented further, ending
in "Example: ..."), then paragraphs of which one starts "Every command
takes" (the common options) and one "Exit codes:".
"""
import os
import re
import subprocess
import sys


def help_of(flowchart, *topic):
    return subprocess.run([flowchart, *topic], capture_output=True, text=True, check=True).stdout


class Command:
    def __init__(self, name):
        self.name = name
        self.usage = []        # usage lines, without their indent
        self.description = []  # description lines
        self.example = ""


def parse(text):
    """The introduction, the commands and the closing paragraphs of the help."""
    intro, _, rest = text.partition("Usage:\n")
    commands, closing = [], []
    lines = rest.split("\n")
    for at, line in enumerate(lines):
        if line.startswith("  flowchart help"):
            continue
        if line.startswith("  flowchart "):
            name = line.split()[1]
            if not commands or commands[-1].name != name:
                commands.append(Command(name))
            commands[-1].usage.append(line.strip())
        elif re.match(r" {7,}\S", line) and commands and not commands[-1].description:
            commands[-1].usage[-1] += " " + line.strip()
        elif line.startswith("      Example: "):
            commands[-1].example = line.strip()[len("Example: "):]
        elif line.startswith("      ") and commands:
            commands[-1].description.append(line.strip())
        elif not line.strip():
            closing = "\n".join(lines[at + 1:]).strip().split("\n\n")
            break
    return intro.strip(), commands, [" ".join(p.split()) for p in closing]


def options_of(command):
    """Each option of a command's usage: (name, takes a value, its values)."""
    found = {}
    for usage in command.usage:
        for match in re.finditer(r"\[(--[a-z][-a-z]*|-[a-z])(?: ([^\]]+))?\]", usage):
            name, value = match.group(1), match.group(2)
            values = re.split(r"[|,]", value) if value and re.fullmatch(r"[a-z]+([|,][a-z]+)+", value) else []
            found.setdefault(name, (value is not None, values))
        # An option the command cannot do without, such as batch's -o OUT_DIR.
        for match in re.finditer(r"(?<=\s)(-[a-z]) [A-Z_]+(?=\s|$)", usage):
            found.setdefault(match.group(1), (True, []))
    return found


# Roff: a backslash is \e, a dash \- (so that options can be copied), and
# a line may not start with a dot or a quote.
def roff(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return re.sub(r"^([.'])", r"\\&\1", text)


def man_page(version, intro, commands, closing):
    summary = intro.split("\n\n")[0]
    name_line, _, more = " ".join(summary.split()).partition(": ")
    common = [p for p in closing if p.startswith("Every command takes")]
    exits = [p for p in closing if p.startswith("Exit codes:")]
    out = [f'.TH FLOWCHART 1 "" "flowchart {version}" "User Commands"', ".nh",
           ".SH NAME", f"flowchart \\- {roff(more or name_line)}",
           ".SH SYNOPSIS"]
    for command in commands:
        for usage in command.usage:
            out += [".SY flowchart", roff(usage[len("flowchart "):]), ".YS"]
    out += [".SY flowchart", "help [COMMAND] | COMMAND \\-\\-help | \\-\\-help | \\-\\-version", ".YS"]
    out += [".SH DESCRIPTION", roff(" ".join(intro.split()))]
    out += [".SH COMMANDS"]
    for command in commands:
        out += [".TP", f".B {roff(command.name)}"] + [f"\\fB{roff(usage)}\\fR\n.br" for usage in command.usage] + [
                roff(" ".join(command.description))]
    out += [".SH OPTIONS", "Each command's own options are under COMMANDS above; these are common to all."]
    for paragraph in common:
        option = re.match(r"Every command takes (--\S+ [A-Z]+),", paragraph)
        out += [".TP", f".B {roff(option.group(1)) if option else ''}", roff(paragraph)]
    out.append(".SH EXIT STATUS")
    for paragraph in exits:
        for item in paragraph[len("Exit codes:"):].strip().rstrip(".").split("; "):
            code, _, meaning = item.partition(" ")
            out += [".TP", f".B {roff(code)}", roff(meaning) + "."]
    out += [".SH EXAMPLES", ".RS", ".nf"]
    out += [roff(command.example) for command in commands if command.example]
    out += [".fi", ".RE"]
    return "\n".join(out) + "\n"


# The methods of a Java file as `flowchart list` prints them (its NAME
# column, classes left out), each by its name and by its name and parameter
# types: one awk program, quoted alike for the three shells.
METHODS_AWK = ("awk 'NR == 2 { column = index($0, \"NAME\") } NR > 2 && column { name = substr($0, column); "
               "if (name ~ /^class /) next; open = index(name, \"(\"); "
               "head = open ? substr(name, 1, open - 1) : name; count = split(head, parts, \".\"); "
               "print parts[count]; if (open) print parts[count] substr(name, open) }'")


def shell_words(words):
    return " ".join(words)


def bash_completion(commands):
    options, values, takes = [], [], []
    for command in commands:
        found = options_of(command)
        options.append(f"    {command.name}) words='{shell_words(list(found) + ['--java', '--help'])}' ;;")
        for name, (value, choices) in found.items():
            if value:
                takes.append(f"{command.name} {name}")
            if choices:
                values.append(f"    '{command.name} {name}') words='{shell_words(choices)}' ;;")
    names = shell_words(c.name for c in commands)
    return f"""# bash completion of flowchart: written from its help when it is built.
_flowchart_methods() {{
  # The methods of a Java file as `flowchart list` prints them, each by its
  # name and by its name and parameter types.
  "$1" list "$2" 2>/dev/null | {METHODS_AWK} | sort -u
}}

# Whether "COMMAND OPTION" is followed by a value.
_flowchart_takes_value() {{
  case $1 in
    *" --java"|{'|'.join(f"'{t}'" for t in takes)}) return 0 ;;
  esac
  return 1
}}

_flowchart() {{
  local cur=${{COMP_WORDS[COMP_CWORD]}} prev=${{COMP_WORDS[COMP_CWORD-1]}} words='' name
  COMPREPLY=()
  if (( COMP_CWORD == 1 )); then
    COMPREPLY=($(compgen -W '{names} help --help --version' -- "$cur"))
    return
  fi
  local command=${{COMP_WORDS[1]}}
  if [[ $command == help ]]; then
    (( COMP_CWORD == 2 )) && COMPREPLY=($(compgen -W '{names}' -- "$cur"))
    return
  fi
  case "$command $prev" in
{chr(10).join(values)}
    *" --java") words='{shell_words(str(n) for n in range(1, 26))}' ;;
  esac
  if [[ -n $words ]]; then
    COMPREPLY=($(compgen -W "$words" -- "${{cur##*,}}"))
    [[ $cur == *,* ]] && COMPREPLY=("${{COMPREPLY[@]/#/${{cur%,*}},}}")
    return
  fi
  _flowchart_takes_value "$command $prev" && return
  if [[ $cur == -* ]]; then
    case $command in
{chr(10).join(options)}
    esac
    COMPREPLY=($(compgen -W "$words" -- "$cur"))
    return
  fi
  # The method after a Java file, for draw and sequence.
  if [[ $command == draw || $command == sequence ]]; then
    local at file='' positional=0
    for (( at = 2; at < COMP_CWORD; at++ )); do
      case ${{COMP_WORDS[at]}} in
        -*) _flowchart_takes_value "$command ${{COMP_WORDS[at]}}" && (( at++ )) ;;
        *) (( positional++ )); [[ $positional == 1 ]] && file=${{COMP_WORDS[at]}} ;;
      esac
    done
    if [[ $positional == 1 && $file == *.java ]]; then
      while IFS= read -r name; do
        [[ $name == "$cur"* ]] && COMPREPLY+=("$(printf '%q' "$name")")
      done < <(_flowchart_methods "$1" "$file")
    fi
  fi
}}
complete -o default -F _flowchart flowchart
"""


def zsh_completion(commands):
    lines = []
    for command in commands:
        argument_forms = []
        for name, (value, choices) in options_of(command).items():
            if choices:
                argument_forms.append(f"'{name}[{name}]:value:({' '.join(choices)})'")
            elif value:
                argument_forms.append(f"'{name}[{name}]:value:_files'")
            else:
                argument_forms.append(f"'{name}[{name}]'")
        argument_forms += ["'--java[Java release]:level:({})'".format(" ".join(str(n) for n in range(1, 26))),
                  "'--help[help]'"]
        methods = " '*:method or file:_flowchart_method_or_file'" if command.name in ("draw", "sequence") else " '*:file:_files'"
        lines.append(f"    {command.name}) _arguments {' '.join(argument_forms)}{methods} ;;")
    names = " ".join(c.name for c in commands)
    return f"""#compdef flowchart
# zsh completion of flowchart: written from its help when it is built.

_flowchart_method_or_file() {{
  local file=${{words[(r)*.java]}}
  if [[ -n $file && -f $file ]]; then
    local -a names
    names=(${{(f)"$($program list $file 2>/dev/null | {METHODS_AWK})"}})
    compadd -a names
  fi
  _files
}}

_flowchart() {{
  if (( CURRENT == 2 )); then
    compadd -- {names} help --help --version
    return
  fi
  # The program as typed, for list; the command's words then start at it.
  local program=$words[1] command=$words[2]
  (( CURRENT-- )); shift words
  case $command in
    help) (( CURRENT == 2 )) && compadd -- {names} ;;
{chr(10).join(lines)}
  esac
}}

_flowchart "$@"
"""


def fish_completion(commands):
    names = " ".join(c.name for c in commands)
    out = ["# fish completion of flowchart: written from its help when it is built.",
           "function __flowchart_methods",
           "    set -l words (commandline -opc)",
           "    for word in $words[3..-1]",
           "        if string match -q -- '*.java' $word; and test -f $word",
           "            $words[1] list $word 2>/dev/null | " + METHODS_AWK,
           "            return",
           "        end",
           "    end",
           "end",
           f"complete -c flowchart -n __fish_use_subcommand -f -a '{names} help'",
           "complete -c flowchart -n __fish_use_subcommand -l help -l version",
           f"complete -c flowchart -n '__fish_seen_subcommand_from help' -f -a '{names}'",
           "complete -c flowchart -n 'not __fish_use_subcommand' -l java -x -a '{}'".format(" ".join(str(n) for n in range(1, 26)))]
    for command in commands:
        when = f"-n '__fish_seen_subcommand_from {command.name}'"
        for name, (value, choices) in options_of(command).items():
            flag = f"-l {name[2:]}" if name.startswith("--") else f"-s {name[1:]}"
            if choices:
                out.append(f"complete -c flowchart {when} {flag} -x -a '{' '.join(choices)}'")
            else:
                out.append(f"complete -c flowchart {when} {flag}{' -r' if value else ''}")
    out.append("complete -c flowchart -n '__fish_seen_subcommand_from draw sequence' -a '(__flowchart_methods)'")
    return "\n".join(out) + "\n"


def write(path, text):
    with open(path + ".tmp", "w") as file:
        file.write(text)
    os.replace(path + ".tmp", path)


def main():
    flowchart, version, out_dir = sys.argv[1:4]
    intro, commands, closing = parse(help_of(flowchart, "--help"))
    for command in commands:
        # A command's own help is the one its completion follows.
        _, own, _ = parse(help_of(flowchart, "help", command.name))
        if own:
            command.usage = own[0].usage
    if not commands or not any(p.startswith("Exit codes:") for p in closing):
        sys.exit("from_help.py: the help of " + flowchart + " does not read as expected")
    os.makedirs(out_dir, exist_ok=True)
    write(os.path.join(out_dir, "flowchart.1"), man_page(version, intro, commands, closing))
    write(os.path.join(out_dir, "flowchart.bash"), bash_completion(commands))
    write(os.path.join(out_dir, "_flowchart"), zsh_completion(commands))
    write(os.path.join(out_dir, "flowchart.fish"), fish_completion(commands))


if __name__ == "__main__":
    main()
