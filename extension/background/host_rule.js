// The host-matching rule of the vault host's `for-host` (docs/protocol.md#for-host), for the
// decisions the worker makes about hosts the vault is not asked about: where a form sends its
// fields, and which offer comes first.

// Leading lower-case "www." removed, then ASCII letters folded.
const normalise = (host) =>
  host.replace(/^(?:www\.)+/, "").replace(/[A-Z]/g, (c) => c.toLowerCase());
const fold = (host) => host.replace(/[A-Z]/g, (c) => c.toLowerCase());
const isIpLiteral = (host) => host.startsWith("[") || /(?:^|\.)\d+$/.test(host);

// How far `stored` is from `requested`: 0 for the same host, the number of labels between them
// for a parent domain, null when it does not serve `requested` at all.
export function distance(stored, requested) {
  const r = normalise(requested);
  if (normalise(stored) === "" || r === "") return null;
  if (r === normalise(stored) || r === fold(stored)) return 0;
  if (isIpLiteral(r) || !r.endsWith(`.${fold(stored)}`)) return null;
  return r.split(".").length - fold(stored).split(".").length;
}

export const hostsMatch = (stored, requested) => distance(stored, requested) !== null;

// The logins of `for-host` (in file order) for `host`: the exact host first, then the closer
// parent domains; file order within each.
export function orderOffers(logins, host) {
  const ranked = logins.map((login, index) => ({
    login,
    index,
    far: distance(login.host, host) ?? Infinity,
  }));
  ranked.sort((a, b) => a.far - b.far || a.index - b.index);
  return ranked.map(({ login }) => login);
}

// Whether a form on a page of `pageHost` may be filled without asking: it sends its fields over
// HTTPS to the page's host or to one that matches it in either direction.
export function actionKeepsToTheSite(action, pageHost) {
  let url;
  try {
    url = new URL(action);
  } catch {
    return false;
  }
  if (url.protocol !== "https:") return false;
  return hostsMatch(url.hostname, pageHost) || hostsMatch(pageHost, url.hostname);
}
