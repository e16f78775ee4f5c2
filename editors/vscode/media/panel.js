// The panel's page: the flowchart the extension sends, the box of the
// editor's cursor line marked, a click or Enter on a box selecting its
// lines in the editor.  Talks to the extension through postMessage only.
(function () {
  'use strict';
  const vscode = acquireVsCodeApi();
  const drawing = document.getElementById('drawing');
  const status = document.getElementById('status');
  const heading = document.getElementById('method');
  let boxes = [];

  function linesOf(element) {
    const [first, last] = element.getAttribute('data-lines').split('-').map(Number);
    return { element, first, last };
  }

  function describe(element) {
    return element.getAttribute('aria-label') || element.textContent.trim();
  }

  function show(message) {
    document.documentElement.setAttribute('data-theme', message.theme === 'dark' ? 'dark' : 'light');
    heading.textContent = message.method;
    // The picture is a standalone SVG document: its XML declaration is no
    // part of the page.
    drawing.innerHTML = message.svg.replace(/^<\?xml[^>]*\?>\s*/, '');
    boxes = Array.from(drawing.querySelectorAll('[data-lines]')).map(linesOf);
    fit();
    vscode.setState({ method: message.method });
    highlight(message.line);
  }

  // The picture fits the panel's width, but its text is never made
  // smaller than 0.7 of its size: a wider picture scrolls.
  function fit() {
    const svg = drawing.querySelector('svg');
    if (!svg || !svg.viewBox.baseVal) return;
    const natural = svg.viewBox.baseVal.width;
    const scale = Math.min(1, Math.max(0.7, drawing.clientWidth / natural));
    svg.style.width = natural * scale + 'px';
    svg.style.height = 'auto';
  }
  window.addEventListener('resize', fit);

  // The innermost box holding the line (the first of those as small).
  function boxAt(line) {
    let best = null;
    for (const box of boxes) {
      if (line < box.first || line > box.last) continue;
      if (!best || box.last - box.first < best.last - best.first) best = box;
    }
    return best;
  }

  function highlight(line) {
    const box = boxAt(line);
    for (const other of drawing.querySelectorAll('.current')) {
      other.classList.remove('current');
      other.removeAttribute('aria-current');
    }
    if (!box) {
      status.textContent = '';
      return;
    }
    box.element.classList.add('current');
    box.element.setAttribute('aria-current', 'location');
    box.element.scrollIntoView({ block: 'nearest', inline: 'nearest' });
    status.textContent = 'Line ' + line + ': ' + describe(box.element);
  }

  function select(element) {
    const box = linesOf(element);
    vscode.postMessage({ type: 'select', firstLine: box.first, lastLine: box.last });
  }

  // A folded construct's box leads to its page, further down the picture.
  function follow(link) {
    const target = (link.getAttribute('href') || '').replace(/^#view-/, '');
    const page = target && drawing.querySelector('#' + CSS.escape(target));
    if (page) page.scrollIntoView({ block: 'start' });
  }

  drawing.addEventListener('click', (event) => {
    const link = event.target.closest('a');
    if (link) {
      event.preventDefault();
      follow(link);
      return;
    }
    const element = event.target.closest('[data-lines]');
    if (element) select(element);
  });

  // Down follows the first arrow out of the box, Up goes back to a box
  // leading to it; Enter or Space selects the box's lines.
  drawing.addEventListener('keydown', (event) => {
    const element = event.target.closest('[data-name]');
    if (!element) return;
    if (event.key === 'Enter' || event.key === ' ') {
      event.preventDefault();
      if (element.matches('a')) follow(element);
      else if (element.hasAttribute('data-lines')) select(element);
      return;
    }
    let next = null;
    if (event.key === 'ArrowDown') {
      const name = (element.getAttribute('data-next') || '').split(' ')[0];
      next = name && drawing.querySelector('[data-name="' + CSS.escape(name) + '"][tabindex]');
    } else if (event.key === 'ArrowUp') {
      const name = element.getAttribute('data-name');
      next = Array.from(drawing.querySelectorAll('[data-next][tabindex]')).find((candidate) =>
        candidate.getAttribute('data-next').split(' ').includes(name));
    }
    if (next) {
      event.preventDefault();
      next.focus();
      status.textContent = describe(next);
    }
  });

  // The picture as PNG, drawn on a canvas, for the extension to save.
  function png() {
    const svg = drawing.querySelector('svg');
    if (!svg) return;
    const width = svg.viewBox.baseVal.width, height = svg.viewBox.baseVal.height;
    const copy = svg.cloneNode(true);
    copy.setAttribute('width', width);
    copy.setAttribute('height', height);
    const image = new Image();
    image.onload = () => {
      const canvas = document.createElement('canvas');
      canvas.width = Math.ceil(width);
      canvas.height = Math.ceil(height);
      const context = canvas.getContext('2d');
      context.fillStyle = getComputedStyle(document.body).backgroundColor;
      context.fillRect(0, 0, canvas.width, canvas.height);
      context.drawImage(image, 0, 0);
      vscode.postMessage({ type: 'png', data: canvas.toDataURL('image/png').split(',')[1] });
    };
    image.src = 'data:image/svg+xml;charset=utf-8,' + encodeURIComponent(new XMLSerializer().serializeToString(copy));
  }

  window.addEventListener('message', (event) => {
    const message = event.data;
    if (message.type === 'show') show(message);
    else if (message.type === 'cursor') highlight(message.line);
    else if (message.type === 'png') png();
  });
  vscode.postMessage({ type: 'ready' });
})();
