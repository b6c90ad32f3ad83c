#!/usr/bin/env python3
# Copyright 2026 the Kelp Studio authors. SPDX-License-Identifier: GPL-3.0-or-later
"""Generates the HTML words (resources/Vocabulary/HTML.xml) and the completions of
resources/Syntax/HTML.xml from the tag tables resources/HTML5Tags.txt,
resources/HTML5TagsAdditions.txt and resources/HTML4Tags.txt.

Run by hand after the tables change; the output is committed."""

import os
import re
import sys

sys.path.insert(0, os.path.dirname(__file__))
import common  # noqa: E402

# Values implied by attribute types that carry no value list in the tables.
IMPLIED_VALUES = {
    3: ['ltr', 'rtl'],
    10: ['rect', 'circle', 'poly', 'default'],
    11: ['_blank', '_self', '_parent', '_top'],
}


# WAI-ARIA states and properties: every element takes them in HTML5 (the tag
# tables accept any "aria-" name, so they list none). Enumerated ones carry
# their values; the others take text, numbers or ID references.
ARIA_BOOLEAN = ['true', 'false']
ARIA_TRISTATE = ['true', 'false', 'mixed']
ARIA_ATTRIBUTES = {
    'aria-activedescendant': [], 'aria-atomic': ARIA_BOOLEAN,
    'aria-autocomplete': ['inline', 'list', 'both', 'none'], 'aria-braillelabel': [],
    'aria-brailleroledescription': [], 'aria-busy': ARIA_BOOLEAN, 'aria-checked': ARIA_TRISTATE + ['undefined'],
    'aria-colcount': [], 'aria-colindex': [], 'aria-colindextext': [], 'aria-colspan': [], 'aria-controls': [],
    'aria-current': ['page', 'step', 'location', 'date', 'time', 'true', 'false'], 'aria-describedby': [],
    'aria-description': [], 'aria-details': [], 'aria-disabled': ARIA_BOOLEAN, 'aria-errormessage': [],
    'aria-expanded': ARIA_BOOLEAN + ['undefined'], 'aria-flowto': [],
    'aria-haspopup': ['false', 'true', 'menu', 'listbox', 'tree', 'grid', 'dialog'], 'aria-hidden': ARIA_BOOLEAN + ['undefined'],
    'aria-invalid': ['grammar', 'false', 'spelling', 'true'], 'aria-keyshortcuts': [], 'aria-label': [],
    'aria-labelledby': [], 'aria-level': [], 'aria-live': ['assertive', 'off', 'polite'], 'aria-modal': ARIA_BOOLEAN,
    'aria-multiline': ARIA_BOOLEAN, 'aria-multiselectable': ARIA_BOOLEAN, 'aria-orientation': ['horizontal', 'undefined', 'vertical'],
    'aria-owns': [], 'aria-placeholder': [], 'aria-posinset': [], 'aria-pressed': ARIA_TRISTATE + ['undefined'],
    'aria-readonly': ARIA_BOOLEAN, 'aria-relevant': ['additions', 'all', 'removals', 'text', 'additions text'],
    'aria-required': ARIA_BOOLEAN, 'aria-roledescription': [], 'aria-rowcount': [], 'aria-rowindex': [],
    'aria-rowindextext': [], 'aria-rowspan': [], 'aria-selected': ARIA_BOOLEAN + ['undefined'], 'aria-setsize': [],
    'aria-sort': ['ascending', 'descending', 'none', 'other'], 'aria-valuemax': [], 'aria-valuemin': [],
    'aria-valuenow': [], 'aria-valuetext': [],
}


def split_list(text):
    """Splits "a, b, "c, d"" at commas outside double quotes; quotes are removed."""
    items, cur, quoted, had_quote = [], '', False, False
    for ch in text:
        if ch == '"':
            quoted = not quoted
            had_quote = True
        elif ch == ',' and not quoted:
            items.append((cur.strip(), had_quote))
            cur, had_quote = '', False
        else:
            cur += ch
    if cur.strip() or had_quote:
        items.append((cur.strip(), had_quote))
    return [i for i, q in items if i or q]


def parse_attributes(text):
    """Returns {name: (code, [values])} from "1: a, b / 100: c = x, y; d = z"."""
    result = {}
    text = text.strip()
    if not text:
        return result
    for group in re.split(r'\s/\s', text):
        group = group.strip()
        m = re.match(r'(\d+):\s*(.*)$', group)
        if not m:
            continue
        code = int(m.group(1))
        rest = m.group(2)
        if code in (100, 101):
            for part in rest.split(';'):
                if '=' not in part:
                    continue
                name, values = part.split('=', 1)
                result[name.strip().strip('"')] = (code, split_list(values))
        else:
            for name in split_list(rest):
                result[name] = (code, list(IMPLIED_VALUES.get(code, [])))
    return result


class Table:
    def __init__(self):
        self.tags = []
        self.sets = {}
        self.globals = {}
        self.elements = {}  # name -> {attr: (code, values)}

    def element(self, name):
        return self.elements.setdefault(name, {})

    def read(self, path):
        with open(path, encoding='utf-8') as f:
            for raw in f:
                line = raw.strip()
                if not line or line.startswith('#'):
                    continue
                if line.startswith('tagNames:'):
                    for t in split_list(line[len('tagNames:'):]):
                        if t not in self.tags:
                            self.tags.append(t)
                        self.element(t)
                elif line.startswith('set '):
                    name, rest = line[4:].split(':', 1)
                    self.sets[name.strip()] = parse_attributes(rest)
                elif line.startswith('global:') or line.startswith('extend-global:'):
                    self.globals.update(parse_attributes(line.split(':', 1)[1]))
                elif line.startswith('elements'):
                    sets, names = line[len('elements'):].split(':', 1)
                    for n in split_list(names):
                        el = self.element(n)
                        for s in sets.split(','):
                            el.update(self.sets.get(s.strip(), {}))
                elif line.startswith('element ') or line.startswith('extend '):
                    body = line.split(' ', 1)[1]
                    cols = [c.strip() for c in body.split('|')]
                    while len(cols) < 4:
                        cols.append('')
                    names, sets, _inside, attrs = cols[0], cols[1], cols[2], '|'.join(cols[3:])
                    parsed = parse_attributes(attrs)
                    for n in split_list(names):
                        el = self.element(n)
                        for s in sets.split(','):
                            el.update(self.sets.get(s.strip(), {}))
                        el.update(parsed)


def main():
    resources = os.path.join(common.ROOT, 'resources')
    html5 = Table()
    html5.read(os.path.join(resources, 'HTML5Tags.txt'))
    additions = os.path.join(resources, 'HTML5TagsAdditions.txt')
    if os.path.exists(additions):
        html5.read(additions)
    html4 = Table()
    html4.read(os.path.join(resources, 'HTML4Tags.txt'))

    elements = sorted(set(html5.tags) | set(html4.tags))
    only5 = set(html5.tags) - set(html4.tags)

    # Attributes of each element in either table, with the union of their values.
    def merged(name):
        out = {}
        for table in (html4, html5):
            for a, (code, values) in table.elements.get(name, {}).items():
                prev = out.get(a, (code, []))[1]
                out[a] = (code, prev + [v for v in values if v not in prev])
        return out

    def merged_globals():
        out = {}
        for table in (html4, html5):
            for a, (code, values) in table.globals.items():
                prev = out.get(a, (code, []))[1]
                out[a] = (code, prev + [v for v in values if v not in prev])
        return out

    html4_attrs = set()
    for el in html4.elements.values():
        html4_attrs.update(el)
    html4_attrs.update(html4.globals)

    words = []
    attribute_words = {}  # name -> code
    value_words = {}  # (attr, value) -> id

    for e in elements:
        words.append(common.word_xml(
            'element.' + e, e, type_='Element',
            description='The <%s> element.' % e,
            url='https://developer.mozilla.org/en-US/docs/Web/HTML/Element/' + e,
            standard='HTML5' if e in only5 else None))

    def attribute_word(name, code):
        wid = 'attribute.' + name
        if name not in attribute_words:
            attribute_words[name] = code
            value = name if code == 12 else '%s="<#value#>"' % name
            words.append(common.word_xml(wid, value, type_='Attribute',
                                         standard=None if name in html4_attrs else 'HTML5'))
        return wid

    def value_word(name, value):
        key = (name, value)
        if key not in value_words:
            wid = 'value.%s.%s' % (name, value)
            value_words[key] = wid
            words.append(common.word_xml(wid, value, type_='Attribute Value', obj=name))
        return value_words[key]

    value_path = ['attributeAssignment', 'attributeValue', 'valueContent', 'attributeValueText']

    def value_completions(attrs):
        nested = []
        for a in sorted(attrs):
            code, values = attrs[a]
            values = [v for v in values if v]
            if not values:
                continue
            nested.append(common.completion_xml(
                ['attribute'], value_path, words=[value_word(a, v) for v in values],
                match=[('attributeName', [a])], indent='      '))
        return nested

    lines = []
    lines.append('    <!-- Element names in start and end tags. -->')
    lines += common.completion_xml(['startTag'], ['tagName'], match=['start'], words=['element.' + e for e in elements])
    lines += common.completion_xml(['endTag'], ['tagName'], match=['start'], words=['element.' + e for e in elements])

    glob = merged_globals()
    for name, values in ARIA_ATTRIBUTES.items():
        glob.setdefault(name, (100 if values else 1, list(values)))
    lines.append('    <!-- Attributes every element takes, and their values. -->')
    lines += common.completion_xml(['startTag'], ['attribute', 'attributeName'],
                                   words=[attribute_word(a, glob[a][0]) for a in sorted(glob)])
    nested = value_completions(glob)
    if nested:
        lines += common.completion_xml(['startTag'], ['attribute'], nested=nested)

    lines.append('    <!-- Attributes of each element, and their values. -->')
    for e in elements:
        attrs = {a: v for a, v in merged(e).items() if a not in glob}
        if not attrs:
            continue
        match = [('tagName', [e])]
        lines += common.completion_xml(['startTag'], ['attribute', 'attributeName'],
                                       words=[attribute_word(a, attrs[a][0]) for a in sorted(attrs)],
                                       match=match)
        nested = value_completions(attrs)
        if nested:
            lines += common.completion_xml(['startTag'], ['attribute'], match=match, nested=nested)

    common.write_vocabulary('HTML.xml', words, 'HTML elements, attributes and attribute values.')
    common.replace_completions('HTML.xml', lines)
    print('HTML: %d elements, %d attributes, %d values' % (len(elements), len(attribute_words), len(value_words)))


if __name__ == '__main__':
    main()
