'use strict';
// The real `tessel --lsp` over JSON-RPC, through the same protocol library
// the extension's language client uses: what the editor gets for a script
// with a function, a label, an array and an error. TESSEL_BINARY names the
// tessel to run (default: build/tessel of this checkout).

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const path = require('path');
const { spawn } = require('child_process');
const rpc = require('vscode-jsonrpc/node');

const TESSEL = process.env.TESSEL_BINARY || path.resolve(__dirname, '../../../build/tessel');
const URI = 'file:///scripts/demo.tsl';
const SCRIPT = [
    'VAR x',             // 0
    'STR names[3]',      // 1
    'FUNC show()',       // 2
    'PRINT 0, 0, x',     // 3
    'ENDFN',             // 4
    'LABEL again',       // 5
    'x = x + 1',         // 6
    'names[x] = "é"',    // 7
    'show()',            // 8
    'GOTO again',        // 9
    'y = 2',             // 10: y is declared nowhere
    '',
].join('\n');

function startServer() {
    assert.ok(fs.existsSync(TESSEL), `no tessel at ${TESSEL}: build it first (make build) or set TESSEL_BINARY`);
    const child = spawn(TESSEL, ['--lsp'], { stdio: ['pipe', 'pipe', 'inherit'] });
    const connection = rpc.createMessageConnection(
        new rpc.StreamMessageReader(child.stdout), new rpc.StreamMessageWriter(child.stdin));
    const diagnostics = [];
    let waiting = null;
    connection.onNotification('textDocument/publishDiagnostics', params => {
        diagnostics.push(params);
        if (waiting) waiting();
    });
    connection.listen();
    const exited = new Promise(resolve => child.on('exit', code => resolve(code)));
    async function nextDiagnostics() {
        while (diagnostics.length === 0) await new Promise(resolve => { waiting = resolve; });
        return diagnostics.shift();
    }
    return { child, connection, exited, nextDiagnostics };
}

const position = (line, character) => ({ textDocument: { uri: URI }, position: { line, character } });

test('an editor session: diagnostics, completion, hover, definition, references, rename, shutdown', async () => {
    const { connection, exited, nextDiagnostics } = startServer();
    const init = await connection.sendRequest('initialize',
        { processId: process.pid, rootUri: null, capabilities: {}, initializationOptions: { diagnosticDelay: 0 } });
    assert.equal(init.serverInfo.name, 'tessel');
    assert.equal(init.capabilities.positionEncoding, 'utf-16');
    connection.sendNotification('initialized', {});
    connection.sendNotification('textDocument/didOpen',
        { textDocument: { uri: URI, languageId: 'tessel', version: 1, text: SCRIPT } });

    const published = await nextDiagnostics();
    assert.equal(published.uri, URI);
    assert.equal(published.diagnostics.length, 1);
    assert.deepEqual(published.diagnostics[0].range, { start: { line: 10, character: 0 }, end: { line: 10, character: 1 } });
    assert.match(published.diagnostics[0].message, /^ERROR: Variable ID not found! -\{ y \}-Line: 11/);

    const completion = await connection.sendRequest('textDocument/completion', position(11, 0));
    const labels = completion.map(i => i.label);
    for (const expected of ['PRINT', 'show', 'names', 'x']) assert.ok(labels.includes(expected), expected);
    assert.ok(!labels.includes('SIN'), 'no function at a statement start');

    const hover = await connection.sendRequest('textDocument/hover', position(7, 1));
    assert.match(hover.contents.value, /STR names\[3\]/);
    const keyword = await connection.sendRequest('textDocument/hover', position(9, 1));
    assert.match(keyword.contents.value, /GOTO name/);

    const definition = await connection.sendRequest('textDocument/definition', position(9, 6));
    assert.deepEqual(definition, { uri: URI, range: { start: { line: 5, character: 6 }, end: { line: 5, character: 11 } } });
    const references = await connection.sendRequest('textDocument/references',
        { ...position(6, 0), context: { includeDeclaration: true } });
    assert.deepEqual(references.map(r => r.range.start.line), [0, 3, 6, 6, 7]);

    const rename = await connection.sendRequest('textDocument/rename', { ...position(2, 6), newName: 'display' });
    assert.equal(rename.changes[URI].length, 2);
    await assert.rejects(connection.sendRequest('textDocument/rename', { ...position(2, 6), newName: 'wend' }),
        /reserved word/);

    // The error mended: the diagnostics go.
    connection.sendNotification('textDocument/didChange', {
        textDocument: { uri: URI, version: 2 },
        contentChanges: [{ text: SCRIPT.replace('y = 2', 'x = 2') }],
    });
    const mended = await nextDiagnostics();
    assert.equal(mended.version, 2);
    assert.ok(mended.diagnostics.every(d => d.severity === 2), JSON.stringify(mended.diagnostics));

    await connection.sendRequest('shutdown');
    connection.sendNotification('exit');
    assert.equal(await exited, 0);
    connection.dispose();
});
