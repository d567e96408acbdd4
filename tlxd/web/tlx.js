// tlx.js: the TLX counter terminal from a web page, through tlxd, the local
// terminal service. One ES module, no dependencies.
//
//   import { Tlx } from './tlx.js';
//   const tlx = await Tlx.connect('ws://127.0.0.1:47215/', token);
//   const { model } = await tlx.checkOnline();
//   const { pinBlock } = await tlx.readPinDES({ prompt: 0, option: 0, timeout: 30 });
//
// Every TLX_ function is a method named after it (TLX_ReadPinDES ->
// readPinDES) that takes the function's arguments by name (the link is the
// service's) and returns a promise of its outputs. A failure rejects with a
// TlxError carrying the result code, its name and its text. Pass
// { signal } (an AbortSignal) as the second argument to cancel a call: a
// running command ends with TLX_ERR_CANCEL (the terminal still gets its
// closing step), a waiting one is dropped.

export class TlxError extends Error {
  constructor(code, name, text) {
    super(text);
    this.code = code;   // the result code: -1 .. -10 the library's, below -100 the service's
    this.name = name;   // "TLX_ERR_TIMEOUT", "TLXD_ERR_FORBIDDEN", ...
  }
}

// The connection to the service was lost (the service stopped or restarted).
export const DISCONNECTED = -112;

const FUNCTIONS = [
  'TLX_SetGlobalConfig', 'TLX_StartPQC', 'TLX_GetVer', 'TLX_GetUpdateStatus', 'TLX_SetVolume',
  'TLX_RestartSys', 'TLX_CheckOnline', 'TLX_SetShowDISP', 'TLX_SetPinLen', 'TLX_UpdateMKey',
  'TLX_ResetKey', 'TLX_DownLoadWKey', 'TLX_ActiveWKey', 'TLX_ReadPin', 'TLX_ReadPinDES',
  'TLX_ReadPinAnsi', 'TLX_StartInfo', 'TLX_StartEvaluator', 'TLX_StartKeyboard', 'TLX_StartSign',
  'TLX_DownLoadFile', 'TLX_DeleteFile', 'TLX_FindFileInfo', 'TLX_GetFileList',
];

// Arguments that are files: {name, data} with data as an ArrayBuffer, a
// typed array, a Blob or base64 text.
const FILE_ARGUMENTS = { TLX_StartSign: 'document', TLX_DownLoadFile: 'file' };

async function base64Of(data) {
  if (typeof data === 'string') return data;
  let bytes;
  if (data instanceof Blob) bytes = new Uint8Array(await data.arrayBuffer());
  else if (data instanceof ArrayBuffer) bytes = new Uint8Array(data);
  else if (ArrayBuffer.isView(data)) bytes = new Uint8Array(data.buffer, data.byteOffset, data.byteLength);
  else throw new TypeError('file data must be an ArrayBuffer, a typed array, a Blob or base64 text');
  let binary = '';
  for (let i = 0; i < bytes.length; i += 0x8000)
    binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
  return btoa(binary);
}

function failure(reply) {
  return new TlxError(reply.code, reply.name, reply.text);
}

export class Tlx {
  // Opens the WebSocket and presents the origin's token; rejects with a
  // TlxError when the service refuses.
  static connect(url, token) {
    return new Promise((resolve, reject) => {
      const socket = new WebSocket(url);
      const tlx = new Tlx(socket);
      socket.addEventListener('open', () => {
        tlx.call('hello', { token }).then((hello) => {
          tlx.functions = hello.functions;
          resolve(tlx);
        }, reject);
      }, { once: true });
      socket.addEventListener('close', (e) => {
        reject(new TlxError(DISCONNECTED, 'TLXD_ERR_DISCONNECTED',
          `no connection to the terminal service (${e.code}${e.reason ? ' ' + e.reason : ''})`));
      }, { once: true });
    });
  }

  constructor(socket) {
    this.socket = socket;
    this.nextId = 1;
    this.pending = new Map();
    this.functions = [];
    // Called with a TlxError when the connection ends.
    this.onclose = null;
    socket.addEventListener('message', (e) => this.#receive(e.data));
    socket.addEventListener('close', (e) => {
      const error = new TlxError(DISCONNECTED, 'TLXD_ERR_DISCONNECTED',
        `connection to the terminal service lost (${e.code}${e.reason ? ' ' + e.reason : ''})`);
      for (const p of this.pending.values()) p.reject(error);
      this.pending.clear();
      if (this.onclose) this.onclose(error);
    });
  }

  #receive(text) {
    let reply;
    try { reply = JSON.parse(text); } catch { return; }
    const p = this.pending.get(reply.id);
    if (!p) return;
    this.pending.delete(reply.id);
    if (reply.code === 0) p.resolve(reply.outputs || {});
    else p.reject(failure(reply));
  }

  #send(message) {
    if (this.socket.readyState !== WebSocket.OPEN)
      throw new TlxError(DISCONNECTED, 'TLXD_ERR_DISCONNECTED', 'not connected to the terminal service');
    this.socket.send(JSON.stringify(message));
  }

  // Any function by name ("TLX_GetVer", "status", ...).
  async call(fn, args = {}, { signal } = {}) {
    const fileArg = FILE_ARGUMENTS[fn];
    if (fileArg && args[fileArg] && typeof args[fileArg] === 'object') {
      const f = args[fileArg];
      args = { ...args, [fileArg]: { name: f.name, data: await base64Of(f.data) } };
    }
    if (signal && signal.aborted)
      throw new TlxError(-9, 'TLX_ERR_CANCEL', 'read cancelled');
    const id = this.nextId++;
    const result = new Promise((resolve, reject) => this.pending.set(id, { resolve, reject }));
    this.#send({ id, fn, args });
    if (signal) {
      const abort = () => {
        if (this.pending.has(id) && this.socket.readyState === WebSocket.OPEN)
          this.socket.send(JSON.stringify({ id: `cancel-${id}`, fn: 'cancel', args: { request: id } }));
      };
      signal.addEventListener('abort', abort, { once: true });
      result.finally(() => signal.removeEventListener('abort', abort)).catch(() => {});
    }
    return result;
  }

  // The link, the model last seen, the queue and the clients.
  status() { return this.call('status'); }

  close() { this.socket.close(1000); }
}

for (const fn of FUNCTIONS) {
  const method = fn.charAt(4).toLowerCase() + fn.slice(5);
  Tlx.prototype[method] = function (args, options) { return this.call(fn, args, options); };
}

// A signature image as a URL for an <img>.
export function imageUrl(base64Png) {
  return `data:image/png;base64,${base64Png}`;
}
