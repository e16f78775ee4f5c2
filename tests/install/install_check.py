#!/usr/bin/python3
"""The installed command and what puts it where people work, checked by
their consumers.

    install_check.py install CMAKE BUILD_DIR SOURCE_DIR

installs the build into a temporary prefix with `cmake --install`, then
from another folder: P/bin/flowchart draws an example as .svg, .json and
.png,
`man -l` shows its man page with the sections the help gives (when man is
there), and bash, with the installed completion sourced, proposes
commands, a format and the methods of a Java file on the line.

    install_check.py action FLOWCHART SOURCE_DIR

runs the GitHub Action's script (scripts/action) as GitHub runs it, on a
git repository of two commits with a pull-request event file: diff's
report, summary and outputs, then check's.

    install_check.py precommit FLOWCHART SOURCE_DIR

runs pre-commit with a repository of ours holding .pre-commit-hooks.yaml
on five staged Java files (and one over every threshold, not staged):
under the threshold it passes, over it it fails with check's message;
prints the time of each run (skipped without pre-commit).

    install_check.py validate NODE_MODULES SOURCE_DIR

validates action.yml and the example workflows of docs/ci with
action-validator (skipped without it).
"""
import json
import os
import re
import subprocess
import sys
import tempfile
import time

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
        for out in ("total.svg", "total.json", "total.png"):
            drawn = run([flowchart, "draw", example, "total", "-o", out], cwd=elsewhere)
            assert drawn.returncode == 0, drawn.stderr
        with open(os.path.join(elsewhere, "total.svg")) as svg:
            assert "<svg" in svg.read(4096)
        with open(os.path.join(elsewhere, "total.png"), "rb") as png:
            assert png.read(8) == b"\x89PNG\r\n\x1a\n"
        with open(os.path.join(elsewhere, "total.json")) as graph:
            assert json.load(graph)["method"] == "total"
        check_man(os.path.join(prefix, "share", "man", "man1", "flowchart.1"), flowchart)
        check_bash(prefix, example, elsewhere)
        zsh_completion = os.path.join(prefix, "share/zsh/vendor-completions/_flowchart")
        if run(["which", "zsh"]).returncode == 0:
            read = run(["zsh", "-n", zsh_completion])
            assert read.returncode == 0, read.stderr
        if run(["which", "fish"]).returncode == 0:
            check_fish(prefix, example)


def check_fish(prefix, example):
    """fish, the installed completion sourced, completes as bash does."""
    script = "source " + os.path.join(prefix, "share/fish/vendor_completions.d/flowchart.fish") + "\n" + "\n".join(
        f"complete -C '{line}'; echo ---" for line in ("flowchart draw Checkout.java to", "flowchart check --format "))
    ran = run(["fish", "--no-config", "-c", script], cwd=os.path.dirname(example),
              env={**os.environ, "PATH": os.path.join(prefix, "bin") + os.pathsep + os.environ["PATH"]})
    assert ran.returncode == 0, ran.stderr
    assert ran.stdout == ("total\ntotal(String[], int[], int[], String)\n---\n"
                          "codeclimate\njson\nmarkdown\nsarif\ntext\n---\n"), ran.stdout


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
    (["flowchart", "check", "--format", ""], ["text", "json", "sarif", "codeclimate", "markdown"]),
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


def git(repository, *arguments):
    done = run(["git", "-c", "user.name=Test", "-c", "user.email=test@example.com", *arguments], cwd=repository)
    assert done.returncode == 0, done.stderr
    return done.stdout.strip()


def read(path):
    with open(path) as file:
        return file.read()


def check_action(flowchart, source):
    example = os.path.join(source, "tests", "fixtures", "examples", "java", "Inventory.java")
    with tempfile.TemporaryDirectory() as work:
        repository = os.path.join(work, "shop")
        os.mkdir(repository)
        git(repository, "init", "-q")
        text = read(example)
        with open(os.path.join(repository, "Inventory.java"), "w") as java:
            java.write(text)
        git(repository, "add", ".")
        git(repository, "commit", "-qm", "base")
        base = git(repository, "rev-parse", "HEAD")
        with open(os.path.join(repository, "Inventory.java"), "w") as java:
            java.write(text.replace("if (current == null) {", "if (current == null || amount > 1000 && item.isEmpty() || amount < 0) {"))
        git(repository, "commit", "-qam", "head")
        head = git(repository, "rev-parse", "HEAD")
        event = os.path.join(work, "event.json")
        with open(event, "w") as file:
            json.dump({"action": "synchronize", "number": 7,
                       "pull_request": {"number": 7, "base": {"sha": base, "ref": "main"},
                                        "head": {"sha": head, "ref": "topic"}}}, file)

        def action(name, **settings):
            summary, outputs = os.path.join(work, name + ".summary"), os.path.join(work, name + ".outputs")
            environment = {**os.environ, "GITHUB_STEP_SUMMARY": summary, "GITHUB_OUTPUT": outputs,
                           "GITHUB_EVENT_PATH": event, "GITHUB_SERVER_URL": "https://github.com",
                           "GITHUB_REPOSITORY": "octo/shop", "FLOWCHART_PROGRAM": flowchart,
                           **{"FLOWCHART_" + key: value for key, value in settings.items()}}
            ran = run([os.path.join(source, "scripts", "action")], cwd=repository, env=environment)
            return ran, read(summary), read(outputs)

        # diff: the pull request's revisions from the event, the comment's
        # links to the head's files, the gate passed but not failing.
        ran, summary, outputs = action("diff", COMMAND="diff", MAX_CC="4", FAIL="false")
        assert ran.returncode == 0, ran.stderr
        assert outputs == "exit-code=3\nreport=flowchart-diff.md\nmethods-over=1\n", outputs
        direct = run([flowchart, "diff", base, head, "--max-cc", "4", "--link",
                      f"https://github.com/octo/shop/blob/{head}/", "-o", os.path.join(work, "direct.md")],
                     cwd=repository)
        assert direct.returncode == 3, direct.stderr
        assert summary == read(os.path.join(repository, "flowchart-diff.md")) == read(os.path.join(work, "direct.md"))
        assert f"https://github.com/octo/shop/blob/{head}/Inventory.java#L24" in summary

        # check: the step fails with the command, its summary the findings.
        ran, summary, outputs = action("check", COMMAND="check", MAX_CC="4", PATHS="Inventory.java")
        assert ran.returncode == 3, ran.stderr
        assert outputs == "exit-code=3\nreport=flowchart.sarif\nmethods-over=1\n", outputs
        # The summary is check's own Markdown summary of the same findings.
        direct = run([flowchart, "check", "--max-cc", "4", "--format", "markdown", "Inventory.java"], cwd=repository)
        assert "| `Inventory.add(String, int)` | `Inventory.java:24` | **5** |" in direct.stdout, direct.stdout
        assert summary == direct.stdout + "\nReport: `flowchart.sarif`\n", summary
        sarif = json.loads(read(os.path.join(repository, "flowchart.sarif")))
        assert [result["message"]["text"] for result in sarif["runs"][0]["results"]] == [
            "Inventory.add(String, int): cyclomatic complexity 5 > 4"]

        # The repository's settings file gives the thresholds the inputs leave out.
        with open(os.path.join(repository, ".flowchart.toml"), "w") as settings:
            settings.write("[thresholds]\nmax-cc = 4\n")
        ran, summary, outputs = action("settings", COMMAND="check", PATHS="Inventory.java")
        assert ran.returncode == 3, ran.stderr
        assert outputs == "exit-code=3\nreport=flowchart.sarif\nmethods-over=1\n", outputs
        os.remove(os.path.join(repository, ".flowchart.toml"))


def java_with_ifs(name, count):
    """A class whose one method has `count` ifs: cyclomatic complexity count + 1."""
    ifs = "".join(f"        if (x == {i}) x++;\n" for i in range(count))
    return f"class {name} {{\n    int step(int x) {{\n{ifs}        return x;\n    }}\n}}\n"


def check_precommit(flowchart, source):
    if run(["which", "pre-commit"]).returncode != 0:
        print("pre-commit is not installed")
        sys.exit(SKIPPED)
    with tempfile.TemporaryDirectory() as work:
        hooks, project = os.path.join(work, "hooks"), os.path.join(work, "project")
        os.mkdir(hooks)
        os.mkdir(project)
        # The hook as this tree has it, committed in a repository of its own.
        git(hooks, "init", "-q")
        with open(os.path.join(hooks, ".pre-commit-hooks.yaml"), "w") as file:
            file.write(read(os.path.join(source, ".pre-commit-hooks.yaml")))
        git(hooks, "add", ".")
        git(hooks, "commit", "-qm", "hooks")
        rev = git(hooks, "rev-parse", "HEAD")
        git(project, "init", "-q")
        for count in range(1, 6):
            with open(os.path.join(project, f"Step{count}.java"), "w") as java:
                java.write(java_with_ifs(f"Step{count}", count))
        with open(os.path.join(project, "Unstaged.java"), "w") as java:
            java.write(java_with_ifs("Unstaged", 30))
        git(project, "add", *(f"Step{count}.java" for count in range(1, 6)))
        environment = {**os.environ, "PRE_COMMIT_HOME": os.path.join(work, "cache"),
                       "PATH": os.path.dirname(flowchart) + os.pathsep + os.environ["PATH"]}

        def pre_commit(maximum):
            # No maximum: the thresholds of the project's settings file.
            arguments = f"\n        args: [--max-cc, '{maximum}']" if maximum else ""
            with open(os.path.join(project, ".pre-commit-config.yaml"), "w") as config:
                config.write(f"repos:\n  - repo: {hooks}\n    rev: {rev}\n    hooks:\n"
                             f"      - id: flowchart-check{arguments}\n")
            started = time.monotonic()
            ran = run(["pre-commit", "run"], cwd=project, env=environment)
            print(f"pre-commit run, --max-cc {maximum}, five staged files: {time.monotonic() - started:.2f} s")
            return ran

        pre_commit(6)  # pre-commit's first run clones the hook's repository
        under = pre_commit(6)
        assert under.returncode == 0, under.stdout + under.stderr
        assert re.search(r"^flowchart check\.+Passed$", under.stdout, re.M), under.stdout
        over = pre_commit(5)
        assert over.returncode == 1, over.stdout + over.stderr
        assert re.search(r"^flowchart check\.+Failed$", over.stdout, re.M), over.stdout
        assert "Step5.java:2: Step5.step(int): cyclomatic complexity 6 > 5\n" in over.stdout, over.stdout
        assert "Unstaged" not in over.stdout and "Step4.java" not in over.stdout, over.stdout
        with open(os.path.join(project, ".flowchart.toml"), "w") as settings:
            settings.write("[thresholds]\nmax-cc = 5\n")
        configured = pre_commit(None)
        assert configured.returncode == 1, configured.stdout + configured.stderr
        assert "Step5.java:2: Step5.step(int): cyclomatic complexity 6 > 5\n" in configured.stdout, configured.stdout


def check_validate(node_modules, source):
    validator = os.path.join(node_modules, ".bin", "action-validator")
    if not os.path.exists(validator):
        print("action-validator is not installed (scripts/setup installs it with npm)")
        sys.exit(SKIPPED)
    files = [os.path.join(source, "action.yml")] + [
        os.path.join(source, "docs", "ci", name) for name in ("pull-request.yml", "sharded-site.yml")]
    for file in files:
        checked = run([validator, file])
        assert checked.returncode == 0, file + ":\n" + checked.stdout + checked.stderr


def main():
    if sys.argv[1] == "install":
        check_install(*sys.argv[2:5])
    elif sys.argv[1] == "action":
        check_action(*sys.argv[2:4])
    elif sys.argv[1] == "precommit":
        check_precommit(*sys.argv[2:4])
    elif sys.argv[1] == "validate":
        check_validate(*sys.argv[2:4])
    else:
        sys.exit("install_check.py: no check " + sys.argv[1])


if __name__ == "__main__":
    main()
