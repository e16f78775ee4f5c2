// A stand-in for the vscode module: what the panel uses, recording what
// it is asked to do, with events the tests fire.
import * as Module from 'module';

type Listener<T> = (event: T) => void;
export class Emitter<T> {
  private listeners: Listener<T>[] = [];
  readonly event = (listener: Listener<T>) => {
    this.listeners.push(listener);
    return { dispose: () => { this.listeners = this.listeners.filter((l) => l !== listener); } };
  };
  fire(event: T): void {
    for (const listener of this.listeners) listener(event);
  }
}

export class Position {
  constructor(readonly line: number, readonly character: number) {}
}
export class Range {
  constructor(readonly start: Position, readonly end: Position) {}
}
export class Selection extends Range {
  constructor(readonly anchor: Position, readonly active: Position) { super(anchor, active); }
}

export const selectionChanged = new Emitter<any>();
export const documentChanged = new Emitter<any>();
export const themeChanged = new Emitter<any>();
export const posted: any[] = [];
export const received = new Emitter<any>();
export const panels: any[] = [];

export function fakeEditor(uri: string, lines: string[], line: number) {
  const document = {
    uri: { toString: () => uri },
    version: 1,
    lineCount: lines.length,
    lineAt: (n: number) => ({ range: { end: new Position(n, lines[n].length) } }),
  };
  return { document, selection: new Selection(new Position(line, 0), new Position(line, 0)), revealed: [] as any[],
           revealRange(range: any) { this.revealed.push(range); } };
}

export const vscode: any = {
  ColorThemeKind: { Light: 1, Dark: 2, HighContrast: 3, HighContrastLight: 4 },
  ViewColumn: { Beside: -2 },
  TextEditorRevealType: { InCenterIfOutsideViewport: 2 },
  Position, Range, Selection,
  Uri: { file: (path: string) => ({ path, toString: () => 'file://' + path }) },
  window: {
    activeColorTheme: { kind: 2 },
    activeTextEditor: undefined,
    visibleTextEditors: [] as any[],
    onDidChangeTextEditorSelection: selectionChanged.event,
    onDidChangeActiveColorTheme: themeChanged.event,
    createWebviewPanel: () => {
      const panel = {
        title: '',
        webview: {
          html: '',
          cspSource: 'vscode-resource:',
          asWebviewUri: (uri: any) => ({ toString: () => 'vscode-resource:' + uri.path }),
          postMessage: (message: any) => { posted.push(message); return Promise.resolve(true); },
          onDidReceiveMessage: received.event,
        },
        reveal: () => {},
        onDidDispose: () => ({ dispose() {} }),
        dispose: () => {},
      };
      panels.push(panel);
      return panel;
    },
  },
  workspace: { onDidChangeTextDocument: documentChanged.event },
};

// require('vscode') gives the stand-in.
const loader = Module as any;
const load = loader._load;
loader._load = function (request: string, ...rest: unknown[]) {
  return request === 'vscode' ? vscode : load.call(this, request, ...rest);
};
