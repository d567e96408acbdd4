// The example teller page: checks the terminal online, takes a PIN block, a
// rating, an amount and a signature on a receipt, and shows the results.
// The page is served by tlxd itself; its token comes in the address's
// fragment (#token=...), which never travels to a server, and is kept for
// this tab only.
import { Tlx, TlxError, imageUrl } from './tlx.js';

const $ = (id) => document.getElementById(id);

function token() {
  const m = /(?:^#|&)token=([^&]+)/.exec(location.hash);
  if (m) {
    sessionStorage.setItem('tlx-token', decodeURIComponent(m[1]));
    history.replaceState(null, '', location.pathname);
  }
  return sessionStorage.getItem('tlx-token') || '';
}

function log(text) {
  const li = document.createElement('li');
  li.textContent = `${new Date().toLocaleTimeString()} ${text}`;
  $('log').prepend(li);
}

function show(id, text, failed = false) {
  $(id).textContent = text;
  $(id).classList.toggle('error', failed);
}

function describe(e) {
  return e instanceof TlxError ? `${e.name} (${e.code}): ${e.message}` : String(e);
}

let tlx = null;

// Runs one step: its button is disabled meanwhile; a failure is shown in its
// result field. Resolves to true on success.
async function step(button, resultId, action) {
  $(button).disabled = true;
  try {
    const text = await action();
    show(resultId, text);
    log(`${button}: ${text}`);
    return true;
  } catch (e) {
    show(resultId, describe(e), true);
    log(`${button}: ${describe(e)}`);
    return false;
  } finally {
    $(button).disabled = false;
  }
}

const steps = {
  online: () => step('online', 'online-result', async () => {
    const { model } = await tlx.checkOnline();
    return `online, model ${model ?? 'unknown'}`;
  }),
  pin: () => step('pin', 'pin-result', async () => {
    const abort = new AbortController();
    $('pin-cancel').disabled = false;
    $('pin-cancel').onclick = () => abort.abort();
    try {
      const { pinBlock } = await tlx.readPinDES({ prompt: 0, option: 0, timeout: 60 }, { signal: abort.signal });
      return pinBlock;
    } finally {
      $('pin-cancel').disabled = true;
    }
  }),
  rating: () => step('rating', 'rating-result', async () => {
    const { answer } = await tlx.startEvaluator({
      tellerName: $('teller-name').value, tellerNo: $('teller-no').value, stars: 5, timeout: 60,
    });
    return answer;
  }),
  amount: () => step('amount', 'amount-result', async () => {
    const { input } = await tlx.startKeyboard({ timeout: 60, mode: 0 });
    return input;
  }),
  sign: () => step('sign', 'sign-result', async () => {
    const amount = $('amount-result').textContent || '—';
    const receipt = `<html><body><h1>Receipt</h1><p>Amount: ${amount.replace(/[<&]/g, '')}</p>` +
      '<p>Please sign below.</p></body></html>';
    const { image, trajectory } = await tlx.startSign({
      timeout: 120, document: { name: 'receipt.html', data: new TextEncoder().encode(receipt) },
    });
    $('sign-image').src = imageUrl(image);
    $('sign-image').hidden = false;
    const strokes = trajectory ? trajectory.strokes.length : 0;
    const points = trajectory ? trajectory.strokes.reduce((n, s) => n + s.length, 0) : 0;
    return `signed: ${strokes} strokes, ${points} points`;
  }),
};

async function everything() {
  $('all').disabled = true;
  show('all-result', '');
  let ok = true;
  for (const name of ['online', 'pin', 'rating', 'amount', 'sign']) ok = (await steps[name]()) && ok;
  show('all-result', ok ? 'all steps done' : 'some steps failed', !ok);
  $('all').disabled = false;
}

async function start() {
  for (const b of ['online', 'pin', 'rating', 'amount', 'sign', 'all']) $(b).disabled = true;
  try {
    tlx = await Tlx.connect(`ws://${location.host}/`, token());
  } catch (e) {
    show('connection', describe(e), true);
    return;
  }
  show('connection', 'connected');
  tlx.onclose = (e) => show('connection', describe(e), true);
  for (const [name, run] of Object.entries(steps)) {
    $(name).disabled = false;
    $(name).onclick = run;
  }
  $('all').disabled = false;
  $('all').onclick = everything;
}

start();
