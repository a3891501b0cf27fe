// The web host's front end: draws the session's tree, shows the report page
// in the report pane, lists the messages and log lines, and sends clicks and
// toolbar commands to the server. Every answer of the server carries the
// whole tree and the page to show, so the page never reloads itself.
'use strict';

(() => {
  const treeElement = document.getElementById('tree');
  const frame = document.getElementById('report');
  const eventList = document.getElementById('event-list');
  const statusElement = document.getElementById('status');
  let shownPage = null;   // "url#serial" of the page in the report pane
  let queue = Promise.resolve();
  let pending = 0;
  let hadSession = false;  // a state of this page's session was shown

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
    setStatus(state.error || '', Boolean(state.error));
    apply(state, replaceEvents);
    if (response.ok) hadSession = true;
  }

  // One server call at a time, in the order the user asked for them.
  function call(path, body) {
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
          const ended = hadSession;
          await show(await post('/api/session', {}), true);
          if (ended) {
            setStatus('Your previous session has ended (it expired, or its server stopped); ' +
                      'this is a new session, at the front page.', true);
          }
          return;
        }
        await show(response, body === undefined);
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
    row.addEventListener('click', () => call('/api/click', { node: node.id }));
    row.addEventListener('keydown', (event) => {
      if (event.key === 'Enter' || event.key === ' ') {
        event.preventDefault();
        call('/api/click', { node: node.id });
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
    frame.src = page.url + '?n=' + page.serial;
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

  for (const command of ['refresh', 'save', 'print', 'preview']) {
    document.getElementById(command).addEventListener('click', () => call('/api/' + command, {}));
  }

  call('/api/state');
})();
