// Syntax colouring of quenfold scripts, read as the program reads them: logical
// lines joined by a final backslash, comments from '#' (between quotes too),
// the thirteen escapes and \n, the leading '!', directive lines and their
// words, references with nested parentheses, positional parameters, the
// special forms with their operators and numbers, and quoted text, which is
// not expanded.
//
// classify(text) gives the class of every character of text (an array of
// class names, '' for plain text); highlight(text) gives HTML with
// <span class="qf-CLASS"> around each run of one class. The classes are
// those of tests/editors/highlight-cases.txt, which every highlighter of the
// project follows.
(function (root, factory) {
  if (typeof module === 'object' && module.exports) module.exports = factory();
  else root.QuenfoldHighlight = factory();
})(typeof self !== 'undefined' ? self : this, function () {
  'use strict';

  // Directive words and their classes.
  var WORDS = {
    getenv: 'directive', readline: 'directive', define: 'directive', default: 'directive',
    redefine: 'directive', extend: 'directive', undef: 'directive', show: 'directive',
    clear: 'directive', include: 'directive', return: 'directive', print: 'directive',
    error: 'directive', quote: 'directive',
    ifdef: 'condition', ifndef: 'condition', elifdef: 'condition', elifndef: 'condition',
    else: 'condition', endif: 'condition',
    for: 'loop', end: 'loop',
  };
  // Directives whose first word is a macro name: taken as written, or from the
  // expanded argument (where a reference may stand for the name).
  var RAW_NAME = /^(getenv|readline|define|default|redefine|extend|undef)$/;
  var EXPANDED_NAME = /^(ifdef|ifndef|elifdef|elifndef|for|clear)$/;
  var ESCAPABLE = '!"#$%&\'(),@|~';
  var PREDEFINED = /^__(PID|DATE|TIME|USER|LINE|FILE|OFILE|INCLUDE|V_MAJOR|V_MINOR|UNIX|OS)__(?=[:)])/;
  var NUMBER = /^(0[xX][0-9a-fA-F]+|[0-9]+)/;
  var EXPR_OPERATOR = /^(<=|>=|!=|[|&=<>+\-*/%])/;

  function isSpace(c) {
    return c === ' ' || c === '\t' || c === '\v' || c === '\f' || c === '\r';
  }
  function isWordChar(c) {
    return c !== undefined && /[A-Za-z0-9_]/.test(c);
  }

  function classify(text) {
    var cls = new Array(text.length).fill('');
    var i = 0;  // the scanning position, shared by the helpers below
    var n = text.length;

    function mark(from, to, name) {
      for (var k = from; k < to; k++) cls[k] = name;
    }
    // The logical line ends at a newline that no backslash joins to the next line.
    function atEnd() {
      return i >= n || text[i] === '\n';
    }

    // What the line reader makes of the text at i, whatever the context:
    // a continuation, an escape or another backslash pair, or a comment.
    // Marks it and returns true, or returns false for an ordinary character.
    function reader(plainClass) {
      var c = text[i];
      if (c === '\\') {
        var next = text[i + 1];
        if (next === '\n' || next === undefined) {
          mark(i, i + 1, 'continuation');
          i += 2;
        } else if (ESCAPABLE.indexOf(next) >= 0 || next === 'n') {
          mark(i, i + 2, 'escape');
          i += 2;
        } else {
          mark(i, i + 2, plainClass);
          i += 2;
        }
        return true;
      }
      if (c === '#') {
        // To the end of the physical line, or to a backslash that joins it to the next.
        var from = i;
        while (i < n && text[i] !== '\n') {
          if (text[i] === '\\') {
            if (text[i + 1] === '\n' || i + 1 >= n) break;
            i++;
          }
          i++;
        }
        mark(from, i, 'comment');
        return true;
      }
      return false;
    }

    // Only white space, comments and continuations up to the end of the logical line?
    function restIsEmpty() {
      for (var k = i; k < n && text[k] !== '\n'; k++) {
        if (text[k] === '#') return true;
        if (text[k] === '\\' && text[k + 1] === '\n') { k++; continue; }
        if (!isSpace(text[k])) return false;
      }
      return true;
    }

    // Quoted text from the quote at i to the same quote or the end of the
    // logical line. Inside a reference (depth counted), a ')' that closes the
    // reference ends it too: parentheses are counted without regard to quotes.
    function quoted(inReference) {
      var quote = text[i];
      var depth = 0;
      mark(i, i + 1, 'string');
      i++;
      while (!atEnd()) {
        if (reader('string')) continue;
        var c = text[i];
        if (inReference) {
          if (c === '(') depth++;
          if (c === ')' && depth-- === 0) return;
        }
        mark(i, i + 1, 'string');
        i++;
        if (c === quote) return;
      }
    }

    // A reference at the '$' at i.
    function reference() {
      var start = i;
      var c = text[i + 1];
      if (c !== '(') {
        i++;
        if (atEnd() || c === '#' || ((isSpace(c) || c === '\\') && restIsEmpty())) {
          mark(start, i, 'invalid');
        } else if (c === '$' || c === '@' || c === '=' || c === '%' || c === '?') {
          // A one-character special form, which cannot hold its ':'.
          mark(start, i + 1, 'invalid');
          i++;
        } else if (c === '\\') {
          mark(start, i, 'reference');
        } else {
          mark(start, i + 1, /[0-9]/.test(c) ? 'parameter' : 'reference');
          i++;
        }
        return;
      }
      // $( and the character after it, which belongs to the reference whatever it is.
      var kind = 'reference';
      var first = text[i + 2];
      var form = null;
      if (/[0-9]/.test(first)) {
        kind = 'parameter';
      } else if ('%=?@'.indexOf(first) >= 0 && first !== undefined && text[i + 3] === ':') {
        kind = 'special';
        form = first;
      }
      i += 2;
      var open = form !== null ? 2 : first === '(' || first === ')' ? 1 : 0;
      mark(start, i + open, kind);
      i += open;
      if (kind === 'reference') {
        var m = PREDEFINED.exec(text.slice(i, i + 20));
        if (m) {
          mark(i, i + m[0].length, 'predefined');
          i += m[0].length;
        }
      }
      body(kind, form, true);
    }

    // The inside of a reference (or of a parenthesis in it) up to its ')'.
    function body(kind, form, outer) {
      var colons = 0;
      while (!atEnd()) {
        if (reader(kind)) continue;
        var c = text[i];
        var rest = text.slice(i, i + 24);
        var m;
        if (c === ')') {
          mark(i, i + 1, kind);
          i++;
          return;
        } else if (c === '(') {
          mark(i, i + 1, kind);
          i++;
          body(kind, form, false);
        } else if (c === '$') {
          reference();
        } else if (c === '"' || c === "'") {
          quoted(true);
        } else if (form === '=' && (m = /^-(0[xX][0-9a-fA-F]+|[0-9]+)/.exec(rest))) {
          mark(i, i + m[0].length, 'number');
          i += m[0].length;
        } else if ((form === '=' || form === '%') && !isWordChar(text[i - 1]) && (m = NUMBER.exec(rest))) {
          mark(i, i + m[0].length, 'number');
          i += m[0].length;
        } else if (form === '=' && (m = EXPR_OPERATOR.exec(rest))) {
          mark(i, i + m[0].length, 'operator');
          i += m[0].length;
        } else if ((form === '%' && c === '-') || (form === '?' && outer && c === ':' && colons++ < 2)) {
          mark(i, i + 1, 'operator');
          i++;
        } else {
          mark(i, i + 1, kind);
          i++;
        }
      }
    }

    // Text that is expanded: references, quotes and what the reader makes.
    function expanded() {
      while (!atEnd()) {
        if (reader('')) continue;
        var c = text[i];
        if (c === '$') reference();
        else if (c === '"' || c === "'") quoted(false);
        else i++;
      }
    }

    // Text that is neither expanded nor used (after @ENDIF).
    function ignored() {
      while (!atEnd()) {
        if (!reader('')) i++;
      }
    }

    // A run of characters that are not white space, with backslash pairs.
    function word(stop) {
      var from = i;
      while (!atEnd() && !isSpace(text[i]) && stop.indexOf(text[i]) < 0) {
        if (text[i] === '\\') {
          if (text[i + 1] === '\n' || i + 1 >= n) break;
          i++;
        }
        i++;
      }
      return text.slice(from, i);
    }

    function skipSpace() {
      while (!atEnd() && isSpace(text[i])) i++;
    }

    function directive() {
      var start = i;
      if (text[i] === '!') i++;
      i++;  // the '@'
      var name = word('#').toLowerCase();
      var group = Object.prototype.hasOwnProperty.call(WORDS, name) ? WORDS[name] : 'invalid';
      mark(start, i, group);
      skipSpace();
      if (RAW_NAME.test(name) || EXPANDED_NAME.test(name)) {
        var from = i;
        word(RAW_NAME.test(name) ? '#' : '#$"\'\\');
        mark(from, i, 'name');
      }
      if (name === 'endif') ignored();
      else expanded();
    }

    while (i < n) {
      // The logical line begins after white space, comments and continuations.
      while (i < n && (isSpace(text[i]) || text[i] === '\n' || text[i] === '#' ||
                       (text[i] === '\\' && (text[i + 1] === '\n' || i + 1 >= n)))) {
        if (!reader('')) i++;
      }
      if (i >= n) break;
      if (text[i] === '@' || (text[i] === '!' && text[i + 1] === '@')) {
        directive();
      } else {
        if (text[i] === '!') {
          var bang = text[i + 1] === '!' ? 2 : 1;
          mark(i, i + bang, 'escape');
          i += bang;
        }
        expanded();
      }
    }
    return cls;
  }

  function escapeHtml(text) {
    return text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
  }

  function highlight(text) {
    var cls = classify(text);
    var html = '';
    var i = 0;
    while (i < text.length) {
      var j = i + 1;
      while (j < text.length && cls[j] === cls[i] && text[j] !== '\n') j++;
      var part = escapeHtml(text.slice(i, j));
      html += cls[i] && text[i] !== '\n' ? '<span class="qf-' + cls[i] + '">' + part + '</span>' : part;
      i = j;
    }
    return html;
  }

  return { classify: classify, highlight: highlight };
});
