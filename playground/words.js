// Command-line words as a POSIX shell splits them, without any expansion:
// blanks separate words; '...' keeps every character; "..." keeps every
// character but a backslash before \ " $ ` or a newline; outside quotes a
// backslash keeps the next character. The playground reads its options and
// environment fields with it, and the build reads the examples' sessions.
(function (root, factory) {
  if (typeof module === 'object' && module.exports) module.exports = factory();
  else root.QuenfoldWords = factory();
})(typeof self !== 'undefined' ? self : this, function () {
  'use strict';

  function split(text) {
    var words = [];
    var word = null;  // null between words
    var i = 0;
    function add(s) { word = (word === null ? '' : word) + s; }
    while (i < text.length) {
      var c = text[i];
      if (c === ' ' || c === '\t' || c === '\n') {
        if (word !== null) words.push(word);
        word = null;
        i++;
      } else if (c === '\\') {
        if (i + 1 < text.length && text[i + 1] !== '\n') add(text[i + 1]);
        else if (i + 1 >= text.length) add('\\');
        i += 2;
      } else if (c === "'") {
        var end = text.indexOf("'", i + 1);
        if (end < 0) throw new SyntaxError('unterminated quote');
        add(text.slice(i + 1, end));
        i = end + 1;
      } else if (c === '"') {
        var s = '';
        i++;
        while (i < text.length && text[i] !== '"') {
          if (text[i] === '\\' && i + 1 < text.length && '\\"$`\n'.indexOf(text[i + 1]) >= 0) {
            if (text[i + 1] !== '\n') s += text[i + 1];
            i += 2;
          } else {
            s += text[i++];
          }
        }
        if (i >= text.length) throw new SyntaxError('unterminated quote');
        add(s);
        i++;
      } else {
        add(c);
        i++;
      }
    }
    if (word !== null) words.push(word);
    return words;
  }

  // NAME=value words, as the environment a command line starts with: {NAME: value}.
  function assignments(text) {
    var env = {};
    split(text).forEach(function (word) {
      var eq = word.indexOf('=');
      if (eq <= 0) throw new SyntaxError('environment words are NAME=value');
      env[word.slice(0, eq)] = word.slice(eq + 1);
    });
    return env;
  }

  // A word as the shell would need it written.
  function quote(word) {
    if (/^[A-Za-z0-9_\-.\/=:,+@%]+$/.test(word)) return word;
    return "'" + word.replace(/'/g, "'\\''") + "'";
  }

  return { split: split, assignments: assignments, quote: quote };
});
