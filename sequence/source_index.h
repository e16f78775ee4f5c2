// The classes of the parsed Java files a diagram can reach: their
// fields' declared types, their methods and constructors with their
// bodies, and their superclasses.  Calls are followed into these bodies,
// and receivers are given the types declared here.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "frontends/java/syntax/syntax_tree.h"
#include "sequence/java_tree.h"
#include "text/box_text.h"

namespace sequence {

// One parsed Java file.
struct JavaSource {
  const syntax::Tree* tree = nullptr;
  text::Charset charset = text::Charset::Utf8;
};

struct ClassInfo;

struct MethodInfo {
  std::string name;        // a constructor has its class's name; initialisers "#Block#"
  syntax::Node declaration;  // MtdDecln, CtorDecln, StaticInit or NonStaticInit
  syntax::Node body;        // its Blk; empty for an abstract or interface method
  std::string returnType;  // as written ("void" too); empty for constructors and initialisers
  size_t parameterCount = 0;
  bool varargs = false;
  int32_t line = 0;       // the line of its name (of "static" or "{" for initialisers)
  int32_t firstLine = 0;  // the line its declaration starts on
  bool isConstructor = false;
  const ClassInfo* owner = nullptr;
};

struct ClassInfo {
  std::string name;  // simple name; an anonymous class: the type it extends
  // "java.util.HashMap.Node": the package, the classes round it and its
  // name; empty for a local or anonymous class.
  std::string qualifiedName;
  bool anonymous = false;
  bool isInterface = false;
  bool isAbstract = false;
  syntax::Node element;  // TypeDecln or AnonyClass
  const JavaSource* source = nullptr;
  const ClassInfo* outer = nullptr;     // the class whose body holds this one
  std::string enclosingMethod;          // a local or anonymous class's method ("static {}", "{}" for initialisers)
  std::vector<std::string> supertypes;  // the classes and interfaces it extends, as written, without type arguments
  std::unordered_map<std::string, std::string> fields;  // name to declared type
  std::vector<MethodInfo> methods;
};

// The simple class name of a type as written: "java.util.List<Item>[]"
// gives "List".
std::string simpleTypeName(std::string_view type);

class SourceIndex {
 public:
  // Gives the further files that may declare a class of that simple name,
  // parsed; called once per name that the files added so far lack.
  using Loader = std::function<std::vector<const JavaSource*>(const std::string& simpleName)>;

  // Names and types are kept in the charset given, whatever the file's.
  explicit SourceIndex(text::Charset charset, Loader loader = nullptr)
      : charset_(charset), loader_(std::move(loader)) {}
  SourceIndex(const SourceIndex&) = delete;
  SourceIndex& operator=(const SourceIndex&) = delete;

  text::Charset charset() const { return charset_; }

  // Indexes every class, interface, enum and anonymous class of the file.
  void add(const JavaSource& source);

  // The class a type as written stands for where a class's source uses
  // it, as the Java language decides: a class nested in it or in the
  // classes round it, a single-type import, a class of its package, an
  // on-demand import or java.lang; a qualified name as it says.  The
  // loader is asked for the files a name may be in.  nullptr when no
  // class of the files has that name, or when two on-demand imports give
  // one each: the diagram never guesses.  Without a context, the class
  // of that simple name when the files hold exactly one.
  const ClassInfo* resolveType(std::string_view written, const ClassInfo* context);
  // The class a static import of the file of context brings a member
  // from ("java.lang.Math" for max after "import static
  // java.lang.Math.max;"), as written; empty when no import names it.
  std::string staticImportOwner(const std::string& member, const ClassInfo* context) const;
  // The class named first after "extends" (a class's superclass, an
  // anonymous class's type); nullptr when the files lack it.
  const ClassInfo* superclass(const ClassInfo& cls);
  // The only class of the files, asking the subtype loader, that extends
  // or implements an interface or abstract class and is neither; nullptr
  // when there is none or more than one.
  const ClassInfo* onlyImplementation(const ClassInfo& type);
  // What resolveType left unresolved because two on-demand imports give a
  // class each: "Money is billing.Money or legacy.Money", once a name.
  const std::vector<std::string>& ambiguities() const { return ambiguities_; }
  // Gives the further files that may declare a subtype of the named type.
  void setSubtypeLoader(Loader loader) { subtypeLoader_ = std::move(loader); }
  // The class whose body holds a method declaration or any element in it.
  const ClassInfo* classHolding(const syntax::Node& element) const;
  // The method, constructor or initialiser ("#Block#") of that name in the
  // file whose declaration reaches from that line or before to its name
  // (or "static" or "{") on that line or after: the parser's results give
  // a method the line its declaration starts on.  nullptr when none.
  const MethodInfo* methodAt(const JavaSource& source, const std::string& name, int32_t line) const;
  // The method, constructor or initialiser whose declaration is the
  // element given; nullptr when none.
  const MethodInfo* methodDeclaredBy(const syntax::Node& declaration) const;
  // The method of that name and arity declared in the class or, failing
  // that, in its supertypes; nullptr when none.
  const MethodInfo* findMethod(const ClassInfo& cls, const std::string& name, size_t arguments);
  // The declared type of a field of the class or its supertypes; empty
  // when it has none of that name.
  std::string fieldType(const ClassInfo& cls, const std::string& name);

 private:
  // A file's package and imports.
  struct Import {
    std::string name;  // "java.util.List", or "java.util" for java.util.*
    bool onDemand = false;
    bool isStatic = false;
  };
  struct FileScope {
    std::string package;
    std::vector<Import> imports;
  };

  void indexClass(const syntax::Node& element, const JavaSource& source);
  void load(const std::string& simpleName);
  const ClassInfo* qualified(const std::string& name);
  const ClassInfo* member(const ClassInfo& outer, const std::string& name);
  const ClassInfo* supertype(const ClassInfo& cls, const std::string& written);

  text::Charset charset_;
  Loader loader_;
  Loader subtypeLoader_;
  std::unordered_map<const JavaSource*, FileScope> scopes_;
  std::unordered_map<std::string, const ClassInfo*> byQualifiedName_;
  std::set<std::string> subtypesAsked_;
  std::vector<std::string> ambiguities_;
  std::set<std::string> ambiguousNames_;
  std::deque<ClassInfo> classes_;
  std::unordered_map<std::string, std::vector<const ClassInfo*>> byName_;
  NodeMap<const ClassInfo*> byElement_;
  std::set<std::string> asked_;
};

}  // namespace sequence
