// SPDX-License-Identifier: MIT
// The start page's search logic (templates/search.js), and the data a run writes for it.
// Run by ctest: node search_test.js TEMPLATES_DIR CONVERTER
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const childProcess = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const vm = require('node:vm');

const [templates, converter] = process.argv.slice(2).map((arg) => path.resolve(arg));
const searchScript = path.join(templates, 'search.js');
const logic = require(searchScript);

const data = [
  ['Новости', 'Ёлка на площади', 'http://news.example/elka', 'Weather Report', 'https://weather.example/forecast?days=7'],
  ['Reference & Docs', 'Tom & Jerry <b>', 'http://t.example/a&b', 'C++ (regex) [x] .* $1 \\d', 'http://c.example/'],
  ['Архив', 'Энциклопедия', 'https://wiki.example/%D0%97%D0%B0%D0%BA%D0%BB%D0%B0%D0%B4%D0%BA%D0%B0', 'broken', 'http://b.example/%E0%A4%A'],
  ['Empty'],
];
const links = logic.prepare(data);
const names = (query) => logic.search(links, query).map((link) => link.name);

test('every word must occur in the name or the address, in any order', () => {
  assert.deepStrictEqual(names('weather'), ['Weather Report']);
  assert.deepStrictEqual(names('report forecast'), ['Weather Report']); // one in the name, one in the address
  assert.deepStrictEqual(names('forecast   weather\t'), ['Weather Report']);
  assert.deepStrictEqual(names('weather elka'), []);
  assert.deepStrictEqual(names('example').length, 6);
});

test('letter case never matters, Cyrillic included, and yo reads as ye', () => {
  assert.deepStrictEqual(names('WEATHER'), ['Weather Report']);
  assert.deepStrictEqual(names('ёлка'), ['Ёлка на площади']);
  assert.deepStrictEqual(names('ЕЛКА ПЛОЩАДИ'), ['Ёлка на площади']);
  assert.deepStrictEqual(names('елка'), ['Ёлка на площади']);
  assert.deepStrictEqual(names('энциклопедия'), ['Энциклопедия']);
});

test('a percent-encoded address is searched as it reads, a malformed one as it stands', () => {
  assert.deepStrictEqual(names('закладка'), ['Энциклопедия']);
  assert.deepStrictEqual(names('%E0%A4%A'), ['broken']);
});

test('no words, or words nowhere, find nothing; the section is not searched', () => {
  assert.deepStrictEqual(names(''), []);
  assert.deepStrictEqual(names('   '), []);
  assert.deepStrictEqual(names('nowhere'), []);
  assert.deepStrictEqual(names('архив'), []);
  assert.strictEqual(logic.search(links, 'weather')[0].section, 'Новости');
});

test('characters special in HTML or regular expressions are plain characters', () => {
  assert.deepStrictEqual(names('<b>'), ['Tom & Jerry <b>']);
  assert.deepStrictEqual(names('&'), ['Tom & Jerry <b>']);
  assert.deepStrictEqual(names('a&b'), ['Tom & Jerry <b>']);
  assert.deepStrictEqual(names('(regex) [x]'), ['C++ (regex) [x] .* $1 \\d']);
  assert.deepStrictEqual(names('.* $1 \\d c++'), ['C++ (regex) [x] .* $1 \\d']);
  assert.deepStrictEqual(names('.*'), ['C++ (regex) [x] .* $1 \\d']);
  assert.deepStrictEqual(names('^'), []);
  assert.deepStrictEqual(names('*'), ['C++ (regex) [x] .* $1 \\d']);
});

test('addresses that would run code are never made links', () => {
  for (const address of ['javascript:alert(1)', ' JavaScript:x', 'java\nscript:x', 'vbscript:x', 'DATA:text/html,x']) {
    assert.strictEqual(logic.isSafeAddress(address), false, address);
  }
  for (const address of ['http://a.example/javascript:', 'https://x.example/', 'mailto:a@b.example', 'ftp:x']) {
    assert.strictEqual(logic.isSafeAddress(address), true, address);
  }
});

// Just enough of a page for start(): the form, the results and the start text.
function fakePage(search, withData) {
  const element = (id) => ({ id, style: { display: 'none' }, childNodes: [], attributes: {} });
  const box = { value: 'untouched', listeners: {}, addEventListener(kind, fn) { this.listeners[kind] = fn; } };
  const form = Object.assign(element('search'), { elements: { q: box }, getAttribute: (name) => `${name}:{n}` });
  const results = element('results');
  Object.defineProperty(results, 'firstChild', { get: () => results.childNodes[0] });
  results.removeChild = (child) => results.childNodes.splice(results.childNodes.indexOf(child), 1);
  results.appendChild = (child) => results.childNodes.push(child);
  const start = Object.assign(element('start'), { style: { display: '' } });
  const made = (tag) => ({
    tagName: tag.toUpperCase(), style: {}, childNodes: [], textContent: '',
    appendChild(child) { this.childNodes.push(child); },
  });
  const document = {
    getElementById: (id) => ({ search: form, results, start })[id] || null,
    createElement: made,
    createTextNode: (text) => ({ textContent: text }),
  };
  return { window: { document, location: { search }, trevantoSearchData: withData ? data : undefined }, form, results, start, box };
}

test('the page shows the box and the results of ?q=, or stays as it was without data', () => {
  const page = fakePage('?q=%D0%B5%D0%BB%D0%BA%D0%B0+%D0%BF%D0%BB%D0%BE%D1%89%D0%B0%D0%B4%D0%B8', true);
  logic.start(page.window);
  assert.strictEqual(page.form.style.display, '');
  assert.strictEqual(page.box.value, 'елка площади');
  assert.strictEqual(page.start.style.display, 'none');
  const [summary, list] = page.results.childNodes;
  assert.strictEqual(summary.textContent, 'data-found:1');
  const anchor = list.childNodes[0].childNodes[2];
  assert.deepStrictEqual([anchor.tagName, anchor.href, anchor.target, anchor.textContent],
    ['A', 'http://news.example/elka', 'index', 'Ёлка на площади']);

  page.box.value = 'nowhere at all';
  page.box.listeners.input();
  assert.deepStrictEqual(page.results.childNodes.map((node) => node.textContent), ['data-none:{n}', '']);
  page.box.value = ' ';
  page.box.listeners.input();
  assert.strictEqual(page.start.style.display, '');
  assert.strictEqual(page.results.style.display, 'none');

  const old = fakePage('?q=x', false);
  logic.start(old.window);
  assert.strictEqual(old.form.style.display, 'none');
  assert.strictEqual(old.box.value, 'untouched');
});

test('the data a run writes load as a script and find what the pages hold', { skip: !converter }, () => {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'trevanto-search-'));
  try {
    const shortcut = (folder, name, address) => {
      fs.mkdirSync(path.join(root, 'src', folder), { recursive: true });
      fs.writeFileSync(path.join(root, 'src', folder, `${name}.url`), `[InternetShortcut]\r\nURL=${address}\r\n`);
    };
    shortcut('Новости', 'Ёжик в тумане', 'http://a.example/ёж');
    shortcut('Новости', 'say "hi" <script>x', 'http://b.example/?q="1"&r=\\');
    shortcut('Emoji', 'smile 😀 \u2028 line', 'http://c.example/');
    fs.mkdirSync(path.join(root, 'site'));
    const run = childProcess.spawnSync(converter, ['--templates', templates, path.join(root, 'src'), path.join(root, 'site')]);
    assert.strictEqual(run.status, 0, String(run.stderr));

    const dataFile = fs.readFileSync(path.join(root, 'site', 'export', 'search-data.js'));
    assert.ok(dataFile.every((byte) => byte < 0x80), 'the data are ASCII, whatever the page declares');
    const context = {};
    vm.runInNewContext(dataFile.toString('latin1'), context);
    const found = logic.prepare(context.trevantoSearchData);
    assert.deepStrictEqual(found.map((link) => [link.section, link.name, link.address]), [
      ['Emoji', 'smile 😀 \u2028 line', 'http://c.example/'],
      ['Новости', 'say "hi" <script>x', 'http://b.example/?q=%221%22&r=\\'],
      ['Новости', 'Ёжик в тумане', 'http://a.example/%D1%91%D0%B6'],
    ]);
    assert.deepStrictEqual(logic.search(found, 'ЕЖ').map((link) => link.name), ['Ёжик в тумане']);
    assert.deepStrictEqual(logic.search(found, '😀').map((link) => link.name), ['smile 😀 \u2028 line']);
    assert.strictEqual(fs.readFileSync(path.join(root, 'site', 'export', 'search.js'), 'latin1'),
      fs.readFileSync(searchScript, 'latin1'));
  } finally {
    fs.rmSync(root, { recursive: true, force: true });
  }
});
