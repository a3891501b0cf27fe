// The exported site's tree: opens and closes branches, marks the node whose
// page is shown, and gives each page an address (index.html#path=...) that
// the browser's Back and Forward follow. Works from file: and from any
// static server; without it the tree's links still open the pages.
//
// The path is the web host's: the node texts from the root joined by "\",
// percent-encoded, so "index.html?path=Shop%5CProducts" (the web host's
// form) opens the same node. A level not found ends the path at the last
// node found, as in the web host; among nodes with one text the first is
// taken.
'use strict';

(() => {
  const tree = document.getElementById('tree');
  const frame = document.getElementById('report');
  const prefix = '#path=';
  const maxLevels = 64;

  function setExpanded(item, open) {
    if (!item.hasAttribute('aria-expanded')) return;
    item.setAttribute('aria-expanded', String(open));
    const expander = item.querySelector(':scope > .node > .expander');
    expander.textContent = open ? '\u25be' : '\u25b8';
    expander.setAttribute('aria-label', open ? 'Collapse' : 'Expand');
  }

  function itemOfPath(path) {
    for (const item of tree.querySelectorAll('li[data-path]')) {
      if (item.dataset.path === path) return item;
    }
    return null;
  }

  // Shows the node's page and marks it, opening the branches above it.
  function select(item) {
    for (const old of tree.querySelectorAll('li[aria-selected="true"]')) {
      old.setAttribute('aria-selected', 'false');
    }
    item.setAttribute('aria-selected', 'true');
    for (let up = item.parentElement.closest('li'); up; up = up.parentElement.closest('li')) {
      setExpanded(up, true);
    }
    const link = item.querySelector(':scope > .node > a.label');
    if (link && frame.dataset.shown !== link.href) {
      frame.dataset.shown = link.href;
      // Replacing the frame's page adds no history entry: the address is
      // the one entry per click.
      frame.contentWindow.location.replace(link.href);
    }
    item.querySelector(':scope > .node').scrollIntoView({ block: 'nearest' });
  }

  // The deepest node on the path: the path's own node, or the node where a
  // level was not found. At most as many levels as the web host takes.
  function itemOnPath(path) {
    const levels = path.split('\\').slice(0, maxLevels);
    for (; levels.length > 0; levels.pop()) {
      const item = itemOfPath(levels.join('\\'));
      if (item) return item;
    }
    return null;
  }

  // The path the address names ("#path=..." or "?path=..."), or null.
  function pathOfAddress() {
    const hash = window.location.hash;
    if (hash.startsWith(prefix)) {
      try {
        return decodeURIComponent(hash.slice(prefix.length));
      } catch (error) {
        return null;
      }
    }
    const query = new URLSearchParams(window.location.search).get('path');
    return query === '' ? null : query;
  }

  function showAddress() {
    const path = pathOfAddress();
    const item = (path === null ? null : itemOnPath(path)) || tree.querySelector('li[data-path]');
    if (item) select(item);
  }

  tree.addEventListener('click', (event) => {
    const expander = event.target.closest('.expander');
    const item = event.target.closest('li[data-path]');
    if (!item) return;
    if (expander) {
      setExpanded(item, item.getAttribute('aria-expanded') !== 'true');
      return;
    }
    const link = item.querySelector(':scope > .node > a.label');
    if (!link) return;
    event.preventDefault();
    const address = prefix + encodeURIComponent(item.dataset.path);
    if (window.location.hash === address) select(item);
    else window.location.hash = address;
  });

  window.addEventListener('hashchange', showAddress);
  const first = tree.querySelector('li[data-path] > .node > a.label');
  if (first) frame.dataset.shown = first.href;
  if (pathOfAddress() !== null) showAddress();
})();
