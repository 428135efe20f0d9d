'use strict';
// Loads the tessel grammar with the TextMate engine editors use, so tests see
// the scopes an editor would show.

const fs = require('fs');
const path = require('path');
const vsctm = require('vscode-textmate');
const oniguruma = require('vscode-oniguruma');

const GRAMMAR = path.join(__dirname, '..', 'syntaxes', 'tessel.tmLanguage.json');

let loading = null;

function loadGrammar() {
    if (loading) return loading;
    const wasm = fs.readFileSync(path.join(path.dirname(require.resolve('vscode-oniguruma')), 'onig.wasm'));
    const onigLib = oniguruma.loadWASM(wasm).then(() => ({
        createOnigScanner: patterns => new oniguruma.OnigScanner(patterns),
        createOnigString: s => new oniguruma.OnigString(s),
    }));
    const registry = new vsctm.Registry({
        onigLib,
        loadGrammar: async scopeName => scopeName === 'source.tessel'
            ? vsctm.parseRawGrammar(fs.readFileSync(GRAMMAR, 'utf8'), GRAMMAR)
            : null,
    });
    loading = registry.loadGrammar('source.tessel');
    return loading;
}

// The tokens of one line: [{text, start, end, scopes}], and the state after it.
function tokenizeLine(grammar, line, state = vsctm.INITIAL) {
    const result = grammar.tokenizeLine(line, state);
    const tokens = result.tokens.map(t => ({
        text: line.slice(t.startIndex, t.endIndex),
        start: t.startIndex,
        end: t.endIndex,
        scopes: t.scopes,
    }));
    return { tokens, state: result.ruleStack };
}

module.exports = { loadGrammar, tokenizeLine, INITIAL: vsctm.INITIAL, GRAMMAR };
