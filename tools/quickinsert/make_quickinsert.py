#!/usr/bin/env python3
"""Writes resources/quickinsert.txt: the character shown for each factory Quick
Insert leaf, at the index that leaf takes, read from resources/htmlcharrefs.xml.
Run by hand after changing the factory table; the output is committed."""
import os, xml.etree.ElementTree as ET

top = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FOLDERS = [
    "agrave aacute acirc atilde auml aring egrave eacute ecirc euml igrave iacute icirc iuml ograve oacute ocirc otilde ouml ugrave uacute ucirc uuml",
    "Agrave Aacute Acirc Atilde Auml Aring Egrave Eacute Ecirc Euml Igrave Iacute Icirc Iuml Ograve Oacute Ocirc Otilde Ouml Ugrave Uacute Ucirc Uuml",
    "AElig Ccedil ETH Ntilde Yacute THORN szlig aelig ccedil eth ntilde yacute thorn yuml",
    "quot amp trade nbsp iexcl uml copy reg deg acute para iquest",
    "lt gt plusmn sup1 sup2 sup3 micro frac14 frac12 frac34 divide forall part exist empty nabla isin notin ni prod sum minus lowast radic prop",
    "infin ang and or cap cup int there4 sim cong asymp ne equiv le ge sub sup nsub sube supe oplus otimes perp sdot",
    "alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu xi omicron pi rho sigma sigmaf tau upsilon phi chi psi omega",
    "Alpha Beta Gamma Delta Epsilon Zeta Eta Theta Iota Kappa Lambda Mu Nu Xi Omicron Pi Rho Sigma Tau Upsilon Phi Chi Psi Omega",
]
LITERAL = {"quot", "trade", "nbsp"}
OUT_OF_TURN = {"igrave": 163, "iacute": 164, "icirc": 165, "ouml": 166}

chars = {}
for ref in ET.parse(os.path.join(top, "resources", "htmlcharrefs.xml")).getroot():
    chars[ref.get("ref")[1:-1]] = ref.get("character")

slots = [None] * 167
index = 0
for folder in FOLDERS:
    for name in folder.split():
        if name in LITERAL:
            continue
        at = OUT_OF_TURN.get(name)
        if at is None:
            at = index
            index += 1
        slots[at] = chars[name]
assert index == 163 and all(slots), (index, slots)
with open(os.path.join(top, "resources", "quickinsert.txt"), "w", encoding="utf-16") as f:
    f.write("".join(slots))
