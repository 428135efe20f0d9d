// The code editor: CodeMirror with the language's colouring, block
// indentation, bracket matching, search and replace, the checker's and the
// lint's findings as underlines and gutter marks, completion and hover from
// the language server's own code (compiled into the module), and one undo
// history over every document shown in it (a switch of document is undone
// like an edit).
import { autocompletion } from '@codemirror/autocomplete';
import { defaultKeymap, history, historyKeymap, indentLess, indentMore, invertedEffects, isolateHistory }
  from '@codemirror/commands';
import { bracketMatching, indentOnInput, indentUnit } from '@codemirror/language';
import { forceLinting, lintGutter, linter } from '@codemirror/lint';
import { highlightSelectionMatches, search, searchKeymap } from '@codemirror/search';
import { Compartment, EditorState, Prec, StateEffect, StateField } from '@codemirror/state';
import { EditorView, drawSelection, highlightActiveLine, highlightActiveLineGutter,
  highlightSpecialChars, hoverTooltip, keymap, lineNumbers } from '@codemirror/view';
import { tessel, tesselColours } from './language.js';
import { breakpointList, debugEffects, debugGutter, lineNow } from './debug-gutter.js';

// The document shown: its name (see store.js) and the line end its bytes use.
const switchDoc = StateEffect.define();
const docField = StateField.define({
  create: () => ({ doc: null, eol: '\n' }),
  update(value, tr) {
    for (const e of tr.effects) if (e.is(switchDoc)) value = e.value.to;
    return value;
  },
});
// Undoing a switch switches back.
const undoSwitch = invertedEffects.of((tr) =>
  tr.effects.filter((e) => e.is(switchDoc)).map((e) => switchDoc.of({ from: e.value.to, to: e.value.from })));

// Tab indents and Shift+Tab outdents the lines of the selection; Escape
// leaves the editor (after closing what it has open: search, tooltips).
function keys(handlers) {
  return [
    Prec.high(keymap.of([
      { key: 'Mod-Enter', run: () => { handlers.run(); return true; } },
      { key: 'Mod-.', run: () => { handlers.stop(); return true; } },
    ])),
    keymap.of([
      ...defaultKeymap, ...historyKeymap, ...searchKeymap,
      { key: 'Tab', run: indentMore, shift: indentLess },
    ]),
    Prec.lowest(keymap.of([{ key: 'Escape', run: (view) => { view.contentDOM.blur(); handlers.leave(); return true; } }])),
  ];
}

// --- completion and hover ---------------------------------------------------------
// The module answers in the Language Server Protocol's shapes: lines from 0,
// columns in UTF-16 units, as CodeMirror counts positions.

// The protocol's completion kinds as CodeMirror's icon types.
const completionTypes = { 3: 'function', 6: 'variable', 14: 'keyword', 18: 'constant', 23: 'enum' };

// A keyword's or name's documentation (Markdown: a tessel code block, then
// text) as a node: the form in monospace, the text under it.
function docNode(markdown) {
  const dom = document.createElement('div');
  dom.className = 'cm-tessel-doc';
  const m = /^```tessel\n([\s\S]*?)\n```\n*([\s\S]*)$/.exec(markdown);
  if (m) {
    const form = document.createElement('code');
    form.textContent = m[1];
    dom.appendChild(form);
  }
  const text = document.createElement('p');
  text.textContent = (m ? m[2] : markdown).replace(/`/g, '');
  if (text.textContent) dom.appendChild(text);
  return dom;
}

const where = (state, pos) => {
  const line = state.doc.lineAt(pos);
  return [line.number - 1, pos - line.from];
};

// What can stand at the cursor: asked when a word is being written, after
// WINMSG or GOTO, or on Ctrl+Space.
async function completions(context, ask) {
  const word = context.matchBefore(/[A-Za-z_][A-Za-z0-9_]*/);
  if (!word && !context.explicit && !context.matchBefore(/\b(WINMSG|GOTO)[ \t]+$/i)) return null;
  const [line, character] = where(context.state, context.pos);
  const items = await ask('completion', context.state.doc.toString(), line, character);
  if (context.aborted || !items || items.length === 0) return null;
  return {
    from: word ? word.from : context.pos,
    validFor: /^[A-Za-z_][A-Za-z0-9_]*$/,
    options: items.map((i) => ({
      label: i.label,
      type: completionTypes[i.kind],
      detail: i.detail,
      apply: i.insertText,
      info: i.documentation ? () => docNode(i.documentation.value) : undefined,
    })),
  };
}

async function hover(view, pos, ask) {
  const [line, character] = where(view.state, pos);
  const h = await ask('hover', view.state.doc.toString(), line, character);
  if (!h) return null;
  const at = (p) => view.state.doc.line(p.line + 1).from + p.character;
  return { pos: at(h.range.start), end: at(h.range.end), above: true, create: () => ({ dom: docNode(h.contents.value) }) };
}

// The page runs this file as a script of its own (see main.js), which
// leaves its functions here.

// `handlers`: run(), stop(), leave() (Escape), changed(state, userEdit)
// after every change of text or document, findings(text) -> the list the
// lint shows (see findingsToDiagnostics), ask(question, text, line,
// character) -> the module's answer (see lint-worker.js), debug: the
// debugger's gutter (see debug-gutter.js).
function createEditor(parent, handlers) {
  const fontSize = new Compartment();
  const view = new EditorView({
    parent,
    state: EditorState.create({
      extensions: [
        debugGutter(handlers.debug),  // the debugger's breakpoints and run line
        lineNumbers(), highlightActiveLineGutter(), highlightSpecialChars(), history(),
        drawSelection(), indentOnInput(), bracketMatching(), highlightActiveLine(),
        highlightSelectionMatches(), search({ top: true }),
        EditorState.tabSize.of(4), indentUnit.of('    '),
        tessel, tesselColours, docField, undoSwitch,
        linter((v) => handlers.findings(v), { delay: 400 }), lintGutter(),
        autocompletion({ override: [(context) => completions(context, handlers.ask)] }),
        hoverTooltip((view, pos) => hover(view, pos, handlers.ask), { hoverTime: 400 }),
        keys(handlers),
        fontSize.of([]),
        EditorView.contentAttributes.of({ 'aria-label': 'Script editor', 'aria-describedby': 'editor-help' }),
        EditorView.updateListener.of((u) => {
          const switched = u.transactions.some((tr) => tr.effects.some((e) => e.is(switchDoc)));
          if (u.docChanged || switched) handlers.changed(u.state, u.docChanged && !switched);
        }),
      ],
    }),
  });
  return {
    view,
    text: () => view.state.doc.toString(),
    doc: () => view.state.field(docField),
    // Shows `text` as document `doc` (line ends `eol`), as one step the
    // undo history can take back.
    show(doc, text, eol) {
      view.dispatch({
        changes: { from: 0, to: view.state.doc.length, insert: text },
        effects: switchDoc.of({ from: view.state.field(docField), to: { doc, eol } }),
        selection: { anchor: 0 },
        scrollIntoView: true,
        annotations: isolateHistory.of('full'),
      });
    },
    jumpTo(line, column = 1) {
      const l = view.state.doc.line(Math.max(1, Math.min(line, view.state.doc.lines)));
      const at = Math.min(l.from + column - 1, l.to);
      view.dispatch({ selection: { anchor: at, head: l.to > at ? l.to : at }, scrollIntoView: true });
      view.focus();
    },
    setFontSize(px) {
      view.dispatch({ effects: fontSize.reconfigure(EditorView.theme({ '&': { fontSize: px + 'px' } })) });
    },
    relint: () => forceLinting(view),
    // The debugger's marks (debug-gutter.js).
    breakpoints: () => breakpointList(view.state),
    showRunLine: (line) => debugEffects.showLine(view, line),
    lineNow: (runLine) => lineNow(view.state, runLine),
    runStarted: () => debugEffects.runStarted(view),
    runEnded: () => debugEffects.runEnded(view),
    setBreakpoint: (line, condition, hits) => debugEffects.set(view, line, condition, hits),
  };
}

window.tesselEditor = { createEditor, findingsToDiagnostics };

// The engine's findings (JSON objects with 1-based line and column, and
// their ends) as the editor's diagnostics; those that name no line are left
// to the problems list.
function findingsToDiagnostics(doc, findings) {
  const out = [];
  for (const f of findings) {
    if (f.line < 1 || f.line > doc.lines) continue;
    const line = doc.line(f.line);
    const from = Math.min(line.from + f.column - 1, line.to);
    let to = f.endLine === f.line ? Math.min(line.from + f.endColumn - 1, line.to) : line.to;
    if (to <= from) to = Math.min(from + 1, doc.length);
    out.push({
      from, to,
      severity: f.severity === 'error' ? 'error' : 'warning',
      source: f.rule || f.caption || undefined,
      message: (f.caption ? f.caption + ': ' : '') + f.text + (f.hint ? '\nHint: ' + f.hint : ''),
    });
  }
  return out;
}
