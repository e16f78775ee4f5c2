(() => {
  'use strict';
  document.querySelectorAll('table.sortable').forEach(table => {
    table.querySelectorAll('th').forEach((th, column) => {
      th.addEventListener('click', () => {
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
  if (!filter) return;
  const count = document.getElementById('filter-count');
  const table = document.getElementById('methods');
  const rows = [...table.tBodies[0].rows];
  // The columns by the keys their headers carry.
  const column = {};
  [...table.tHead.rows[0].cells].forEach((th, i) => { if (th.dataset.key) column[th.dataset.key] = i; });
  const value = (row, key) => column[key] === undefined ? '' : row.cells[column[key]].textContent;
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
    return row => startsAt(value(row, 'method'), word, true) || startsAt(value(row, 'class'), word, true) ||
                  startsAt(value(row, 'file'), word, true);
  };
  const apply = () => {
    const tests = filter.value.trim().split(/\s+/).filter(Boolean).map(test);
    let shown = 0;
    for (const row of rows) {
      row.hidden = !tests.every(t => t(row));
      if (!row.hidden) ++shown;
    }
    if (count) count.textContent = tests.length ? shown + ' of ' + rows.length + ' methods' : rows.length + ' methods';
  };
  filter.addEventListener('input', () => {
    apply();
    history.replaceState(null, '', filter.value ? '#q=' + encodeURIComponent(filter.value) : location.pathname);
  });
  const fromAddress = () => {
    if (!location.hash.startsWith('#q=')) return;
    const text = location.hash.slice(3);
    try { filter.value = decodeURIComponent(text); } catch (e) { filter.value = text; }
    apply();
  };
  window.addEventListener('hashchange', fromAddress);
  fromAddress();
  apply();
})();
