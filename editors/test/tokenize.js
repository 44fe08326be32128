// Tokenizes vorn models with the TextMate grammar of editors/vscode through
// vscode-textmate and vscode-oniguruma, the engine VS Code runs, and checks
// the scope of every construct that constructs.pl finds in them.
//
// Usage: node tokenize.js GRAMMAR CONSTRUCTS.tsv
// (the npm packages are found through NODE_PATH). Exits with status 1 and a
// line per mismatch when a construct lacks its scope, when a model that
// parses has a token marked invalid, or when a chosen position of a model
// that does not parse lacks the scope that shows the mistake.
'use strict';

const fs = require('fs');
const path = require('path');
const vsctm = require('vscode-textmate');
const oniguruma = require('vscode-oniguruma');

// The scope each construct must have at its first and at its last byte.
const expected = {
  'comment': 'comment.line.double-slash.vorn',
  'decl-keyword': 'keyword.other.declaration.vorn',
  'decl-name': 'entity.name.type.declaration.vorn',
  'key-star': 'storage.modifier.key.vorn',
  'key-name': 'variable.parameter.key.vorn',
  'position': 'variable.parameter.vorn',
  'rule-consistent': 'keyword.control.rule.consistent.vorn',
  'rule-transfer': 'keyword.control.rule.transfer.vorn',
  'query': 'keyword.control.query.vorn',
  'states-begin': 'punctuation.section.states.begin.vorn',
  'states-end': 'punctuation.section.states.end.vorn',
  'conversion-begin': 'punctuation.section.conversion.begin.vorn',
  'conversion-end': 'punctuation.section.conversion.end.vorn',
  'know': 'keyword.other.knowledge.vorn',
  'event-name': 'entity.name.type.event.vorn',
  'state-name': 'entity.name.type.state.vorn',
  'function-name': 'entity.name.function.vorn',
  'nonce': 'constant.other.nonce.vorn',
  'constant': 'constant.other.constant.vorn',
  'configuration': 'variable.other.configuration.vorn',
  'variable': 'variable.other.vorn',
  'flag': 'keyword.operator.flag.vorn',
  'boolean': 'constant.language.boolean.vorn',
};

// Constructs that lie inside an enclosing one, which must show as well.
const within = {
  'state-name': ['meta.fact.state.vorn'],
  'conversion-begin': ['meta.conversion.vorn', 'meta.rule.transfer.vorn'],
  'states-begin': ['meta.states.vorn'],
  'rule-consistent': ['meta.rule.consistent.vorn'],
  'rule-transfer': ['meta.rule.transfer.vorn'],
  'query': ['meta.query.vorn'],
  'decl-keyword': ['meta.declaration.vorn'],
};

// Positions in models that do not parse: the grammar marks the mistake.
const mistakes = [
  ['tests/e2e/docs/err_syntax_keyword.vorn', 2, 11, 'invalid.illegal.reserved-word.vorn'],
  ['tests/e2e/docs/err_syntax_number.vorn', 2, 16, 'invalid.illegal.number.vorn'],
  ['tests/e2e/docs/err_unidentified.vorn', 3, 5, 'invalid.illegal.character.vorn'],
];

async function main() {
  const [grammarPath, constructsPath] = process.argv.slice(2);
  const onigWasm = fs.readFileSync(path.join(path.dirname(require.resolve('vscode-oniguruma')), 'onig.wasm'));
  await oniguruma.loadWASM(onigWasm.buffer.slice(onigWasm.byteOffset, onigWasm.byteOffset + onigWasm.byteLength));
  const registry = new vsctm.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
      createOnigString: (text) => new oniguruma.OnigString(text),
    }),
    loadGrammar: async (scopeName) =>
      scopeName === 'source.vorn'
        ? vsctm.parseRawGrammar(fs.readFileSync(grammarPath, 'utf8'), grammarPath)
        : null,
  });
  const grammar = await registry.loadGrammar('source.vorn');

  // Each file's lines as token lists. Bytes are read one to a character, so
  // that string indexes are byte columns.
  const tokenized = new Map();
  const tokensOf = (file) => {
    if (!tokenized.has(file)) {
      const text = fs.readFileSync(file).toString('latin1');
      const lines = text.split('\n').map((line) => line.replace(/\r$/, ''));
      let stack = vsctm.INITIAL;
      const result = lines.map((line) => {
        const r = grammar.tokenizeLine(line, stack);
        stack = r.ruleStack;
        return r.tokens;
      });
      tokenized.set(file, result);
    }
    return tokenized.get(file);
  };
  const scopesAt = (file, line, col) => {
    const tokens = tokensOf(file)[line - 1] || [];
    const token = tokens.find((t) => t.startIndex <= col - 1 && col - 1 < t.endIndex);
    return token ? token.scopes : [];
  };

  const failures = [];
  const files = new Set();
  const unparsed = new Set(process.env.VORN_UNPARSED ? process.env.VORN_UNPARSED.split(':') : []);
  let checked = 0;
  for (const row of fs.readFileSync(constructsPath, 'utf8').split('\n')) {
    if (!row) continue;
    const [file, line, col, length, what] = row.split('\t');
    files.add(file);
    const scope = expected[what];
    if (!scope) {
      failures.push(`${file}: unknown construct ${what}`);
      continue;
    }
    const first = Number(col);
    const last = first + Math.max(Number(length), 1) - 1;
    for (const at of new Set([first, last])) {
      const scopes = scopesAt(file, Number(line), at);
      for (const needed of [scope, ...(at === first ? within[what] || [] : [])]) {
        if (!scopes.includes(needed))
          failures.push(`${file}:${line}:${at}: ${what} should have ${needed}, has ${scopes.join(' ') || 'nothing'}`);
      }
    }
    ++checked;
  }
  // A model that parses has no token marked invalid.
  for (const file of files) {
    if (unparsed.has(file)) continue;
    tokensOf(file).forEach((tokens, i) => {
      for (const t of tokens)
        if (t.scopes.some((s) => s.startsWith('invalid.')))
          failures.push(`${file}:${i + 1}:${t.startIndex + 1}: marked ${t.scopes[t.scopes.length - 1]}`);
    });
  }
  for (const [file, line, col, scope] of mistakes) {
    const scopes = scopesAt(file, line, col);
    if (!scopes.includes(scope)) failures.push(`${file}:${line}:${col}: should have ${scope}, has ${scopes.join(' ')}`);
  }
  for (const failure of failures.slice(0, 40)) console.log(failure);
  if (failures.length > 40) console.log(`... and ${failures.length - 40} more`);
  console.log(`TextMate grammar: ${checked} constructs in ${files.size} models, ${failures.length} mismatches`);
  process.exit(failures.length === 0 ? 0 : 1);
}

main().catch((error) => {
  console.log(error.stack || String(error));
  process.exit(1);
});
