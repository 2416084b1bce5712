// Drives the real application with the official MCP TypeScript SDK client, used as a black box
// through its public API: over stdio through `inkwarden --stdio` (which starts the application),
// and over Streamable HTTP with the bearer token.
//
// node sdk_client.mjs <inkwarden executable> <node tools folder>
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import crypto from 'node:crypto';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';

const [executable, nodeTools] = process.argv.slice(2).map((given) => path.resolve(given));
const sdk = createRequire(path.join(nodeTools, 'package.json'));
const { Client } = sdk('@modelcontextprotocol/sdk/client/index.js');
const { StdioClientTransport } = sdk('@modelcontextprotocol/sdk/client/stdio.js');
const { StreamableHTTPClientTransport } = sdk('@modelcontextprotocol/sdk/client/streamableHttp.js');

const kTools = [
  'discard_signatures', 'get_company_profile', 'remove_company_stamp', 'request_signature', 'request_stamp',
  'set_company_stamp', 'set_company_text', 'sign_document', 'sign_documents',
];

// Every folder of the application in a sandbox of this run; the application started by the relay
// inherits it, so it is told apart from any other by its XDG_RUNTIME_DIR.
const home = fs.mkdtempSync(path.join(os.tmpdir(), 'inkwarden-interop-'));
const runtimeDir = path.join(home, 'run');
const env = {
  ...process.env,
  HOME: home,
  XDG_CONFIG_HOME: path.join(home, 'config'),
  XDG_DATA_HOME: path.join(home, 'data'),
  XDG_RUNTIME_DIR: runtimeDir,
  QT_QPA_PLATFORM: 'offscreen',
};
const token = crypto.randomBytes(24).toString('hex');
let endpoint;

async function freePort() {
  const server = net.createServer();
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address();
  await new Promise((resolve) => server.close(resolve));
  return port;
}

/// Process ids of the applications this run started (not the relays).
function applications() {
  const found = [];
  for (const entry of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    try {
      const environ = fs.readFileSync(`/proc/${entry}/environ`, 'utf8').split('\0');
      const args = fs.readFileSync(`/proc/${entry}/cmdline`, 'utf8').split('\0').filter(Boolean);
      const state = fs.readFileSync(`/proc/${entry}/stat`, 'utf8').split(') ')[1][0];
      if (state !== 'Z' && environ.includes(`XDG_RUNTIME_DIR=${runtimeDir}`) && args.length === 1 &&
          path.basename(args[0]) === path.basename(executable)) {
        found.push(Number(entry));
      }
    } catch {
      // gone meanwhile, or not ours
    }
  }
  return found;
}

async function until(condition, what, seconds = 30) {
  const end = Date.now() + seconds * 1000;
  while (!condition()) {
    if (Date.now() > end) throw new Error(`timed out waiting until ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

function stdioTransport() {
  const transport = new StdioClientTransport({ command: executable, args: ['--stdio'], env, stderr: 'pipe' });
  transport.errorOutput = '';
  transport.stderr.on('data', (chunk) => { transport.errorOutput += chunk; });
  return transport;
}

function httpTransport(headers) {
  return new StreamableHTTPClientTransport(new URL(endpoint), { requestInit: { headers } });
}

function newClient(name) {
  return new Client({ name, title: `${name} client`, version: '1.0.0' });
}

/// What every client must be able to do with the application.
async function useTheTools(client) {
  assert.equal(client.getServerVersion().name, 'inkwarden');
  const { tools } = await client.listTools();
  assert.deepEqual(tools.map((tool) => tool.name).sort(), kTools);

  const profile = await client.callTool({ name: 'get_company_profile', arguments: {} });
  assert.notEqual(profile.isError, true, JSON.stringify(profile));
  const fields = JSON.parse(profile.content[0].text);
  assert.equal(fields.company_text, '');
  assert.equal(fields.has_stamp, false);

  // Arguments the tool refuses are its error, answered as a result, not a protocol error; a text
  // over the line limit is refused before any window would open.
  const refused = await client.callTool({ name: 'set_company_text', arguments: { text: 'a\nb\nc\nd\ne\nf\ng' } });
  assert.equal(refused.isError, true, JSON.stringify(refused));
  assert.equal(refused.content[0].type, 'text');
  assert.match(refused.content[0].text, /at most 6 lines/);
}

before(async () => {
  const port = await freePort();
  endpoint = `http://127.0.0.1:${port}/mcp`;
  fs.mkdirSync(env.XDG_CONFIG_HOME + '/inkwarden', { recursive: true });
  fs.mkdirSync(runtimeDir, { mode: 0o700 });
  // Welcomed and checked for updates just now: the started application opens no window of its
  // own and asks no web site.
  const settings = { port, token, hasSeenWelcome: true, lastUpdateCheck: Date.now() / 1000 };
  fs.writeFileSync(path.join(env.XDG_CONFIG_HOME, 'inkwarden', 'settings.json'), JSON.stringify(settings));
});

after(async () => {
  for (const pid of applications()) {
    try { process.kill(pid, 'SIGTERM'); } catch { /* already gone */ }
  }
  await until(() => applications().length === 0, 'the application quit', 20).catch(() => {
    for (const pid of applications()) process.kill(pid, 'SIGKILL');
  });
  fs.rmSync(home, { recursive: true, force: true });
});

test('two relays started at once start one application and both serve their client', async () => {
  assert.deepEqual(applications(), []);
  const transports = [stdioTransport(), stdioTransport()];
  const clients = [newClient('first'), newClient('second')];
  await Promise.all(clients.map((client, i) => client.connect(transports[i])));
  // A second copy may start, but finds the first one and leaves at once.
  await until(() => applications().length === 1, 'one application is left');

  for (const client of clients) await useTheTools(client);
  const pids = transports.map((transport) => transport.pid);
  await Promise.all(clients.map((client) => client.close()));
  // End of input ends each relay; the application goes on.
  await until(() => pids.every((pid) => !fs.existsSync(`/proc/${pid}`) ||
    fs.readFileSync(`/proc/${pid}/stat`, 'utf8').split(') ')[1][0] === 'Z'), 'the relays ended');
  assert.equal(applications().length, 1);
  for (const transport of transports) assert.equal(transport.errorOutput, '', 'a relay wrote to standard error');
});

test('a client over Streamable HTTP with the token uses the tools', async () => {
  const client = newClient('http');
  await client.connect(httpTransport({ Authorization: `Bearer ${token}` }));
  await useTheTools(client);
  await client.close();
});

test('a request without the token or with another one is refused', async () => {
  for (const headers of [{}, { Authorization: 'Bearer wrong' }]) {
    const client = newClient('intruder');
    await assert.rejects(client.connect(httpTransport(headers)), JSON.stringify(headers));
  }
  const reply = await fetch(endpoint, {
    method: 'POST',
    headers: { 'Content-Type': 'application/json', Accept: 'application/json, text/event-stream' },
    body: JSON.stringify({ jsonrpc: '2.0', id: 1, method: 'tools/list' }),
  });
  assert.equal(reply.status, 401);
  const body = await reply.json();
  assert.equal(body.error.code, -32600);
  assert.equal(body.id, null);
});
