// Syntax colouring of quenfold scripts, one line at a time, with the groups
// of the Vim syntax (contrib/vim/syntax/quenfold.vim): directive lines,
// references and the special forms, comments, escapes and quoted strings.
// highlight(text) returns HTML: the text with <span class="qf-GROUP">
// around each part, for the editor's overlay.
(function (root, factory) {
  if (typeof module === 'object' && module.exports) module.exports = factory();
  else root.QuenfoldHighlight = factory();
})(typeof self !== 'undefined' ? self : this, function () {
  'use strict';

  // Directive words and their groups; those marked with a name take a macro
  // name as their first word.
  var DIRECTIVES = {
    getenv: 'directive', readline: 'directive', define: 'directive', default: 'directive',
    redefine: 'directive', extend: 'directive', undef: 'directive', show: 'directive',
    clear: 'directive',
    ifdef: 'condition', ifndef: 'condition', elifdef: 'condition', elifndef: 'condition',
    else: 'condition', endif: 'condition',
    for: 'loop', end: 'loop',
    include: 'include', return: 'include',
    print: 'message', error: 'message', quote: 'message',
  };
  var NAMED = /^(getenv|readline|define|default|redefine|extend|undef|show|clear|ifdef|ifndef|elifdef|elifndef|for)$/;
  var ESCAPABLE = '!"#$%&\'(),@|~';
  var OPERATORS = '-+*/%<>=!&|';
  var PREDEFINED = /^__(PID|DATE|TIME|USER|LINE|FILE|OFILE|INCLUDE|V_MAJOR|V_MINOR|UNIX|OS)__(?![A-Za-z0-9_])/;

  function escape(text) {
    return text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
  }
  function span(group, html) {
    return '<span class="qf-' + group + '">' + html + '</span>';
  }

  function comment(text) {
    return span('comment', escape(text).replace(/\b(TODO|FIXME|XXX|NOTE)\b/g, span('todo', '$1')));
  }

  // A backslash at line[i]: [html, next index], or null when it is plain text.
  function backslash(line, i) {
    if (i + 1 >= line.length) return [span('continue', '\\'), i + 1];
    var next = line[i + 1];
    if (ESCAPABLE.indexOf(next) >= 0 || next === 'n') return [span('escape', escape('\\' + next)), i + 2];
    return null;
  }

  // Scans line from i. In mode 'text' it runs to the end of the line; in
  // 'ref' and 'special' (inside $(...)) it stops at the ')' that closes the
  // reference. Returns [html, index where it stopped].
  function scan(line, i, mode) {
    var html = '';
    var plain = '';
    function flush() {
      html += escape(plain);
      plain = '';
    }
    while (i < line.length) {
      var c = line[i];
      var part = null;
      if (c === '\\') {
        part = backslash(line, i);
        if (part === null) {
          plain += line.substr(i, 2);
          i += 2;
          continue;
        }
      } else if (c === '#') {
        part = [comment(line.slice(i)), line.length];
      } else if (c === '$') {
        part = reference(line, i);
      } else if (mode === 'text') {
        if (c === '"' || c === "'") part = quoted(line, i);
      } else if (c === ')') {
        break;
      } else if (c === '(') {
        var inner = scan(line, i + 1, mode);
        var close = line[inner[1]] === ')' ? ')' : '';
        part = ['(' + inner[0] + close, inner[1] + close.length];
      } else if (c === ':' || c === ',') {
        part = [span('delim', c), i + 1];
      } else if (mode === 'special' && OPERATORS.indexOf(c) >= 0) {
        part = [span('operator', escape(c)), i + 1];
      } else if (c === '_' && (i === 0 || !/[A-Za-z0-9_]/.test(line[i - 1]))) {
        var m = PREDEFINED.exec(line.slice(i));
        if (m) part = [span('predefined', m[0]), i + m[0].length];
      }
      if (part === null) {
        plain += c;
        i++;
      } else {
        flush();
        html += part[0];
        i = part[1];
      }
    }
    flush();
    return [html, i];
  }

  // A reference at line[i] ('$'): $x, $0, $(name...), $(0...) or a special form.
  function reference(line, i) {
    if (line[i + 1] !== '(') {
      if (i + 1 >= line.length) return ['$', i + 1];
      return [span('ref', escape(line.substr(i, 2))), i + 2];
    }
    var special = /^[%=?@]:/.test(line.substr(i + 2, 2));
    var open = special ? line.substr(i, 4) : '$(';
    var delim = special ? 'special-delim' : 'delim';
    var inner = scan(line, i + open.length, special ? 'special' : 'ref');
    var html = span(delim, escape(open)) + span(special ? 'special' : 'ref', inner[0]);
    if (line[inner[1]] === ')') return [html + span(delim, ')'), inner[1] + 1];
    return [html, inner[1]];
  }

  // Text between quotes, or from a quote to the end of the line.
  function quoted(line, i) {
    var quote = line[i];
    var html = '';
    var plain = quote;
    var j = i + 1;
    while (j < line.length && line[j] !== quote) {
      var part = null;
      if (line[j] === '\\') part = backslash(line, j);
      else if (line[j] === '#') part = [comment(line.slice(j)), line.length];
      if (part === null) {
        plain += line[j] === '\\' ? line.substr(j, 2) : line[j];
        j += line[j] === '\\' ? 2 : 1;
      } else {
        html += escape(plain) + part[0];
        plain = '';
        j = part[1];
      }
    }
    if (j < line.length) {
      plain += quote;
      j++;
    }
    return [span('string', html + escape(plain)), j];
  }

  function highlightLine(line) {
    var directive = /^(\s*)(!?@)(\S*)/.exec(line);
    if (directive) {
      var word = directive[3].toLowerCase();
      var group = Object.prototype.hasOwnProperty.call(DIRECTIVES, word) ? DIRECTIVES[word] : 'unknown';
      var html = escape(directive[1]) + span(group, escape(directive[2] + directive[3]));
      var i = directive[0].length;
      if (NAMED.test(word)) {
        var name = /^([ \t]*)([^ \t#$]+)/.exec(line.slice(i));
        if (name) {
          html += name[1] + span('name', escape(name[2]));
          i += name[0].length;
        }
      }
      return html + scan(line, i, 'text')[0];
    }
    var bang = /^(\s*)(!!?)/.exec(line);
    if (bang) {
      return escape(bang[1]) + span('bang', bang[2]) + scan(line, bang[0].length, 'text')[0];
    }
    return scan(line, 0, 'text')[0];
  }

  function highlight(text) {
    return text.split('\n').map(highlightLine).join('\n');
  }

  return { highlight: highlight, highlightLine: highlightLine };
});
