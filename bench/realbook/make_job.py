#!/usr/bin/env python3
"""Turns a DocBook HTML manual (chunked pages, images in their own folder tree) into a job folder
and a server seed, the way an operator prepares a real book: one source file per page in reading
order, headings by their place in the book, paragraphs one per line, images converted to JPEG
under img/ in the book's own folder tree.

  make_job.py HTMLDIR JOBDIR SEEDDIR --demo-seed DIR [--product ID] [--name NAME] [--code CODE]

Reading order follows the pages' "next" links from index.html. The figures go to stdout."""
import argparse
import html
import html.parser
import os
import re
import shutil
import subprocess
import sys

# The structural divisions of a DocBook book and the heading level each one's title gets.
LEVELS = {
    "book": 1, "part": 2, "preface": 3, "chapter": 3, "appendix": 3, "reference": 3, "glossary": 3,
    "bibliography": 3, "index": 3, "sect1": 4, "refentry": 4, "glossdiv": 4, "sect2": 5, "refsect1": 5,
    "sect3": 6, "refsect2": 6, "sect4": 7, "refsect3": 7, "sect5": 8,
}
SKIP = {"navheader", "navfooter", "toc", "list-of-figures", "list-of-tables", "list-of-examples"}
VOID = {"br", "img", "hr", "meta", "link", "col", "area", "input"}
BLOCKS = {"p", "div", "dt", "dd", "li", "tr", "table", "blockquote", "pre", "ul", "ol", "dl", "h1", "h2",
          "h3", "h4", "h5", "h6", "hr", "br", "caption", "td", "th"}


def escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


class Page(html.parser.HTMLParser):
    def __init__(self, images):
        super().__init__(convert_charrefs=True)
        self.images = images  # src under the book -> path under img/
        self.lines = []
        self.stack = []       # (tag, classes) of open elements
        self.skip = 0         # depth inside a skipped division
        self.text = []
        self.heading = None   # level of the heading being read
        self.pre = 0
        self.next = None

    def flush(self):
        line = "".join(self.text)
        self.text = []
        if self.pre:
            for part in line.split("\n"):
                if part.strip():
                    self.lines.append(part.rstrip())
            return
        line = re.sub(r"\s+", " ", line).strip()
        if line:
            self.lines.append(line)

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "link" and a.get("rel") == "next":
            self.next = a.get("href")
        classes = (a.get("class") or "").split()
        if tag in VOID:
            if self.skip:
                return
            if tag == "img" and a.get("src") in self.images:
                self.text.append('<img src="img/%s">' % self.images[a["src"]])
            elif tag == "br":
                self.flush()
            return
        self.stack.append((tag, classes))
        if self.skip or tag in ("head", "script", "style") or (tag == "div" and SKIP.intersection(classes)):
            self.skip += 1
            return
        if tag in BLOCKS and self.heading is None:
            self.flush()
        if tag == "pre":
            self.pre += 1
        if re.fullmatch(r"h[1-6]", tag) and "title" in classes:
            # A division's title sits in its div.titlepage; other titles (notes, figures) stay text.
            owners = [c for t, cl in self.stack[:-1] if t == "div" for c in cl if c in LEVELS or c == "titlepage"]
            if len(owners) >= 2 and owners[-1] == "titlepage" and owners[-2] in LEVELS:
                self.heading = LEVELS[owners[-2]]

    def handle_endtag(self, tag):
        if tag in VOID or not any(t == tag for t, _ in self.stack):
            return
        while self.stack:
            t, classes = self.stack.pop()
            if self.skip:
                self.skip -= 1
            elif t == "pre":
                self.flush()
                self.pre -= 1
            elif self.heading is not None and re.fullmatch(r"h[1-6]", t):
                title = re.sub(r"\s+", " ", "".join(self.text)).strip()
                self.text = []
                if title and not title.startswith("="):
                    self.lines.append("<h%d>%s</h%d>" % (self.heading, title, self.heading))
                self.heading = None
            elif t in BLOCKS and self.heading is None:
                self.flush()
            if t == tag:
                break

    def handle_data(self, data):
        if not self.skip:
            self.text.append(escape(data))


def encode_page(lines, index):
    text = "\r\n".join(lines) + "\r\n"
    if index % 2 == 0:
        try:
            return text.encode("cp949")  # the operator's older files: code page 949, no byte-order mark
        except UnicodeEncodeError:
            pass
    return b"\xff\xfe" + text.encode("utf-16-le")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("htmldir")
    ap.add_argument("jobdir")
    ap.add_argument("seeddir")
    ap.add_argument("--demo-seed", required=True)
    ap.add_argument("--product", default="9101")
    ap.add_argument("--code", default="REAL01")
    ap.add_argument("--name", default="실제 도서")
    ap.add_argument("--tab", default="본문")
    ap.add_argument("--tab-id", default="111")
    args = ap.parse_args()

    src = args.htmldir
    pages, seen, page = [], set(), "index.html"
    while page and page not in seen and os.path.isfile(os.path.join(src, page)):
        seen.add(page)
        pages.append(page)
        m = re.search(r'<link rel="next" href="([^"#]+)"', open(os.path.join(src, page), encoding="utf-8").read())
        page = m.group(1) if m else None

    os.makedirs(os.path.join(args.jobdir, args.tab), exist_ok=False)
    os.makedirs(os.path.join(args.jobdir, "img"))
    # Every picture the pages show, as JPEG in the book's own tree below img/.
    wanted = {}
    for p in pages:
        for s in re.findall(r'<img src="([^"]+)"', open(os.path.join(src, p), encoding="utf-8").read()):
            if s.startswith("images/") and os.path.isfile(os.path.join(src, s)) and \
                    os.path.splitext(s)[1].lower() in (".png", ".jpg", ".jpeg", ".gif"):
                wanted[s] = os.path.splitext(s[len("images/"):])[0] + ".jpg"
    for s, target in wanted.items():
        out = os.path.join(args.jobdir, "img", target)
        os.makedirs(os.path.dirname(out), exist_ok=True)
        with open(os.path.join(src, s), "rb") as f:
            jpeg = f.read(3) == b"\xff\xd8\xff"
        if jpeg:  # by content: the manual has PNG pictures named ".jpg" too
            shutil.copyfile(os.path.join(src, s), out)
        else:
            subprocess.run(["convert", "-quiet", os.path.join(src, s) + "[0]", "-background", "white", "-flatten",
                            "-quality", "85", out], check=True)

    headings = tags = 0
    for i, p in enumerate(pages):
        parser = Page(wanted)
        parser.feed(open(os.path.join(src, p), encoding="utf-8").read())
        parser.close()
        parser.flush()
        headings += sum(1 for l in parser.lines if re.match(r"<h\d>", l))
        tags += sum(l.count("<img ") for l in parser.lines)
        name = "%04d_%s.txt" % (i + 1, os.path.splitext(p)[0])
        with open(os.path.join(args.jobdir, args.tab, name), "wb") as f:
            f.write(encode_page(parser.lines, i))

    ini = ("[VUX]\r\npID=%s\r\npCODE=%s\r\npNAME=%s\r\nsrcImage=N\r\ninsImage=Y\r\n\r\n[TABS]\r\n%s=%s\r\n\r\n"
           "[TABSID]\r\n%s=%s\r\n" % (args.product, args.code, args.name, args.tab, args.tab, args.tab, args.tab_id))
    with open(os.path.join(args.jobdir, "vuxinfo.ini"), "wb") as f:
        f.write(ini.encode("cp949"))

    shutil.copytree(args.demo_seed, args.seeddir)
    with open(os.path.join(args.seeddir, "products.tsv"), "a", encoding="utf-8") as f:
        f.write("%s\t%s\t%s\tQU\tN\tY\t%s\tx\t%s\t4\n" % (args.product, args.code, args.name, args.tab, args.tab_id))
    with open(os.path.join(args.seeddir, "assignments.tsv"), "a", encoding="utf-8") as f:
        f.write("demo\t%s\n" % args.product)
    demo_kw = open(os.path.join(args.demo_seed, "keywords", "9001.txt"), encoding="utf-8").read().split("ar_id^")[1]
    with open(os.path.join(args.seeddir, "keywords", args.product + ".txt"), "w", encoding="utf-8") as f:
        f.write("ar_id^" + args.tab_id + demo_kw[demo_kw.index("\n"):])

    print("pages\t%d\nheadings\t%d\nimages\t%d\nimage tags\t%d" % (len(pages), headings, len(wanted), tags))


if __name__ == "__main__":
    sys.exit(main())
