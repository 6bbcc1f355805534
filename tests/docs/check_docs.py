#!/usr/bin/env python3
"""Keeps the client documentation in step with the program.

    check_docs.py BINARY NATIVE_BINARY

- every subcommand of velkaron has its entry in man/velkaron.1, and every message and prompt
  written in src/cli/ appears there;
- every operation of the dispatch table has its section in docs/protocol.md and its entry in
  the manual page, and the documents name no operation the program lacks;
- every message text written in the sources (headers included) appears in docs/protocol.md;
- every message of the reference table in docs/protocol.md, cut at its "{}" placeholders and
  its numbers, occurs in the binary (catches a message documented with a typo or removed from the code);
  so does every message of the tables of its native-messaging section in the native host's binary;
- the manual pages render without a groff warning;
- every link inside the documents leads to an existing file and heading.
"""

import glob
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PROTOCOL = os.path.join(ROOT, "docs", "protocol.md")
MAN_PAGE = os.path.join(ROOT, "man", "velkaron-vault.1")
NATIVE_MAN_PAGE = os.path.join(ROOT, "man", "velkaron-native.1")
CLI_MAN_PAGE = os.path.join(ROOT, "man", "velkaron.1")
CLI_SOURCES = os.path.join(ROOT, "src", "cli")

failures = []


def fail(message):
    failures.append(message)


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def operations_in_code():
    dispatch = read(os.path.join(ROOT, "src", "host", "dispatch.cpp"))
    table = dispatch[dispatch.index("OPERATIONS{{"):]
    names = re.findall(r'^\s*\{"([a-z-]+)",', table, re.MULTILINE)
    if len(names) < 12:
        fail(f"could not read the dispatch table (found {names})")
    return names


def check_operations(protocol, man):
    names = operations_in_code()
    documented = re.findall(r"^### ([a-z-]+)$", protocol, re.MULTILINE)
    for name in names:
        if name not in documented:
            fail(f"docs/protocol.md has no section for operation {name}")
        roff_name = name.replace("-", r"\-")
        if not re.search(r"^\.BR? " + re.escape(roff_name) + r"( |$)", man, re.MULTILINE):
            fail(f"man page has no entry for operation {name}")
    for name in documented:
        if name not in names:
            fail(f"docs/protocol.md documents an operation the program lacks: {name}")


# String literals handed to fail(), failure(), fatal() or refuse(), given to fill_random() as
# the text of its fatal error, or named as message constants.
STRING = r'"((?:[^"\\]|\\.)*)"'
MESSAGE_LITERAL = re.compile("|".join([
    r"\b(?:fail|failure|fatal|refuse)\(\s*" + STRING,
    r"\bfill_random\([^;\"]*,\s*" + STRING,
    r"constexpr [\w:]+ [A-Z][A-Z_]*(?:\[\])? =\s*" + STRING,
]))


def check_source_messages(protocol):
    # Headers too: a message constant moved into a header stays checked.
    sources = [path for pattern in ("*.cpp", "*.hpp")
               for path in glob.glob(os.path.join(ROOT, "src", "**", pattern), recursive=True)]
    found = 0
    for path in sources:
        if path.startswith(CLI_SOURCES + os.sep):
            continue  # velkaron's messages are documented in its own manual page
        if os.path.basename(path) == "placeholder.cpp":
            continue  # stand-ins for operations still being written
        for match in MESSAGE_LITERAL.finditer(read(path)):
            text = next((g for g in match.groups() if g), "").strip()
            if " " not in text:  # every message has a space; alphabets and paths do not
                continue
            found += 1
            if text not in protocol:
                fail(f"message {text!r} from {os.path.relpath(path, ROOT)} is not in docs/protocol.md")
    if found < 10:
        fail(f"only {found} message literals found in src/: the pattern no longer fits the code")


# velkaron's messages: literals given to the constructors of its failures, and its prompts.
CLI_MESSAGE_LITERAL = re.compile("|".join([
    r"\b(?:refused|usage_error|not_found|host_gone)\(\s*" + STRING,
    r"constexpr std::string_view PROMPT_[A-Z_]+ =\s*" + STRING,
]))


def man_text(page):
    """The manual page's source with the escapes its messages use undone."""
    text = read(page)
    for escape, plain in ((r"\[ss]", "ß"), (r"\-", "-"), (r"\fI", ""), (r"\fR", ""),
                          (r"\fB", "")):
        text = text.replace(escape, plain)
    return text


def check_cli(man):
    commands = read(os.path.join(CLI_SOURCES, "commands.cpp"))
    table = commands[commands.index("COMMANDS{{"):]
    names = re.findall(r'^\s*\{"([a-z]+)",', table, re.MULTILINE) + ["where", "shell"]
    if len(names) < 12:
        fail(f"could not read velkaron's command table (found {names})")
    for name in names:
        if not re.search(r"^\.BR? " + re.escape(name) + r"( |$)", man, re.MULTILINE):
            fail(f"man/velkaron.1 has no entry for command {name}")
    found = 0
    for path in glob.glob(os.path.join(CLI_SOURCES, "*.[ch]pp")):
        for match in CLI_MESSAGE_LITERAL.finditer(read(path)):
            text = next((g for g in match.groups() if g), "").strip()
            found += 1
            if text not in man:
                fail(f"message {text!r} from {os.path.relpath(path, ROOT)} is not in man/velkaron.1")
    if found < 20:
        fail(f"only {found} message literals found in src/cli/: the pattern no longer fits the code")


def table_messages(protocol, heading):
    section = protocol[protocol.index(heading):]
    section = section[:section.index("\n## ", 1)] if "\n## " in section[1:] else section
    return re.findall(r"^\| `([^`]+)` \|", section, re.MULTILINE)


def check_messages_in_binary(protocol, heading, binary, at_least):
    with open(binary, "rb") as f:
        image = f.read()
    messages = table_messages(protocol, heading)
    if len(messages) < at_least:
        fail(f"only {len(messages)} messages in the tables of {heading!r} in docs/protocol.md")
    for message in messages:
        # Numbers in a message may be formatted from a constant: they split it as well.
        for fragment in re.split(r"\{\}|[0-9]+", message):
            if fragment.strip() and fragment.encode() not in image:
                fail(f"documented message {message!r}: {fragment!r} does not occur in the binary")


def check_man_page(page):
    result = subprocess.run(["groff", "-man", "-Tutf8", "-ww", "-z", page],
                            capture_output=True, text=True)
    if result.returncode != 0 or result.stderr:
        fail(f"man page {os.path.basename(page)} does not render cleanly: {result.stderr.strip()}")


def anchor(heading):
    """The anchor a Markdown renderer gives a heading (lower case, punctuation dropped)."""
    text = re.sub(r"[`*]", "", heading.strip().lower())
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def check_links():
    documents = glob.glob(os.path.join(ROOT, "docs", "*.md")) + [os.path.join(ROOT, "README.md")]
    anchors = {}
    for path in documents:
        anchors[os.path.abspath(path)] = {
            anchor(h) for h in re.findall(r"^#+ (.+)$", read(path), re.MULTILINE)}
    for path in documents:
        text = re.sub(r"```.*?```", "", read(path), flags=re.DOTALL)
        for target in re.findall(r"\]\(([^)\s]+)\)", text):
            if re.match(r"[a-z]+:", target):
                continue
            file_part, _, fragment = target.partition("#")
            linked = os.path.abspath(os.path.join(os.path.dirname(path), file_part)) if file_part \
                else os.path.abspath(path)
            name = os.path.relpath(path, ROOT)
            if not os.path.exists(linked):
                fail(f"{name}: link to missing file {target}")
            elif fragment and fragment not in anchors.get(linked, set()):
                fail(f"{name}: link to missing heading {target}")


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: check_docs.py BINARY NATIVE_BINARY")
    protocol = read(PROTOCOL)
    check_operations(protocol, read(MAN_PAGE))
    check_source_messages(protocol)
    check_messages_in_binary(protocol, "## Message reference", sys.argv[1], 25)
    check_messages_in_binary(protocol, "## Native messaging", sys.argv[2], 15)
    check_man_page(MAN_PAGE)
    check_man_page(NATIVE_MAN_PAGE)
    check_man_page(CLI_MAN_PAGE)
    check_cli(man_text(CLI_MAN_PAGE))
    check_links()
    for message in failures:
        print("FAIL:", message)
    print(f"{len(failures)} failed" if failures else "documentation matches the program")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
