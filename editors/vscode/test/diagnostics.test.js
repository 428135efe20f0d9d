'use strict';
// The reader of tessel's --lint --format=json findings. The samples in
// fixtures/ are what tessel wrote for the scripts beside them: NAME.json the
// output, statuses.json the exit statuses (fixtures/regenerate.sh makes them
// anew with the real binary).

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const path = require('path');
const { parseFindings, findingsOf, rangeFor, displayMessage } = require('../src/diagnostics');

const FIXTURES = path.join(__dirname, 'fixtures');
const STATUSES = JSON.parse(fs.readFileSync(path.join(FIXTURES, 'statuses.json'), 'utf8'));
const cp1252 = new TextDecoder('windows-1252');

// A recorded run of `tessel --lint --format=json NAME.tsl`, as the extension gets it.
function run(name) {
    return { status: STATUSES[name], output: fs.readFileSync(path.join(FIXTURES, `${name}.json`)) };
}

// The lines of a fixture script as an editor opening it as Windows-1252 shows them.
function scriptLines(name) {
    return cp1252.decode(fs.readFileSync(path.join(FIXTURES, `${name}.tsl`))).split('\n');
}

// Where a record lands in its fixture script: [line, start, end], 0-based,
// and the text it covers.
function placed(name, d) {
    const lines = scriptLines(name);
    const lineText = d.line === null ? lines[0] : lines[d.line - 1];
    const r = rangeFor(d, lineText);
    return [r.line, r.start, r.end, lineText.slice(r.start, r.end)];
}

test('errors of broken scripts: one record each, at the token or block concerned, with its hint', () => {
    const cases = [
        // name, caption, text, where it lands, hint (a start of it, or null)
        ['undeclared', 'ERROR', 'Variable ID not found! -{ y }-Line: 3', [2, 0, 1, 'y'], null],
        ['function_not_found', 'FN_ERROR', 'Function not found! -{ Board2 }-Line: 4', [3, 0, 6, 'Board2'], null],
        ['goto_missing', 'ERROR~GOTO', 'Cannot found label :Nowhere -Line: 3', [2, 7, 14, 'Nowhere'], null],
        ['unclosed_quote', 'T:Error', 'Unclosed Quote!- at LINE: 1', [1, 4, 9, '"open'], 'close the string literal'],
        ['missing_paren', 'T:Error', 'Missing right paren! ((...)- at LINE: 2', [2, 4, 5, '('], null],
        ['reserved_name', 'ERROR~FUNC', 'Function witout name! -{ draw }-Line: 1', [0, 5, 9, 'draw'],
            'DRAW is a reserved word'],
        // The box names no line; the finding names the WHILE left open.
        ['while_without_wend', 'LOOP ERROR', 'WHILE without WEND , check code!', [1, 0, 5, 'WHILE'],
            'this WHILE has no WEND'],
        // The box counts lines from 0; the finding names line 2.
        // (This node's decoder may read byte 0x93 as U+0093; tessel writes it as Windows-1252 has it.)
        ['curly_quote', 'T:Error', 'Unknown token!-[ \u201c ] at LINE: 1', [1, 4, 5, cp1252.decode(Buffer.from([0x93]))],
            'a curly quote'],
        // Bytes of the script read as Windows-1252, as the editor shows them.
        ['bad_byte', 'T:Error', 'Unknown token!-[ \u00e9 ] at LINE: 1', [1, 15, 16, '\u00e9'], null],
    ];
    for (const [name, caption, text, where, hint] of cases) {
        assert.equal(STATUSES[name], 1, name);
        const found = findingsOf(run(name));
        assert.equal(found.length, 1, name);
        const [d] = found;
        assert.deepEqual([d.severity, d.caption, d.text, d.rule], ['error', caption, text, null], name);
        assert.equal(d.message, `${caption}: ${text}`, name);
        assert.deepEqual(placed(name, d), where, name);
        if (hint) {
            assert.ok(d.hint.startsWith(hint), `${name}: ${d.hint}`);
            assert.equal(displayMessage(d), `${d.message}\nhint: ${d.hint}`);
        } else if (d.hint === null) {
            assert.equal(displayMessage(d), d.message);
        }
    }
});

test('warnings: one record a finding with its rule, at its column; an ignore comment silences one', () => {
    assert.equal(STATUSES.warnings, 1, 'warnings alone make the lint fail');
    const found = findingsOf(run('warnings'));
    // The second x += 1 (line 9) carries the ignore comment above it.
    assert.deepEqual(found.map(d => [d.line, d.column, d.severity, d.rule]), [
        [4, 1, 'warning', 'no-effect'],
        [5, 17, 'warning', 'number-in-string'],
        [6, 13, 'warning', 'print-items'],
        [7, 8, 'warning', 'colour-range'],
    ]);
    assert.equal(found[0].message, 'x += 1 does nothing; write x = x + 1');
    assert.equal(found[0].caption, null);
    // Columns count bytes of the script, one character each as the editor shows
    // Windows-1252: n stands after the two non-ASCII letters of the text.
    assert.deepEqual(found.map(d => placed('warnings', d)),
        [[3, 0, 1, 'x'], [4, 16, 17, 'n'], [5, 12, 13, 'x'], [6, 7, 10, '300']]);
    assert.match(found[1].text, /"Gr\u00f6\u00dfe: "/, 'texts arrive as UTF-8');
});

test('a clean script has no findings; an unreadable one gives one error with no place', () => {
    assert.equal(STATUSES.clean, 0);
    assert.deepEqual(findingsOf(run('clean')), []);
    const found = findingsOf(run('missing'));
    assert.equal(found.length, 1);
    assert.deepEqual([found[0].line, found[0].column, found[0].caption], [null, null, 'Program Exit!']);
    assert.match(found[0].text, /^Cannot open source file: missing\.tsl: /);
    // It goes on the first line, over its code.
    assert.deepEqual(rangeFor(found[0], '  VAR x \' note'), { line: 0, start: 2, end: 7 });
});

test('output that is no finding: stray lines are passed over; a failed run still shows one error', () => {
    const mixed = Buffer.from([
        'tessel: cannot write log.json: Permission denied',
        '{"file":"p.tsl","line":2,"column":1,"endLine":2,"endColumn":2,"severity":"error","caption":"ERROR",' +
            '"text":"Variable ID not found! -{ y }-Line: 2","rule":"","hint":""}',
        '{not json',
        '{"unrelated": true}',
        '',
    ].join('\r\n'), 'utf8');
    assert.deepEqual(parseFindings(mixed).map(d => [d.line, d.caption]), [[2, 'ERROR']]);
    // A tessel too old for --format=json (a usage error), or a crash.
    const [old] = findingsOf({ status: 2, output: 'tessel: unknown option \'--format=json\'\n' });
    assert.deepEqual([old.line, old.severity, old.message], [null, 'error', 'tessel: unknown option \'--format=json\'']);
    const [silent] = findingsOf({ status: 139, output: '' });
    assert.equal(silent.message, 'tessel --lint ended with status 139');
    assert.deepEqual(findingsOf({ status: null, output: '' }), []);
});

test('rangeFor keeps a span within its line', () => {
    const d = { line: 2, column: 40, endColumn: 44, text: '' };
    assert.deepEqual(rangeFor(d, 'x = 1'), { line: 1, start: 5, end: 5 });
    // A line the document does not have gives an empty span.
    assert.deepEqual(rangeFor({ line: 9, column: 3, endColumn: 4, text: 'x' }, undefined), { line: 8, start: 0, end: 0 });
    // A place at a line end covers nothing past it.
    assert.deepEqual(rangeFor({ line: 1, column: 6, endColumn: 7, text: '' }, 'x = 1'), { line: 0, start: 5, end: 5 });
});
