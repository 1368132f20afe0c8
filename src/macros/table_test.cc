#include "macros/table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/diag.h"
#include "engine/engine.h"
#include "macros/macros.h"

namespace quenfold {
namespace {

std::vector<std::string> names(MacroTable& t) {
  std::vector<std::string> out;
  for (const Macro* m = t.head(); m != nullptr; m = m->next) out.push_back(m->name());
  return out;
}

std::string fatal_line(void (*f)(Engine&)) {
  Engine engine;
  try {
    f(engine);
  } catch (const Fatal& fatal) {
    return fatal.line();
  }
  return "no error";
}

TEST(MacroTable, StartsWithThePredefinedEntries) {
  MacroTable t;
  EXPECT_EQ(names(t), (std::vector<std::string>{"__PID__", "__DATE__", "__TIME__", "__USER__",
                                                "__LINE__", "__FILE__", "__OFILE__", "__INCLUDE__",
                                                "__V_MAJOR__", "__V_MINOR__", "__UNIX__", "__OS__"}));
  for (const Macro* m = t.head(); m != nullptr; m = m->next) EXPECT_FALSE(m->user_defined);
  EXPECT_EQ(t.value(*t.find("__LINE__")), "0");
  EXPECT_EQ(t.find("__OS__")->value(), "UNIX");
  EXPECT_EQ(t.find("__os__"), nullptr);
  t.set_line(42);
  EXPECT_EQ(t.value(*t.find("__LINE__")), "42");
}

TEST(MacroTable, OldestEntryWinsAndIndexFollowsChanges) {
  MacroTable t;
  t.append("x", "1");
  t.append("y", "a");
  t.append("x", "2");
  t.append("x", "3");
  EXPECT_EQ(t.find("x")->value(), "1");
  t.remove_first("x");
  EXPECT_EQ(t.find("x")->value(), "2");
  // Cut after the first y: both later x go, y stays.
  t.cut_after(t.find("y"));
  EXPECT_EQ(t.find("x"), nullptr);
  EXPECT_EQ(t.find("y")->value(), "a");
  t.append("x", "4");
  EXPECT_EQ(t.find("x")->value(), "4");
  t.cut_after(&t.predefined(kRowOs));
  EXPECT_EQ(t.find("x"), nullptr);
  EXPECT_EQ(t.find("y"), nullptr);
  EXPECT_EQ(t.size(), static_cast<size_t>(kPredefinedCount));
  EXPECT_EQ(names(t).back(), "__OS__");
}

TEST(MacroTable, CutKeepsTheChainsOfInterleavedNames) {
  MacroTable t;
  t.append("x", "1");
  t.append("y", "a");
  t.append("x", "2");
  t.append("y", "b");
  t.append("x", "3");
  t.cut_after(t.find("y"));  // keeps x=1 and y=a
  EXPECT_EQ(names(t).size(), static_cast<size_t>(kPredefinedCount) + 2);
  EXPECT_EQ(t.find("x")->value(), "1");
  EXPECT_EQ(t.remove_first("x"), 0);
  EXPECT_EQ(t.remove_first("y"), 0);
  EXPECT_EQ(t.size(), static_cast<size_t>(kPredefinedCount));
  t.append("x", "4");
  t.append("x", "5");
  EXPECT_EQ(t.find("x")->value(), "4");
  EXPECT_EQ(t.remove_first("x"), 1);
  EXPECT_EQ(t.find("x")->value(), "5");
  EXPECT_EQ(t.remove_first("__OS__"), MacroTable::kPredefinedEntry);
  EXPECT_EQ(t.remove_first("nosuch"), MacroTable::kNoEntry);
  EXPECT_EQ(names(t).back(), "x");
}

TEST(MacroTable, ManyValuesOfOneNameLeaveInOrder) {
  MacroTable t;
  for (int i = 0; i < 5000; ++i) t.append("i", std::to_string(i));
  for (int i = 0; i < 5000; ++i) {
    ASSERT_EQ(t.find("i")->value(), std::to_string(i));
    t.remove_first("i");
  }
  EXPECT_EQ(t.find("i"), nullptr);
}

TEST(DefineMacro, Messages) {
  struct Case {
    const char* name;
    void (*f)(Engine&);
    const char* line;
  };
  const Case cases[] = {
      {"empty name", [](Engine& e) { define_macro(e, "", "v", true); }, "quenfold: Macro needs a name"},
      {"duplicate", [](Engine& e) { define_macro(e, "x", "", true); define_macro(e, "x", "", true); },
       "quenfold: Macro x already defined"},
      {"predefined duplicate", [](Engine& e) { define_macro(e, "__OS__", "y", true); },
       "quenfold: Macro __OS__ already defined"},
      {"delete predefined", [](Engine& e) { undefine_macro(e, "__PID__"); },
       "quenfold: Can't delete predefined macro __PID__"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(fatal_line(c.f), c.line);
  }
}

TEST(DefineMacro, DuplicatesWithoutCheck) {
  Engine e;
  define_macro(e, "x", "a", false);
  define_macro(e, "x", "b", false);
  EXPECT_EQ(find_macro(e, "x")->value(), "a");
  undefine_macro(e, "x");
  EXPECT_EQ(find_macro(e, "x")->value(), "b");
  undefine_macro(e, "nosuch");  // not an error
  define_macro(e, "empty", std::string_view(), true);
  EXPECT_EQ(find_macro(e, "empty")->value(), "");
}

}  // namespace
}  // namespace quenfold
