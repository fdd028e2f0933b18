// Setting a value by name: the setter's own short-name look-up must find what a look-up finds.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kvo/kvo_host.h"

#if !defined(_WIN32)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

// Names of every short length and around the word size, each beside a decoy that shares its first bytes.
TEST(SetByName, FindsTheFirstMatchOfEachLengthWhateverTheCase) {
  const char* const names[] = {"a",      "ab",      "abc",      "abcd",     "abcde",
                               "abcdef", "abcdefg", "abcdefgh", "abcdefghi"};
  TParamsList* list = kvo_params_new();
  for (const char* name : names)
    kvo_params_add_null(list, name);
  kvo_params_add_null(list, "ABCDE");  // a later element of the same key: never the one set
  for (int32_t i = 0; i < 9; ++i) {
    std::string upper = names[i];
    for (char& c : upper)
      c = static_cast<char>(c - 32);
    ASSERT_EQ(kvo_params_set_double(list, upper.c_str(), i, 0), 1) << upper;
    double value = -1;
    EXPECT_EQ(kvo_params_double(list, i, &value), 1);
    EXPECT_EQ(value, i) << upper;
  }
  EXPECT_EQ(kvo_params_type(list, 9), KVO_VT_NULL);
  EXPECT_EQ(kvo_params_set_double(list, "abcdx", 1, 0), 0);
  EXPECT_EQ(kvo_params_set_double(list, "", 1, 0), 0);
  EXPECT_EQ(kvo_params_count(list), 10);
  kvo_params_free(list);
}

#if !defined(_WIN32)
// A name that ends at the last byte before an unreadable page: the look-up must not touch that page.
TEST(SetByName, ReadsNothingPastAPageThatTheNameEnds) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  void* pages = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(pages, MAP_FAILED);
  ASSERT_EQ(mprotect(static_cast<char*>(pages) + page, page, PROT_NONE), 0);
  TParamsList* list = kvo_params_new();
  kvo_params_add_null(list, "Value");
  for (size_t length = 1; length <= 5; ++length) {
    char* name = static_cast<char*>(pages) + page - (length + 1);
    std::memcpy(name, "Value", length);
    name[length] = '\0';
    EXPECT_EQ(kvo_params_set_double(list, name, 1, 0), length == 5 ? 1 : 0) << name;
  }
  kvo_params_free(list);
  munmap(pages, 2 * page);
}
#endif

}  // namespace
