#!/usr/bin/python3
"""The installed command, as its users meet it.

    install_check.py install CMAKE BUILD_DIR SOURCE_DIR

installs the build into a temporary prefix with `cmake --install`, then
from another folder: P/bin/flowchart draws an example as .svg and .json,
`man -l` shows its man page with the sections the help gives (when man is
there), and bash, with the installed completion sourced, proposes
commands, a format and the methods of a Java file on the line.
"""
import json
import os
import subprocess
import sys
import tempfile

SKIPPED = 77


def run(command, **extra):
    return subprocess.run(command, capture_output=True, text=True, **extra)


def installed_files(prefix):
    return sorted(os.path.relpath(os.path.join(folder, name), prefix)
                  for folder, _, names in os.walk(prefix) for name in names)


def check_install(cmake, build, source):
    with tempfile.TemporaryDirectory() as prefix, tempfile.TemporaryDirectory() as elsewhere:
        done = run([cmake, "--install", build, "--prefix", prefix])
        assert done.returncode == 0, done.stdout + done.stderr
        files = installed_files(prefix)
        expected = ["bin/flowchart", "share/bash-completion/completions/flowchart", "share/doc/flowchart/changelog",
                    "share/doc/flowchart/copyright",
                    "share/fish/vendor_completions.d/flowchart.fish", "share/man/man1/flowchart.1",
                    "share/zsh/vendor-completions/_flowchart"]
        if os.path.exists(os.path.join(build, "cli", "flowchart-raster.so")):
            expected.append("lib/flowchart/flowchart-raster.so")
        assert files == sorted(expected), files
        flowchart = os.path.join(prefix, "bin", "flowchart")
        example = os.path.join(source, "tests", "fixtures", "examples", "java", "Checkout.java")
        for out in ("total.svg", "total.json"):
            drawn = run([flowchart, "draw", example, "total", "-o", out], cwd=elsewhere)
            assert drawn.returncode == 0, drawn.stderr
        with open(os.path.join(elsewhere, "total.svg")) as svg:
            assert "<svg" in svg.read(4096)
        with open(os.path.join(elsewhere, "total.json")) as graph:
            assert json.load(graph)["method"] == "total"
        check_man(os.path.join(prefix, "share", "man", "man1", "flowchart.1"), flowchart)
        check_bash(prefix, example, elsewhere)
        for shell, completion in (("zsh", "share/zsh/vendor-completions/_flowchart"),
                                  ("fish", "share/fish/vendor_completions.d/flowchart.fish")):
            if run(["which", shell]).returncode == 0:
                read = run([shell, "-n", os.path.join(prefix, completion)])
                assert read.returncode == 0, read.stderr


def check_man(page, flowchart):
    if run(["which", "man"]).returncode != 0:
        print("man is not installed: the man page is not shown")
        return
    shown = run(["man", "--warnings", "-l", page], env={**os.environ, "MANWIDTH": "100", "MAN_KEEP_FORMATTING": ""})
    assert shown.returncode == 0 and not shown.stderr, shown.stderr
    lines = shown.stdout.split("\n")
    headings = [line for line in lines if line and not line[0].isspace()][1:-1]
    assert headings == ["NAME", "SYNOPSIS", "DESCRIPTION", "COMMANDS", "OPTIONS", "EXIT STATUS", "EXAMPLES"], headings
    text = " ".join(shown.stdout.split())
    help_text = " ".join(run([flowchart, "--help"]).stdout.split())
    for phrase in ("flowchart check SRC... [--max-cc N]", "flowchart index OUT_DIR... -o SITE",
                   "Merges the outputs of several batch runs", "a method is over a threshold.",
                   "flowchart diff main HEAD -o review.md -- src", "--java LEVEL, the Java release"):
        assert phrase in help_text and phrase in text, phrase
    assert "NAME flowchart - flowcharts and sequence diagrams of Java methods" in text, text[:200]


# Each case: the words on the line, the last being completed, and what the
# completion must propose, exactly.
BASH_CASES = [
    (["flowchart", "d"], ["draw", "diff"]),
    (["flowchart", "check", "--format", ""], ["text", "json", "sarif", "codeclimate"]),
    (["flowchart", "batch", "src", "--format", "html,p"], ["html,puml", "html,png", "html,pdf"]),
    (["flowchart", "draw", "--fo"], ["--fold"]),
    (["flowchart", "draw", "Checkout.java", "to"], ["total", "total\\(String\\[\\]\\,\\ int\\[\\]\\,\\ int\\[\\]\\,\\ String\\)"]),
    (["flowchart", "draw", "-o", "x.svg", "Inventory.java", "ad"], ["add", "add\\(String\\,\\ int\\)"]),
    (["flowchart", "sequence", "Inventory.java", "add", "--src", ""], []),
]


def check_bash(prefix, example, elsewhere):
    examples = os.path.dirname(example)
    script = ["source " + os.path.join(prefix, "share", "bash-completion", "completions", "flowchart")]
    for words, _ in BASH_CASES:
        quoted = " ".join("'" + word + "'" for word in words)
        script += [f"COMP_WORDS=({quoted}); COMP_CWORD={len(words) - 1}",
                   f"_flowchart flowchart '{words[-1]}' '{words[-2]}'",
                   "for word in \"${COMPREPLY[@]}\"; do printf '%s|' \"$word\"; done; echo"]
    ran = run(["bash", "--norc", "-c", "\n".join(script)], cwd=examples,
              env={**os.environ, "PATH": os.path.join(prefix, "bin") + os.pathsep + os.environ["PATH"]})
    assert ran.returncode == 0, ran.stderr
    proposed = [line.split("|")[:-1] for line in ran.stdout.split("\n")[:-1]]
    assert proposed == [expected for _, expected in BASH_CASES], proposed


def main():
    if sys.argv[1] == "install":
        check_install(*sys.argv[2:5])
    else:
        sys.exit("install_check.py: no check " + sys.argv[1])


if __name__ == "__main__":
    main()
