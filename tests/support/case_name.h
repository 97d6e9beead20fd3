// Readable names for the cases of a parameterised test, made from how a case prints (its
// PrintTo): CTest, the test's listing and its failure messages then show "/From1To0"
// rather than "/0" and a dump of the case's bytes. Characters a test name cannot hold
// become '_'. The cases of one suite must print differently.
//
//   void PrintTo(const FlipCase& c, std::ostream* os) { *os << c.bpp << "bit"; }
//   INSTANTIATE_TEST_SUITE_P(Table, Flip, ::testing::Values(...), CaseName());
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

struct CaseName {
  template <class T>
  std::string operator()(const ::testing::TestParamInfo<T>& info) const {
    std::string name = ::testing::PrintToString(info.param);
    for (char& c : name)
      if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name.empty() ? std::to_string(info.index) : name;
  }
};
