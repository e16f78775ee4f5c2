(() => {
  'use strict';
  // A header sorts its table when clicked; its text is made a button so
  // that the keyboard reaches it and sorts by it too.
  const sortsOn = (th, sort) => {
    const button = document.createElement('button');
    button.type = 'button';
    button.append(...th.childNodes);
    th.append(button);
    th.addEventListener('click', sort);
  };
  // The index's tables of methods and files sort their data, below.
  document.querySelectorAll('table.sortable:not(#methods):not(#file-table)').forEach(table => {
    table.querySelectorAll('th').forEach((th, column) => {
      sortsOn(th, () => {
        const ascending = th.getAttribute('aria-sort') !== 'ascending';
        table.querySelectorAll('th').forEach(h => h.removeAttribute('aria-sort'));
        th.setAttribute('aria-sort', ascending ? 'ascending' : 'descending');
        const body = table.tBodies[0], rows = [...body.rows];
        const key = row => {
          const c = row.cells[column], v = c.getAttribute('data-v');
          return v !== null ? v : c.textContent;
        };
        const numeric = th.classList.contains('n');
        rows.sort((a, b) => {
          let x = key(a), y = key(b);
          if (numeric) {
            x = x === '' ? -Infinity : +x;
            y = y === '' ? -Infinity : +y;
            return ascending ? x - y : y - x;
          }
          return ascending ? x.localeCompare(y) : y.localeCompare(x);
        });
        rows.forEach(r => body.appendChild(r));
      });
    });
  });
  const filter = document.getElementById('filter');
  const table = document.getElementById('methods');
  const data = window.flowchartMethods;
  if (!filter || !table || !data) return;
  const count = document.getElementById('filter-count');
  const escaped = text => String(text).replace(/[&<>"']/g,
      c => ({'&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;'})[c]);
  const shown = v => v === null || v === undefined ? '' : String(v);
  // Every method, as the rows of the table show it; a row's HTML is made
  // only when it is shown.
  const rowsOf = part => part.methods.map(m => {
    const [path, folder] = part.files[m[0]];
    return {file: path, folder, classNumber: m[1], class: m[2], method: m[3], drawing: m[4], problem: m[5],
            line: m[6], nloc: m[7], cc: m[8], cog: m[9], hv: m[10], sequence: m[11] ? 'sequence' : '',
            sequenceUrl: m[11]};
  });
  const rows = rowsOf(data);
  // A big site's rows come in parts: the first is shown at once, the
  // others are loaded after it, in order, by script tags (a page opened
  // from a file may not fetch its neighbours).
  const parts = data.parts || 1, total = data.total === undefined ? rows.length : data.total;
  let partsLoaded = 1, missing = '';
  const sequences = !!table.querySelector('th[data-key=sequence]');
  const link = (row, anchor, text) => row.folder
      ? '<a href="' + escaped(row.folder + 'index.html' + anchor) + '">' + escaped(text) + '</a>' : escaped(text);
  const cell = (html, cls) => '<td' + (cls ? ' class="' + cls + '"' : '') + '>' + html + '</td>';
  const rowHtml = row => '<tr>' + cell(link(row, '', row.file), 'name') +
      cell(link(row, '#class-' + row.classNumber, row.class), 'name') +
      cell(row.drawing ? '<a href="' + escaped(row.folder + row.drawing) + '">' + escaped(row.method) + '</a>'
                       : escaped(row.method) + ' <span class="problem">(' + escaped(row.problem) + ')</span>', 'name') +
      cell(shown(row.line), 'n') + cell(shown(row.nloc), 'n') + cell(shown(row.cc), 'n') + cell(shown(row.cog), 'n') +
      cell(shown(row.hv), 'n') +
      (sequences ? cell(row.sequenceUrl ? '<a href="' + escaped(row.folder + row.sequenceUrl) + '">sequence</a>' : '')
                 : '') + '</tr>';
  const value = (row, key) => shown(row[key]);
  const measures = {cc: 'cc', cog: 'cog', cognitive: 'cog', nloc: 'nloc', hv: 'hv', line: 'line'};
  const fields = {class: 'class', method: 'method', file: 'file'};
  // Where a name of the text starts: its beginning or after a character
  // that is no letter or digit; with words, also a capital after a small
  // letter (the Map of HashMap).
  const startsAt = (text, word, words) => {
    const lower = text.toLowerCase();
    for (let i = lower.indexOf(word); i >= 0; i = lower.indexOf(word, i + 1)) {
      const before = text[i - 1];
      if (i === 0 || !/[A-Za-z0-9]/.test(before) || (words && /[A-Z]/.test(text[i]) && /[a-z0-9]/.test(before)))
        return true;
    }
    return false;
  };
  const compare = {'>': (a, b) => a > b, '>=': (a, b) => a >= b, '<': (a, b) => a < b, '<=': (a, b) => a <= b,
                   '=': (a, b) => a === b};
  const test = term => {
    const measure = /^([a-z]+)(>=|<=|>|<|=)(\d+(?:\.\d+)?)$/.exec(term);
    if (measure && measures[measure[1]]) {
      const name = measures[measure[1]], op = compare[measure[2]], limit = +measure[3];
      return row => { const v = value(row, name); return v !== '' && op(+v, limit); };
    }
    const field = /^([a-z]+):(.*)$/.exec(term);
    if (field && fields[field[1]]) {
      const name = fields[field[1]], word = field[2].toLowerCase();
      return row => startsAt(value(row, name), word, false);
    }
    const word = term.toLowerCase();
    return row => startsAt(row.method, word, true) || startsAt(row.class, word, true) ||
                  startsAt(row.file, word, true);
  };
  // Runs `then` once the page as it stands has been drawn: the browser
  // asks for the second frame only when the first is on its way to the
  // screen, which work begun sooner would hold up.
  const afterFrames = then => requestAnimationFrame(() => requestAnimationFrame(() => setTimeout(then, 0)));
  // A table whose rows are made from data, a page of them at a time, in
  // the order its last header clicked asks for: the methods' (filtered)
  // and the files'.
  const pagedTable = (element, rows, {page, rowHtml, counted, moreButtons}) => {
    const t = {rows, ordered: rows, matching: rows, limit: page, sortedBy: null, tests: [], made: 0};
    const [more, showMore, showAll] = moreButtons.map(id => document.getElementById(id));
    // Opening, the rows a window holds are made first and the rest of the
    // page once they are drawn: a page of rows takes several times as long
    // to lay out as the window's worth.
    t.render = (rowsAsShown, opening) => {
      if (!rowsAsShown) {
        const body = element.tBodies[0], page = t.matching.slice(0, t.limit), made = ++t.made;
        const first = opening ? Math.min(page.length, Math.max(20, Math.ceil(innerHeight / 20))) : page.length;
        body.innerHTML = page.slice(0, first).map(rowHtml).join('');
        if (first < page.length) {
          afterFrames(() => {
            if (made === t.made) body.insertAdjacentHTML('beforeend', page.slice(first).map(rowHtml).join(''));
          });
        }
      }
      more.hidden = t.matching.length <= t.limit;
      counted(t);
    };
    t.apply = (keepLimit, opening) => {
      t.matching = t.tests.length ? t.ordered.filter(row => t.tests.every(test => test(row))) : t.ordered;
      if (!keepLimit) t.limit = page;
      t.render(false, opening);
    };
    t.sort = () => {
      if (!t.sortedBy) {
        t.ordered = t.rows;
        return;
      }
      const {key, numeric, sign} = t.sortedBy;
      t.ordered = [...t.rows].sort((a, b) => {
        if (numeric) {
          const x = a[key] === null ? -Infinity : +a[key], y = b[key] === null ? -Infinity : +b[key];
          return sign * (x - y);
        }
        return sign * value(a, key).localeCompare(value(b, key));
      });
    };
    // Rows of a part loaded later: unsorted and unfiltered, the rows on
    // show stay as they are when they are a whole page already, the new
    // rows coming after them.
    t.add = added => {
      const before = t.rows.length;
      for (const row of added) t.rows.push(row);
      if (!t.sortedBy && !t.tests.length) {
        t.ordered = t.matching = t.rows;
        t.render(before >= t.limit);
        return;
      }
      t.sort();
      t.apply(true);
    };
    element.querySelectorAll('th').forEach(th => {
      sortsOn(th, () => {
        const ascending = th.getAttribute('aria-sort') !== 'ascending';
        element.querySelectorAll('th').forEach(h => h.removeAttribute('aria-sort'));
        th.setAttribute('aria-sort', ascending ? 'ascending' : 'descending');
        t.sortedBy = {key: th.dataset.key, numeric: th.classList.contains('n'), sign: ascending ? 1 : -1};
        t.sort();
        t.apply();
      });
    });
    showMore.addEventListener('click', () => { t.limit += page; t.render(); });
    showAll.addEventListener('click', () => { t.limit = t.matching.length; t.render(); });
    return t;
  };
  const loading = () => missing ? '; ' + missing + ' could not be loaded: ' + (total - methods.rows.length) +
      ' methods missing' : partsLoaded < parts ? '; loading: ' + methods.rows.length + ' of ' + total +
      ' methods so far, the filter and sorting over those' : '';
  const methods = pagedTable(table, rows, {page: 500, rowHtml, moreButtons: ['more-methods', 'show-more', 'show-all'],
    counted: t => {
      const of = t.matching.length > t.limit ? ' (' + t.limit + ' shown)' : '';
      if (count)
        count.textContent = (t.matching.length === t.rows.length && !filter.value.trim()
            ? t.rows.length + ' methods' : t.matching.length + ' of ' + t.rows.length + ' methods') + of + loading();
    }});
  const apply = (keepLimit, opening) => {
    methods.tests = filter.value.trim().split(/\s+/).filter(Boolean).map(test);
    methods.apply(keepLimit, opening);
  };
  // The files' table, below the methods, is made once the first rows are
  // shown.
  const filesOf = part => part.files.map(([path, folder, classes, methodCount, nloc, hv, notDrawn]) =>
      ({path, folder, classes, methods: methodCount, nloc, hv, notDrawn}));
  const fileTable = document.getElementById('file-table'), fileCount = document.getElementById('file-count');
  const totalFiles = data.totalFiles === undefined ? data.files.length : data.totalFiles;
  const fileRowHtml = row => '<tr>' + cell(link({folder: row.folder}, '', row.path), 'name') +
      cell(shown(row.classes), 'n') + cell(shown(row.methods), 'n') + cell(shown(row.nloc), 'n') +
      cell(shown(row.hv), 'n') + cell(shown(row.notDrawn), 'n') + '</tr>';
  const files = fileTable && fileCount && pagedTable(fileTable, filesOf(data), {
    page: 200, rowHtml: fileRowHtml, moreButtons: ['more-files', 'show-more-files', 'show-all-files'],
    counted: t => {
      fileCount.textContent = (t.rows.length < totalFiles ? t.rows.length + ' of ' + totalFiles + ' files loaded'
          : t.rows.length + ' files') + (t.matching.length > t.limit ? ' (' + t.limit + ' shown)' : '');
    }});
  window.flowchartAddMethods = part => {
    ++partsLoaded;
    methods.add(rowsOf(part));
    if (files) files.add(filesOf(part));
  };
  // Once the page has opened and drawn its first rows, not before.
  const loadParts = () => {
    if (files) files.render();
    const firstPart = document.querySelector('script[src$="methods.js"]');
    for (let p = 2; p <= parts && firstPart; ++p) {
      const script = document.createElement('script');
      script.src = firstPart.getAttribute('src').replace(/methods\.js$/, 'methods-' + p + '.js');
      script.async = false;  // run in order
      script.onerror = () => {
        missing = script.getAttribute('src');
        methods.render(true);
      };
      document.body.appendChild(script);
    }
  };
  if (document.readyState === 'complete') afterFrames(loadParts);
  else window.addEventListener('load', () => afterFrames(loadParts));
  filter.addEventListener('input', () => {
    apply();
    history.replaceState(null, '', filter.value ? '#q=' + encodeURIComponent(filter.value) : location.pathname);
  });
  const fromAddress = () => {
    if (!location.hash.startsWith('#q=')) return false;
    const text = location.hash.slice(3);
    try { filter.value = decodeURIComponent(text); } catch (e) { filter.value = text; }
    return true;
  };
  window.addEventListener('hashchange', () => fromAddress() && apply());
  fromAddress();
  apply(false, true);
})();
