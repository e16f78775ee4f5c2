import { test } from 'node:test';
import * as assert from 'node:assert/strict';
import * as path from 'path';
import { fakeEditor, posted, received, selectionChanged, vscode, panels } from './fake_vscode';
import { FlowchartPanel } from '../src/panel';
import { initializationOptions } from '../src/settings';

const media = path.join(__dirname, '..', '..', 'media');
const uri = 'file:///src/Order.java';
const lines = Array.from({ length: 30 }, (_, n) => 'line ' + n);

function server() {
  const asked: any[] = [];
  return {
    asked,
    sendRequest: async (method: string, params: any) => {
      asked.push({ method, params });
      const first = params.position.line < 20 ? 7 : 23;
      return { method: 'Order.m' + first, range: { start: { line: first }, end: { line: first + 10 } }, svg: '<svg/>' };
    },
  };
}

test('the panel draws the method under the cursor, follows the cursor and selects a box\'s lines', async () => {
  const lsp = server();
  const editor = fakeEditor(uri, lines, 9);
  vscode.window.activeTextEditor = editor;
  vscode.window.visibleTextEditors = [editor];
  const panel = new FlowchartPanel(lsp, media, 5);
  await panel.show(editor as any, 'flowchart');

  // The page from media/panel.html, its policy and assets the webview's.
  const html = panels[0].webview.html;
  assert.match(html, /script-src vscode-resource:;/);
  assert.match(html, /src="vscode-resource:[^"]*media\/panel\.js"/);
  assert.deepEqual(lsp.asked, [{ method: 'flowchart/graph', params: { textDocument: { uri }, position: { line: 9, character: 0 }, theme: 'dark' } }]);
  assert.deepEqual(posted.at(-1), { type: 'show', svg: '<svg/>', method: 'Order.m7', theme: 'dark', line: 10 });

  // Within the method: the box is marked, nothing drawn again.
  editor.selection = new vscode.Selection(new vscode.Position(12, 0), new vscode.Position(12, 0));
  selectionChanged.fire({ textEditor: editor });
  assert.deepEqual(posted.at(-1), { type: 'cursor', line: 13 });
  assert.equal(lsp.asked.length, 1);

  // Into another method: drawn again once the cursor rests.
  editor.selection = new vscode.Selection(new vscode.Position(25, 0), new vscode.Position(25, 0));
  selectionChanged.fire({ textEditor: editor });
  await new Promise((resolve) => setTimeout(resolve, 30));
  assert.equal(lsp.asked.length, 2);
  assert.equal(lsp.asked[1].params.position.line, 25);
  assert.equal(posted.at(-1).method, 'Order.m23');

  // A click on a box: its lines selected in the editor.
  received.fire({ type: 'select', firstLine: 24, lastLine: 26 });
  assert.deepEqual([editor.selection.start, editor.selection.end], [new vscode.Position(23, 0), new vscode.Position(25, 7)]);
  panel.dispose();
});

test('the server is given only the thresholds and release that are set', () => {
  const values: Record<string, unknown> = { maxCc: 10, maxCognitive: null, maxNloc: 2.5, java: 17 };
  assert.deepEqual(initializationOptions({ get: <T>(name: string) => values[name] as T }), { maxCc: 10, java: 17 });
});
