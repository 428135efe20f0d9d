'use strict';
// The extension's wiring, with a stand-in for the editor API and for tessel:
// which runs it starts, where their findings land, and how a script is run.

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const os = require('os');
const path = require('path');
const Module = require('module');

// ---------------------------------------------------------------------------
// A stand-in for the parts of the editor API the extension uses.

class Range {
    constructor(l1, c1, l2, c2) { Object.assign(this, { l1, c1, l2, c2 }); }
}
class Diagnostic {
    constructor(range, message, severity) { Object.assign(this, { range, message, severity }); }
}

function fakeEditor() {
    const state = {
        config: {},
        handlers: {},
        commands: {},
        diagnostics: new Map(),
        warnings: [],
        infos: [],
        terminals: [],
        textDocuments: [],
        activeTextEditor: undefined,
        folder: undefined,  // the workspace folder's path, when there is one
    };
    const on = name => cb => { state.handlers[name] = cb; return { dispose() {} }; };
    state.api = {
        Range,
        Diagnostic,
        DiagnosticSeverity: { Error: 0, Warning: 1 },
        workspace: {
            getConfiguration: () => ({ get: key => state.config[key] }),
            get textDocuments() { return state.textDocuments; },
            getWorkspaceFolder: () => (state.folder ? { uri: { fsPath: state.folder } } : undefined),
            onDidOpenTextDocument: on('open'),
            onDidSaveTextDocument: on('save'),
            onDidCloseTextDocument: on('close'),
            onDidChangeConfiguration: on('config'),
        },
        languages: {
            createDiagnosticCollection: () => ({
                set: (uri, list) => state.diagnostics.set(uri.toString(), list),
                delete: uri => state.diagnostics.delete(uri.toString()),
                dispose() {},
            }),
        },
        commands: { registerCommand: (id, fn) => { state.commands[id] = fn; return { dispose() {} }; } },
        window: {
            showWarningMessage: m => state.warnings.push(m),
            showInformationMessage: m => state.infos.push(m),
            createTerminal: options => {
                const terminal = { options, shown: false, show() { this.shown = true; } };
                state.terminals.push(terminal);
                return terminal;
            },
            get activeTextEditor() { return state.activeTextEditor; },
        },
    };
    return state;
}

function loadExtension(api) {
    const file = require.resolve('../src/extension');
    delete require.cache[file];
    const load = Module._load;
    Module._load = function (request, ...rest) {
        return request === 'vscode' ? api : load.call(this, request, ...rest);
    };
    try {
        return require(file);
    } finally {
        Module._load = load;
    }
}

function document(fsPath, text, { languageId = 'tessel', scheme = 'file', dirty = false } = {}) {
    const lines = text.split('\n');
    const doc = {
        languageId,
        uri: { scheme, fsPath, toString: () => `${scheme}://${fsPath}` },
        lineCount: lines.length,
        lineAt: i => ({ text: lines[i] }),
        isUntitled: scheme === 'untitled',
        isDirty: dirty,
        saved: 0,
        save: async () => { doc.saved++; doc.isDirty = false; return true; },
    };
    return doc;
}

// ---------------------------------------------------------------------------
// A stand-in for tessel: answers --lint --format=json with a checker error on
// the line that assigns y and a warning, or with a usage error when
// FORMAT_MISSING is set. It notes each call in CALLS_FILE.

const WORK = fs.mkdtempSync(path.join(os.tmpdir(), 'tessel-extension-test-'));
const FAKE = path.join(WORK, 'fake-tessel');
const CALLS = path.join(WORK, 'calls.txt');
fs.writeFileSync(FAKE, `#!/usr/bin/env node
const fs = require('fs');
const args = process.argv.slice(2);
const script = args[args.length - 1];
fs.appendFileSync(${JSON.stringify(CALLS)}, args.join(' ') + ' ' + process.cwd() + '\\n');
if (process.env.FORMAT_MISSING) {
    process.stderr.write("tessel: unknown option '--format=json'\\n");
    process.exit(2);
}
const finding = (line, column, end, severity, caption, text, rule, hint) => JSON.stringify(
    { file: script, line, column, endLine: line, endColumn: end, severity, caption, text, rule, hint }) + '\\n';
process.stdout.write(finding(1, 5, 6, 'warning', '', 'x is never read', 'unused-variable', ''));
process.stdout.write(finding(3, 19, 20, 'error', 'ERROR', 'Variable ID not found! -{ y }-Line: 3', '', 'declare it'));
process.exit(1);
`);
fs.chmodSync(FAKE, 0o755);

const SCRIPT = path.join(WORK, 'prog.tsl');
const TEXT = 'VAR x\nx = 1\nPRINT 0, 0, "y" + y\n';

function calls() {
    return fs.existsSync(CALLS) ? fs.readFileSync(CALLS, 'utf8').trim().split('\n') : [];
}

test.afterEach(() => fs.rmSync(CALLS, { force: true }));
test.after(() => fs.rmSync(WORK, { recursive: true, force: true }));

test('opening a script runs the lint once and shows its findings at their places', async () => {
    const editor = fakeEditor();
    editor.config.executablePath = FAKE;
    loadExtension(editor.api).activate({ subscriptions: [] });
    const doc = document(SCRIPT, TEXT);
    await editor.handlers.open(doc);

    assert.deepEqual(calls(), [`--lint --format=json ${SCRIPT} ${WORK}`]);
    const shown = editor.diagnostics.get(doc.uri.toString());
    assert.deepEqual(shown.map(d => [d.severity, d.source, d.code, d.message, d.range]), [
        [1, 'tessel lint', 'unused-variable', 'x is never read', new Range(0, 4, 0, 5)],
        [0, 'tessel', undefined, 'ERROR: Variable ID not found! -{ y }-Line: 3\nhint: declare it', new Range(2, 18, 2, 19)],
    ]);

    // Saving runs it again; closing clears the findings.
    await editor.handlers.save(doc);
    assert.equal(calls().length, 2);
    editor.handlers.close(doc);
    assert.equal(editor.diagnostics.has(doc.uri.toString()), false);
});

test('a tessel without --format=json shows what it said, as one error', async () => {
    const editor = fakeEditor();
    editor.config.executablePath = FAKE;
    process.env.FORMAT_MISSING = '1';
    try {
        loadExtension(editor.api).activate({ subscriptions: [] });
        const doc = document(SCRIPT, TEXT);
        await editor.handlers.open(doc);
        const shown = editor.diagnostics.get(doc.uri.toString());
        assert.deepEqual(shown.map(d => [d.message, d.range]),
            [["tessel: unknown option '--format=json'", new Range(0, 0, 0, 5)]]);
    } finally {
        delete process.env.FORMAT_MISSING;
    }
});

test('documents of other languages and unsaved documents are not checked', async () => {
    const editor = fakeEditor();
    editor.config.executablePath = FAKE;
    loadExtension(editor.api).activate({ subscriptions: [] });
    await editor.handlers.open(document(path.join(WORK, 'notes.txt'), 'x', { languageId: 'plaintext' }));
    await editor.handlers.open(document('Untitled-1', 'VAR x', { scheme: 'untitled' }));
    assert.deepEqual(calls(), []);
    assert.equal(editor.diagnostics.size, 0);
});

test('scripts already open when the extension starts are checked', async () => {
    const editor = fakeEditor();
    editor.config.executablePath = FAKE;
    const doc = document(SCRIPT, TEXT);
    editor.textDocuments.push(doc);
    loadExtension(editor.api).activate({ subscriptions: [] });
    for (let i = 0; i < 100 && !editor.diagnostics.has(doc.uri.toString()); i++) {
        await new Promise(resolve => setTimeout(resolve, 50));
    }
    assert.equal(editor.diagnostics.get(doc.uri.toString()).length, 2);
});

test('a tessel that cannot be found is said once, and the setting is named', async () => {
    const editor = fakeEditor();
    editor.config.executablePath = path.join(WORK, 'no-such-tessel');
    loadExtension(editor.api).activate({ subscriptions: [] });
    await editor.handlers.open(document(SCRIPT, TEXT));
    await editor.handlers.save(document(SCRIPT, TEXT));
    assert.equal(editor.warnings.length, 1);
    assert.match(editor.warnings[0], /not found.*tessel\.executablePath/);
    assert.equal(editor.diagnostics.size, 0);
});

test('a relative executable path is taken from the workspace folder, or else the script\'s', async () => {
    const sub = path.join(WORK, 'scripts');
    fs.mkdirSync(sub, { recursive: true });
    const inSub = path.join(sub, 'p.tsl');
    for (const [folder, setting] of [[WORK, './fake-tessel'], [WORK, '${workspaceFolder}/fake-tessel'], [undefined, '../fake-tessel']]) {
        const editor = fakeEditor();
        editor.config.executablePath = setting;
        editor.folder = folder;
        loadExtension(editor.api).activate({ subscriptions: [] });
        await editor.handlers.open(document(inSub, TEXT));
        assert.deepEqual(calls(), [`--lint --format=json ${inSub} ${sub}`], setting);
        assert.deepEqual(editor.warnings, [], setting);
        fs.rmSync(CALLS);
        editor.activeTextEditor = { document: document(inSub, TEXT) };
        await editor.commands['tessel.runScript']();
        assert.equal(editor.terminals[0].options.shellPath, FAKE, setting);
    }
});

test('Run script saves the script and runs tessel on it in a terminal of its own', async () => {
    const editor = fakeEditor();
    editor.config.executablePath = FAKE;
    loadExtension(editor.api).activate({ subscriptions: [] });
    const doc = document(SCRIPT, TEXT, { dirty: true });
    editor.activeTextEditor = { document: doc };
    await editor.commands['tessel.runScript']();
    assert.equal(doc.saved, 1);
    assert.equal(editor.terminals.length, 1);
    const { options, shown } = editor.terminals[0];
    assert.deepEqual([options.shellPath, options.shellArgs, options.cwd], [FAKE, [SCRIPT], WORK]);
    assert.ok(shown);

    // Without a tessel script in the editor nothing runs.
    editor.activeTextEditor = { document: document(path.join(WORK, 'a.txt'), '', { languageId: 'plaintext' }) };
    await editor.commands['tessel.runScript']();
    assert.equal(editor.terminals.length, 1);
    assert.equal(editor.infos.length, 1);
});
