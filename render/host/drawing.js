(() => {
  'use strict';
  document.documentElement.classList.add('js');
  const pages = [...document.querySelectorAll('main > .page')];
  const tools = document.querySelector('nav .tools');
  const views = new Map();
  let current = null;

  // scale: screen pixels per picture unit; (x, y): the picture point at
  // the view's top-left corner.
  class View {
    constructor(box) {
      this.box = box;
      this.svg = box.querySelector('svg');
      [this.left, this.top, this.width, this.height] =
          this.svg.getAttribute('viewBox').split(/[\s,]+/).map(Number);
      // Headers (the boxes of lifelines) are copied into a layer on top
      // that follows the view down once their own place has left it.
      this.headers = [...this.svg.querySelectorAll('g.header')].map(header => {
        const copy = header.cloneNode(true);
        copy.classList.replace('header', 'kept-header');
        copy.style.display = 'none';
        return {top: +header.dataset.top, copy};
      });
      if (this.headers.length) {
        const layer = document.createElementNS('http://www.w3.org/2000/svg', 'g');
        layer.setAttribute('class', 'kept-headers');
        for (const h of this.headers) layer.appendChild(h.copy);
        this.svg.appendChild(layer);
      }
      this.start();
      // The view changes size with the window and the header above it.
      if (window.ResizeObserver) new ResizeObserver(() => this.apply()).observe(box);
      else window.addEventListener('resize', () => this.apply());
      let drag = null;
      box.addEventListener('wheel', e => {
        e.preventDefault();
        const r = box.getBoundingClientRect();
        const unit = e.deltaMode === 1 ? 16 : e.deltaMode === 2 ? 400 : 1;
        this.zoom(Math.exp(-e.deltaY * unit * 0.002), e.clientX - r.left, e.clientY - r.top);
      }, {passive: false});
      box.addEventListener('pointerdown', e => {
        this.dragged = false;
        if (e.button === 0) drag = {id: e.pointerId, x: e.clientX, y: e.clientY, moved: false};
      });
      box.addEventListener('pointermove', e => {
        if (!drag || e.pointerId !== drag.id) return;
        const dx = e.clientX - drag.x, dy = e.clientY - drag.y;
        if (!drag.moved && Math.abs(dx) + Math.abs(dy) < 4) return;
        if (!drag.moved) {
          // Captured only once it moves, so that a plain click still follows a link.
          drag.moved = true;
          box.setPointerCapture(e.pointerId);
          box.classList.add('dragging');
        }
        drag.x = e.clientX;
        drag.y = e.clientY;
        this.pan(dx, dy);
      });
      const end = e => {
        if (!drag || e.pointerId !== drag.id) return;
        this.dragged = drag.moved;
        drag = null;
        box.classList.remove('dragging');
      };
      box.addEventListener('pointerup', end);
      box.addEventListener('pointercancel', end);
      box.addEventListener('dragstart', e => e.preventDefault());
      // A drag that ends on a link does not follow it.
      box.addEventListener('click', e => {
        if (this.dragged) e.preventDefault();
        this.dragged = false;
      }, true);
    }
    size() {
      const r = this.box.getBoundingClientRect();
      return [r.width, r.height];
    }
    // Where a page opens: fitted to the width, unless it gives the size of
    // its smallest text and fitting makes that less than 9 pixels high;
    // then at the zoom that keeps it readable, from the top left corner.
    start() {
      const [w] = this.size();
      if (!w) return;
      const smallest = +this.svg.dataset.minText || 0;
      const readable = smallest ? 9 / smallest : 0;
      if (Math.min(1, w / this.width) >= readable) return this.fit();
      this.scale = readable;
      this.x = this.left;
      this.y = this.top;
      this.apply();
    }
    // The whole width in sight, never enlarged; the top at the top.
    fit() {
      const [w] = this.size();
      if (!w) return;
      this.scale = Math.min(1, w / this.width);
      this.x = this.left - Math.max(0, w / this.scale - this.width) / 2;
      this.y = this.top;
      this.apply();
    }
    apply() {
      const [w, h] = this.size();
      if (!w || !h) return;  // hidden
      if (!this.scale) return this.start();
      const vw = w / this.scale, vh = h / this.scale, keep = 40 / this.scale;
      // Some of the picture stays in sight.
      this.x = Math.min(Math.max(this.x, this.left + keep - vw), this.left + this.width - keep);
      this.y = Math.min(Math.max(this.y, this.top + keep - vh), this.top + this.height - keep);
      this.svg.setAttribute('viewBox', [this.x, this.y, vw, vh].map(n => +n.toFixed(2)).join(' '));
      const margin = 4 / this.scale;
      for (const h of this.headers || []) {
        const down = this.y + margin - h.top;
        h.copy.style.display = down > 0 ? '' : 'none';
        if (down > 0) h.copy.setAttribute('transform', 'translate(0 ' + down.toFixed(2) + ')');
      }
    }
    // Zooms about a point given in pixels from the view's top-left corner.
    zoom(factor, px, py) {
      const scale = Math.min(Math.max(this.scale * factor, 0.02), 32);
      this.x += px / this.scale - px / scale;
      this.y += py / this.scale - py / scale;
      this.scale = scale;
      this.apply();
    }
    zoomAtCentre(factor) {
      const [w, h] = this.size();
      this.zoom(factor, w / 2, h / 2);
    }
    pan(dx, dy) {
      this.x -= dx / this.scale;
      this.y -= dy / this.scale;
      this.apply();
    }
  }

  // Made when its page first shows, so that it fits the real view size.
  function makeView(page) {
    if (views.has(page)) return;
    const box = page.querySelector('.view');
    views.set(page, box && box.querySelector('svg[viewBox]') ? new View(box) : null);
  }

  function show(id) {
    const page = pages.find(p => p.id === id) || pages[0];
    if (!page || page === current) return;
    if (current) current.classList.remove('shown');
    page.classList.add('shown');
    current = page;
    for (const list of document.querySelectorAll('nav ol.index'))
      list.hidden = list.dataset.drawing !== page.dataset.drawing;
    for (const a of document.querySelectorAll('nav a')) {
      if (a.getAttribute('href') === '#' + page.id) a.setAttribute('aria-current', 'page');
      else a.removeAttribute('aria-current');
    }
    if (tools) tools.hidden = !page.querySelector('.view svg[viewBox]');
    makeView(page);
    window.scrollTo(0, 0);
  }

  function showHash() {
    let id = location.hash.slice(1);
    try { id = decodeURIComponent(id); } catch (e) { /* keep it as it is */ }
    show(id);
  }

  const keys = {
    '+': v => v.zoomAtCentre(1.25), '=': v => v.zoomAtCentre(1.25),
    '-': v => v.zoomAtCentre(0.8), '_': v => v.zoomAtCentre(0.8), '0': v => v.fit(),
    ArrowLeft: v => v.pan(60, 0), ArrowRight: v => v.pan(-60, 0),
    ArrowUp: v => v.pan(0, 60), ArrowDown: v => v.pan(0, -60),
  };
  document.addEventListener('keydown', e => {
    const v = current && views.get(current);
    const act = keys[e.key];
    if (!v || !act || e.ctrlKey || e.metaKey || e.altKey) return;
    if (/^(INPUT|TEXTAREA|SELECT)$/.test(e.target.tagName)) return;
    e.preventDefault();
    act(v);
  });
  if (tools) {
    tools.addEventListener('click', e => {
      const button = e.target.closest('button');
      const v = current && views.get(current);
      if (button && v) keys[button.dataset.key](v);
    });
  }
  window.addEventListener('hashchange', showHash);
  showHash();
})();
