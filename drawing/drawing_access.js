(() => {
  'use strict';
  const root = document.documentElement;

  // The theme: the reader's choice on the page, remembered, else the
  // system's scheme.  Printing always takes the light colours (the style
  // sheet applies the dark ones on screen only).
  const themeKey = 'flowchart-theme';
  const scheme = window.matchMedia ? window.matchMedia('(prefers-color-scheme: dark)') : null;
  const chosen = () => { try { return localStorage.getItem(themeKey); } catch (e) { return null; } };
  const themeButton = document.createElement('button');
  themeButton.type = 'button';
  themeButton.className = 'theme';
  themeButton.textContent = 'Dark theme';
  themeButton.title = 'Switch between the light and the dark theme';
  function applyTheme() {
    const theme = chosen() || (scheme && scheme.matches ? 'dark' : 'light');
    root.dataset.theme = theme;
    themeButton.setAttribute('aria-pressed', String(theme === 'dark'));
  }
  themeButton.addEventListener('click', () => {
    const theme = root.dataset.theme === 'dark' ? 'light' : 'dark';
    try { localStorage.setItem(themeKey, theme); } catch (e) { /* kept for this page only */ }
    root.dataset.theme = theme;
    themeButton.setAttribute('aria-pressed', String(theme === 'dark'));
  });
  if (scheme && scheme.addEventListener) scheme.addEventListener('change', () => { if (!chosen()) applyTheme(); });
  applyTheme();
  const heading = document.querySelector('nav h1, header h1, body > h1');
  if (heading) heading.after(themeButton);

  // A site's source page opened at a box's lines ("#L22-L25"): the lines
  // marked, in sight, with the way back.
  function markLines() {
    const range = /^#L(\d+)-L(\d+)$/.exec(location.hash);
    for (const li of document.querySelectorAll('ol.source li.marked')) li.classList.remove('marked');
    if (!range) return;
    const [first, last] = [+range[1], +range[2]];
    for (let n = first; n <= last; ++n) {
      const li = document.getElementById('L' + n);
      if (li) li.classList.add('marked');
    }
    const start = document.getElementById('L' + first);
    if (start) start.scrollIntoView({block: 'center'});
    if (!document.querySelector('.back-to-drawing') && history.length > 1) {
      const back = document.createElement('p');
      back.className = 'back-to-drawing';
      const button = document.createElement('button');
      button.type = 'button';
      button.textContent = 'Back to the drawing';
      button.addEventListener('click', () => history.back());
      back.append('Lines ' + first + (last > first ? ' to ' + last : '') + ' of the box. ', button);
      const main = document.querySelector('main');
      if (main) main.before(back);
    }
  }
  if (document.querySelector('ol.source')) {
    window.addEventListener('hashchange', markLines);
    markLines();
  }

  // A box is a shape that takes the focus, or the link round one.
  const BOX = 'g[tabindex], a[aria-label]';
  const pages = [...document.querySelectorAll('main > section.page')];
  if (!pages.some(p => p.querySelector(BOX))) return;

  const shownPage = () => document.querySelector('main > section.page.shown') || pages[0];
  const svgOf = box => box.ownerSVGElement || box.closest('svg');
  const shapeOf = box => (box.matches('g') ? box : box.querySelector('g'));
  const boxNamed = (svg, name) => {
    const shape = svg.querySelector('g[data-name="' + CSS.escape(name) + '"]');
    return shape ? shape.closest(BOX) : null;
  };
  const nextOf = box => (box.dataset.next || '').split(' ').filter(Boolean)
      .map(name => boxNamed(svgOf(box), name)).filter(Boolean);
  const previousOf = box => {
    const name = shapeOf(box).dataset.name;
    return [...svgOf(box).querySelectorAll(BOX)]
        .filter(b => (b.dataset.next || '').split(' ').includes(name));
  };

  // The boxes left by moving along the arrows, so that Up goes back the
  // way it came.
  let trail = [];
  function focusBox(box, from) {
    if (!box) return;
    if (from) trail.push(from);
    box.focus();
  }
  // The view follows the focus.
  document.addEventListener('focusin', e => {
    const box = e.target.closest && e.target.closest(BOX);
    if (!box || !svgOf(box)) return;
    const views = window.flowchartViews;
    const view = views && views.current && views.current();
    if (!view || !view.reveal) return;
    const b = box.getBBox();
    view.reveal(b.x, b.y, b.width, b.height);
  });

  // A box's source lines: in the panel beside the drawing, or on the
  // site's page of the file; and in the reader's editor when one is set.
  function openSource(box) {
    const lines = /^(\d+)-(\d+)$/.exec(box.dataset.lines || '');
    const section = box.closest('section.page');
    const panel = section && document.querySelector('aside.source[data-drawing="' + section.dataset.drawing + '"]');
    if (!lines || !panel) return false;
    const [first, last] = [+lines[1], +lines[2]];
    const editor = panel.dataset.editor ?
        panel.dataset.editor.split('{path}').join(encodeURI(panel.dataset.path || ''))
            .split('{line}').join(String(first)) : '';
    const filePage = panel.dataset.sourcePage ? panel.dataset.sourcePage + '#L' + first + '-L' + last : '';
    if (filePage && !editor) {
      location.href = filePage;
      return true;
    }
    const list = panel.querySelector('ol');
    if (list) {
      const start = +list.getAttribute('start') || 1;
      [...list.children].forEach((li, i) => {
        const n = start + i;
        li.hidden = n < first - 2 || n > last + 2;
        li.value = n;  // hidden items would not be counted
        li.classList.toggle('marked', n >= first && n <= last);
      });
    }
    const title = panel.querySelector('h2');
    title.textContent = 'Source, ' + (last > first ? 'lines ' + first + ' to ' + last : 'line ' + first);
    const actions = panel.querySelector('.actions');
    actions.replaceChildren();
    const link = (text, href) => {
      const a = document.createElement('a');
      a.href = href;
      a.textContent = text;
      actions.append(a);
    };
    if (filePage) link('Show in the file', filePage);
    if (editor) link('Open in the editor', editor);
    const close = document.createElement('button');
    close.type = 'button';
    close.textContent = 'Close';
    close.addEventListener('click', () => closeSource(box));
    actions.append(close);
    panel.hidden = false;
    panel.returnTo = box;
    if (editor) location.href = editor;
    return true;
  }
  function closeSource(box) {
    const open = document.querySelector('aside.source:not([hidden])');
    if (!open) return false;
    open.hidden = true;
    const back = box || open.returnTo;
    if (back && document.contains(back)) back.focus();
    return true;
  }

  // The keys, shown by "?".
  let keysDialog = null;
  function showKeys() {
    if (!keysDialog) {
      keysDialog = document.createElement('dialog');
      keysDialog.className = 'keys';
      keysDialog.setAttribute('aria-labelledby', 'keys-title');
      const rows = [
        ['Tab, Shift+Tab', 'the next or previous box, in reading order'],
        ['\u2193', 'along the first arrow out of the box'],
        ['\u2191', 'back where it came from'],
        ['\u2190 \u2192', 'along the other arrows: the other branch or case'],
        ['Enter', 'open a folded box\u2019s page, or the box\u2019s source lines'],
        ['Escape', 'close the source, or return from a page'],
        ['+ \u2212 0', 'zoom in, out, fit'],
        ['?', 'these keys'],
      ];
      keysDialog.innerHTML = '<h2 id="keys-title">Keys</h2><table><tbody></tbody></table>' +
          '<form method="dialog"><button>Close</button></form>';
      const body = keysDialog.querySelector('tbody');
      for (const [keys, does] of rows) {
        const tr = body.insertRow();
        const th = document.createElement('th');
        th.scope = 'row';
        for (const k of keys.split(/(?<=\S) (?=\S)|, /)) {
          const kbd = document.createElement('kbd');
          kbd.textContent = k;
          th.append(kbd, ' ');
        }
        tr.append(th);
        tr.insertCell().textContent = does;
      }
      document.body.append(keysDialog);
    }
    if (!keysDialog.open) keysDialog.showModal();
  }

  let followed = false;
  document.addEventListener('keydown', e => {
    if (e.ctrlKey || e.metaKey || e.altKey) return;
    if (/^(INPUT|TEXTAREA|SELECT)$/.test(e.target.tagName)) return;
    if (e.key === '?') {
      e.preventDefault();
      showKeys();
      return;
    }
    const box = e.target.closest && e.target.closest(BOX);
    if (e.key === 'Escape') {
      if (keysDialog && keysDialog.open) return;
      if (closeSource(box)) return e.preventDefault();
      if (shownPage() !== pages.find(p => p.dataset.drawing === shownPage().dataset.drawing) && history.length > 1) {
        followed = true;
        history.back();
      }
      return;
    }
    if (!box || !svgOf(box)) return;
    let target = null;
    const ways = nextOf(box);
    if (e.key === 'ArrowDown') target = ways[0];
    else if (e.key === 'ArrowUp') {
      const before = previousOf(box);
      while (trail.length && !before.includes(trail[trail.length - 1])) trail.pop();
      target = trail.pop() || before[0];
      if (target) return e.preventDefault(), e.stopPropagation(), target.focus();
    } else if (e.key === 'ArrowRight' || e.key === 'ArrowLeft') {
      const right = e.key === 'ArrowRight';
      if (ways.length > 1) target = right ? ways[1] : ways[ways.length - 1];
      else {
        // The other ways on from the box this one was reached from.
        const from = trail[trail.length - 1] || previousOf(box)[0];
        const siblings = from ? nextOf(from) : [];
        const at = siblings.indexOf(box);
        if (siblings.length > 1 && at >= 0) {
          e.preventDefault();
          e.stopPropagation();
          return siblings[(at + (right ? 1 : siblings.length - 1)) % siblings.length].focus();
        }
      }
    } else if (e.key === 'Enter') {
      if (box.matches('a')) followed = true;
      else if (openSource(box)) e.preventDefault();
      return;
    } else return;
    // Arrow keys on a box move the focus, never the view.
    e.preventDefault();
    e.stopPropagation();
    focusBox(target, box);
  }, true);

  document.addEventListener('click', e => {
    if (e.defaultPrevented) return;
    const box = e.target.closest && e.target.closest('g[tabindex]');
    if (box && openSource(box)) box.focus();
  });

  // Only the shown drawing's outline shows; an item of it leads to its box.
  const outlines = [...document.querySelectorAll('details.outline')];
  function showOutline() {
    const page = shownPage();
    for (const outline of outlines) outline.hidden = outline.dataset.drawing !== page.dataset.drawing;
    trail = [];
    if (followed) {
      followed = false;
      const first = page.querySelector(BOX);
      if (first) first.focus();
    }
  }
  for (const outline of outlines) {
    const drawingPages = pages.filter(p => p.dataset.drawing === outline.dataset.drawing);
    for (const item of outline.querySelectorAll('li[data-box]')) {
      const page = drawingPages[+item.dataset.page - 1];
      if (!page) continue;
      const a = document.createElement('a');
      a.href = '#' + page.id;
      a.append(...[...item.childNodes].filter(n => n.nodeType === Node.TEXT_NODE));
      a.addEventListener('click', () => setTimeout(() => {
        const box = boxNamed(page.querySelector('svg'), item.dataset.box);
        if (box) box.focus();
      }));
      item.prepend(a);
    }
  }
  window.addEventListener('hashchange', () => setTimeout(showOutline));
  showOutline();
})();
