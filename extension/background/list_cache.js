// The summaries of the last `list` (ids, hosts, user names, titles; no passwords), kept while
// the vault is unlocked so that an opening popup shows its first rows at once instead of after
// the host has listed the whole vault again. The popup asks for the fresh list right after.
export function createListCache(client) {
  let listed = null;

  // The whole list, fresh from the host.
  async function fresh() {
    listed = await client.request("list");
    return listed;
  }

  // The first `limit` summaries and how many there are: as listed last, or fresh.
  async function head(limit) {
    const logins = listed ?? (await fresh());
    return { total: logins.length, logins: logins.slice(0, limit) };
  }

  // After a change, a lock or a host that has gone.
  const forget = () => {
    listed = null;
  };

  return { fresh, head, forget };
}
