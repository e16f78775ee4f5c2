// The panel beside the editor: the flowchart (or sequence diagram) of the
// method under the cursor, drawn again when the cursor leaves the method
// or the text changes, the cursor's box marked as the cursor moves, and
// the VS Code theme followed.
import * as fs from 'fs';
import * as path from 'path';
import * as vscode from 'vscode';

// What the panel asks the language server (a LanguageClient, or a fake).
export interface Server {
  sendRequest(method: string, params: unknown): Promise<any>;
}

export type Kind = 'flowchart' | 'sequence';

interface Drawn {
  uri: string;
  version: number;
  firstLine: number; // 0-based, of the method
  lastLine: number;
  theme: string;
  kind: Kind;
  svg: string;
  method: string;
}

export function themeOf(kind: vscode.ColorThemeKind): 'light' | 'dark' {
  return kind === vscode.ColorThemeKind.Dark || kind === vscode.ColorThemeKind.HighContrast ? 'dark' : 'light';
}

// The panel's page, from media/panel.html, its assets and policy pointed
// at the webview's own URIs.
export function panelHtml(mediaFolder: string, webview: vscode.Webview): string {
  const page = fs.readFileSync(path.join(mediaFolder, 'panel.html'), 'utf8');
  const asset = (name: string) => webview.asWebviewUri(vscode.Uri.file(path.join(mediaFolder, name))).toString();
  return page
    .replace(/\{\{cspSource\}\}/g, webview.cspSource)
    .replace('href="panel.css"', `href="${asset('panel.css')}"`)
    .replace('src="panel.js"', `src="${asset('panel.js')}"`);
}

export class FlowchartPanel implements vscode.Disposable {
  private panel: vscode.WebviewPanel | undefined;
  private drawn: Drawn | undefined;
  private kind: Kind = 'flowchart';
  private timer: ReturnType<typeof setTimeout> | undefined;
  private readonly listeners: vscode.Disposable[] = [];
  private pngSaved: ((data: string) => void) | undefined;

  constructor(private readonly server: Server, private readonly mediaFolder: string, private readonly delayMs = 150) {
    this.listeners.push(
      vscode.window.onDidChangeTextEditorSelection((event) => this.cursorMoved(event.textEditor)),
      vscode.workspace.onDidChangeTextDocument((event) => {
        if (this.drawn && event.document.uri.toString() === this.drawn.uri) this.later();
      }),
      vscode.window.onDidChangeActiveColorTheme(() => this.later()),
    );
  }

  get svg(): string | undefined {
    return this.drawn?.svg;
  }

  // Opens (or brings forward) the panel with the method at the line.
  async show(editor: vscode.TextEditor, kind: Kind, line?: number): Promise<void> {
    this.kind = kind;
    if (!this.panel) {
      this.panel = vscode.window.createWebviewPanel('flowchart', 'flowchart', { viewColumn: vscode.ViewColumn.Beside, preserveFocus: true }, {
        enableScripts: true,
        localResourceRoots: [vscode.Uri.file(this.mediaFolder)],
      });
      this.panel.webview.html = panelHtml(this.mediaFolder, this.panel.webview);
      this.panel.webview.onDidReceiveMessage((message) => this.received(message));
      this.panel.onDidDispose(() => {
        this.panel = undefined;
        this.drawn = undefined;
      });
    } else {
      this.panel.reveal(vscode.ViewColumn.Beside, true);
    }
    this.drawn = undefined;
    await this.draw(editor, line ?? editor.selection.active.line);
  }

  private cursorMoved(editor: vscode.TextEditor): void {
    if (!this.panel || !this.drawn || editor.document.uri.toString() !== this.drawn.uri) return;
    const line = editor.selection.active.line;
    if (editor.document.version === this.drawn.version && line >= this.drawn.firstLine && line <= this.drawn.lastLine) {
      this.panel.webview.postMessage({ type: 'cursor', line: line + 1 });
      return;
    }
    this.later();
  }

  // Draws again once the edits or moves have paused.
  private later(): void {
    if (this.timer) clearTimeout(this.timer);
    this.timer = setTimeout(() => {
      this.timer = undefined;
      const editor = vscode.window.activeTextEditor;
      if (editor && this.drawn && editor.document.uri.toString() === this.drawn.uri) void this.draw(editor, editor.selection.active.line);
    }, this.delayMs);
  }

  private async draw(editor: vscode.TextEditor, line: number): Promise<void> {
    const theme = themeOf(vscode.window.activeColorTheme.kind);
    const uri = editor.document.uri.toString();
    const version = editor.document.version;
    let result: any;
    try {
      result = await this.server.sendRequest(this.kind === 'sequence' ? 'flowchart/sequence' : 'flowchart/graph', {
        textDocument: { uri },
        position: { line, character: 0 },
        theme,
      });
    } catch (error: any) {
      // Between methods, or a method without a body: the last drawing stays.
      this.panel?.webview.postMessage({ type: 'note', text: String(error?.message ?? error) });
      return;
    }
    if (!result || !this.panel) return;
    this.drawn = {
      uri, version, theme, kind: this.kind, svg: result.svg, method: result.method,
      firstLine: result.range.start.line, lastLine: result.range.end.line,
    };
    this.panel.title = (this.kind === 'sequence' ? 'Sequence: ' : 'Flowchart: ') + result.method;
    this.panel.webview.postMessage({ type: 'show', svg: result.svg, method: result.method, theme, line: line + 1 });
  }

  private received(message: any): void {
    if (message?.type === 'select' && this.drawn) {
      const editor = vscode.window.visibleTextEditors.find((shown) => shown.document.uri.toString() === this.drawn!.uri);
      if (!editor) return;
      const first = Math.max(0, message.firstLine - 1);
      const last = Math.max(first, message.lastLine - 1);
      const end = editor.document.lineAt(Math.min(last, editor.document.lineCount - 1)).range.end;
      editor.selection = new vscode.Selection(new vscode.Position(first, 0), end);
      editor.revealRange(new vscode.Range(new vscode.Position(first, 0), end), vscode.TextEditorRevealType.InCenterIfOutsideViewport);
    } else if (message?.type === 'png' && this.pngSaved) {
      this.pngSaved(message.data);
      this.pngSaved = undefined;
    }
  }

  // The picture as PNG, drawn by the panel's page; undefined without one.
  png(): Promise<string | undefined> {
    if (!this.panel || !this.drawn) return Promise.resolve(undefined);
    return new Promise((resolve) => {
      this.pngSaved = resolve;
      this.panel!.webview.postMessage({ type: 'png' });
    });
  }

  dispose(): void {
    if (this.timer) clearTimeout(this.timer);
    for (const listener of this.listeners) listener.dispose();
    this.panel?.dispose();
  }
}
