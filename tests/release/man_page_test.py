#!/usr/bin/python3
"""The manual page qjxpack(1) as the package ships it matches qjxpack --help both ways: every
command has its section, and every option and argument of every command is described under a
heading that names the command (the branding options under one heading for create and brand),
and the page describes none that the program lacks; every exit code that --help lists has its
item under EXIT STATUS. A difference is named, with its command.

Usage: man_page_test.py QJXPACK qjxpack.1.gz
"""
import gzip
import re
import subprocess
import sys

TOP = "qjxpack"  # the program's own options, under .SH OPTIONS
OPTION = re.compile(r"(?<![\w-])(--?[A-Za-z0-9][A-Za-z0-9-]*)")
ARGUMENT = re.compile(r"^([A-Z][A-Z0-9_]*)(?:\.\.\.)?(?:\s|$)")


def help_text(qjxpack, *command):
    result = subprocess.run([qjxpack, *command, "--help"], capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit("FAIL: qjxpack %s --help exited %d: %s" %
                 (" ".join(command), result.returncode, result.stderr))
    return result.stdout


# The items of each block of --help, by the form their first word must have.
HELP_ITEM = {"Options": r"-", "Positionals": r"[A-Z]", "Subcommands": r"[a-z]",
             "Exit codes": r"[0-9]+$"}


def help_blocks(text):
    """{"Options": [first words of each item], "Positionals": [...], "Subcommands": [...],
    "Exit codes": [...]}"""
    blocks, current, form = {}, None, None
    for line in text.splitlines():
        if line.endswith(":") and line[:-1] in HELP_ITEM:
            current, form = blocks.setdefault(line[:-1], []), HELP_ITEM[line[:-1]]
        elif not line.strip():
            current = None
        elif current is not None and re.match(r"  \S", line) and re.match(form, line.split()[0]):
            current.append(line.split()[0])
    return blocks


def described_by_help(qjxpack):
    """({command: (options, arguments)}, exit codes) as --help gives them."""
    top = help_blocks(help_text(qjxpack))
    found = {TOP: ({o for item in top.get("Options", []) for o in item.split(",")}, set())}
    for command in top.get("Subcommands", []):
        blocks = help_blocks(help_text(qjxpack, command))
        options = {o for item in blocks.get("Options", []) for o in item.split(",")}
        # Every command takes -h/--help; the page says so once, among the program's options.
        found[command] = (options - {"-h", "--help"}, set(blocks.get("Positionals", [])))
    return found, set(top.get("Exit codes", []))


def plain(line):
    """A roff line without its font changes and escapes."""
    line = re.sub(r"\\f[BIRP]", "", line).replace("\\-", "-").replace("\\e", "\\")
    return line.strip('"').strip()


def described_by_page(page, commands):
    """({command: (options, arguments)}, the one-word headings under COMMANDS, exit codes)"""
    found = {command: (set(), set()) for command in commands}
    codes = set()
    sections, applies, chapter, lines = set(), [], "", page.splitlines()
    for number, line in enumerate(lines):
        if line.startswith(".SH "):
            chapter = plain(line[4:])
            applies = [TOP] if chapter == "OPTIONS" else []
        elif line.startswith(".SS "):
            words = re.findall(r"[\w-]+", plain(line[4:]))
            applies = [word for word in words if word in commands]
            if chapter == "COMMANDS" and len(words) == 1:
                sections.add(words[0])
        elif line == ".TP" and chapter == "EXIT STATUS" and number + 1 < len(lines):
            codes.update(re.findall(r"^(?:\.B )?([0-9]+)$", plain(lines[number + 1])))
        elif line == ".TP" and applies and number + 1 < len(lines):
            item = plain(lines[number + 1])
            argument = ARGUMENT.match(item)
            for command in applies:
                found[command][0].update(OPTION.findall(item))
                if argument:
                    found[command][1].add(argument.group(1))
    return found, sections, codes


def main():
    qjxpack, page_path = sys.argv[1:3]
    with gzip.open(page_path, "rt", encoding="utf-8") as f:
        page = f.read()
    by_help, help_codes = described_by_help(qjxpack)
    commands = set(by_help) - {TOP}
    by_page, sections, page_codes = described_by_page(page, set(by_help))
    problems = []
    for code in sorted(help_codes - page_codes):
        problems.append("exit code %s: in --help, not under EXIT STATUS in the page" % code)
    for command in sorted(commands - sections):
        problems.append("command %s has no section (.SS %s) in the page" % (command, command))
    for command in sorted(sections - commands - {TOP}):
        problems.append("the page has a section for %s, which qjxpack --help does not list"
                        % command)
    for command in sorted(by_help):
        name = TOP if command == TOP else TOP + " " + command
        for kind, want, got in zip(("option", "argument"), by_help[command], by_page[command]):
            for missing in sorted(want - got):
                problems.append("%s %s %s: in --help, not described in the page" %
                                (name, kind, missing))
            for extra in sorted(got - want):
                problems.append("%s %s %s: described in the page, not in --help" %
                                (name, kind, extra))
    if problems:
        print("FAIL: the manual page %s and qjxpack --help differ:" % page_path)
        for problem in problems:
            print("  " + problem)
        return 1
    print("ok: %d commands, %d options and arguments, each in the page" %
          (len(commands), sum(len(o) + len(a) for o, a in by_help.values())))
    return 0


if __name__ == "__main__":
    sys.exit(main())
