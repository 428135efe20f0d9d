// Modal dialogs of the page itself (not the script's message boxes): a
// message, and the share dialog. Focus goes into the dialog and back where
// it was when it closes; Escape closes it.
import qrcode from 'qrcode-generator';

const layer = document.getElementById('dialog-layer');

// Shows a dialog titled `title` with the nodes `body` and the buttons
// [{label, run}] (the first is the default); resolves with the label of
// the button that closed it, or null for Escape.
export function dialog(title, body, buttons = [{ label: 'OK' }]) {
  const back = document.activeElement;
  const box = document.createElement('div');
  box.className = 'dialog';
  box.setAttribute('role', 'alertdialog');
  box.setAttribute('aria-modal', 'true');
  const h = document.createElement('h2');
  h.id = 'dialog-title';
  h.textContent = title;
  box.setAttribute('aria-labelledby', h.id);
  const row = document.createElement('div');
  row.className = 'buttons';
  box.append(h, ...body, row);
  layer.replaceChildren(box);
  layer.hidden = false;
  return new Promise((resolve) => {
    const close = (label) => {
      layer.hidden = true;
      layer.replaceChildren();
      document.removeEventListener('keydown', onKey, true);
      if (back && back.focus) back.focus();
      resolve(label);
    };
    const onKey = (e) => {
      if (e.key === 'Escape') {
        e.preventDefault();
        e.stopPropagation();
        close(null);
      }
    };
    document.addEventListener('keydown', onKey, true);
    for (const b of buttons) {
      const el = document.createElement('button');
      el.textContent = b.label;
      el.addEventListener('click', () => {
        if (b.run) b.run();
        close(b.label);
      });
      row.appendChild(el);
    }
    (box.querySelector('input') || row.firstChild).focus();
  });
}

export function paragraph(text, className) {
  const p = document.createElement('p');
  p.textContent = text;
  if (className) p.className = className;
  return p;
}

export const message = (title, text, buttons) => dialog(title, [paragraph(text)], buttons);

// The share dialog: the link (copied already when the browser let us), a QR
// code of it when it fits one, and what an embed takes.
export function shareDialog(link, copied, fromDisk) {
  const field = document.createElement('input');
  field.type = 'text';
  field.readOnly = true;
  field.value = link;
  field.setAttribute('aria-label', 'Link to the script');
  field.addEventListener('focus', () => field.select());
  const body = [paragraph(copied ? 'Copied: the link is on the clipboard.' : 'Copy the link (Ctrl+C):',
    copied ? 'copied' : ''), field];
  try {
    const qr = qrcode(0, 'L');
    qr.addData(link);
    qr.make();
    const img = document.createElement('img');
    img.className = 'qr';
    img.alt = 'QR code of the link';
    // Whole pixels a module, the code at most about 300 pixels wide.
    const cell = Math.max(2, Math.min(6, Math.floor(300 / (qr.getModuleCount() + 8))));
    img.src = qr.createDataURL(cell, 4 * cell);
    body.push(img);
  } catch (e) {
    body.push(paragraph('The link is too long for a QR code.', 'note'));
  }
  const embed = link.replace(/^([^#?]*)(\?[^#]*)?#/, '$1?embed#');
  body.push(paragraph('To show the running script in another page:', 'note'));
  const code = document.createElement('input');
  code.type = 'text';
  code.readOnly = true;
  code.value = `<iframe src="${embed}" width="640" height="506" style="border:0"></iframe>`;
  code.setAttribute('aria-label', 'Embed code');
  code.addEventListener('focus', () => code.select());
  body.push(code);
  if (fromDisk) {
    body.push(paragraph('This page runs from a file on this computer, so the link works only here. ' +
      'Put tessel.html on a web host to share links with others (the README says how).', 'note'));
  }
  return dialog('Share', body, [{ label: 'Done' }]);
}
