// Parses Java files with javac's own parser and nothing more: no symbols,
// no classes, no annotation processors.  One file path per line on standard
// input; for each, one line on standard output:
//   ok PATH
//   refused PATH:LINE: MESSAGE      (javac's first syntax error)
// A file is read as UTF-8 and, when that leaves bytes it cannot decode, as
// ISO-8859-1, the two encodings flowchart reads.
//
// Run: java bench/JavacParse.java < paths   (the source launcher compiles it)

import com.sun.source.util.JavacTask;
import java.io.BufferedReader;
import java.io.InputStreamReader;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import javax.tools.Diagnostic;
import javax.tools.DiagnosticCollector;
import javax.tools.DiagnosticListener;
import javax.tools.JavaCompiler;
import javax.tools.JavaFileObject;
import javax.tools.StandardJavaFileManager;
import javax.tools.ToolProvider;

public class JavacParse {
  public static void main(String[] args) throws Exception {
    JavaCompiler compiler = ToolProvider.getSystemJavaCompiler();
    if (compiler == null) {
      System.err.println("JavacParse: no Java compiler in this runtime (a JRE, not a JDK)");
      System.exit(2);
    }
    PrintStream out = new PrintStream(System.out, false, StandardCharsets.UTF_8);
    BufferedReader in = new BufferedReader(new InputStreamReader(System.in, StandardCharsets.UTF_8));
    Forward forward = new Forward();
    try (StandardJavaFileManager utf8 = compiler.getStandardFileManager(forward, Locale.ROOT, StandardCharsets.UTF_8);
         StandardJavaFileManager latin1 = compiler.getStandardFileManager(forward, Locale.ROOT, StandardCharsets.ISO_8859_1)) {
      for (String path; (path = in.readLine()) != null; ) {
        if (path.isEmpty()) continue;
        String error = firstError(compiler, utf8, forward, path, "UTF-8");
        if (error != null && error.startsWith("encoding ")) error = firstError(compiler, latin1, forward, path, "ISO-8859-1");
        out.println(error == null ? "ok " + path : "refused " + path + ":" + error);
        out.flush();
      }
    }
  }

  // The first error javac's parser reports, as "LINE: MESSAGE"; "encoding
  // LINE: MESSAGE" when the bytes are not text in that encoding; null when
  // the file parses.
  static String firstError(JavaCompiler compiler, StandardJavaFileManager files, Forward forward, String path,
                           String encoding) throws Exception {
    DiagnosticCollector<JavaFileObject> diagnostics = new DiagnosticCollector<>();
    forward.to = diagnostics;
    Iterable<? extends JavaFileObject> units = files.getJavaFileObjects(path);
    List<String> options = new ArrayList<>(List.of("-proc:none", "-encoding", encoding, "-Xlint:none", "-nowarn"));
    JavacTask task = (JavacTask) compiler.getTask(null, files, diagnostics, options, null, units);
    task.parse();
    for (Diagnostic<? extends JavaFileObject> d : diagnostics.getDiagnostics()) {
      boolean unreadable = d.getCode() != null && d.getCode().contains("illegal.char.for.encoding");
      if (d.getKind() != Diagnostic.Kind.ERROR && !unreadable) continue;
      String message = String.join(" ", d.getMessage(Locale.ROOT).lines().toList());
      String where = d.getLineNumber() + ": " + message;
      return unreadable ? "encoding " + where : where;
    }
    return null;
  }

  // What the file managers report while reading goes to the file's
  // collector, not to standard error.
  static final class Forward implements DiagnosticListener<JavaFileObject> {
    DiagnosticListener<JavaFileObject> to;

    public void report(Diagnostic<? extends JavaFileObject> d) {
      if (to != null) to.report(d);
    }
  }
}
