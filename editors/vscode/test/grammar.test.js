'use strict';
// The TextMate grammar: every script of the repository tokenizes cleanly, the
// grammar agrees with the tokenizer's expectations recorded beside the test
// scripts, and known tokens get the scopes they should.

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const path = require('path');
const { loadGrammar, tokenizeLine, GRAMMAR } = require('./grammar-helper');

const REPO = path.join(__dirname, '..', '..', '..');

function scriptsUnder(dir) {
    const out = [];
    for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
        const full = path.join(dir, entry.name);
        if (entry.isDirectory()) out.push(...scriptsUnder(full));
        else if (entry.name.endsWith('.tsl')) out.push(full);
    }
    return out.sort();
}

const SCRIPTS = ['examples', 'tests/scripts', 'tests/window', 'bench/workloads']
    .map(dir => path.join(REPO, ...dir.split('/')))
    .filter(dir => fs.existsSync(dir))
    .flatMap(scriptsUnder);

// Scripts are Windows-1252 bytes; latin1 keeps one character a byte, as an
// editor opening them as Windows-1252 does for everything the grammar tells apart.
function linesOf(file) {
    return fs.readFileSync(file, 'latin1').split(/\r\n|\r|\n/);
}

// Each script is tokenized once for all the tests that look at it.
const tokenized = new Map();

function tokenizeFile(grammar, file) {
    if (!tokenized.has(file)) {
        tokenized.set(file, linesOf(file).map((line, i) => ({ number: i + 1, line, ...tokenizeLine(grammar, line) })));
    }
    return tokenized.get(file);
}

// The scopes, past the root, of the token whose text is `text` (the nth such).
function scopesOf(grammar, line, text, nth = 0) {
    const hits = tokenizeLine(grammar, line).tokens.filter(t => t.text === text);
    assert.ok(hits.length > nth, `no token ${JSON.stringify(text)} in ${JSON.stringify(line)}`);
    return hits[nth].scopes.slice(1);
}

// The scopes, past the root, of the token covering column `at` (0-based).
function scopesAt(grammar, line, at) {
    return tokenizeLine(grammar, line).tokens.find(t => t.start <= at && at < t.end).scopes.slice(1);
}

function hasScope(lines, prefix) {
    return lines.some(l => l.tokens.some(t => t.scopes.some(s => s.startsWith(prefix))));
}

test('the repository has scripts to tokenize', () => {
    assert.ok(SCRIPTS.length > 100, `only ${SCRIPTS.length} scripts found`);
    assert.ok(SCRIPTS.some(f => f.endsWith(path.join('examples', 'demo.tsl'))));
});

test('every line of every script is tokenized end to end, and no state leaks into the next line', async () => {
    const grammar = await loadGrammar();
    for (const file of SCRIPTS) {
        const rel = path.relative(REPO, file);
        for (const { number, line, tokens, state } of tokenizeFile(grammar, file)) {
            const where = `${rel}:${number}`;
            let at = 0;
            for (const t of tokens) {
                assert.equal(t.start, at, `${where}: gap or overlap at column ${at}`);
                assert.ok(t.end > t.start || line.length === 0, `${where}: empty token at ${at}`);
                assert.equal(t.scopes[0], 'source.tessel', `${where}: token outside the root scope`);
                at = t.end;
            }
            assert.ok(at >= line.length, `${where}: tokens stop at ${at} of ${line.length}`);
            assert.equal(state.depth, 1, `${where}: a construct stays open past the line end`);
        }
    }
});

test('bad bytes and open strings are marked exactly where the tokenizer rejects them', async () => {
    // A golden script states the boxes tessel shows in its own comments
    // (' expect box: CAPTION | TEXT); the grammar must flag a bad byte where
    // tessel saw one, flag none in a script tessel tokenized, and flag an
    // open string where tessel reported one.
    const grammar = await loadGrammar();
    let compared = 0;
    for (const file of SCRIPTS) {
        if (!file.includes(`${path.sep}tests${path.sep}scripts${path.sep}`)) continue;
        const text = fs.readFileSync(file, 'latin1');
        const boxes = [...text.matchAll(/'\s*expect box:\s*(.*)$/gm)].map(m => m[1]).join('\n');
        const rel = path.relative(REPO, file);
        const lines = tokenizeFile(grammar, file);
        const lexFailed = /^T:Error \|/m.test(boxes);
        const badByte = hasScope(lines, 'invalid.illegal.character');
        const openString = hasScope(lines, 'invalid.illegal.unclosed-string');
        if (boxes.includes('Unknown token!')) assert.ok(badByte, `${rel}: tessel saw a bad byte, the grammar none`);
        if (boxes.includes('Unclosed Quote!')) assert.ok(openString, `${rel}: tessel saw an open string, the grammar none`);
        if (!lexFailed) {
            assert.ok(!badByte, `${rel}: tessel tokenized the script, the grammar flags a byte`);
            assert.ok(!openString, `${rel}: tessel tokenized the script, the grammar flags a string`);
        }
        compared++;
    }
    assert.ok(compared > 100, `only ${compared} scripts had recorded boxes`);
});

test('keywords and names', async () => {
    const g = await loadGrammar();
    assert.deepEqual(scopesOf(g, 'PRINT 10, 20, x', 'PRINT'), ['keyword.other.statement.tessel']);
    assert.deepEqual(scopesOf(g, 'print 10, 20, x', 'print'), ['keyword.other.statement.tessel'], 'keywords ignore case');
    assert.deepEqual(scopesOf(g, 'PRINT 10, 20, x', 'x'), ['variable.other.tessel']);
    assert.deepEqual(scopesOf(g, 'WHILE i < 3', 'WHILE'), ['keyword.control.tessel']);
    assert.deepEqual(scopesOf(g, 'VAR a, b', 'VAR'), ['storage.type.tessel']);
    assert.deepEqual(scopesOf(g, 'SHOWIMGT 1, 2, 3', 'SHOWIMGT'), ['keyword.other.statement.tessel']);
    assert.deepEqual(scopesOf(g, 'x = SQR(2) + LEN(s)', 'SQR'), ['support.function.numeric.tessel']);
    assert.deepEqual(scopesOf(g, 's = MSTR(t, 1, 2)', 'MSTR'), ['support.function.string.tessel']);
    // A keyword inside a longer name is part of the name.
    assert.deepEqual(scopesOf(g, 'printer = 1', 'printer'), ['variable.other.tessel']);
    assert.deepEqual(scopesOf(g, 'PRINT 0, 0, x_sin', 'x_sin'), ['variable.other.tessel']);
    assert.deepEqual(scopesOf(g, 'PRINT 0, 0, sin2', 'sin2'), ['variable.other.tessel']);
    // A number ends where a letter starts: 12print is the number 12 and the keyword PRINT.
    assert.deepEqual(scopesOf(g, 'x = 12print', '12'), ['constant.numeric.tessel']);
    assert.deepEqual(scopesOf(g, 'x = 12print', 'print'), ['keyword.other.statement.tessel']);
});

test('comments and strings', async () => {
    const g = await loadGrammar();
    assert.deepEqual(scopesOf(g, "x = 1 ' PRINT \"no string\"", " PRINT \"no string\""), ['comment.line.apostrophe.tessel']);
    assert.deepEqual(scopesOf(g, "' whole line", "'"),
        ['comment.line.apostrophe.tessel', 'punctuation.definition.comment.tessel']);
    assert.deepEqual(scopesOf(g, 'PRINT 0, 0, "WHILE x"', 'WHILE x'), ['string.quoted.double.tessel']);
    assert.deepEqual(scopesOf(g, `s = "it's" + t`, "it's"), ['string.quoted.double.tessel'], 'an apostrophe in a string starts no comment');
    assert.deepEqual(scopesOf(g, `s = "it's" + t`, 't'), ['variable.other.tessel']);
    assert.deepEqual(scopesOf(g, 's = "" + t', '"', 1),
        ['string.quoted.double.tessel', 'punctuation.definition.string.end.tessel'], 'an empty string closes at once');
    assert.deepEqual(scopesOf(g, 's = "open', 'open'),
        ['string.quoted.double.tessel', 'invalid.illegal.unclosed-string.tessel']);
    assert.deepEqual(scopesOf(g, 's = "caf\u00e9"', 'caf\u00e9'), ['string.quoted.double.tessel'], 'bytes above 126 are fine in a string');
    assert.deepEqual(scopesOf(g, 's = caf\u00e9', '\u00e9'), ['invalid.illegal.character.tessel']);
});

test('labels, jumps, functions and event blocks', async () => {
    const g = await loadGrammar();
    assert.deepEqual(scopesOf(g, 'LABEL top', 'top'), ['entity.name.label.tessel']);
    assert.deepEqual(scopesOf(g, 'GOTO top', 'top'), ['entity.name.label.tessel']);
    assert.deepEqual(scopesOf(g, 'goto Print_Loop', 'Print_Loop'), ['entity.name.label.tessel']);
    assert.deepEqual(scopesOf(g, 'IF k < 3 : GOTO again : ENDIF', 'again'), ['entity.name.label.tessel']);
    assert.deepEqual(scopesOf(g, 'FUNC board()', 'board'), ['entity.name.function.tessel']);
    assert.deepEqual(scopesOf(g, 'board()', 'board'), ['entity.name.function.call.tessel']);
    assert.deepEqual(scopesOf(g, 'IF f() = 1', 'f'), ['entity.name.function.call.tessel']);
    assert.deepEqual(scopesOf(g, 'x = SIN(a)', 'SIN'), ['support.function.numeric.tessel'], 'a built-in is no user call');
    assert.deepEqual(scopesOf(g, 'WINMSG WMLBUTTONDOWN', 'WMLBUTTONDOWN'), ['support.constant.message.tessel']);
    assert.deepEqual(scopesOf(g, 'winmsg wmtimer', 'wmtimer'), ['support.constant.message.tessel']);
    assert.deepEqual(scopesOf(g, 'WINMSG WMPAINT', 'WMPAINT'), ['invalid.illegal.message.tessel']);
    assert.deepEqual(scopesOf(g, 'PRINT 0, 0, WMTIMER', 'WMTIMER'), ['variable.other.tessel'], 'a message name is special only after WINMSG');
});

test('numbers, operators and punctuation', async () => {
    const g = await loadGrammar();
    const line = 'x = a[2] * 1.5 - 3 / b % 2 ^ 1.2.3';
    assert.deepEqual(scopesOf(g, line, '1.5'), ['constant.numeric.tessel']);
    assert.deepEqual(scopesOf(g, line, '1.2.3'), ['constant.numeric.tessel'], 'a run of digits and dots is one number');
    for (const op of ['*', '-', '/', '%', '^']) {
        assert.deepEqual(scopesOf(g, line, op), ['keyword.operator.arithmetic.tessel'], op);
    }
    assert.deepEqual(scopesOf(g, line, '='), ['keyword.operator.assignment.tessel']);
    assert.deepEqual(scopesOf(g, line, '['), ['punctuation.section.brackets.begin.tessel']);
    assert.deepEqual(scopesAt(g, 'x = .5', 4), [], 'a leading dot is no part of the number');
    assert.deepEqual(scopesOf(g, 'x = .5', '5'), ['constant.numeric.tessel']);
    const cond = 'IF a = 1 & b ! 2 | c > 3';
    assert.deepEqual(scopesOf(g, cond, '='), ['keyword.operator.comparison.tessel'], '= in a condition compares');
    assert.deepEqual(scopesOf(g, cond, '!'), ['keyword.operator.comparison.tessel']);
    assert.deepEqual(scopesOf(g, cond, '&'), ['keyword.operator.logical.tessel']);
    assert.deepEqual(scopesOf(g, cond, '|'), ['keyword.operator.logical.tessel']);
    assert.deepEqual(scopesOf(g, 'FOR i = 1 TO 9 : y = 2', '=', 1), ['keyword.operator.assignment.tessel'], 'a statement after a colon assigns');
    assert.deepEqual(scopesOf(g, 'FOR i = 1 TO 9', '='), ['keyword.operator.assignment.tessel']);
});

test('the grammar knows every keyword and message name of the interpreter, and no others', () => {
    const header = fs.readFileSync(path.join(REPO, 'src', 'checker', 'keywords.h'), 'utf8');
    const keywords = [...header.matchAll(/^\s*X\((\w+), 0x[0-9a-f]+, \w+(?:, \w+)?\)/gm)].map(m => m[1]);
    assert.equal(keywords.length, 64);
    const blocks = fs.readFileSync(path.join(REPO, 'src', 'checker', 'blocks.cpp'), 'utf8');
    const messages = [...blocks.matchAll(/\{"(WM\w+)", SLOT_\w+\}/g)].map(m => m[1]);
    assert.equal(messages.length, 7);

    const grammar = JSON.parse(fs.readFileSync(GRAMMAR, 'utf8'));
    const words = match => match.replace(/^\(\?i\)\(\?:/, '').replace(/\)\(\?!.*$/, '').split('|');
    const inGrammar = grammar.repository.keywords.patterns.flatMap(p => words(p.match));
    assert.deepEqual([...inGrammar].sort(), [...keywords].sort());
    const messageRule = grammar.repository['event-block'].patterns[0].match;
    const inRule = /\[ \\t\]\+\(([A-Z|]+)\)/.exec(messageRule)[1].split('|');
    assert.deepEqual([...inRule].sort(), [...messages].sort());
});
