#include "git/cat_file_reader.h"

#include <gtest/gtest.h>

#include <vector>

namespace git {
namespace {

std::vector<std::string> answersOf(const std::vector<std::string_view>& pieces) {
  std::vector<std::string> answers;
  CatFileReader reader([&](CatFileReader::Object object) {
    answers.push_back(std::to_string(object.index) + (object.bytes ? " bytes:" + *object.bytes : " why:" + object.why));
  });
  for (std::string_view piece : pieces) reader.feed(piece);
  return answers;
}

// Blobs (one empty, one holding line breaks and a header-like line), a
// name git does not know and a tree, however the answer is cut up.
TEST(CatFileReader, ReadsEachObjectWhereverTheAnswerIsCut) {
  const std::string answer =
      "1f2e blob 12\nclass A {}\n\n\n"
      "0aa1 blob 0\n\n"
      "head:gone.java missing\n"
      "77ee tree 3\nxyz\n"
      "3c3c blob 15\nab 1 2\nc blob 3\n";
  const std::vector<std::string> expected = {"0 bytes:class A {}\n\n", "1 bytes:", "2 why:head:gone.java missing",
                                             "3 why:a tree, not a file", "4 bytes:ab 1 2\nc blob 3"};
  EXPECT_EQ(answersOf({answer}), expected);
  for (size_t cut = 0; cut <= answer.size(); ++cut) {
    const std::string_view whole(answer);
    EXPECT_EQ(answersOf({whole.substr(0, cut), whole.substr(cut)}), expected) << "cut at " << cut;
  }
  std::vector<std::string_view> bytes;
  for (size_t k = 0; k < answer.size(); ++k) bytes.push_back(std::string_view(answer).substr(k, 1));
  EXPECT_EQ(answersOf(bytes), expected);
}

}  // namespace
}  // namespace git
