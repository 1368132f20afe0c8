// The TextMate grammar (contrib/textmate/quenfold.tmLanguage.json) loaded into
// vscode-textmate with vscode-oniguruma, the engine that VS Code itself uses.
'use strict';

const fs = require('fs');
const path = require('path');
const textmate = require('vscode-textmate');
const oniguruma = require('vscode-oniguruma');

const GRAMMAR = path.join(__dirname, '../../contrib/textmate/quenfold.tmLanguage.json');

// Scopes of the grammar and the table's classes, by prefix; the innermost scope
// of a token that has one gives its class.
const SCOPES = [
  ['constant.character.escape.line-continuation', 'continuation'],
  ['constant.character.escape', 'escape'],
  ['keyword.control.conditional', 'condition'],
  ['keyword.control.loop', 'loop'],
  ['keyword.other.directive', 'directive'],
  ['keyword.operator', 'operator'],
  ['entity.name.function', 'name'],
  ['variable.language', 'predefined'],
  ['variable.parameter', 'parameter'],
  ['variable.other', 'reference'],
  ['support.function.special-form', 'special'],
  ['constant.numeric', 'number'],
  ['comment.line.number-sign', 'comment'],
  ['string.quoted', 'string'],
  ['invalid.illegal', 'invalid'],
];

function classOf(scopes) {
  for (let i = scopes.length - 1; i >= 0; i--) {
    for (const [prefix, name] of SCOPES) {
      if (scopes[i] === prefix || scopes[i].startsWith(prefix + '.')) return name;
    }
  }
  return 'plain';
}

async function loadGrammar(file = GRAMMAR) {
  const wasm = fs.readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm'));
  await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
  const registry = new textmate.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
      createOnigString: (s) => new oniguruma.OnigString(s),
    }),
    loadGrammar: async () => textmate.parseRawGrammar(fs.readFileSync(file, 'utf8'), file),
  });
  return registry.loadGrammar('source.quenfold');
}

// The tokens of each line of a script, as [{text, scopes, class}] lists.
function tokenize(grammar, lines) {
  let stack = textmate.INITIAL;
  return lines.map((line) => {
    const result = grammar.tokenizeLine(line, stack);
    stack = result.ruleStack;
    return result.tokens.map((t) => ({
      text: line.slice(t.startIndex, t.endIndex), scopes: t.scopes, class: classOf(t.scopes),
    })).filter((t) => t.text !== '');
  });
}

module.exports = { GRAMMAR, SCOPES, classOf, loadGrammar, tokenize };
