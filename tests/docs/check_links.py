#!/usr/bin/env python3
"""Checks the links of a documentation tree: README.md and docs/*.md under ROOT.

Every relative link must name a file or folder that exists and, with "#anchor", a heading of
that page as GitHub names its anchors; every page of docs/ must be linked from README.md.
Links inside code blocks and code spans are not links. Prints each problem and fails on any.
    check_links.py ROOT
"""
import re
import sys
import unicodedata
from pathlib import Path
from urllib.parse import unquote

FENCE = re.compile(r"^\s{0,3}(`{3,}|~{3,})")
ATX_HEADING = re.compile(r"^\s{0,3}(#{1,6})\s+(.*?)\s*#*\s*$")
SETEXT_UNDERLINE = re.compile(r"^\s{0,3}(=+|-+)\s*$")
CODE_SPAN = re.compile(r"(`+)(.+?)\1")
# [text](target) and ![alt](target), the target up to a space (a title may follow) or ")".
INLINE_LINK = re.compile(r"!?\[(?:[^\]\\]|\\.)*\]\(\s*<?([^)\s>]*)>?(?:\s+[^)]*)?\)")
REFERENCE_DEFINITION = re.compile(r"^\s{0,3}\[[^\]]+\]:\s*<?(\S+?)>?(?:\s.*)?$")
SCHEME = re.compile(r"^[A-Za-z][A-Za-z0-9+.-]*:")


def prose_lines(text):
    """The page's lines outside fenced code blocks, with their numbers."""
    fence = None
    for number, line in enumerate(text.splitlines(), 1):
        opening = FENCE.match(line)
        if fence:
            if opening and opening.group(1)[0] == fence[0] and len(opening.group(1)) >= len(fence):
                fence = None
            continue
        if opening:
            fence = opening.group(1)
            continue
        yield number, line


def plain_text(markdown):
    """Markdown outside code spans as it shows: links, tags and emphasis reduced to their text."""
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", markdown)
    text = re.sub(r"<[^>]+>", "", text)
    return re.sub(r"\*+|(?<!\w)_+|_+(?!\w)", "", text)


def heading_text(markdown):
    """What a heading shows; a code span shows its content as it stands."""
    shown, start = [], 0
    for span in CODE_SPAN.finditer(markdown):
        shown.append(plain_text(markdown[start : span.start()]))
        shown.append(span.group(2).strip())
        start = span.end()
    shown.append(plain_text(markdown[start:]))
    return "".join(shown)


def slug(text):
    """GitHub's anchor for a heading: lower case, punctuation dropped, each space a hyphen."""
    kept = []
    for char in text.strip().lower():
        category = unicodedata.category(char)
        if char in " -_" or category[0] in "LMN":
            kept.append("-" if char == " " else char)
    return "".join(kept)


def anchors(text):
    found, seen = set(), {}
    previous = None
    for _, line in prose_lines(text):
        heading = None
        atx = ATX_HEADING.match(line)
        if atx:
            heading = atx.group(2)
        elif previous and previous.strip() and SETEXT_UNDERLINE.match(line):
            heading = previous
        previous = None if atx else line
        if heading is None:
            continue
        base = slug(heading_text(heading))
        count = seen.get(base, 0)
        seen[base] = count + 1
        found.add(base if count == 0 else f"{base}-{count}")
    return found


def links(text):
    for number, line in prose_lines(text):
        line = CODE_SPAN.sub("", line)
        for match in INLINE_LINK.finditer(line):
            yield number, match.group(1)
        definition = REFERENCE_DEFINITION.match(line)
        if definition:
            yield number, definition.group(1)


def main(argv):
    if len(argv) != 2:
        print("usage: check_links.py ROOT", file=sys.stderr)
        return 2
    root = Path(argv[1]).resolve()
    readme = root / "README.md"
    pages = [readme] + sorted((root / "docs").glob("*.md"))
    texts = {page: page.read_text(encoding="utf-8") for page in pages if page.is_file()}
    problems = []
    if readme not in texts:
        problems.append("README.md: missing")
    linked_from_readme = set()
    count = 0
    for page, text in texts.items():
        name = page.relative_to(root).as_posix()
        for number, target in links(text):
            if not target or SCHEME.match(target) or target.startswith("//"):
                continue
            count += 1
            path_part, _, anchor = target.partition("#")
            destination = (page.parent / unquote(path_part)).resolve() if path_part else page
            where = f"{name}:{number}: {target}"
            if not destination.exists():
                problems.append(f"{where}: no such file")
                continue
            if page == readme:
                linked_from_readme.add(destination)
            if anchor and destination.suffix == ".md" and destination.is_file():
                if unquote(anchor) not in anchors(destination.read_text(encoding="utf-8")):
                    problems.append(f"{where}: no heading for #{anchor}")
            elif anchor and not destination.is_file():
                problems.append(f"{where}: an anchor into a folder")
    for page in pages[1:]:
        if page not in linked_from_readme:
            problems.append(f"{page.relative_to(root).as_posix()}: not linked from README.md")
    for problem in problems:
        print(problem)
    if problems:
        print(f"check-links: {len(problems)} problems")
        return 1
    print(f"check-links: {count} relative links in {len(texts)} pages resolve")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
