'use strict';
// The extension's wiring, with stand-ins for the editor API and for the
// language client: which server it starts and when, what it says when tessel
// is missing, and how a script is run. (test/server.test.js talks to the
// real server.)

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const os = require('os');
const path = require('path');
const Module = require('module');

// ---------------------------------------------------------------------------
// A stand-in for the parts of the editor API the extension uses.


function fakeEditor() {
    const state = {
        config: {},
        handlers: {},
        commands: {},
        warnings: [],
        infos: [],
        terminals: [],
        activeTextEditor: undefined,
        folder: undefined,  // the workspace folder's path, when there is one
        debugProviders: {},
        debugFactories: {},
        debugSessions: [],
    };
    const on = name => cb => { state.handlers[name] = cb; return { dispose() {} }; };
    state.api = {
        workspace: {
            getConfiguration: () => ({ get: key => state.config[key] }),
            getWorkspaceFolder: () => (state.folder ? { uri: { fsPath: state.folder } } : undefined),
            get workspaceFolders() { return state.folder ? [{ uri: { fsPath: state.folder } }] : undefined; },
            onDidChangeConfiguration: on('config'),
        },
        commands: { registerCommand: (id, fn) => { state.commands[id] = fn; return { dispose() {} }; } },
        debug: {
            registerDebugConfigurationProvider: (type, provider) => {
                state.debugProviders[type] = provider; return { dispose() {} };
            },
            registerDebugAdapterDescriptorFactory: (type, factory) => {
                state.debugFactories[type] = factory; return { dispose() {} };
            },
            startDebugging: async (folder, config) => { state.debugSessions.push({ folder, config }); return true; },
        },
        Uri: { file: fsPath => ({ scheme: 'file', fsPath }) },
        DebugAdapterExecutable: class { constructor(command, args) { Object.assign(this, { command, args }); } },
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

// A stand-in for the language client: records what it was started with;
// START_ERROR makes start() fail as it does when the executable is missing.
const clients = [];
class FakeClient {
    constructor(id, name, serverOptions, clientOptions) {
        Object.assign(this, { id, name, serverOptions, clientOptions, started: false, stopped: false });
        clients.push(this);
    }
    async start() {
        if (process.env.START_ERROR) throw Object.assign(new Error('spawn failed'), { code: process.env.START_ERROR });
        this.started = true;
    }
    async stop() { this.stopped = true; }
}

function loadExtension(api) {
    const file = require.resolve('../src/extension');
    delete require.cache[file];
    const load = Module._load;
    Module._load = function (request, ...rest) {
        if (request === 'vscode') return api;
        if (request === 'vscode-languageclient/node') return { LanguageClient: FakeClient };
        return load.call(this, request, ...rest);
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

const WORK = fs.mkdtempSync(path.join(os.tmpdir(), 'tessel-extension-test-'));
const SCRIPT = path.join(WORK, 'prog.tsl');
const TEXT = 'VAR x\nx = 1\n';

test.beforeEach(() => { clients.length = 0; });
test.after(() => fs.rmSync(WORK, { recursive: true, force: true }));

test('activation starts tessel --lsp for tessel scripts', async () => {
    const editor = fakeEditor();
    editor.config.executablePath = '/opt/tessel/bin/tessel';
    await loadExtension(editor.api).activate({ subscriptions: [] });
    assert.equal(clients.length, 1);
    const [c] = clients;
    assert.ok(c.started);
    assert.deepEqual(c.serverOptions, { command: '/opt/tessel/bin/tessel', args: ['--lsp'] });
    assert.deepEqual(c.clientOptions.documentSelector, [{ language: 'tessel' }]);
    assert.deepEqual(editor.warnings, []);
});

test('a relative executable path is taken from the workspace folder', async () => {
    for (const setting of ['./build/tessel', '${workspaceFolder}/build/tessel']) {
        clients.length = 0;
        const editor = fakeEditor();
        editor.config.executablePath = setting;
        editor.folder = WORK;
        await loadExtension(editor.api).activate({ subscriptions: [] });
        assert.equal(clients[0].serverOptions.command, path.join(WORK, 'build', 'tessel'), setting);
    }
    // A bare name is left to the PATH.
    const editor = fakeEditor();
    await loadExtension(editor.api).activate({ subscriptions: [] });
    assert.equal(clients[clients.length - 1].serverOptions.command, 'tessel');
});

test('a tessel that cannot be started is said once, and the setting is named', async () => {
    const editor = fakeEditor();
    editor.config.executablePath = path.join(WORK, 'no-such-tessel');
    process.env.START_ERROR = 'ENOENT';
    try {
        await loadExtension(editor.api).activate({ subscriptions: [] });
    } finally {
        delete process.env.START_ERROR;
    }
    assert.equal(editor.warnings.length, 1);
    assert.match(editor.warnings[0], /not found.*tessel\.executablePath/);
});

test('changing the executable restarts the server with the new one', async () => {
    const editor = fakeEditor();
    editor.config.executablePath = '/a/tessel';
    await loadExtension(editor.api).activate({ subscriptions: [] });
    editor.config.executablePath = '/b/tessel';
    await editor.handlers.config({ affectsConfiguration: key => key === 'tessel.executablePath' });
    assert.equal(clients.length, 2);
    assert.ok(clients[0].stopped);
    assert.equal(clients[1].serverOptions.command, '/b/tessel');
    // Other settings leave it alone.
    await editor.handlers.config({ affectsConfiguration: () => false });
    assert.equal(clients.length, 2);
});

test('Run script saves the script and runs tessel on it in a terminal of its own', async () => {
    const editor = fakeEditor();
    editor.config.executablePath = '${workspaceFolder}/tessel';
    editor.folder = WORK;
    await loadExtension(editor.api).activate({ subscriptions: [] });
    const doc = document(SCRIPT, TEXT, { dirty: true });
    editor.activeTextEditor = { document: doc };
    await editor.commands['tessel.runScript']();
    assert.equal(doc.saved, 1);
    assert.equal(editor.terminals.length, 1);
    const { options, shown } = editor.terminals[0];
    assert.deepEqual([options.shellPath, options.shellArgs, options.cwd], [path.join(WORK, 'tessel'), [SCRIPT], WORK]);
    assert.ok(shown);

    // Without a tessel script in the editor nothing runs.
    editor.activeTextEditor = { document: document(path.join(WORK, 'a.txt'), '', { languageId: 'plaintext' }) };
    await editor.commands['tessel.runScript']();
    assert.equal(editor.terminals.length, 1);
    assert.equal(editor.infos.length, 1);
});

test('on Windows the installed tessel.exe is found without a setting', () => {
    const { defaultExecutable } = loadExtension(fakeEditor().api);
    assert.equal(defaultExecutable('linux', { PATH: '/usr/bin' }), 'tessel');
    const programFiles = fs.mkdtempSync(path.join(os.tmpdir(), 'tessel-pf-'));
    const onPath = fs.mkdtempSync(path.join(os.tmpdir(), 'tessel-path-'));
    try {
        // Nothing installed: the bare name, left to the PATH.
        assert.equal(defaultExecutable('win32', { PATH: onPath, ProgramFiles: programFiles }), 'tessel.exe');
        fs.mkdirSync(path.join(programFiles, 'tessel'));
        fs.writeFileSync(path.join(programFiles, 'tessel', 'tessel.exe'), '');
        assert.equal(defaultExecutable('win32', { PATH: onPath, ProgramFiles: programFiles }),
            path.join(programFiles, 'tessel', 'tessel.exe'));
        // One on the PATH comes first.
        fs.writeFileSync(path.join(onPath, 'tessel.exe'), '');
        assert.equal(defaultExecutable('win32', { PATH: onPath, ProgramFiles: programFiles }), 'tessel.exe');
    } finally {
        fs.rmSync(programFiles, { recursive: true, force: true });
        fs.rmSync(onPath, { recursive: true, force: true });
    }
});

test('F5 debugs the script in the editor with tessel --dap', async () => {
    const editor = fakeEditor();
    editor.config.executablePath = '${workspaceFolder}/build/tessel';
    editor.folder = WORK;
    await loadExtension(editor.api).activate({ subscriptions: [] });
    const provider = editor.debugProviders.tessel;
    const factory = editor.debugFactories.tessel;
    assert.ok(provider && factory, 'the tessel debug type is registered');

    // No launch.json: the script in the editor, or nothing to debug.
    editor.activeTextEditor = { document: document(SCRIPT, TEXT) };
    const config = provider.resolveDebugConfiguration(undefined, {});
    assert.deepEqual(config, { type: 'tessel', request: 'launch', name: 'Debug the script', program: '${file}' });
    editor.activeTextEditor = { document: document(path.join(WORK, 'a.txt'), '', { languageId: 'plaintext' }) };
    assert.deepEqual(provider.resolveDebugConfiguration(undefined, {}), {});
    // A launch configuration keeps what it says and gets a program when it has none.
    const own = { type: 'tessel', request: 'launch', name: 'x', headless: true };
    assert.equal(provider.resolveDebugConfiguration(undefined, own).program, '${file}');

    const adapter = factory.createDebugAdapterDescriptor({ configuration: { program: SCRIPT } });
    assert.deepEqual([adapter.command, adapter.args], [path.join(WORK, 'build', 'tessel'), ['--dap']]);

    // The Debug script command saves the script and starts a session on it.
    const doc = document(SCRIPT, TEXT, { dirty: true });
    editor.activeTextEditor = { document: doc };
    await editor.commands['tessel.debugScript']();
    assert.equal(doc.saved, 1);
    assert.equal(editor.debugSessions.length, 1);
    assert.equal(editor.debugSessions[0].config.program, SCRIPT);
});
