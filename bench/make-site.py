#!/usr/bin/env python3
"""Writes a large web site for the project benchmarks.

    bench/make-site.py FOLDER [--files 100000] [--folders 5000] [--seed 1]

The site looks like one that a web author keeps for years: sections (blog, news,
products, docs, gallery...) with dated and named sub-folders, assets, includes
and a vendor tree; pages of real-looking HTML, style sheets, scripts, PHP
templates, some text and data files, and small binary images that a text search
must pass by. The same arguments always give the same site. A file ".kelp-site"
in FOLDER records them, so that a second run with the same arguments does
nothing.
"""

import argparse
import os
import random
import sys

WORDS = """
about above access account action active address after again against agent album
also always amount analysis answer apple april archive area around article artist
autumn available award back balance band banner basic beach before begin behind
below best better between beyond black block blue board body book border bottom
brand bridge brown budget build business button cabin calendar camera campaign
canvas card career carry case catalog center chair change chapter chart check
cherry chicken choice circle city class clean clear client climate close cloud
club coast code coffee collection color column comment common community company
compare complete concert contact content context control corner country course
cover craft create credit culture current custom daily dance dark data date
deal december default delivery design detail develop device dinner direct
discount display district document domain double download draft dream dress
drive early earth east edge edition editor education effect email energy engine
english event every example expert extra family farm feature february field
figure file film final finance first flower focus folder follow food footer
forest form forward frame free fresh friday friend front fruit full future
gallery game garden general gift global gold good grand graph great green grid
group guide hand header health heart help hidden history holiday home hotel
house idea image index inline input inside island item january journal july
june kitchen label lake language large latest layout leader learn left legal
lesson letter level library light limit line link list little local login
logo london long main manual march market media member menu message method
middle minute mobile modal model modern monday month morning mountain move
music name natural nature network news next night north note notice november
number object october office online open option orange order outdoor output
page panel paper park party people photo picture place plain plan player plus
point policy portal post power press price print privacy product profile
program project public purple quick quote radio range reader recent record
region release report research review right river road room round route rule
sale sample saturday school science screen search season second section
security select send september series service session setting share shop short
side sign simple single site size sky slide small smart social soft south
space special sport spring square staff stage start status step store story
street studio style summer sunday support system table team template test text
theme thing thursday ticket time title today tool top tour town track trade
travel tree trip tuesday update upload user valley value video view village
visit voice wall water weather web wednesday week west white wide window
winter wood word work world year yellow young zone
""".split()

TAGS_BLOCK = ["p", "div", "section", "article", "aside", "blockquote", "ul"]
CSS_PROPS = [
    ("color", ["#333", "#1a1a2e", "rgb(20, 40, 60)", "inherit", "#e94560", "navy"]),
    ("background", ["#fff", "none", "linear-gradient(#fafafa, #eee)", "url(../images/bg.png) repeat-x", "#16213e"]),
    ("margin", ["0", "0 auto", "1em 0", "10px 20px", "2rem"]),
    ("padding", ["0", "4px 8px", "1em", "12px 24px 12px 24px"]),
    ("font-size", ["12px", "0.875rem", "1.25em", "large", "18px"]),
    ("font-family", ["Georgia, serif", "'Helvetica Neue', Arial, sans-serif", "monospace"]),
    ("display", ["block", "inline-block", "flex", "grid", "none"]),
    ("border", ["1px solid #ccc", "none", "2px dashed red", "0"]),
    ("width", ["100%", "auto", "960px", "50%", "calc(100% - 2em)"]),
    ("line-height", ["1.4", "1.6", "20px", "normal"]),
]


def words(rng, count):
    return " ".join(rng.choice(WORDS) for _ in range(count))


def sentence(rng):
    text = words(rng, rng.randint(6, 18))
    return text[0].upper() + text[1:] + rng.choice([".", ".", ".", "!", "?"])


def paragraph(rng):
    return " ".join(sentence(rng) for _ in range(rng.randint(2, 6)))


def slug(rng, parts=2):
    return "-".join(rng.choice(WORDS) for _ in range(parts))


def html_page(rng, title, depth):
    up = "../" * depth
    lines = [
        "<!DOCTYPE html>",
        '<html lang="en">',
        "<head>",
        '\t<meta charset="utf-8">',
        '\t<meta name="viewport" content="width=device-width, initial-scale=1">',
        "\t<title>%s</title>" % title,
        '\t<link rel="stylesheet" href="%sassets/css/site.css">' % up,
        '\t<script src="%sassets/js/main.js" defer></script>' % up,
        "</head>",
        '<body class="%s">' % rng.choice(WORDS),
        '\t<header id="top">',
        '\t\t<a class="logo" href="%sindex.html"><img src="%sassets/images/logo.png" alt="Logo" width="120" height="40"></a>' % (up, up),
        "\t\t<nav>",
        "\t\t\t<ul>",
    ]
    for _ in range(rng.randint(3, 7)):
        name = rng.choice(WORDS)
        lines.append('\t\t\t\t<li><a href="%s%s/index.html">%s</a></li>' % (up, name, name.capitalize()))
    lines += ["\t\t\t</ul>", "\t\t</nav>", "\t</header>", '\t<main id="content">', "\t\t<h1>%s</h1>" % title]
    for _ in range(rng.randint(2, 14)):
        tag = rng.choice(TAGS_BLOCK)
        if tag == "ul":
            lines.append("\t\t<ul>")
            for _ in range(rng.randint(2, 6)):
                lines.append("\t\t\t<li>%s</li>" % sentence(rng))
            lines.append("\t\t</ul>")
        elif rng.random() < 0.3:
            lines.append('\t\t<%s class="%s">' % (tag, slug(rng, 1)))
            lines.append("\t\t\t<h2>%s</h2>" % words(rng, rng.randint(2, 5)).capitalize())
            lines.append("\t\t\t<p>%s <a href=\"%s.html\">%s</a></p>" % (paragraph(rng), slug(rng), words(rng, 2)))
            lines.append("\t\t</%s>" % tag)
        else:
            lines.append("\t\t<%s>%s</%s>" % (tag, paragraph(rng), tag))
        if rng.random() < 0.15:
            lines.append('\t\t<img src="images/%s.jpg" alt="%s">' % (slug(rng), words(rng, 3)))
    lines += [
        "\t</main>",
        "\t<footer>",
        "\t\t<p>&copy; %d %s. All rights reserved.</p>" % (rng.randint(2004, 2024), words(rng, 2).title()),
        "\t</footer>",
        "</body>",
        "</html>",
        "",
    ]
    return "\n".join(lines)


def css_file(rng):
    out = []
    for _ in range(rng.randint(8, 60)):
        selector = rng.choice([
            ".%s" % slug(rng, 1),
            "#%s" % rng.choice(WORDS),
            "%s %s" % (rng.choice(["nav", "header", "footer", "main", "article"]), rng.choice(["a", "ul", "li", "p", "h2"])),
            ".%s > .%s" % (rng.choice(WORDS), rng.choice(WORDS)),
            "a:hover",
        ])
        out.append(selector + " {")
        for prop, values in rng.sample(CSS_PROPS, rng.randint(1, 5)):
            out.append("\t%s: %s;" % (prop, rng.choice(values)))
        out.append("}")
        out.append("")
    if rng.random() < 0.3:
        out.append("@media (max-width: 640px) {")
        out.append("\t.%s { display: none; }" % rng.choice(WORDS))
        out.append("}")
    return "\n".join(out) + "\n"


def js_file(rng):
    out = ["'use strict';", ""]
    for _ in range(rng.randint(2, 14)):
        name = rng.choice(WORDS) + rng.choice(WORDS).capitalize()
        args = ", ".join(rng.sample(WORDS, rng.randint(0, 3)))
        out.append("function %s(%s) {" % (name, args))
        for _ in range(rng.randint(1, 8)):
            out.append(rng.choice([
                "\tvar %s = document.querySelector('.%s');" % (rng.choice(WORDS), rng.choice(WORDS)),
                "\tif (%s) { return %d; }" % (rng.choice(WORDS), rng.randint(0, 100)),
                "\tconsole.log('%s');" % sentence(rng),
                "\tfor (var i = 0; i < %d; i++) { total += i; }" % rng.randint(2, 50),
                "\telement.addEventListener('click', function (event) { event.preventDefault(); });",
            ]))
        out.append("}")
        out.append("")
    return "\n".join(out)


def php_file(rng, title):
    return "\n".join([
        "<?php",
        "// %s" % sentence(rng),
        "require_once __DIR__ . '/../includes/config.php';",
        "$title = '%s';" % title,
        "$items = array(%s);" % ", ".join("'%s'" % w for w in rng.sample(WORDS, rng.randint(2, 6))),
        "?>",
        "<!DOCTYPE html>",
        "<html>",
        "<head><title><?php echo htmlspecialchars($title); ?></title></head>",
        "<body>",
        "<?php foreach ($items as $item): ?>",
        "\t<p class=\"item\"><?php echo $item; ?> &mdash; %s</p>" % sentence(rng),
        "<?php endforeach; ?>",
        "<p>%s</p>" % paragraph(rng),
        "</body>",
        "</html>",
        "",
    ])


def text_file(rng):
    return "\n\n".join(paragraph(rng) for _ in range(rng.randint(1, 8))) + "\n"


def image_bytes(rng):
    # A PNG signature and some noise: binary, never searched.
    return b"\x89PNG\r\n\x1a\n" + bytes(rng.getrandbits(8) for _ in range(rng.randint(200, 1500)))


KINDS = [("html", 46), ("css", 10), ("js", 10), ("php", 10), ("png", 10), ("jpg", 4), ("txt", 4), ("json", 3), ("xml", 3)]


def pick_kind(rng):
    total = sum(w for _, w in KINDS)
    n = rng.randrange(total)
    for kind, weight in KINDS:
        if n < weight:
            return kind
        n -= weight
    return "html"


def file_contents(rng, kind, title, depth):
    if kind == "html":
        return html_page(rng, title, depth).encode()
    if kind == "css":
        return css_file(rng).encode()
    if kind == "js":
        return js_file(rng).encode()
    if kind == "php":
        return php_file(rng, title).encode()
    if kind in ("png", "jpg"):
        return image_bytes(rng)
    if kind == "json":
        return ("{\n" + ",\n".join('\t"%s": "%s"' % (w, sentence(rng)) for w in rng.sample(WORDS, rng.randint(2, 12))) + "\n}\n").encode()
    if kind == "xml":
        return ('<?xml version="1.0" encoding="UTF-8"?>\n<items>\n' + "".join(
            "\t<item name=\"%s\">%s</item>\n" % (rng.choice(WORDS), sentence(rng)) for _ in range(rng.randint(2, 20))) + "</items>\n").encode()
    return text_file(rng).encode()


def folder_paths(rng, count):
    """count folder paths, nested as a real site is: sections, then years,
    months and named sub-folders."""
    sections = ["blog", "news", "products", "docs", "gallery", "events", "shop", "support", "about", "projects",
                "assets", "includes", "vendor", "archive", "press", "team", "courses", "recipes", "travel", "wiki"]
    paths = []
    seen = set()
    while len(paths) < count:
        section = rng.choice(sections)
        depth = rng.choice([1, 2, 2, 3, 3, 3, 4])
        parts = [section]
        for level in range(1, depth):
            if section in ("blog", "news", "archive", "press") and level == 1:
                parts.append(str(rng.randint(2005, 2024)))
            elif section in ("blog", "news", "archive", "press") and level == 2:
                parts.append("%02d" % rng.randint(1, 12))
            elif section == "assets" and level == 1:
                parts.append(rng.choice(["css", "js", "images", "fonts", "icons", "media"]))
            else:
                parts.append(slug(rng, rng.choice([1, 2, 2, 3])))
        for i in range(1, len(parts) + 1):
            path = "/".join(parts[:i])
            if path not in seen and len(paths) < count:
                seen.add(path)
                paths.append(path)
    return paths


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("folder")
    parser.add_argument("--files", type=int, default=100000)
    parser.add_argument("--folders", type=int, default=5000)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()

    marker = os.path.join(args.folder, ".kelp-site")
    signature = "files=%d folders=%d seed=%d\n" % (args.files, args.folders, args.seed)
    try:
        with open(marker) as f:
            if f.read() == signature:
                return 0
    except OSError:
        pass
    if os.path.isdir(args.folder) and os.listdir(args.folder):
        print("make-site: %s is not empty and holds no site of these arguments" % args.folder, file=sys.stderr)
        return 1

    rng = random.Random(args.seed)
    folders = folder_paths(rng, args.folders)
    for path in folders:
        os.makedirs(os.path.join(args.folder, path), exist_ok=True)
    # Files spread unevenly: most folders hold a handful, some hold hundreds.
    weights = [rng.paretovariate(1.5) for _ in folders]
    total = sum(weights)
    counts = [max(1, int(args.files * w / total)) for w in weights]
    # Round to exactly the asked number.
    diff = args.files - sum(counts)
    i = 0
    while diff != 0:
        j = i % len(counts)
        if diff > 0:
            counts[j] += 1
            diff -= 1
        elif counts[j] > 1:
            counts[j] -= 1
            diff += 1
        i += 1

    for path, count in zip(folders, counts):
        depth = path.count("/") + 1
        used = set()
        for n in range(count):
            kind = pick_kind(rng)
            base = "index" if n == 0 and kind == "html" else slug(rng, rng.choice([1, 2, 3]))
            name = "%s.%s" % (base, kind)
            k = 2
            while name.lower() in used:
                name = "%s-%d.%s" % (base, k, kind)
                k += 1
            used.add(name.lower())
            title = base.replace("-", " ").title()
            with open(os.path.join(args.folder, path, name), "wb") as f:
                f.write(file_contents(rng, kind, title, depth))
    with open(marker, "w") as f:
        f.write(signature)
    return 0


if __name__ == "__main__":
    sys.exit(main())
