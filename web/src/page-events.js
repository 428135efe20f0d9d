// The kinds of input the page hands to a run, named as the browser backend
// names them (`PageEventKind` in its header, which the build reads into
// TESSEL_PAGE_EVENTS): Move, ButtonDown, ButtonUp, KeyDown, KeyUp, Text,
// Expose, BoxButton, BoxKey, BoxClose, Close.
/* global TESSEL_PAGE_EVENTS */
export const EVENT = Object.freeze(TESSEL_PAGE_EVENTS);
