'use strict';
// The real `tessel --dap` as VS Code drives it when F5 is pressed on a
// script: the requests of a session in the order the editor sends them, a
// breakpoint in the gutter, the variables view, a watch, a step, a step
// back in the toolbar and the end of the run. TESSEL_BINARY names the
// tessel to run (default: build/tessel of this checkout).

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { spawn } = require('child_process');

const TESSEL = process.env.TESSEL_BINARY || path.resolve(__dirname, '../../../build/tessel');
const WORK = fs.mkdtempSync(path.join(os.tmpdir(), 'tessel-debugger-test-'));
const SCRIPT = path.join(WORK, 'count.tsl');
fs.writeFileSync(SCRIPT, [
    'VAR total',            // 1
    'VAR i',                // 2
    'STR name',             // 3
    'name = "sum"',         // 4
    'WHILE i < 4',          // 5
    '  i = i + 1',          // 6
    '  total = total + i',  // 7
    'WEND',                 // 8
    'PRINT 0, 0, total',    // 9
    '',
].join('\n'));
test.after(() => fs.rmSync(WORK, { recursive: true, force: true }));

// A debug adapter over a child's standard input and output, framed as the
// protocol frames its messages.
function startAdapter() {
    assert.ok(fs.existsSync(TESSEL), `no tessel at ${TESSEL}: build it first (make build) or set TESSEL_BINARY`);
    const child = spawn(TESSEL, ['--dap'], { stdio: ['pipe', 'pipe', 'inherit'] });
    let buffer = Buffer.alloc(0);
    let seq = 0;
    const responses = new Map();
    const events = [];
    let wake = () => {};
    child.stdout.on('data', chunk => {
        buffer = Buffer.concat([buffer, chunk]);
        for (;;) {
            const end = buffer.indexOf('\r\n\r\n');
            if (end < 0) return;
            const length = Number(/Content-Length: (\d+)/i.exec(buffer.subarray(0, end).toString())[1]);
            if (buffer.length < end + 4 + length) return;
            const message = JSON.parse(buffer.subarray(end + 4, end + 4 + length).toString('utf8'));
            buffer = buffer.subarray(end + 4 + length);
            if (message.type === 'response') responses.set(message.request_seq, message);
            else events.push(message);
            wake();
        }
    });
    const exited = new Promise(resolve => child.on('exit', code => resolve(code)));
    async function until(found) {
        for (;;) {
            const value = found();
            if (value !== undefined) return value;
            await new Promise((resolve, reject) => {
                const timer = setTimeout(() => reject(new Error('the adapter said nothing for 10 s')), 10000);
                wake = () => { clearTimeout(timer); resolve(); };
            });
        }
    }
    async function request(command, args = {}) {
        const body = JSON.stringify({ seq: ++seq, type: 'request', command, arguments: args });
        child.stdin.write(`Content-Length: ${Buffer.byteLength(body)}\r\n\r\n${body}`);
        const mine = seq;
        const response = await until(() => responses.get(mine));
        assert.ok(response.success, `${command}: ${response.message}`);
        return response.body;
    }
    async function event(name) {
        return until(() => {
            const at = events.findIndex(e => e.event === name);
            return at < 0 ? undefined : events.splice(at, 1)[0];
        });
    }
    return { request, event, exited, events };
}

test('a session: breakpoint, variables, watch, step, step back, end', async () => {
    const dap = startAdapter();
    const caps = await dap.request('initialize', { adapterID: 'tessel', linesStartAt1: true, columnsStartAt1: true });
    assert.ok(caps.supportsStepBack && caps.supportsConditionalBreakpoints && caps.supportsEvaluateForHovers);
    await dap.request('launch', { type: 'tessel', request: 'launch', program: SCRIPT, headless: true, args: ['-q'] });
    await dap.event('initialized');
    const set = await dap.request('setBreakpoints',
        { source: { path: SCRIPT }, breakpoints: [{ line: 7, condition: 'i = 3' }] });
    assert.equal(set.breakpoints[0].verified, true);
    await dap.request('configurationDone');

    const stopped = await dap.event('stopped');
    assert.equal(stopped.body.reason, 'breakpoint');
    const threads = await dap.request('threads');
    const threadId = threads.threads[0].id;
    const where = async () => {
        const trace = await dap.request('stackTrace', { threadId });
        return trace.stackFrames.map(f => `${f.name}:${f.line}`);
    };
    const values = async () => {
        const { scopes } = await dap.request('scopes', { frameId: 1 });
        const { variables } = await dap.request('variables', { variablesReference: scopes[0].variablesReference });
        return Object.fromEntries(variables.map(v => [v.name, v.value]));
    };
    assert.deepEqual(await where(), ['main program:7']);
    assert.deepEqual(await values(), { total: '3', i: '3', name: '"sum"' });
    const watch = await dap.request('evaluate', { expression: 'total * 10 + i', context: 'watch', frameId: 1 });
    assert.equal(watch.result, '33');
    const hover = await dap.request('evaluate', { expression: 'name', context: 'hover', frameId: 1 });
    assert.equal(hover.result, '"sum"');

    await dap.request('next', { threadId });
    await dap.event('stopped');
    assert.deepEqual(await where(), ['main program:8']);
    assert.equal((await values()).total, '6');

    await dap.request('stepBack', { threadId });
    assert.equal((await dap.event('stopped')).body.reason, 'step');
    assert.deepEqual(await where(), ['main program:7']);
    assert.deepEqual(await values(), { total: '3', i: '3', name: '"sum"' });

    await dap.request('continue', { threadId });
    assert.equal((await dap.event('exited')).body.exitCode, 0);
    await dap.event('terminated');
    assert.ok(dap.events.some(e => e.event === 'output' && e.body.output === '10\n'), 'the PRINT in the console');
    await dap.request('disconnect');
    assert.equal(await dap.exited, 0);
});
