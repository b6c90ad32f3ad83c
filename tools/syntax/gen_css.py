#!/usr/bin/env python3
# Copyright 2026 the Kelp Studio authors. SPDX-License-Identifier: GPL-3.0-or-later
"""Generates the CSS words (resources/Vocabulary/CSS.xml) and the completions of
resources/Syntax/CSS.xml and "CSS Block.xml" from the CSS grammar table
resources/CSS/CSSGrammar.txt (properties with their grammars, shared grammar
nodes, at-rules) and the colour keywords resources/CSS/ColorKeywords.txt.
What that table lacks for completion comes from css-additions.txt beside this
script. Run by hand after the table changes; the output is committed."""

import os
import plistlib
import re
import sys

sys.path.insert(0, os.path.dirname(__file__))
import common  # noqa: E402

GLOBAL_KEYWORDS = ['inherit', 'initial', 'unset', 'revert', 'revert-layer']

# Properties of CSS level 2.1; the others are offered as "CSS3".
CSS21 = set('''azimuth background background-attachment background-color background-image background-position
background-repeat border border-bottom border-bottom-color border-bottom-style border-bottom-width border-collapse
border-color border-left border-left-color border-left-style border-left-width border-right border-right-color
border-right-style border-right-width border-spacing border-style border-top border-top-color border-top-style
border-top-width border-width bottom caption-side clear clip color content counter-increment counter-reset cue
cue-after cue-before cursor direction display elevation empty-cells float font font-family font-size font-style
font-variant font-weight height left letter-spacing line-height list-style list-style-image list-style-position
list-style-type margin margin-bottom margin-left margin-right margin-top max-height max-width min-height min-width
orphans outline outline-color outline-style outline-width overflow padding padding-bottom padding-left
padding-right padding-top page-break-after page-break-before page-break-inside pause pause-after pause-before
pitch pitch-range play-during position quotes richness right speak speak-header speak-numeral speak-punctuation
speech-rate stress table-layout text-align text-decoration text-indent text-transform top unicode-bidi
vertical-align visibility voice-family volume white-space widows width word-spacing z-index'''.split())


# Properties of drafts that were abandoned, renamed or never shipped by a browser:
# the checker still reads them (the grammar table keeps them), completion does not offer them.
DEAD_DRAFTS = set('''alignment-adjust bikeshedding binding bookmark-label bookmark-level bookmark-state
bookmark-target color-profile crop drop-initial-after-adjust drop-initial-after-align drop-initial-before-adjust
drop-initial-before-align drop-initial-size drop-initial-value flex-align flex-order flex-pack float-offset
grid-columns grid-rows hyphenate-resource icon image-resolution inline-box-align line-stacking line-stacking-ruby
line-stacking-shift line-stacking-strategy marks marquee-direction marquee-play-count marquee-speed marquee-style
move-to nav-down nav-index nav-left nav-right nav-up overflow-style page-policy phonemes presentation-level
rendering-intent rotation rotation-point ruby-span speakability string-set target target-name target-new
target-position text-height text-outline text-trim text-combine vertical-position'''.split())


def colour_names():
    """The colour keywords of CSS."""
    path = os.path.join(common.ROOT, 'resources', 'CSS', 'ColorKeywords.txt')
    names = []
    with open(path, encoding='utf-8') as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith('#'):
                names.append(line.lower())
    for extra in ('currentcolor', 'transparent'):
        if extra not in names:
            names.append(extra)
    return names


COLOURS = colour_names()


def keywords_of(grammar, shared, seen=None):
    """Bare lower-case words of a grammar, with those of the shared nodes it names
    and the colour names where it takes a colour."""
    seen = set() if seen is None else seen
    words = []
    if re.search(r'<color\b', grammar):
        words += COLOURS
    for ref in re.findall(r"<'?([a-z][a-z0-9-]*)'?[^>]*>", grammar):
        if ref in shared and ref not in seen:
            seen.add(ref)
            words += keywords_of(shared[ref], shared, seen)
    stripped = re.sub(r'<[^>]*>', ' ', grammar)
    stripped = re.sub(r"'[^']*'", ' ', stripped)
    for m in re.finditer(r'(?<![\w-])([a-z][a-z0-9-]*)(?![\w-])(\s*\()?', stripped):
        if m.group(2) or m.group(1) == 'sep':
            continue  # a function name, or the separator notation
        words.append(m.group(1))
    out = []
    for w in words:
        if w not in out:
            out.append(w)
    return out


def read_tables():
    path = os.path.join(common.ROOT, 'resources', 'CSS', 'CSSGrammar.txt')
    shared, grammars, at_rules, margin_rules = {}, {}, [], []
    with open(path, encoding='utf-8') as f:
        lines = [line.rstrip('\n') for line in f]
    for line in lines:
        m = re.match(r"node\+? <'?([a-z][a-z0-9-]*)'?> ::= (.*)$", line)
        if m:
            shared[m.group(1)] = m.group(2)
            continue
        m = re.match(r"extend node <'?([a-z][a-z0-9-]*)'?>: (.*)$", line)
        if m:
            shared[m.group(1)] = shared.get(m.group(1), '') + ' | ' + m.group(2)
            continue
        m = re.match(r'(?:property\+?|extend property) ([a-z*-][a-z0-9, *-]*): (.*)$', line)
        if m:
            for name in m.group(1).split(','):
                name = name.strip()
                if not name.startswith('-'):
                    grammars[name] = grammars.get(name, '') + ' | ' + m.group(2)
            continue
        m = re.match(r'at-rule\+? ([a-z-]+) ', line)
        if m:
            at_rules.append(m.group(1))
            continue
        m = re.match(r'margin-at-rule (.*)$', line)
        if m:
            margin_rules += [n.strip() for n in m.group(1).split(',')]
    # A property's grammar may name another's as <'name'>.
    for name, grammar in grammars.items():
        shared.setdefault(name, grammar)
    properties = {name: keywords_of(grammar, shared) for name, grammar in grammars.items()}
    return properties, at_rules, margin_rules


def read_additions(properties, at_rules):
    path = os.path.join(os.path.dirname(__file__), 'css-additions.txt')
    with open(path, encoding='utf-8') as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith('#'):
                continue
            if line.startswith('property '):
                name, kws = line[len('property '):].split(':', 1)
                name = name.strip()
                current = properties.setdefault(name, [])
                extra = COLOURS if name.endswith('color') else []
                for k in kws.split() + extra:
                    if k not in current:
                        current.append(k)
            elif line.startswith('at-rule '):
                name = line[len('at-rule '):].strip()
                if name not in at_rules:
                    at_rules.append(name)


def main():
    properties, at_rules, margin_rules = read_tables()
    if len(properties) < 250 or not at_rules:
        sys.exit('the CSS grammar table was not found or is incomplete')
    read_additions(properties, at_rules)
    for dead in DEAD_DRAFTS:
        properties.pop(dead, None)

    words = []
    names = sorted(properties)
    for p in names:
        words.append(common.word_xml('property.' + p, p, type_='Property',
                                     url='https://developer.mozilla.org/en-US/docs/Web/CSS/' + p,
                                     standard=None if p in CSS21 else 'CSS3'))
    keywords = sorted(set(k for ks in properties.values() for k in ks) | set(GLOBAL_KEYWORDS))
    for k in keywords:
        words.append(common.word_xml('keyword.' + k, k, type_='Value'))
    all_at = sorted(set(at_rules) | set(margin_rules))
    for a in all_at:
        words.append(common.word_xml('atrule.' + a, '@' + a, type_='At-Rule',
                                     url=None if a in margin_rules else 'https://developer.mozilla.org/en-US/docs/Web/CSS/@' + a))

    at_completion = common.completion_xml(['atRule'], [], words=['atrule.' + a for a in all_at])

    block = ['    <!-- Property names, then the keywords of each property. -->']
    block += common.completion_xml(['declaration'], ['propertyName'], words=['property.' + p for p in names])
    block += common.completion_xml(['declaration'], ['value', 'keyword'], words=['keyword.' + k for k in GLOBAL_KEYWORDS])
    # Properties with the same keywords share one completion.
    groups = {}
    for p in names:
        kws = tuple(k for k in properties[p] if k not in GLOBAL_KEYWORDS)
        if kws:
            groups.setdefault(kws, []).append(p)
    for kws, props in sorted(groups.items(), key=lambda item: item[1][0]):
        block += common.completion_xml(['declaration'], ['value', 'keyword'], words=['keyword.' + k for k in kws],
                                       match=[('propertyName', props)])
    block.append('    <!-- At-rules. -->')
    block += at_completion

    common.write_vocabulary('CSS.xml', words, 'CSS properties, their keywords and at-rules.')
    common.replace_completions('CSS.xml', ['    <!-- At-rules. -->'] + at_completion)
    common.replace_completions('CSS Block.xml', block)
    print('CSS: %d properties, %d keywords, %d at-rules' % (len(names), len(keywords), len(all_at)))


if __name__ == '__main__':
    main()
