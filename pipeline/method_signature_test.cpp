#include "pipeline/method_signature.h"

#include <gtest/gtest.h>

namespace pipeline {
namespace {

using Types = std::vector<std::string>;

TEST(MethodSignature, ParameterTypesAsWritten) {
  EXPECT_EQ(parameterTypes("public boolean add ( E e , Object [ ] elementData , int s )", "add"),
            (Types{"E", "Object[]", "int"}));
  EXPECT_EQ(parameterTypes("< T > void put ( final Map < K , ? extends List < T >> m , @ Nullable String ... rest )",
                           "put"),
            (Types{"Map<K, ? extends List<T>>", "String..."}));
  EXPECT_EQ(parameterTypes("int f ( int a [ ] [ ] , @ Ann ( x = 1 ) long b )", "f"), (Types{"int[][]", "long"}));
  EXPECT_EQ(parameterTypes("void run ( )", "run"), Types{});
  // Annotations of types, and a receiver parameter, are no part of them.
  EXPECT_EQ(parameterTypes("void f ( @ A Outer Outer . this , String @ A [ ] a , Object @ B ... b )", "f"),
            (Types{"String[]", "Object..."}));
  EXPECT_EQ(parameterTypes("void f ( F this )", "f"), Types{});
  EXPECT_EQ(withParameterTypes("List.add", {"E", "Object[]", "int"}), "List.add(E, Object[], int)");
  EXPECT_EQ(typedParameterTypes(" E,Object[] , Map<K,V>"), (Types{"E", "Object[]", "Map<K, V>"}));
}

TEST(MethodSignature, ClosestNamesFirst) {
  const Types names = {"put", "putVal", "putAll", "get", "compute", "putMapEntries", "PUTVALUE"};
  EXPECT_EQ(closestNames("putValue", names), (Types{"PUTVALUE", "putVal", "put"}));
  EXPECT_EQ(nameDistance("Size", "size"), 0u);
  EXPECT_EQ(closestNames("zzz", names), Types{});
}

}  // namespace
}  // namespace pipeline
