// Runs `flowchart check --format sarif` on a file with methods over its
// thresholds and on one that does not parse, on one hiding code behind a
// Unicode escape, and on files with hostile
// names, and validates the reports against the SARIF 2.1.0 schema (from
// npm) with ajv.  Exits 77 (skipped)
// when the npm packages are not installed.
//   node validate.js FLOWCHART NODE_MODULES
'use strict';
const childProcess = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const flowchart = path.resolve(process.argv[2]);
const modules = path.resolve(process.argv[3]);
const schemaPath = path.join(modules, '@microsoft/jest-sarif/lib/schemas/sarif-2.1.0-rtm.5.json');
if (!fs.existsSync(schemaPath) || !fs.existsSync(path.join(modules, 'ajv'))) {
  console.log('skipped: the npm packages of tests/sarif are not installed (scripts/setup installs them)');
  process.exit(77);
}
const Ajv = require(path.join(modules, 'ajv'));
const ajv = new Ajv({schemaId: 'auto', allErrors: true});
ajv.addMetaSchema(require(path.join(modules, 'ajv/lib/refs/json-schema-draft-04.json')));
const validate = ajv.compile(JSON.parse(fs.readFileSync(schemaPath, 'utf8')));

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'sarif-check-'));
let failed = 0;
function check(what, condition) {
  if (!condition) {
    console.log('FAILED: ' + what);
    failed++;
  }
}
try {
  fs.mkdirSync(path.join(dir, 'src dir'));
  fs.writeFileSync(path.join(dir, 'src dir', 'Busy.java'),
      'class Busy {\n  int m(int a, boolean b) {\n    if (a > 0 && b) { for (;;) { if (b) return 1; } }\n' +
      '    return a > 1 ? 2 : 3;\n  }\n  void quiet() { }\n}\n');
  fs.writeFileSync(path.join(dir, 'src dir', 'Broken.java'), 'class Broken {\n  void m( {\n}\n');
  const run = childProcess.spawnSync(flowchart,
      ['check', 'src dir', '--max-cc', '2', '--max-cognitive', '3', '--format', 'sarif', '-o', 'report.sarif'],
      {cwd: dir, encoding: 'utf8'});
  check('exit code 1 for the file that does not parse, was ' + run.status, run.status === 1);
  const report = JSON.parse(fs.readFileSync(path.join(dir, 'report.sarif'), 'utf8'));
  const valid = validate(report);
  check('valid SARIF 2.1.0: ' + JSON.stringify(validate.errors, null, 1), valid);
  const results = report.runs[0].results;
  check('two results, was ' + results.length, results.length === 2);
  const rules = report.runs[0].tool.driver.rules.map((rule) => rule.id);
  for (const result of results) {
    check('rule index matches ' + result.ruleId, rules[result.ruleIndex] === result.ruleId);
    const location = result.locations[0];
    const artifact = location.physicalLocation.artifactLocation;
    check('uri ' + artifact.uri + ' below ' + artifact.uriBaseId,
        artifact.uri === 'src%20dir/Busy.java' && artifact.uriBaseId === '%SRCROOT%');
    check('a fingerprint', /^[0-9a-f]{16}$/.test(result.partialFingerprints.primaryLocationLineHash));
    check('start line', location.physicalLocation.region.startLine === 2);
    check('method name', location.logicalLocations[0].fullyQualifiedName === 'Busy.m(int, boolean)');
  }
  check('cyclomatic 6 > 2', results[0].properties.value === 6 && results[0].properties.maximum === 2);
  check('cognitive 8 > 3', results[1].properties.value === 8 && results[1].properties.maximum === 3);
  const base = report.runs[0].originalUriBaseIds['%SRCROOT%'].uri;
  check('the source root is the folder checked in: ' + base, base === 'file://' + fs.realpathSync(dir) + '/');
  check('one run per category', report.runs.map((run) => run.automationDetails.id).join() ===
        'flowchart/measures/,flowchart/unicode-escapes/');
  const notes = report.runs[0].invocations[0].toolExecutionNotifications;
  check('the file that does not parse is a notification', notes.length === 1 &&
        notes[0].locations[0].physicalLocation.region.startLine === 2);

  // Code hidden behind a Unicode escape: a result of its own rule, with
  // the escape's columns.
  fs.writeFileSync(path.join(dir, 'Hidden.java'),
      'class Hidden {\n  int f(int x) {\n    // tidy \\u000a x = 2;\n    return x;\n  }\n}\n');
  const hiddenRun = childProcess.spawnSync(flowchart, ['check', 'Hidden.java', '--format', 'sarif', '-o', 'hidden.sarif'],
      {cwd: dir, encoding: 'utf8'});
  check('exit code 3 for hidden code, was ' + hiddenRun.status, hiddenRun.status === 3);
  const hiddenReport = JSON.parse(fs.readFileSync(path.join(dir, 'hidden.sarif'), 'utf8'));
  check('valid SARIF 2.1.0 with hidden code: ' + JSON.stringify(validate.errors, null, 1), validate(hiddenReport));
  const hiddenRules = hiddenReport.runs[1].tool.driver.rules;
  const hidden = hiddenReport.runs[1].results;
  check('one result, was ' + hidden.length, hidden.length === 1);
  check('its rule, with help', hidden.length === 1 && hiddenRules[hidden[0].ruleIndex].id === 'unicode-escape' &&
        hidden[0].ruleId === 'unicode-escape' && hiddenRules[hidden[0].ruleIndex].help.text.length > 0);
  const region = hidden.length === 1 ? hidden[0].locations[0].physicalLocation.region : {};
  check('the escape\'s place ' + JSON.stringify(region),
      region.startLine === 3 && region.startColumn === 13 && region.endColumn === 19);

  // File names that break naive writers: an ISO-8859-1 byte, spaces,
  // quotes, a colon, a backslash.  The log must be strict UTF-8 and valid.
  const hostile = path.join(dir, 'hostile "names"');
  fs.mkdirSync(hostile);
  const busy = ' {\n  int f(int a) { return a > 0 ? 1 : 2; }\n}\n';
  const latin1Name = Buffer.concat([Buffer.from(hostile + '/Lat'), Buffer.from([0xe9]), Buffer.from('n.java')]);
  fs.writeFileSync(latin1Name, Buffer.concat([Buffer.from('class Lat'), Buffer.from([0xe9]), Buffer.from('n' + busy)]));
  for (const name of ['sp ace.java', 'q"uote.java', 'co:lon.java', 'back\\slash.java'])
    fs.writeFileSync(path.join(hostile, name), 'class X' + busy);
  const hostileRun = childProcess.spawnSync(flowchart,
      ['check', 'hostile "names"', '--max-cc', '1', '--format', 'sarif', '-o', 'hostile.sarif'], {cwd: dir});
  check('exit code 3 over the threshold, was ' + hostileRun.status, hostileRun.status === 3);
  let hostileReport = null;
  try {
    const text = new TextDecoder('utf-8', {fatal: true}).decode(fs.readFileSync(path.join(dir, 'hostile.sarif')));
    hostileReport = JSON.parse(text);
  } catch (error) {
    check('the log of hostile names is UTF-8 JSON: ' + error, false);
  }
  if (hostileReport) {
    check('valid SARIF 2.1.0 with hostile names: ' + JSON.stringify(validate.errors, null, 1),
        validate(hostileReport));
    const uris = hostileReport.runs[0].results.map(
        (result) => result.locations[0].physicalLocation.artifactLocation.uri).sort();
    const folder = 'hostile%20%22names%22/';
    const expected = ['Lat%E9n.java', 'back%5Cslash.java', 'co%3Alon.java', 'q%22uote.java', 'sp%20ace.java']
        .map((name) => folder + name);
    check('uris ' + JSON.stringify(uris), JSON.stringify(uris) === JSON.stringify(expected));
    const names = hostileReport.runs[0].results.map(
        (result) => result.locations[0].logicalLocations[0].fullyQualifiedName).sort();
    check('the Latin-1 class name read once: ' + names[0], names[0] === 'Lat\u00e9n.f(int)');
  }
} finally {
  fs.rmSync(dir, {recursive: true, force: true});
}
console.log(failed === 0 ? '1 passed, 0 failed' : '0 passed, 1 failed');
process.exit(failed === 0 ? 0 : 1);
