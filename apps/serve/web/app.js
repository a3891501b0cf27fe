// The web host's front end: draws the session's tree, shows the report page
// in the report pane, lists the messages and log lines, and sends clicks and
// toolbar commands to the server. Every answer of the server carries the
// whole tree and the page to show, so the page never reloads itself.
//
// Every node has an address: "/?path=Shop%5CGenres%5CFiction" (the node
// texts from the root, joined by "\", percent-encoded). The address bar
// follows the node the user clicks (one history entry per click), and an
// address with a path, or the browser's Back and Forward, open that node in
// the session: the server follows the path from the root as a user's clicks
// would, and says in the status line where it stopped when it could not
// reach the end.
'use strict';

(() => {
  const treeElement = document.getElementById('tree');
  let frame = document.getElementById('report');
  const eventList = document.getElementById('event-list');
  const statusElement = document.getElementById('status');
  let shownPage = null;   // "url#serial" of the page in the report pane
  let queue = Promise.resolve();
  let pending = 0;
  let hadSession = false;  // a state of this page's session was shown
  let shownPath = null;    // the tree path of the selected node last shown

  function setStatus(text, isError) {
    statusElement.textContent = text || '';
    statusElement.classList.toggle('error', Boolean(isError));
  }

  function post(path, body) {
    return fetch(path, {
      method: 'POST',
      cache: 'no-store',
      credentials: 'same-origin',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(body),
    });
  }

  // Shows an answer of the server: the state, or the error it tells.
  async function show(response, replaceEvents) {
    const type = response.headers.get('Content-Type') || '';
    if (!type.startsWith('application/json')) {
      setStatus((await response.text()).trim(), true);
      return;
    }
    const state = await response.json();
    setStatus(state.error || state.note || '', Boolean(state.error || state.note));
    apply(state, replaceEvents);
    if (response.ok) hadSession = true;
    return state;
  }

  // --- The address ---

  // The path of the selected node: its texts from the root, joined by "\".
  function selectedPath(nodes, above) {
    for (const node of nodes) {
      const path = above === null ? node.text : above + '\\' + node.text;
      if (node.selected) return path;
      const below = selectedPath(node.children, path);
      if (below !== null) return below;
    }
    return null;
  }

  function addressOf(path) {
    return window.location.pathname + '?path=' + encodeURIComponent(path);
  }

  // The path the page's address names, or null for none.
  function pathOfAddress() {
    const path = new URLSearchParams(window.location.search).get('path');
    return path === null || path === '' ? null : path;
  }

  // Makes the address bar follow the selected node: a new history entry
  // for a user's click ('push'), the current one corrected otherwise
  // ('replace': an address opened, Back and Forward, a new session).
  function follow(state, history) {
    if (!state || !state.tree || history === 'none') return;
    const path = selectedPath(state.tree, null);
    if (path === null) return;
    const changed = path !== shownPath;
    shownPath = path;
    if (history === 'push' && changed) {
      window.history.pushState({ path }, '', addressOf(path));
    } else if (history === 'replace') {
      // An address without a path keeps its form; the entry still knows
      // its node for Back and Forward.
      const url = pathOfAddress() === null ? window.location.href : addressOf(path);
      window.history.replaceState({ path }, '', url);
    }
  }

  // One server call at a time, in the order the user asked for them.
  // history: what the address bar does with the answer (see follow).
  function call(path, body, history = 'none') {
    const run = async () => {
      pending += 1;
      document.body.classList.add('busy');
      try {
        const response = body === undefined
          ? await fetch(path, { cache: 'no-store', credentials: 'same-origin' })
          : await post(path, body);
        if (response.status === 401) {
          // No session yet, or it ended (it expired, or the server that held
          // it stopped): this page starts one, and says why when one ended.
          // The server starts sessions only for such a request from its own
          // page, never for a page of another site that points here.
          // A path asked for is carried into the new session.
          const ended = hadSession;
          const wanted = body && typeof body.path === 'string' ? { path: body.path } : {};
          let started = await post('/api/session', wanted);
          let refused = null;
          if (started.status === 400 && 'path' in wanted) {
            // The path was refused (too long, say): the session starts at
            // the front page, and the status line says why.
            refused = (await started.json()).error;
            started = await post('/api/session', {});
          }
          const state = await show(started, true);
          follow(state, 'replace');
          if (refused) {
            setStatus(refused, true);
          } else if (ended) {
            setStatus('Your previous session has ended (it expired, or its server stopped); ' +
                      'this is a new session, at the front page.', true);
          }
          return;
        }
        follow(await show(response, body === undefined), history);
      } catch (error) {
        setStatus('The server cannot be reached: ' + error.message, true);
      } finally {
        pending -= 1;
        if (pending === 0) document.body.classList.remove('busy');
      }
    };
    queue = queue.then(run, run);
    return queue;
  }

  function apply(state, replaceEvents) {
    if (state.tree) drawTree(state.tree);
    if ('page' in state) showPage(state.page);
    if (state.events) showEvents(state.events, replaceEvents);
    if (state.action) perform(state.action);
  }

  // --- The tree ---

  function kindOf(node) {
    const separator = node.tag.indexOf('\u00bb');
    const kind = separator < 0 ? '' : node.tag.slice(separator + 1, separator + 2).toLowerCase();
    return 'fvtl'.includes(kind) && kind !== '' ? kind : 'x';
  }

  function iconFor(node) {
    if (node.imageUrl) {
      const image = document.createElement('img');
      image.className = 'icon';
      image.src = node.imageUrl;
      image.alt = '';
      return image;
    }
    const icon = document.createElement('span');
    icon.className = node.image === 'Net' ? 'icon net' : 'icon kind-' + kindOf(node);
    return icon;
  }

  function drawNode(node) {
    const item = document.createElement('li');
    item.setAttribute('role', 'treeitem');
    item.dataset.id = node.id;
    item.dataset.key = node.key;
    item.dataset.tag = node.tag;
    item.setAttribute('aria-selected', String(node.selected));
    if (node.children.length > 0) item.setAttribute('aria-expanded', String(node.expanded));

    const row = document.createElement('div');
    row.className = 'node';
    row.tabIndex = node.selected ? 0 : -1;

    const expander = document.createElement('button');
    expander.type = 'button';
    expander.tabIndex = -1;
    expander.className = 'expander' + (node.children.length > 0 ? '' : ' none');
    expander.textContent = node.expanded ? '\u25be' : '\u25b8';
    expander.setAttribute('aria-label', node.expanded ? 'Collapse' : 'Expand');
    expander.addEventListener('click', (event) => {
      event.stopPropagation();
      call('/api/expand', { node: node.id, expanded: !node.expanded });
    });

    const label = document.createElement('span');
    label.className = 'label';
    label.textContent = node.text;
    label.style.color = node.color;

    row.append(expander, iconFor(node), label);
    row.addEventListener('click', () => call('/api/click', { node: node.id }, 'push'));
    row.addEventListener('keydown', (event) => {
      if (event.key === 'Enter' || event.key === ' ') {
        event.preventDefault();
        call('/api/click', { node: node.id }, 'push');
      }
    });
    item.append(row);
    if (node.children.length > 0) {
      const list = document.createElement('ul');
      list.setAttribute('role', 'group');
      for (const child of node.children) list.append(drawNode(child));
      item.append(list);
    }
    return item;
  }

  function drawTree(nodes) {
    const scroll = treeElement.scrollTop;
    const focused = document.activeElement && document.activeElement.closest('#tree li');
    const list = document.createElement('ul');
    for (const node of nodes) list.append(drawNode(node));
    treeElement.replaceChildren(list);
    treeElement.scrollTop = scroll;
    const selected = treeElement.querySelector('li[aria-selected="true"] > .node');
    if (selected) selected.scrollIntoView({ block: 'nearest' });
    else if (list.querySelector('.node')) list.querySelector('.node').tabIndex = 0;
    // Keyboard users keep their place across the redraw.
    if (focused) {
      const again = treeElement.querySelector(`li[data-id="${focused.dataset.id}"] > .node`);
      if (again) moveFocus(again);
    }
  }

  function moveFocus(row) {
    for (const other of treeElement.querySelectorAll('.node[tabindex="0"]')) other.tabIndex = -1;
    row.tabIndex = 0;
    row.focus();
  }

  // Up and Down move between the rows shown, Home and End to the first and
  // last, Right opens a closed branch, Left closes an open one; Enter and
  // Space click (see drawNode).
  treeElement.addEventListener('keydown', (event) => {
    const rows = [...treeElement.querySelectorAll('.node')].filter((row) => row.offsetParent !== null);
    const index = rows.indexOf(document.activeElement);
    if (index < 0) return;
    const item = rows[index].parentElement;
    const expanded = item.getAttribute('aria-expanded');
    let target = null;
    if (event.key === 'ArrowDown') target = rows[index + 1];
    else if (event.key === 'ArrowUp') target = rows[index - 1];
    else if (event.key === 'Home') target = rows[0];
    else if (event.key === 'End') target = rows[rows.length - 1];
    else if (event.key === 'ArrowRight' && expanded === 'false') {
      call('/api/expand', { node: Number(item.dataset.id), expanded: true });
    } else if (event.key === 'ArrowLeft' && expanded === 'true') {
      call('/api/expand', { node: Number(item.dataset.id), expanded: false });
    } else {
      return;
    }
    event.preventDefault();
    if (target) moveFocus(target);
  });

  // --- The report pane ---

  function showPage(page) {
    if (!page) {
      if (shownPage !== null) frame.removeAttribute('src');
      shownPage = null;
      return;
    }
    const shown = page.url + '#' + page.serial;
    if (shown === shownPage) return;
    shownPage = shown;
    // A new frame in place of the old one: its first page adds no entry to
    // the browser's history (a new page in the same frame would), so Back
    // and Forward move between the nodes' addresses, one entry per click.
    const fresh = frame.cloneNode(false);
    fresh.src = page.url + '?n=' + page.serial;
    frame.replaceWith(fresh);
    frame = fresh;
  }

  // --- Messages and log ---

  function showEvents(events, replace) {
    if (replace) eventList.replaceChildren();
    for (const event of events) {
      const line = document.createElement('li');
      line.className = event.type;
      if (event.type === 'log') line.textContent = event.logType + ': ' + event.text;
      else if (event.type === 'message') line.textContent = 'Message: ' + event.text;
      else if (event.type === 'reason') line.textContent = 'Reason: ' + event.text;
      else line.textContent = 'Query: ' + event.text;
      eventList.append(line);
    }
    eventList.parentElement.scrollTop = eventList.parentElement.scrollHeight;
  }

  // --- What the browser's save, print and preview commands do here ---

  function perform(action) {
    if (action.command === 'save') {
      const link = document.createElement('a');
      link.href = action.url + '?download=1';
      link.download = action.url.slice(action.url.lastIndexOf('/') + 1);
      document.body.append(link);
      link.click();
      link.remove();
    } else if (action.command === 'print') {
      frame.contentWindow.focus();
      frame.contentWindow.print();
    } else if (action.command === 'preview') {
      window.open(action.url, '_blank');
    }
  }

  for (const command of ['save', 'print', 'preview']) {
    document.getElementById(command).addEventListener('click', () => call('/api/' + command, {}));
  }
  // A refresh starts again at the front page: a new entry, as a click.
  document.getElementById('refresh').addEventListener('click', () => call('/api/refresh', {}, 'push'));

  // --- Export: the session's site as a zip of static pages ---

  // Runs beside the queue of calls: the session answers clicks while the
  // server exports.
  const exportButton = document.getElementById('export');
  exportButton.addEventListener('click', async () => {
    exportButton.disabled = true;
    setStatus('Exporting the site; this may take a while\u2026', false);
    try {
      const response = await post('/api/export', {});
      const type = response.headers.get('Content-Type') || '';
      if (!response.ok || !type.startsWith('application/zip')) {
        const text = type.startsWith('application/json')
          ? (await response.json()).error : (await response.text()).trim();
        setStatus(text || 'The export failed.', true);
        return;
      }
      const disposition = response.headers.get('Content-Disposition') || '';
      const named = /filename="([^"]+)"/.exec(disposition);
      const url = URL.createObjectURL(await response.blob());
      const link = document.createElement('a');
      link.href = url;
      link.download = named ? named[1] : 'site.zip';
      document.body.append(link);
      link.click();
      link.remove();
      setTimeout(() => URL.revokeObjectURL(url), 60000);
      setStatus(response.headers.get('X-Zarel-Export') || 'Exported.', false);
    } catch (error) {
      setStatus('The server cannot be reached: ' + error.message, true);
    } finally {
      exportButton.disabled = false;
    }
  });

  // Back and Forward: the entry's path opened in this session. The server
  // clicks only what is needed to get there: the node itself (its page is
  // composed again, as a click on it would), and any node above it whose
  // branch was pruned since; nodes still open are not clicked again.
  window.addEventListener('popstate', (event) => {
    const path = (event.state && event.state.path) || pathOfAddress() || rootPath();
    if (path !== null) call('/api/open', { path }, 'replace');
  });

  function rootPath() {
    const top = treeElement.querySelector('li[role="treeitem"] > .node > .label');
    return top ? top.textContent : null;
  }

  const opened = pathOfAddress();
  if (opened !== null) call('/api/open', { path: opened }, 'replace');
  else call('/api/state', undefined, 'replace');
})();
