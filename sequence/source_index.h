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

#include "flowchart/xml/document.h"
#include "flowgraph/box_text.h"

namespace sequence {

// One parsed Java file.
struct JavaSource {
  xml::Document* tree = nullptr;
  flowgraph::Charset charset = flowgraph::Charset::Utf8;
};

struct ClassInfo;

struct MethodInfo {
  std::string name;        // a constructor has its class's name; initialisers "#Block#"
  xml::Node declaration;   // MtdDecln, CtorDecln, StaticInit or NonStaticInit
  xml::Node body;          // its Blk; empty for an abstract or interface method
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
  bool anonymous = false;
  xml::Node element;  // TypeDecln or AnonyClass
  const JavaSource* source = nullptr;
  const ClassInfo* outer = nullptr;     // the class whose body holds this one
  std::vector<std::string> supertypes;  // simple names of the classes and interfaces it extends
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
  explicit SourceIndex(flowgraph::Charset charset, Loader loader = nullptr)
      : charset_(charset), loader_(std::move(loader)) {}
  SourceIndex(const SourceIndex&) = delete;
  SourceIndex& operator=(const SourceIndex&) = delete;

  flowgraph::Charset charset() const { return charset_; }

  // Indexes every class, interface, enum and anonymous class of the file.
  void add(const JavaSource& source);

  // A named class of the files added, asking the loader when none has it;
  // the first one found when several have the name.  nullptr when none.
  const ClassInfo* classNamed(const std::string& simpleName);
  // The class whose body holds a method declaration or any element in it.
  const ClassInfo* classHolding(const xml::Node& element) const;
  // The method, constructor or initialiser ("#Block#") of that name in the
  // file whose declaration reaches from that line or before to its name
  // (or "static" or "{") on that line or after: the parser's results give
  // a method the line its declaration starts on.  nullptr when none.
  const MethodInfo* methodAt(const JavaSource& source, const std::string& name, int32_t line) const;
  // The method of that name and arity declared in the class or, failing
  // that, in its supertypes; nullptr when none.
  const MethodInfo* findMethod(const ClassInfo& cls, const std::string& name, size_t arguments);
  // The declared type of a field of the class or its supertypes; empty
  // when it has none of that name.
  std::string fieldType(const ClassInfo& cls, const std::string& name);

 private:
  void indexClass(const xml::Node& element, const JavaSource& source);

  flowgraph::Charset charset_;
  Loader loader_;
  std::deque<ClassInfo> classes_;
  std::unordered_map<std::string, std::vector<const ClassInfo*>> byName_;
  std::unordered_map<const void*, const ClassInfo*> byElement_;
  std::set<std::string> asked_;
};

}  // namespace sequence
