#!/usr/bin/env python3
# Copyright 2026 the Kelp Studio authors. SPDX-License-Identifier: GPL-3.0-or-later
"""Generates the JavaScript words (resources/Vocabulary/JavaScript.xml) and the
completions of resources/Syntax/JavaScript.xml: the keywords of ECMAScript
2023, its global objects and functions, and the browser globals a web page uses
most, with the common members of each."""

import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
import common  # noqa: E402

KEYWORDS = '''async await break case catch class const continue debugger default delete do else export extends
false finally for function if import in instanceof let new null of return static super switch this throw true try
typeof undefined var void while with yield'''.split()

# Global objects with members: name -> members ("name(" marks a method).
GLOBALS = {
    'Array': 'from( isArray( of(',
    'ArrayBuffer': 'isView(',
    'BigInt': 'asIntN( asUintN(',
    'Boolean': '',
    'DataView': '',
    'Date': 'now( parse( UTC(',
    'Error': '', 'AggregateError': '', 'EvalError': '', 'RangeError': '', 'ReferenceError': '',
    'SyntaxError': '', 'TypeError': '', 'URIError': '',
    'FinalizationRegistry': '',
    'Function': '',
    'Intl': 'Collator DateTimeFormat ListFormat NumberFormat PluralRules RelativeTimeFormat Segmenter',
    'JSON': 'parse( stringify(',
    'Map': '',
    'Math': 'abs( acos( asin( atan( atan2( cbrt( ceil( clz32( cos( exp( floor( fround( hypot( log( log10( log2( '
            'max( min( pow( random( round( sign( sin( sqrt( tan( trunc( E LN10 LN2 LOG10E LOG2E PI SQRT1_2 SQRT2',
    'Number': 'isFinite( isInteger( isNaN( isSafeInteger( parseFloat( parseInt( EPSILON MAX_SAFE_INTEGER '
              'MAX_VALUE MIN_SAFE_INTEGER MIN_VALUE NEGATIVE_INFINITY POSITIVE_INFINITY',
    'Object': 'assign( create( defineProperties( defineProperty( entries( freeze( fromEntries( '
              'getOwnPropertyDescriptor( getOwnPropertyNames( getPrototypeOf( groupBy( hasOwn( is( isFrozen( '
              'isSealed( keys( seal( setPrototypeOf( values(',
    'Promise': 'all( allSettled( any( race( reject( resolve(',
    'Proxy': '',
    'Reflect': 'apply( construct( defineProperty( deleteProperty( get( getOwnPropertyDescriptor( '
               'getPrototypeOf( has( isExtensible( ownKeys( preventExtensions( set( setPrototypeOf(',
    'RegExp': '',
    'Set': '',
    'String': 'fromCharCode( fromCodePoint( raw(',
    'Symbol': 'for( keyFor( asyncIterator iterator hasInstance toPrimitive toStringTag',
    'WeakMap': '', 'WeakRef': '', 'WeakSet': '',
    'Int8Array': '', 'Uint8Array': '', 'Uint8ClampedArray': '', 'Int16Array': '', 'Uint16Array': '',
    'Int32Array': '', 'Uint32Array': '', 'Float32Array': '', 'Float64Array': '', 'BigInt64Array': '',
    'BigUint64Array': '',
    'globalThis': '',
    # The browser.
    'console': 'assert( clear( count( debug( dir( error( group( groupCollapsed( groupEnd( info( log( table( '
               'time( timeEnd( trace( warn(',
    'document': 'addEventListener( createElement( createTextNode( getElementById( getElementsByClassName( '
                'getElementsByTagName( querySelector( querySelectorAll( removeEventListener( body cookie '
                'documentElement head title readyState',
    'window': 'addEventListener( alert( cancelAnimationFrame( confirm( fetch( getComputedStyle( matchMedia( '
              'open( postMessage( prompt( removeEventListener( requestAnimationFrame( scrollTo( innerHeight '
              'innerWidth location localStorage navigator sessionStorage',
    'localStorage': 'clear( getItem( key( removeItem( setItem(',
    'navigator': 'clipboard geolocation language languages onLine userAgent',
    'location': 'assign( reload( replace( hash host hostname href origin pathname search',
    'AbortController': '', 'Blob': '', 'CustomEvent': '', 'Event': '', 'EventTarget': '', 'File': '',
    'FileReader': '', 'FormData': '', 'Headers': '', 'IntersectionObserver': '', 'MutationObserver': '',
    'Request': '', 'ResizeObserver': '', 'Response': '', 'URL': '', 'URLSearchParams': '', 'WebSocket': '',
    'Worker': '', 'XMLHttpRequest': '',
}

FUNCTIONS = '''clearInterval( clearTimeout( decodeURI( decodeURIComponent( encodeURI( encodeURIComponent( eval(
fetch( isFinite( isNaN( parseFloat( parseInt( queueMicrotask( setInterval( setTimeout( structuredClone('''.split()

# Members of instances, offered after any name.
MEMBERS = '''at( concat( copyWithin( entries( every( fill( filter( find( findIndex( findLast( findLastIndex( flat(
flatMap( forEach( includes( indexOf( join( keys( lastIndexOf( map( pop( push( reduce( reduceRight( reverse( shift(
slice( some( sort( splice( toReversed( toSorted( toSpliced( unshift( values( with( length
charAt( charCodeAt( codePointAt( endsWith( localeCompare( match( matchAll( normalize( padEnd( padStart( repeat(
replace( replaceAll( search( split( startsWith( substring( toLowerCase( toUpperCase( trim( trimEnd( trimStart(
toFixed( toPrecision( toString( valueOf( toLocaleString(
then( catch( finally( get( set( has( delete( clear( add( size
addEventListener( removeEventListener( dispatchEvent( appendChild( removeChild( replaceChildren( append( prepend(
remove( before( after( closest( matches( getAttribute( setAttribute( removeAttribute( hasAttribute(
toggleAttribute( querySelector( querySelectorAll( getBoundingClientRect( scrollIntoView( focus( blur( click(
classList className id innerHTML outerHTML textContent style dataset children parentElement
preventDefault( stopPropagation( target currentTarget key value checked'''.split()


def member_word(name, obj=None):
    if name.endswith('('):
        base = name[:-1]
        return base, base + '(<#arguments#>)'
    return name, name


def main():
    words, ids = [], []

    def add(word_id, value, type_, obj=None, url=None):
        if word_id in ids:
            return
        ids.append(word_id)
        words.append(common.word_xml(word_id, value, type_=type_, obj=obj, url=url))

    for k in KEYWORDS:
        add('keyword.' + k, k, 'Keyword')
    for g in sorted(GLOBALS, key=str.lower):
        add('global.' + g, g, 'Object')
        for m in GLOBALS[g].split():
            base, value = member_word(m)
            add('member.%s.%s' % (g, base), value, 'Member', obj=g)
    for f in FUNCTIONS:
        base, value = member_word(f)
        add('function.' + base, value, 'Function')
    for m in MEMBERS:
        base, value = member_word(m)
        add('method.' + base, value, 'Member')

    lines = ['    <!-- Keywords and names at any identifier. -->']
    lines += common.completion_xml(['variable'], [], words=ids)
    common.write_vocabulary('JavaScript.xml', words, 'JavaScript keywords, global objects and members.')
    common.replace_completions('JavaScript.xml', lines)
    print('JavaScript: %d words' % len(words))


if __name__ == '__main__':
    main()
