// The flowchart extension: starts `flowchart lsp` for Java files (its
// lenses and warnings come through the language client), and a panel
// with the flowchart of the method under the cursor.
import * as path from 'path';
import * as vscode from 'vscode';
import { LanguageClient, LanguageClientOptions, ServerOptions } from 'vscode-languageclient/node';
import { FlowchartPanel, Kind } from './panel';

import { initializationOptions } from './settings';

let client: LanguageClient | undefined;

// The editor of a lens's document ([uri, line]), else the active one.
async function editorFor(args: unknown[]): Promise<{ editor: vscode.TextEditor; line?: number } | undefined> {
  if (typeof args[0] === 'string') {
    const uri = vscode.Uri.parse(args[0]);
    const shown = vscode.window.visibleTextEditors.find((editor) => editor.document.uri.toString() === uri.toString());
    const editor = shown ?? (await vscode.window.showTextDocument(uri, { preserveFocus: true }));
    return { editor, line: typeof args[1] === 'number' ? args[1] : undefined };
  }
  const editor = vscode.window.activeTextEditor;
  return editor ? { editor } : undefined;
}

async function save(data: Uint8Array, extension: string, label: string): Promise<void> {
  const target = await vscode.window.showSaveDialog({ filters: { [label]: [extension] } });
  if (target) await vscode.workspace.fs.writeFile(target, data);
}

export async function activate(context: vscode.ExtensionContext): Promise<void> {
  const settings = vscode.workspace.getConfiguration('flowchart');
  const serverOptions: ServerOptions = { command: settings.get<string>('path') || 'flowchart', args: ['lsp'] };
  const clientOptions: LanguageClientOptions = {
    documentSelector: [{ language: 'java' }],
    initializationOptions: initializationOptions(settings),
  };
  client = new LanguageClient('flowchart', 'flowchart', serverOptions, clientOptions);
  await client.start();
  const panel = new FlowchartPanel(client, path.join(context.extensionPath, 'media'));
  context.subscriptions.push(panel);

  const showing = (kind: Kind) => async (...args: unknown[]) => {
    const found = await editorFor(args);
    if (found) await panel.show(found.editor, kind, found.line);
  };
  context.subscriptions.push(
    vscode.commands.registerCommand('flowchart.showFlowchart', showing('flowchart')),
    vscode.commands.registerCommand('flowchart.showSequence', showing('sequence')),
    vscode.commands.registerCommand('flowchart.copyMermaidText', async (...args: unknown[]) => {
      const found = await editorFor(args);
      if (!found || !client) return;
      const text = await client.sendRequest('workspace/executeCommand', {
        command: 'flowchart.copyMermaid',
        arguments: [found.editor.document.uri.toString(), found.line ?? found.editor.selection.active.line],
      });
      if (typeof text === 'string') {
        await vscode.env.clipboard.writeText(text);
        vscode.window.setStatusBarMessage('flowchart: Mermaid copied', 3000);
      }
    }),
    vscode.commands.registerCommand('flowchart.saveSvg', async () => {
      if (panel.svg) await save(Buffer.from(panel.svg, 'utf8'), 'svg', 'SVG');
    }),
    vscode.commands.registerCommand('flowchart.savePng', async () => {
      const png = await panel.png();
      if (png) await save(Buffer.from(png, 'base64'), 'png', 'PNG');
    }),
  );
}

export async function deactivate(): Promise<void> {
  await client?.stop();
}
