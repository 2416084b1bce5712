// The library's client engine on its HTTP client transport against the official MCP TypeScript
// SDK server, used as a black box through its public API: a stateful Streamable HTTP server on
// 127.0.0.1 whose tool the client program lists and calls.
//
// node sdk_server.mjs <client program> <node tools folder>
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import crypto from 'node:crypto';
import http from 'node:http';
import { createRequire } from 'node:module';
import path from 'node:path';

const [clientProgram, nodeTools] = process.argv.slice(2).map((given) => path.resolve(given));
const sdk = createRequire(path.join(nodeTools, 'package.json'));
const { McpServer } = sdk('@modelcontextprotocol/sdk/server/mcp.js');
const { StreamableHTTPServerTransport } = sdk('@modelcontextprotocol/sdk/server/streamableHttp.js');
const { isInitializeRequest } = sdk('@modelcontextprotocol/sdk/types.js');

const calls = [];
const transports = new Map();

function makeServer() {
  const server = new McpServer({ name: 'sdk-peer', version: '1.0.0' });
  server.tool('greet', 'Says hello', async () => {
    calls.push('greet');
    return { content: [{ type: 'text', text: 'hello from the peer' }] };
  });
  return server;
}

async function readBody(request) {
  const chunks = [];
  for await (const chunk of request) chunks.push(chunk);
  const text = Buffer.concat(chunks).toString('utf8');
  return text ? JSON.parse(text) : undefined;
}

const httpServer = http.createServer(async (request, response) => {
  try {
    const sessionId = request.headers['mcp-session-id'];
    const body = request.method === 'POST' ? await readBody(request) : undefined;
    let transport = sessionId ? transports.get(sessionId) : undefined;
    if (!transport && request.method === 'POST' && isInitializeRequest(body)) {
      transport = new StreamableHTTPServerTransport({
        sessionIdGenerator: () => crypto.randomUUID(),
        onsessioninitialized: (id) => transports.set(id, transport),
      });
      await makeServer().connect(transport);
    }
    if (!transport) {
      response.writeHead(404).end();
      return;
    }
    await transport.handleRequest(request, response, body);
  } catch (error) {
    if (!response.headersSent) response.writeHead(500);
    response.end(String(error));
  }
});

function runClient(url) {
  return new Promise((resolve) => {
    const child = spawn(clientProgram, [url], {
      env: { ...process.env, MCP_CONFORMANCE_SCENARIO: 'tools_call' },
      stdio: ['ignore', 'inherit', 'pipe'],
    });
    let errors = '';
    child.stderr.on('data', (chunk) => { errors += chunk; });
    const timer = setTimeout(() => child.kill('SIGKILL'), 60000);
    child.on('exit', (code) => {
      clearTimeout(timer);
      resolve({ code, errors });
    });
  });
}

test('the library client lists and calls the SDK server tool', async () => {
  await new Promise((resolve) => httpServer.listen(0, '127.0.0.1', resolve));
  const { port } = httpServer.address();
  try {
    const { code, errors } = await runClient(`http://127.0.0.1:${port}/mcp`);
    assert.equal(code, 0, errors);
    assert.deepEqual(calls, ['greet']);
  } finally {
    for (const transport of transports.values()) await transport.close();
    httpServer.closeAllConnections();
    await new Promise((resolve) => httpServer.close(resolve));
  }
});
