#!/usr/bin/env python3
"""Writes pellora-cli's man page or bash completion from its own --help.

    from-help.py man  PELLORA_CLI TEMPLATE OUT
    from-help.py bash PELLORA_CLI TEMPLATE OUT

The help text is the one description of the commands and options: the man
page is that text set in roff, and the completion's tables (commands, their
options and arguments, what each option takes) are read off its usage lines.
A template adds what the help leaves out; @HELP@ or @TABLES@ marks where the
generated part goes.
"""
import re
import subprocess
import sys

TOKEN = re.compile(r"--[A-Za-z0-9-]+|\w[\w.-]*(?:\|\w[\w.-]*)*|\.\.\.|[\[\]()|]")
PLACEHOLDER = re.compile(r"[A-Z][A-Z_]*(\.[a-z]+)?$")


def run(cli, option):
    return subprocess.run([cli, option], check=True, capture_output=True, text=True).stdout


def indent(line):
    return len(line) - len(line.lstrip(" "))


def parse(text):
    """Blocks of the help, split at blank lines: ("usage", line),
    ("paragraph", lines) or ("items", heading, [(term, description)])."""
    blocks = []
    for chunk in re.split(r"\n\s*\n", text.strip("\n")):
        lines = chunk.split("\n")
        if lines[0].startswith("Usage: "):
            blocks.append(("usage", lines[0][len("Usage: "):]))
            continue
        heading = None
        if indent(lines[0]) == 0 and lines[0].endswith(":"):
            heading, lines = lines[0][:-1], lines[1:]
        elif indent(lines[0]) == 0:
            blocks.append(("paragraph", lines))
            continue
        items = []
        for line in lines:
            stripped = line.strip()
            if indent(line) == 2:
                term, said = (re.split(r"\s{2,}", stripped, maxsplit=1) + [""])[:2]
                items.append([term, [said] if said else []])
            elif not items[-1][1] and stripped[:1] in "[(":
                items[-1][0] += " " + stripped  # a usage line that goes on
            else:
                items[-1][1].append(stripped)
        blocks.append(("items", heading, [(term, " ".join(said)) for term, said in items]))
    return blocks


# --- the man page ------------------------------------------------------------


def roff_text(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return re.sub(r"^([.'])", r"\\&\1", text)


def roff_term(term):
    """Literal words bold, placeholders italic, as man pages set a synopsis."""
    out = []
    for piece in re.split(r"(\s+|[\[\]()|])", term):
        if not piece or piece.isspace() or piece in "[]()|":
            out.append(piece)
        elif PLACEHOLDER.match(piece) or piece == "...":
            out.append("\\fI" + roff_text(piece) + "\\fR")
        else:
            out.append("\\fB" + roff_text(piece) + "\\fR")
    return "".join(out)


def man_page(blocks):
    synopsis, description, commands, options, status = [], [], [], [], []
    for block in blocks:
        if block[0] == "usage":
            synopsis = [".SH SYNOPSIS", roff_term(block[1])]
        elif block[0] == "paragraph":
            description += [".PP"] * bool(description) + [roff_text(" ".join(line.strip() for line in block[1]))]
        elif block[1] is None:
            options += block[2]
        elif block[1] == "Exit status":
            status += block[2]
        else:
            commands.append(".SS " + roff_text(block[1]))
            for term, said in block[2]:
                commands += [".TP", roff_term(term)] + ([roff_text(said)] if said else [])
    out = synopsis + [".SH DESCRIPTION"] + description + [".SH COMMANDS"] + commands
    for title, items in (("OPTIONS", options), ('"EXIT STATUS"', status)):
        out.append(".SH " + title)
        for term, said in items:
            out += [".TP", roff_term(term), roff_text(said)]
    return "\n".join(out) + "\n"


# --- the bash completion -----------------------------------------------------


def usage_of(term):
    """The command, its positional arguments, and each option with what it takes."""
    tokens = TOKEN.findall(term)
    command = [tokens.pop(0)]
    if tokens and re.fullmatch(r"[a-z][a-z|-]*", tokens[0]):
        command.append(tokens.pop(0))
    arguments, options, depth = [], {}, 0
    for i, token in enumerate(tokens):
        depth += {"[": 1, "(": 1, "]": -1, ")": -1}.get(token, 0)
        if token.startswith("--"):
            after = tokens[i + 1] if i + 1 < len(tokens) else ""
            takes = after if after and after[0] not in "[]()|-" and after != "..." else ""
            options[token] = takes
        elif depth == 0 and PLACEHOLDER.match(token) and (i == 0 or not tokens[i - 1].startswith("--")):
            arguments.append(token)
    return command, arguments, options


def bash_quote(text):
    return "'" + text.replace("'", "'\\''") + "'"


def completion_tables(blocks):
    commands, subcommands, arguments, options, values = [], {}, {}, {"pellora-cli": []}, {}
    for block in blocks:
        if block[0] != "items" or block[1] == "Exit status":
            continue
        for term, said in block[2]:
            if block[1] is None:  # options of the program itself
                _, _, found = usage_of("pellora-cli " + term)
                names = ["pellora-cli"]
            else:
                command, wanted, found = usage_of(term)
                found.update({o: "" for o in re.findall(r"--[a-z][a-z0-9-]*", said) if o not in found})
                if command[0] not in commands:
                    commands.append(command[0])
                names = [command[0]]
                if len(command) > 1:
                    subcommands.setdefault(command[0], []).extend(command[1].split("|"))
                    names = [command[0] + " " + sub for sub in command[1].split("|")]
                for name in names:
                    arguments[name] = wanted
            for name in names:
                options.setdefault(name, []).extend(o for o in found if o not in options[name])
            values.update({option: takes for option, takes in found.items() if takes})

    def table(name, rows):
        body = " ".join("[%s]=%s" % (bash_quote(key), bash_quote(" ".join(row) if isinstance(row, list) else row))
                        for key, row in rows.items())
        return "declare -gA %s=(%s)" % (name, body)

    return "\n".join([
        "_pellora_cli_commands=" + bash_quote(" ".join(commands)),
        table("_pellora_cli_subcommands", subcommands),
        table("_pellora_cli_arguments", arguments),
        table("_pellora_cli_options", options),
        table("_pellora_cli_values", values),
    ]) + "\n"


def main():
    kind, cli, template, target = sys.argv[1:]
    blocks = parse(run(cli, "--help"))
    with open(template, encoding="utf-8") as f:
        text = f.read()
    if kind == "man":
        text = text.replace("@VERSION@", run(cli, "--version").split()[-1]).replace("@HELP@\n", man_page(blocks))
    else:
        text = text.replace("@TABLES@\n", completion_tables(blocks))
    with open(target, "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    main()
