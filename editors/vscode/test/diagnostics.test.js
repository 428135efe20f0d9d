'use strict';
// The reader of tessel's --check and --lint output. The samples in fixtures/
// are what tessel printed for the scripts beside them: NAME.check and NAME.lint
// the output, statuses.json the exit statuses (fixtures/regenerate.sh makes
// them anew). A hand-written --lint sample covers forms those scripts do not
// give rise to: a warning without a column, CR LF line ends.

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const path = require('path');
const { parseOutput, collect, rangeFor, quotedToken, displayMessage } = require('../src/diagnostics');

const FIXTURES = path.join(__dirname, 'fixtures');
const STATUSES = JSON.parse(fs.readFileSync(path.join(FIXTURES, 'statuses.json'), 'utf8'));
const cp1252 = new TextDecoder('windows-1252');

// A recorded run of `tessel --MODE NAME.tsl`, as the extension gets it.
function run(mode, name) {
    return { status: STATUSES[mode][name], output: fs.readFileSync(path.join(FIXTURES, `${name}.${mode}`)) };
}
const checkRun = name => run('check', name);
const lintRun = name => run('lint', name);

// The lines of a fixture script as an editor opening it as Windows-1252 shows them.
function scriptLines(name) {
    return cp1252.decode(fs.readFileSync(path.join(FIXTURES, `${name}.tsl`))).split('\n');
}

// Where a record lands in its fixture script: [line, start, end], 0-based.
function placed(name, d) {
    const lines = scriptLines(name);
    const r = rangeFor(d, d.line === null ? lines[0] : lines[d.line - 1]);
    return [r.line, r.start, r.end];
}

const pick = d => ({ line: d.line, column: d.column, severity: d.severity, caption: d.caption, text: d.text });

test('--check samples: one record per error, follow-up boxes dropped, placed on the token named', () => {
    const cases = [
        ['undeclared', 3, 'ERROR', 'Variable ID not found! -{ y }-Line: 3', [2, 0, 1]],
        ['function_not_found', 4, 'FN_ERROR', 'Function not found! -{ Board2 }-Line: 4', [3, 0, 6]],
        ['goto_missing', 3, 'ERROR~GOTO', 'Cannot found label :Nowhere -Line: 3', [2, 7, 14]],
        ['unclosed_quote', 2, 'T:Error', 'Unclosed Quote!- at LINE: 1', [1, 0, 9]],
        ['missing_paren', 3, 'T:Error', 'Missing right paren! ((...)- at LINE: 2', [2, 0, 10]],
        ['while_without_wend', null, 'LOOP ERROR', 'WHILE without WEND , check code!', [0, 0, 5]],
    ];
    for (const [name, line, caption, text, where] of cases) {
        const found = collect(checkRun(name), null, `${name}.tsl`);
        assert.deepEqual(found.map(pick), [{ line, column: null, severity: 'error', caption, text }], name);
        assert.equal(found[0].message, `${caption}: ${text}`, name);
        assert.deepEqual(placed(name, found[0]), where, name);
        if (line !== null) assert.equal(found[0].sourceLine, scriptLines(name)[line - 1], `${name}: echoed line`);
    }
});

test('--check sample with Windows-1252 bytes: the UTF-8 output reads back as the script shows them', () => {
    const [d, ...more] = collect(checkRun('bad_byte'), null, 'bad_byte.tsl');
    assert.equal(more.length, 0);
    assert.equal(d.text, 'Unknown token!-[ \u00e9 ] at LINE: 1');
    assert.equal(d.sourceLine, 's = "caf\u00e9 \u20ac" + \u00e9', 'byte 0x80 is the euro sign, as in Windows-1252');
    // The quoted byte is found outside the string, where the tokenizer met it.
    assert.deepEqual(placed('bad_byte', d), [1, 15, 16]);
});

test('--check: an unreadable script is one error without a line; a clean script none', () => {
    const found = collect(checkRun('missing'), null, 'missing.tsl');
    assert.equal(found.length, 1);
    assert.equal(found[0].line, null);
    assert.equal(found[0].caption, 'Program Exit!');
    assert.match(found[0].text, /^Cannot open source file: missing\.tsl: /);
    assert.equal(STATUSES.check.clean, 0);
    assert.deepEqual(collect(checkRun('clean'), null, 'clean.tsl'), []);
});

test('--lint sample: one warning a finding, with its rule, placed at its column; caret lines are no records', () => {
    const found = parseOutput(lintRun('warnings').output, 'warnings.tsl');
    assert.equal(STATUSES.lint.warnings, 1, 'warnings alone make the lint fail');
    assert.equal(STATUSES.check.warnings, 0, 'while the checker passes the script');
    // The second x += 1 (line 9) carries the ignore comment above it.
    assert.deepEqual(found.map(d => [d.line, d.column, d.severity, d.rule, d.origin]), [
        [4, 1, 'warning', 'no-effect', 'lint'],
        [5, 17, 'warning', 'number-in-string', 'lint'],
        [6, 13, 'warning', 'print-items', 'lint'],
        [7, 8, 'warning', 'colour-range', 'lint'],
    ]);
    const lines = scriptLines('warnings');
    for (const d of found) {
        assert.equal(d.sourceLine, lines[d.line - 1], `line ${d.line}: echoed line`);
        assert.equal(d.caretColumn, d.column, `line ${d.line}: the caret stands under the column`);
        assert.equal(d.hint, undefined);
        assert.ok(!d.message.endsWith(']'), `line ${d.line}: the rule is not part of the message`);
    }
    assert.equal(found[0].message, 'x += 1 does nothing; write x = x + 1');
    // Columns count bytes of the script, one character each as the editor shows
    // Windows-1252: n stands after the two non-ASCII letters of the text.
    assert.deepEqual(found.map(d => placed('warnings', d)), [[3, 0, 1], [4, 16, 17], [5, 12, 13], [6, 7, 10]]);
    // Checker and lint together: the lint's warnings, nothing twice.
    assert.deepEqual(collect(checkRun('warnings'), lintRun('warnings'), 'warnings.tsl').map(d => d.rule),
        ['no-effect', 'number-in-string', 'print-items', 'colour-range']);
    assert.deepEqual(collect(checkRun('clean'), lintRun('clean'), 'clean.tsl'), []);
});

test('--lint samples of broken scripts: the lint form replaces the checker error and adds its column', () => {
    const cases = [
        // name, line, column, message
        ['undeclared', 3, 1, 'ERROR: Variable ID not found! -{ y }-Line: 3'],
        ['bad_byte', 2, 16, 'T:Error: Unknown token!-[ \u00e9 ] at LINE: 1'],
        ['unclosed_quote', 2, 5, 'T:Error: Unclosed Quote!- at LINE: 1'],
        ['reserved_name', 1, 6, 'ERROR~FUNC: Function witout name! -{ draw }-Line: 1'],
        ['while_without_wend', null, null, 'LOOP ERROR: WHILE without WEND , check code!'],
        ['missing', null, null, 'Program Exit!: Cannot open source file: missing.tsl: No such file or directory'],
    ];
    for (const [name, line, column, message] of cases) {
        assert.equal(STATUSES.lint[name], 1, name);
        const found = collect(checkRun(name), lintRun(name), `${name}.tsl`);
        assert.deepEqual(found.map(d => [d.origin, d.severity, d.line, d.column, d.message]),
            [['lint', 'error', line, column, message]], name);
        if (line !== null) assert.equal(found[0].caretColumn, column, `${name}: caret`);
    }
    // Every other broken script gets exactly one record, from the lint, too.
    for (const name of ['function_not_found', 'goto_missing', 'missing_paren']) {
        const found = collect(checkRun(name), lintRun(name), `${name}.tsl`);
        assert.deepEqual(found.map(d => [d.origin, d.severity]), [['lint', 'error']], name);
        assert.equal(found[0].message, collect(checkRun(name), null, `${name}.tsl`)[0].message, name);
    }
});

test('--lint hint: kept beside the message, which still matches the checker\'s, and shown under it', () => {
    const [d] = parseOutput(lintRun('reserved_name').output, 'reserved_name.tsl');
    assert.equal(d.sourceLine, 'FUNC draw()');
    assert.equal(d.caretColumn, 6);
    assert.match(d.hint, /^DRAW is a reserved word of the language and cannot name a function/);
    assert.deepEqual(placed('reserved_name', d), [0, 5, 9]);
    assert.equal(displayMessage(d), `${d.message}\nhint: ${d.hint}`);
    const [plain] = parseOutput(lintRun('undeclared').output, 'undeclared.tsl');
    assert.equal(displayMessage(plain), plain.message);
});

const LINT = [
    'prog.tsl:4:13: warning: x is read before any assignment [read-before-write]',
    '    PRINT 0, 0, x',
    '                ^',
    'prog.tsl:7:1: warning: nothing runs after GOTO on this line [unreachable]',
    '    GOTO top : y = 1',
    '    ^~~~',
    'prog.tsl: warning: label spare is never jumped to [unused-label]',
    'prog.tsl:9: warning: FOR loop without NEXT',
    '      FOR i = 1 TO 3',
    '      ^',
    'prog.tsl:2:14: error: T:Error: Unknown token!-[ \u00e9 ] at LINE: 1',
    '    s = "caf\u00e9" + \u00e9 + "x"',
    '                 ^',
    'prog.tsl: error: LOOP ERROR: WHILE without WEND , check code!',
    '',
].join('\n');

test('--lint lines: severity, rule, column, caret line and lines without a number', () => {
    const found = parseOutput(LINT, 'prog.tsl');
    assert.deepEqual(found.map(d => [d.line, d.column, d.severity, d.rule, d.origin]), [
        [4, 13, 'warning', 'read-before-write', 'lint'],
        [7, 1, 'warning', 'unreachable', 'lint'],
        [null, null, 'warning', 'unused-label', 'lint'],
        [9, 3, 'warning', null, 'lint'],  // the column comes from the caret line
        [2, 14, 'error', null, 'lint'],
        [null, null, 'error', null, 'lint'],
    ]);
    assert.equal(found[0].message, 'x is read before any assignment');
    assert.equal(found[0].sourceLine, 'PRINT 0, 0, x');
    assert.equal(found[0].caretColumn, 13, 'the caret stands under the column given');
    assert.equal(found[3].message, 'FOR loop without NEXT');
    assert.equal(found[4].caption, 'T:Error');
    assert.equal(found[4].text, 'Unknown token!-[ \u00e9 ] at LINE: 1');
    assert.equal(found[4].caretColumn, 14, 'one column a character, as one a byte in the script');
    assert.equal(found[5].message, 'LOOP ERROR: WHILE without WEND , check code!');
    // A column covers the token that starts there.
    assert.deepEqual(rangeFor(found[0], found[0].sourceLine), { line: 3, start: 12, end: 13 });
    assert.deepEqual(rangeFor(found[1], found[1].sourceLine), { line: 6, start: 0, end: 4 });
    assert.deepEqual(rangeFor(found[4], found[4].sourceLine), { line: 1, start: 13, end: 14 });
});

test('--lint output as bytes: UTF-8 text and CR LF line ends', () => {
    const bytes = Buffer.from(LINT.replace(/\n/g, '\r\n'), 'utf8');
    const found = parseOutput(bytes, 'prog.tsl');
    assert.equal(found.length, 6);
    assert.equal(found[4].text, 'Unknown token!-[ \u00e9 ] at LINE: 1');
    assert.equal(found[4].sourceLine, 's = "caf\u00e9" + \u00e9 + "x"');
    assert.equal(found[2].rule, 'unused-label');
});

test('lines of other files and stray output are no diagnostics', () => {
    const out = [
        'other.tsl:3: ERROR: Variable ID not found! -{ q }-Line: 3',
        '    q = 1',
        'tessel: cannot write log.json: Permission denied',
        'prog.tsl:5: ERROR: Variable ID not found! -{ z }-Line: 5',
        '    z = 2',
        '    that line was the only one echoed',
        'prog.tsl5: no colon after the name',
    ].join('\n');
    const found = parseOutput(out, 'prog.tsl');
    assert.deepEqual(found.map(d => [d.line, d.text]), [[5, 'Variable ID not found! -{ z }-Line: 5']]);
    assert.equal(found[0].sourceLine, 'z = 2');
    assert.equal(found[0].column, null, 'a second echoed line is no caret line');
});

test('a script path holding colons and blanks is matched as given', () => {
    const script = 'C:\\my scripts\\a:b.tsl';
    const out = `${script}:12: ERROR: Variable ID not found! -{ n }-Line: 12\n    n = 1\n${script}: Program Exit!: END\n`;
    const found = parseOutput(out, script);
    assert.deepEqual(found.map(pick), [{ line: 12, column: null, severity: 'error', caption: 'ERROR', text: 'Variable ID not found! -{ n }-Line: 12' }]);
    // Without the path, a numbered line is still recognised.
    assert.equal(parseOutput(`/tmp/x.tsl:3:4: warning: w [r]\n`)[0].column, 4);
});

test('collect: a lint error replaces the same checker error; warnings stay beside it', () => {
    const check = { status: 1, output: 'p.tsl:2: ERROR: Variable ID not found! -{ y }-Line: 2\n    y = 1\np.tsl: Program Exit!: END\n' };
    const lint = {
        status: 1,
        output: 'p.tsl:1:5: warning: x is never used [unused-variable]\n    VAR x\n        ^\n' +
            'p.tsl:2:1: error: ERROR: Variable ID not found! -{ y }-Line: 2\n    y = 1\n    ^\n',
    };
    const found = collect(check, lint, 'p.tsl');
    assert.deepEqual(found.map(d => [d.origin, d.severity, d.line, d.column]), [
        ['lint', 'warning', 1, 5],
        ['lint', 'error', 2, 1],
    ]);
    // A checker error the lint run does not repeat is kept.
    const otherLine = { status: 1, output: 'p.tsl:3:1: error: ERROR: Variable ID not found! -{ y }-Line: 3\n' };
    assert.equal(collect(check, otherLine, 'p.tsl').length, 2);
});

test('collect: a tessel without --lint, or one that cannot start, adds nothing', () => {
    const check = { status: 0, output: '' };
    const usage = { status: 2, output: 'tessel: unknown option --lint\nusage: tessel [options] SCRIPT\n' };
    assert.deepEqual(collect(check, usage, 'p.tsl'), []);
    assert.deepEqual(collect(check, { status: null, output: '' }, 'p.tsl'), []);
    assert.deepEqual(collect({ status: null, output: '' }, null, 'p.tsl'), []);
});

test('collect: a failed run whose output cannot be read still shows one error', () => {
    const [d, ...more] = collect({ status: 1, output: '\nSegmentation fault\n' }, null, 'p.tsl');
    assert.equal(more.length, 0);
    assert.deepEqual([d.line, d.severity, d.message], [null, 'error', 'Segmentation fault']);
    const [silent] = collect({ status: 139, output: '' }, null, 'p.tsl');
    assert.equal(silent.message, 'tessel --check ended with status 139');
});

test('rangeFor: quoted names outside strings and comments, whole lines otherwise', () => {
    const at = (text, lineText) => rangeFor({ line: 1, column: null, text }, lineText);
    // The name is found as a whole token, case-insensitively, not inside a longer name or a string.
    assert.deepEqual(at('Variable ID not found! -{ y }-Line: 1', 'PRINT 0, yy, "y" + Y'), { line: 0, start: 19, end: 20 });
    assert.deepEqual(at('Variable ID not found! -{ y }-Line: 1', "PRINT 0, 0, yy ' y"), { line: 0, start: 0, end: 14 });
    assert.deepEqual(at('Unclosed Quote!- at LINE: 0', '  s = "x  '), { line: 0, start: 2, end: 8 });
    // A column past the end of the line is clamped.
    assert.deepEqual(rangeFor({ line: 2, column: 40, text: '' }, 'x = 1'), { line: 1, start: 5, end: 5 });
    // A line the document does not have gives an empty span.
    assert.deepEqual(rangeFor({ line: 9, column: null, text: 'x' }, undefined), { line: 8, start: 0, end: 0 });
    assert.equal(quotedToken('Invalid Argument(1)! -{ WMPAINT }-Line: 3'), 'WMPAINT');
    assert.equal(quotedToken('WHILE without WEND , check code!'), null);
});
