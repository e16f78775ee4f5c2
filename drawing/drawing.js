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
      this.makeMap();
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
      if (window.ResizeObserver) {
        // The picture can change size without its view: something else
        // the view holds may come or go.
        const observer = new ResizeObserver(() => this.apply());
        observer.observe(box);
        observer.observe(this.svg);
      }
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
    // The picture's own box: what else the view holds (a border, a panel)
    // must not count, or the picture would be scaled down to fit.
    size() {
      const r = this.svg.getBoundingClientRect();
      return [r.width, r.height];
    }
    // The size of the smallest text in picture units: given by pages read
    // from the top down, else found among the picture's texts.
    smallestText() {
      if (this.smallest === undefined) {
        this.smallest = +this.svg.dataset.minText || 0;
        if (!this.smallest) {
          for (const t of this.svg.querySelectorAll('text[font-size]')) {
            const size = parseFloat(t.getAttribute('font-size'));
            if (size > 0 && (!this.smallest || size < this.smallest)) this.smallest = size;
          }
        }
      }
      return this.smallest;
    }
    // The zoom that shows the whole picture, never enlarged.
    fitScale() {
      const [w, h] = this.size();
      return Math.min(1, w / this.width, h / this.height);
    }
    // Where a page opens: whole, when that keeps its smallest text at
    // least 9 pixels high; else at the zoom that does, at the top left of
    // a page read from the top down, or with a flowchart's start (its
    // topmost box when folded) at the top of the view.
    start() {
      const [w, h] = this.size();
      if (!w || !h) return;
      const smallest = this.smallestText();
      const readable = smallest ? 9 / smallest : 0;
      if (this.fitScale() >= readable) return this.fit();
      this.scale = readable;
      this.x = this.left;
      this.y = this.top;
      const first = this.headers.length ? null : this.firstBox();
      if (first) {
        const vw = w / this.scale, vh = h / this.scale;
        this.x = Math.min(Math.max(first.x + first.width / 2 - vw / 2, this.left), this.left + this.width - vw);
        this.y = Math.min(Math.max(first.y - 12 / this.scale, this.top), this.top + this.height - vh);
      }
      this.apply();
    }
    firstBox() {
      const start = this.svg.querySelector('g.shape[data-master="Start"]');
      if (start) return start.getBBox();
      let top = null;
      for (const shape of this.svg.querySelectorAll('g.shape:not([data-master="Frame"])')) {
        const b = shape.getBBox();
        if (b.width && (!top || b.y < top.y)) top = b;
      }
      return top;
    }
    // The whole picture in sight, centred, never enlarged.
    fit() {
      const [w, h] = this.size();
      if (!w || !h) return;
      this.scale = this.fitScale();
      this.x = this.left - (w / this.scale - this.width) / 2;
      this.y = this.top - (h / this.scale - this.height) / 2;
      this.apply();
    }
    // Pans the least that brings a rectangle of the picture into sight
    // (its top left corner when it is larger than the view).
    reveal(x, y, width, height) {
      const [w, h] = this.size();
      if (!w || !h || !this.scale) return;
      const vw = w / this.scale, vh = h / this.scale, margin = 16 / this.scale;
      const along = (from, size, start, room) => {
        if (size + 2 * margin > room || from - margin < start) return from - margin;
        if (from + size + margin > start + room) return from + size + margin - room;
        return start;
      };
      this.x = along(x, width, this.x, vw);
      this.y = along(y, height, this.y, vh);
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
      if (this.map) this.showMap(w, h, vw, vh);
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
    // A small copy of the whole picture in a corner, shown while the
    // picture is larger than the view, with the view's rectangle on it:
    // dragging the rectangle, or pressing anywhere on the map, moves the
    // view there.
    makeMap() {
      const ns = 'http://www.w3.org/2000/svg';
      const picture = document.createElementNS(ns, 'g');
      picture.id = (this.box.closest('.page') || this.box).id + '-picture';
      // The picture's own title and description stay where a screen
      // reader looks for them: the svg's first children.
      for (const child of [...this.svg.childNodes])
        if (!/^(title|desc)$/.test(child.localName || '')) picture.appendChild(child);
      this.svg.appendChild(picture);
      const map = document.createElement('div');
      map.className = 'minimap';
      map.hidden = true;
      const side = 180 / Math.max(this.width, this.height);
      const svg = document.createElementNS(ns, 'svg');
      svg.setAttribute('viewBox', [this.left, this.top, this.width, this.height].join(' '));
      svg.setAttribute('width', Math.max(24, this.width * side).toFixed(0));
      svg.setAttribute('height', Math.max(24, this.height * side).toFixed(0));
      svg.setAttribute('aria-hidden', 'true');
      const use = document.createElementNS(ns, 'use');
      use.setAttribute('href', '#' + picture.id);
      const rect = document.createElementNS(ns, 'rect');
      rect.setAttribute('class', 'minimap-view');
      svg.append(use, rect);
      map.appendChild(svg);
      this.box.appendChild(map);
      this.map = {box: map, svg, rect};
      let dragging = null;
      const toPicture = e => {
        const r = svg.getBoundingClientRect();
        return [this.left + (e.clientX - r.left) / r.width * this.width,
                this.top + (e.clientY - r.top) / r.height * this.height];
      };
      map.addEventListener('pointerdown', e => {
        e.stopPropagation();
        if (e.button !== 0) return;
        const [w, h] = this.size();
        const [px, py] = toPicture(e);
        const vw = w / this.scale, vh = h / this.scale;
        // Pressed on the rectangle it is picked up where it is held; elsewhere it centres there.
        const inside = px >= this.x && px <= this.x + vw && py >= this.y && py <= this.y + vh;
        if (!inside) {
          this.x = px - vw / 2;
          this.y = py - vh / 2;
          this.apply();
        }
        dragging = {id: e.pointerId, dx: px - this.x, dy: py - this.y};
        map.setPointerCapture(e.pointerId);
      });
      map.addEventListener('pointermove', e => {
        if (!dragging || e.pointerId !== dragging.id) return;
        e.stopPropagation();
        const [px, py] = toPicture(e);
        this.x = px - dragging.dx;
        this.y = py - dragging.dy;
        this.apply();
      });
      const drop = e => {
        if (dragging && e.pointerId === dragging.id) dragging = null;
        e.stopPropagation();
      };
      map.addEventListener('pointerup', drop);
      map.addEventListener('pointercancel', drop);
      map.addEventListener('wheel', e => e.stopPropagation());
    }
    showMap(w, h, vw, vh) {
      const { box, rect } = this.map;
      box.hidden = this.width * this.scale <= w + 1 && this.height * this.scale <= h + 1;
      if (box.hidden) return;
      const x = Math.max(this.x, this.left), y = Math.max(this.y, this.top);
      rect.setAttribute('x', x.toFixed(2));
      rect.setAttribute('y', y.toFixed(2));
      rect.setAttribute('width', Math.max(0, Math.min(this.x + vw, this.left + this.width) - x).toFixed(2));
      rect.setAttribute('height', Math.max(0, Math.min(this.y + vh, this.top + this.height) - y).toFixed(2));
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

  // For other scripts of the page: the view of the page shown, whose
  // reveal(x, y, width, height) brings a rectangle of its picture (in the
  // picture's units) into sight.
  window.flowchartViews = { current: () => (current && views.get(current)) || null };
})();
