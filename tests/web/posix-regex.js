// POSIX extended regular expressions, as the native tests match them
// (regcomp with REG_EXTENDED in the C locale, anchored at both ends), turned
// into JavaScript RegExps over strings that hold one byte per character.
'use strict';

const CLASSES = {
  alpha: 'A-Za-z', digit: '0-9', alnum: '0-9A-Za-z', upper: 'A-Z', lower: 'a-z',
  space: ' \\t\\n\\v\\f\\r', blank: ' \\t', xdigit: '0-9A-Fa-f',
  punct: '!-\\/:-@\\[-`{-~', print: ' -~', graph: '!-~', cntrl: '\\x00-\\x1f\\x7f',
};

// A bracket expression starting at pattern[start] ('['): [its JS form, the index after it].
// Inside brackets a backslash is an ordinary character in POSIX, an escape in JS.
function bracket(pattern, start) {
  let i = start + 1;
  let out = '[';
  if (pattern[i] === '^') { out += '^'; i++; }
  if (pattern[i] === ']') { out += '\\]'; i++; }
  while (i < pattern.length && pattern[i] !== ']') {
    if (pattern.startsWith('[:', i)) {
      const end = pattern.indexOf(':]', i + 2);
      const name = pattern.slice(i + 2, end);
      if (end < 0 || !(name in CLASSES)) throw new Error('unsupported class in ' + pattern);
      out += CLASSES[name];
      i = end + 2;
    } else {
      const c = pattern[i++];
      out += '\\^[]'.includes(c) ? '\\' + c : c;
    }
  }
  if (i >= pattern.length) throw new Error('unterminated bracket in ' + pattern);
  return [out + ']', i + 1];
}

function toRegExp(pattern) {
  let out = '';
  for (let i = 0; i < pattern.length;) {
    const c = pattern[i];
    if (c === '\\') {
      out += pattern.slice(i, i + 2);
      i += 2;
    } else if (c === '[') {
      const [text, next] = bracket(pattern, i);
      out += text;
      i = next;
    } else {
      out += c;
      i++;
    }
  }
  // 's': as without REG_NEWLINE, '.' matches a newline too.
  return new RegExp('^(?:' + out + ')$', 's');
}

// True when all of `text` matches `pattern`; a text holding a NUL never does,
// as C strings end there.
function fullMatch(text, pattern) {
  return !text.includes('\0') && toRegExp(pattern).test(text);
}

module.exports = { toRegExp, fullMatch };
