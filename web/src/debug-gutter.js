// The debugger's marks in the editor: breakpoints in a gutter of their own
// (a click, or F9 on the cursor's line, sets or clears one; Shift+click,
// Shift+F9 or the context menu asks for a condition and a hit count), kept on their lines while the
// text is edited around them, and the line the paused run stands at. While
// a debugged run is under way, its lines are those of the text it runs:
// breakpoints are told by those lines, and its stops shown where those
// lines are now, however the text has been edited since.
import { ChangeSet, RangeSet, StateEffect, StateField } from '@codemirror/state';
import { Decoration, EditorView, GutterMarker, gutter, keymap } from '@codemirror/view';

class BreakpointMark extends GutterMarker {
  constructor(condition, hitCondition) {
    super();
    this.condition = condition || '';
    this.hitCondition = hitCondition || '';
  }
  eq(other) { return other.condition === this.condition && other.hitCondition === this.hitCondition; }
  toDOM() {
    const dot = document.createElement('span');
    dot.className = this.condition || this.hitCondition ? 'cm-breakpoint conditional' : 'cm-breakpoint';
    dot.textContent = '\u25cf';
    dot.title = 'Breakpoint' + (this.condition ? ' when ' + this.condition : '') +
      (this.hitCondition ? ' (hits ' + this.hitCondition + ')' : '');
    return dot;
  }
}

// Keeps the gutter as wide as a mark.
const spacer = new class extends GutterMarker {
  toDOM() {
    const s = document.createElement('span');
    s.textContent = '\u25cf';
    return s;
  }
}();

// Sets ({pos, condition, hitCondition}) or clears ({pos, clear: true}) the breakpoint of
// the line at pos.
const setBreakpoint = StateEffect.define({ map: (v, m) => ({ ...v, pos: m.mapPos(v.pos) }) });

const breakpoints = StateField.define({
  create: () => RangeSet.empty,
  update(set, tr) {
    set = set.map(tr.changes);
    for (const e of tr.effects) {
      if (!e.is(setBreakpoint)) continue;
      const from = tr.state.doc.lineAt(e.value.pos).from;
      set = set.update({ filter: (f) => f !== from });
      if (!e.value.clear) set = set.update({ add: [new BreakpointMark(e.value.condition, e.value.hitCondition).range(from)] });
    }
    return set;
  },
});

// The line the paused run stands at (0: none).
const showRunLine = StateEffect.define();
const runLine = StateField.define({
  create: () => Decoration.none,
  update(deco, tr) {
    deco = deco.map(tr.changes);
    for (const e of tr.effects) {
      if (!e.is(showRunLine)) continue;
      deco = Decoration.none;
      if (e.value > 0 && e.value <= tr.state.doc.lines) {
        deco = Decoration.set([Decoration.line({ class: 'cm-debug-line', attributes: { 'aria-current': 'step' } })
          .range(tr.state.doc.line(e.value).from)]);
      }
    }
    return deco;
  },
  provide: (f) => EditorView.decorations.from(f),
});

// The text a debugged run runs (null: none under way) and the edits made
// since it began.
const runStarts = StateEffect.define();
const runEnds = StateEffect.define();
const runText = StateField.define({
  create: () => null,
  update(run, tr) {
    for (const e of tr.effects) {
      if (e.is(runStarts)) run = { doc: tr.state.doc, since: ChangeSet.empty(tr.state.doc.length).desc };
      if (e.is(runEnds)) run = null;
    }
    if (run && tr.docChanged && !tr.effects.some((e) => e.is(runStarts))) {
      run = { doc: run.doc, since: run.since.composeDesc(tr.changes.desc) };
    }
    return run;
  },
});

// The line of the run's text that the line at `from` stands for; 0 for a
// line written since the run began.
function runLineOf(run, from) {
  let added = false;
  run.since.iterChangedRanges((fromA, toA, fromB, toB) => { if (fromB < from && from <= toB) added = true; });
  return added ? 0 : run.doc.lineAt(run.since.invertedDesc.mapPos(from, 1)).number;
}

// Where line `runLine` of the debugged run's text stands in the text now
// (a line deleted since: where it was); with no run under way, the line
// itself.
export function lineNow(state, runLine) {
  const run = state.field(runText);
  return run && runLine > 0 && runLine <= run.doc.lines
    ? state.doc.lineAt(run.since.mapPos(run.doc.line(runLine).from)).number : runLine;
}

// The breakpoints as [{line, condition, hitCondition}], in line order: the
// lines of the run's text while a debugged run is under way.
export function breakpointList(state) {
  const out = [];
  const run = state.field(runText);
  for (let it = state.field(breakpoints).iter(); it.value; it.next()) {
    const line = run ? runLineOf(run, it.from) : state.doc.lineAt(it.from).number;
    if (line > 0) out.push({ line, condition: it.value.condition, hitCondition: it.value.hitCondition });
  }
  return out;
}

function markAt(view, from) {
  let found = null;
  view.state.field(breakpoints).between(from, from, (f, t, v) => { if (f === from) found = v; });
  return found;
}

// `changed(list)` after each change of the breakpoints or of their lines;
// `askCondition(line, {condition, hitCondition})` -> the new ones ('' for
// none) or null; `edited()` after each edit while a debugged run is under
// way (the run's lines stand elsewhere now).
export function debugGutter({ changed, askCondition, edited }) {
  const toggle = (view, from) => {
    const had = markAt(view, from);
    view.dispatch({ effects: setBreakpoint.of(had ? { pos: from, clear: true } : { pos: from }) });
    return true;
  };
  const editCondition = async (view, from) => {
    const had = markAt(view, from);
    const line = view.state.doc.lineAt(from).number;
    const asked = await askCondition(line, had || { condition: '', hitCondition: '' });
    if (asked === null) return;
    view.dispatch({ effects: setBreakpoint.of({ pos: view.state.doc.line(line).from, ...asked }) });
  };
  let last = '[]';
  return [
    breakpoints, runLine, runText,
    gutter({
      class: 'cm-breakpoint-gutter',
      markers: (view) => view.state.field(breakpoints),
      initialSpacer: () => spacer,
      domEventHandlers: {
        mousedown(view, line, event) {
          if (event.button !== 0) return false;
          if (event.shiftKey) editCondition(view, line.from);
          else toggle(view, line.from);
          return true;
        },
        contextmenu(view, line, event) {
          event.preventDefault();
          editCondition(view, line.from);
          return true;
        },
      },
    }),
    keymap.of([
      { key: 'F9', run: (view) => toggle(view, view.state.doc.lineAt(view.state.selection.main.head).from) },
      { key: 'Shift-F9', run: (view) => { editCondition(view, view.state.doc.lineAt(view.state.selection.main.head).from); return true; } },
    ]),
    EditorView.updateListener.of((u) => {
      if (u.docChanged && u.state.field(runText)) edited();
      const now = JSON.stringify(breakpointList(u.state));
      if (now !== last) {
        last = now;
        changed(JSON.parse(now));
      }
    }),
  ];
}

export const debugEffects = {
  // A debugged run of the text as it stands begins, or has ended.
  runStarted(view) { view.dispatch({ effects: runStarts.of(null) }); },
  runEnded(view) { view.dispatch({ effects: runEnds.of(null) }); },
  // Shows the run's line (0: none) and brings it into view.
  showLine(view, runLine) {
    const line = lineNow(view.state, runLine);
    const effects = [showRunLine.of(line)];
    if (line > 0 && line <= view.state.doc.lines) effects.push(EditorView.scrollIntoView(view.state.doc.line(line).from, { y: 'center' }));
    view.dispatch({ effects });
  },
  // Sets the breakpoint of `line` (with its conditions), for the page's tests.
  set(view, line, condition = '', hitCondition = '') {
    view.dispatch({ effects: setBreakpoint.of({ pos: view.state.doc.line(line).from, condition, hitCondition }) });
  },
};
