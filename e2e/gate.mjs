// A TCP gate in front of a server, to play a network that fails: "open"
// passes everything, "down" drops every connection, "hold" keeps new
// connections waiting until released.
import { createServer, connect } from "node:net";

export async function startGate(targetUrl) {
  const target = new URL(targetUrl);
  const live = new Set();
  let mode = "open";
  let held = [];
  let finished = 0;
  const pipe = (client) => {
    const upstream = connect(Number(target.port), target.hostname);
    live.add(client).add(upstream);
    const done = () => { live.delete(client); live.delete(upstream); client.destroy(); upstream.destroy(); };
    client.on("close", () => { finished += 1; done(); });
    client.on("error", done);
    upstream.on("error", done);
    upstream.on("close", done);
    client.pipe(upstream).pipe(client);
    client.resume();
  };
  const server = createServer({ pauseOnConnect: true }, (client) => {
    if (mode === "down") client.destroy();
    else if (mode === "hold") held.push(client);
    else pipe(client);
  });
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  return {
    url: `http://127.0.0.1:${server.address().port}${target.pathname}`,
    get finished() { return finished; },
    set(next) {
      mode = next;
      if (next === "down") for (const socket of live) socket.destroy();
    },
    release() {
      mode = "open";
      const waiting = held;
      held = [];
      for (const client of waiting) pipe(client);
    },
    async stop() {
      for (const socket of [...live, ...held]) socket.destroy();
      await new Promise((resolve) => server.close(resolve));
    },
  };
}
