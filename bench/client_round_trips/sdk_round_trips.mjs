// The pinned TypeScript SDK client, as a black box: `roundTrips` pings over Streamable HTTP.
// Prints "<requests per second> <p99 milliseconds>".
//
// node sdk_round_trips.mjs <node tools folder> <url> <round trips>
import { createRequire } from 'node:module';
import path from 'node:path';

const [nodeTools, url, count] = process.argv.slice(2);
const sdk = createRequire(path.join(path.resolve(nodeTools), 'package.json'));
const { Client } = sdk('@modelcontextprotocol/sdk/client/index.js');
const { StreamableHTTPClientTransport } = sdk('@modelcontextprotocol/sdk/client/streamableHttp.js');

const client = new Client({ name: 'bench-sdk-client', version: '1.0.0' });
await client.connect(new StreamableHTTPClientTransport(new URL(url)));
const roundTrips = Number(count);
const milliseconds = [];
const start = performance.now();
for (let i = 0; i < roundTrips; i++) {
  const sent = performance.now();
  await client.ping();
  milliseconds.push(performance.now() - sent);
}
const seconds = (performance.now() - start) / 1000;
await client.close();
milliseconds.sort((a, b) => a - b);
const p99 = milliseconds[Math.min(milliseconds.length - 1, Math.floor((milliseconds.length * 99) / 100))];
console.log(`${roundTrips / seconds} ${p99}`);
