#include "macros/table.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "diag/diag.h"
#include "engine/engine.h"
#include "macros/macros.h"

namespace quenfold {
namespace {

std::vector<std::string> names(MacroTable& t) {
  std::vector<std::string> out;
  for (MacroId id = t.head(); id != kNoMacro; id = t.next(id)) out.push_back(std::string(t.name(id)));
  return out;
}

// The value of the first entry of `name`, or "<none>".
std::string first_value(MacroTable& t, std::string_view name) {
  MacroId id = t.find(name);
  return id == kNoMacro ? "<none>" : std::string(t.value(id));
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
  for (MacroId id = t.head(); id != kNoMacro; id = t.next(id)) EXPECT_FALSE(t.user_defined(id));
  EXPECT_EQ(first_value(t, "__LINE__"), "0");
  EXPECT_EQ(first_value(t, "__OS__"), "UNIX");
  EXPECT_EQ(t.find("__os__"), kNoMacro);
  t.set_line(42);
  EXPECT_EQ(first_value(t, "__LINE__"), "42");
  t.set_line(18446744073709551615u);
  EXPECT_EQ(first_value(t, "__LINE__"), "18446744073709551615");
}

TEST(MacroTable, OldestEntryWinsAndIndexFollowsChanges) {
  MacroTable t;
  t.append("x", "1");
  t.append("y", "a");
  t.append("x", "2");
  t.append("x", "3");
  EXPECT_EQ(first_value(t, "x"), "1");
  t.remove_first("x");
  EXPECT_EQ(first_value(t, "x"), "2");
  // Cut after the first y: both later x go, y stays.
  t.cut_after(t.find("y"));
  EXPECT_EQ(t.find("x"), kNoMacro);
  EXPECT_EQ(first_value(t, "y"), "a");
  t.append("x", "4");
  EXPECT_EQ(first_value(t, "x"), "4");
  t.cut_after(kRowOs);
  EXPECT_EQ(t.find("x"), kNoMacro);
  EXPECT_EQ(t.find("y"), kNoMacro);
  EXPECT_EQ(t.size(), static_cast<size_t>(kPredefinedCount));
  EXPECT_EQ(names(t).back(), "__OS__");
}

// Short names are kept as a zero-padded word in their entry: names that
// differ only in length or in a zero byte, and names on both sides of the
// short-name limit, are told apart and listed as they were written.
TEST(MacroTable, NamesAroundTheShortLimit) {
  MacroTable t;
  const std::vector<std::string> written = {
      "a", std::string("a\0", 2), std::string("\0", 1), std::string("\0a", 2), "ab", "abc", "abcd",
      "abcdefg", "abcdefgh", "abcdefghi", std::string("abcdefg\0", 8), std::string("abcdefgh\0", 9),
      "\xFF\xFE\xFD\xFC\xFB\xFA\xF9\xF8"};
  for (size_t i = 0; i < written.size(); ++i) t.append(written[i], std::to_string(i));
  for (size_t i = 0; i < written.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(first_value(t, written[i]), std::to_string(i));
    EXPECT_EQ(t.name(t.find(written[i])), written[i]);
  }
  EXPECT_EQ(t.find(""), kNoMacro);
  EXPECT_EQ(t.find("abcdefgi"), kNoMacro);
  std::vector<std::string> listed = names(t);
  listed.erase(listed.begin(), listed.begin() + kPredefinedCount);
  EXPECT_EQ(listed, written);
}

// Random names of random bytes, on both sides of the short-name limit: each
// is found (by its text and, when short, by its word as the expander reads
// it) at its oldest entry, and is listed as it was written.
TEST(MacroTable, RandomNamesFoundAndListedAsWritten) {
  std::mt19937 random(5);
  MacroTable t;
  std::map<std::string, std::string> oldest;
  std::vector<std::string> written;
  for (int i = 0; i < 3000; ++i) {
    std::string name(1 + random() % 12, '\0');
    for (char& c : name) c = static_cast<char>(random() % 4 ? 'a' + random() % 3 : random());
    t.append(name, std::to_string(i));
    oldest.emplace(name, std::to_string(i));
    written.push_back(name);
  }
  for (const auto& [name, value] : oldest) {
    MacroId id = t.find(name);
    ASSERT_NE(id, kNoMacro);
    ASSERT_EQ(t.value(id), value);
    ASSERT_EQ(t.name(id), name);
    if (name.size() <= MacroTable::kShortName) {
      ASSERT_EQ(t.find_short(load_padded(name.data(), name.size()), name.size()), id);
    }
  }
  std::vector<std::string> listed = names(t);
  listed.erase(listed.begin(), listed.begin() + kPredefinedCount);
  EXPECT_EQ(listed, written);
}

// 20,000 names that share their first bytes and differ in the last ones
// (where a weak hash would send them to a few buckets) all stay found, and
// a name's removal leaves the others found.
TEST(MacroTable, ManyNamesWithACommonPrefix) {
  MacroTable t;
  for (int i = 0; i < 20000; ++i) t.append("mac" + std::to_string(i), std::to_string(i));
  for (int i = 0; i < 20000; i += 2) t.remove_first("mac" + std::to_string(i));
  for (int i = 0; i < 20000; ++i) {
    MacroId id = t.find("mac" + std::to_string(i));
    if (i % 2 == 0) {
      ASSERT_EQ(id, kNoMacro) << i;
    } else {
      ASSERT_NE(id, kNoMacro) << i;
      ASSERT_EQ(t.value(id), std::to_string(i));
    }
  }
}

// A table large enough that most of its entries live in blocks of huge
// pages, shrunk (its entries compacted and the chunks past them let go) and
// grown again, twice: to a size inside the blocks and to one below them.
// Every name keeps its value; a chunk used after it was let go would fault.
TEST(MacroTable, LargeTableShrinksAndGrowsAgain) {
  MacroTable t;
  const int n = 200000;
  auto name = [](int i) { return "m" + std::to_string(i); };
  for (int i = 0; i < n; ++i) t.append(name(i), "value" + std::to_string(i));
  for (int keep_every : {3, 1000}) {
    for (int i = 0; i < n; ++i) {
      if (i % keep_every != 0) {
        ASSERT_EQ(t.remove_first(name(i)), 0) << i;
      }
    }
    for (int i = 0; i < n; ++i) {
      MacroId id = t.find(name(i));
      if (i % keep_every != 0) {
        ASSERT_EQ(id, kNoMacro) << i;
      } else {
        ASSERT_NE(id, kNoMacro) << i;
        ASSERT_EQ(t.value(id), "value" + std::to_string(i));
      }
    }
    for (int i = 0; i < n; ++i) {
      if (i % keep_every != 0) t.append(name(i), "value" + std::to_string(i));
    }
    for (int i = 0; i < n; ++i) {
      MacroId id = t.find(name(i));
      ASSERT_NE(id, kNoMacro) << i;
      ASSERT_EQ(t.value(id), "value" + std::to_string(i));
    }
  }
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
  EXPECT_EQ(first_value(t, "x"), "1");
  EXPECT_EQ(t.remove_first("x"), 0);
  EXPECT_EQ(t.remove_first("y"), 0);
  EXPECT_EQ(t.size(), static_cast<size_t>(kPredefinedCount));
  t.append("x", "4");
  t.append("x", "5");
  EXPECT_EQ(first_value(t, "x"), "4");
  EXPECT_EQ(t.remove_first("x"), 1);
  EXPECT_EQ(first_value(t, "x"), "5");
  EXPECT_EQ(t.remove_first("__OS__"), MacroTable::kPredefinedEntry);
  EXPECT_EQ(t.remove_first("nosuch"), MacroTable::kNoEntry);
  EXPECT_EQ(names(t).back(), "x");
}

TEST(MacroTable, ManyValuesOfOneNameLeaveInOrder) {
  MacroTable t;
  for (int i = 0; i < 5000; ++i) t.append("i", std::to_string(i));
  for (int i = 0; i < 5000; ++i) {
    ASSERT_EQ(first_value(t, "i"), std::to_string(i));
    t.remove_first("i");
  }
  EXPECT_EQ(t.find("i"), kNoMacro);
}

// Removals far apart in a large table renumber the entries and copy the
// storage afresh; the list, the index and every chain must come through.
TEST(MacroTable, ChurnKeepsOrderIndexAndChains) {
  MacroTable t;
  std::vector<std::string> expected = names(t);
  for (int i = 0; i < 20000; ++i) {
    t.append("n" + std::to_string(i), std::string(i % 50, 'v') + std::to_string(i));
    if (i % 7 == 0) t.append("dup", std::to_string(i));
  }
  // Remove every name whose number is not a multiple of 10, oldest first,
  // and most of the values of "dup".
  for (int i = 0; i < 20000; ++i) {
    if (i % 10 != 0) {
      ASSERT_EQ(t.remove_first("n" + std::to_string(i)), 0);
    }
  }
  for (int k = 0; k < 2800; ++k) ASSERT_EQ(t.remove_first("dup"), 1);
  for (int i = 0; i < 20000; i += 10) {
    std::string name = "n" + std::to_string(i);
    ASSERT_EQ(first_value(t, name), std::string(i % 50, 'v') + std::to_string(i)) << name;
    t.set_value(t.find(name), "re" + std::to_string(i));  // storage churn too
  }
  for (int i = 0; i < 20000; ++i) {
    if (i % 10 != 0) {
      ASSERT_EQ(t.find("n" + std::to_string(i)), kNoMacro);
    }
  }
  // Order: the predefined entries, then the kept names and the last dups as defined.
  for (int i = 0; i < 20000; ++i) {
    if (i % 10 == 0) expected.push_back("n" + std::to_string(i));
    if (i % 7 == 0 && i / 7 >= 2800) expected.push_back("dup");
  }
  EXPECT_EQ(names(t), expected);
  EXPECT_EQ(first_value(t, "dup"), std::to_string(2800 * 7));
  EXPECT_EQ(first_value(t, "n19990"), "re19990");
  // The chain of "dup" is intact both ways: cut inside it, then drain it.
  MacroId d = t.find("dup");
  for (int k = 0; k < 5; ++k) d = t.next_same(d);
  t.cut_after(d);
  int left = 0;
  while (t.remove_first("dup") >= 0) ++left;
  EXPECT_EQ(left, 6);
  // The cut came after the dup of 19635: n19640 to n19990 went with it.
  EXPECT_EQ(t.size(), static_cast<size_t>(kPredefinedCount) + 2000 - 36);
  EXPECT_EQ(t.find("n19640"), kNoMacro);
  EXPECT_EQ(first_value(t, "n19630"), "re19630");
}

// Values of every length across the limit of those kept in the entry, each
// replaced by a part of itself (which may overlap where it is kept), then by
// a longer one, extended, and removed: the value and its flags follow.
TEST(MacroTable, ValuesAcrossTheInlineLimit) {
  MacroTable t;
  for (size_t n = 0; n <= 40; ++n) {
    SCOPED_TRACE(n);
    std::string text;
    for (size_t i = 0; i < n; ++i) text += static_cast<char>('a' + i % 26);
    if (n >= 3) text[n / 2] = '$';
    MacroId id = t.append("v", text);
    EXPECT_EQ(t.value(id), text);
    EXPECT_EQ(t.has_reference(id), n >= 3);
    std::string tail = n > 2 ? text.substr(2) : "";
    t.set_value(id, t.value(id).substr(n > 2 ? 2 : n));
    EXPECT_EQ(t.value(id), tail);
    t.set_value(id, text + text);
    EXPECT_EQ(t.value(id), text + text);
    t.set_value(id, "x\\y");
    EXPECT_TRUE(t.has_escape(id));
    EXPECT_FALSE(t.has_reference(id));
    // A backslash or marker byte after the text, with or without a '$' in it.
    t.set_value(id, text + "\\");
    EXPECT_TRUE(t.has_escape(id));
    EXPECT_EQ(t.has_reference(id), n >= 3);
    t.set_value(id, text + "\xFF");
    EXPECT_TRUE(t.has_escape(id));
    t.set_value(id, text);
    EXPECT_FALSE(t.has_escape(id));
    // Without a '$' the whole value is frozen: the extension appends.
    std::string plain = text;
    if (n >= 3) plain[n / 2] = '-';
    t.set_value(id, plain);
    t.extend(id, "", "z");
    EXPECT_EQ(t.value(id), plain + " z");
    EXPECT_EQ(t.remove_first("v"), 0);
  }
  // Many short values beside long ones, then storage compaction.
  for (int i = 0; i < 5000; ++i) t.append("k" + std::to_string(i), std::string(static_cast<size_t>(i % 40), 'q'));
  for (int i = 0; i < 5000; i += 2) t.remove_first("k" + std::to_string(i));
  for (int i = 1; i < 5000; i += 2) ASSERT_EQ(first_value(t, "k" + std::to_string(i)), std::string(static_cast<size_t>(i % 40), 'q'));
}

TEST(MacroTable, NamesAcrossTheLongNameLimit) {
  // From 65,535 bytes on, a name's length is kept in storage before it:
  // find, list, remove and compact names on both sides of that limit.
  MacroTable t;
  const size_t limit = 65535;
  std::vector<std::string> long_names;
  for (size_t n : {limit - 1, limit, limit + 1, 3 * limit}) {
    std::string name(n, 'n');
    name.back() = static_cast<char>('0' + long_names.size());
    long_names.push_back(name);
    t.append(name, "first");
    t.append(name, "second");
    // Its neighbour in the index differs in the last byte only.
    t.append(name.substr(0, n - 1) + "x", "other");
  }
  // Enough removed names to make the storage compact itself.
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 8; ++i) t.append(std::string(limit + 10, static_cast<char>('a' + i)), "gone");
    for (int i = 0; i < 8; ++i) ASSERT_EQ(t.remove_first(std::string(limit + 10, static_cast<char>('a' + i))), 0);
  }
  for (const std::string& name : long_names) {
    SCOPED_TRACE(name.size());
    EXPECT_EQ(first_value(t, name), "first");
    EXPECT_EQ(t.name(t.find(name)), name);
    EXPECT_EQ(t.remove_first(name), 1);
    EXPECT_EQ(first_value(t, name), "second");
    EXPECT_EQ(first_value(t, name.substr(0, name.size() - 1) + "x"), "other");
    EXPECT_EQ(first_value(t, name.substr(0, name.size() - 1)), "<none>");
    EXPECT_EQ(first_value(t, name + "n"), "<none>");
  }
  std::vector<std::string> listed = names(t);
  ASSERT_EQ(listed.size(), kPredefinedCount + 2 * long_names.size());
  for (size_t i = 0; i < long_names.size(); ++i) {
    EXPECT_TRUE(listed[kPredefinedCount + 2 * i] == long_names[i]);
    EXPECT_TRUE(listed[kPredefinedCount + 2 * i + 1] == long_names[i].substr(0, long_names[i].size() - 1) + "x");
  }
}

TEST(MacroTable, FrozenPartAndExtension) {
  MacroTable t;
  struct Case {
    const char* value;
    size_t length;
    char quote;
  };
  const Case cases[] = {
      {"plain", 5, 0},   {"a $x b", 2, 0},       {"'$x' b", 6, 0},      {"\"$x", 3, '"'},
      {"it's $x", 7, '\''}, {"\"a'\" $y", 5, 0}, {"$", 0, 0},         {"", 0, 0},
  };
  for (const Case& c : cases) {
    MacroId id = t.append("f", c.value);
    MacroTable::Frozen f = t.frozen(id);
    EXPECT_EQ(f.length, c.length) << c.value;
    EXPECT_EQ(f.quote, c.quote) << c.value;
    t.remove_first("f");
  }
  // Each extension keeps the frozen part and looks only at what follows it.
  MacroId l = t.append("l", "");
  std::string want;
  for (int i = 0; i < 3000; ++i) {
    MacroTable::Frozen f = t.frozen(l);
    std::string_view rest = t.value(l).substr(f.length);
    std::string expanded = rest == "$i" ? std::to_string(i - 1) : std::string(rest);
    t.extend(l, expanded, "$i");
    want = (i == 0 ? std::string() : want.substr(0, want.size() - 2) + std::to_string(i - 1)) + " $i";
    ASSERT_EQ(t.value(l), want);
    ASSERT_EQ(t.frozen(l).length, want.size() - 2);
  }
  EXPECT_TRUE(t.has_reference(l));
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
  EXPECT_EQ(first_value(e.macros, "x"), "a");
  undefine_macro(e, "x");
  EXPECT_EQ(first_value(e.macros, "x"), "b");
  undefine_macro(e, "nosuch");  // not an error
  define_macro(e, "empty", std::string_view(), true);
  EXPECT_EQ(first_value(e.macros, "empty"), "");
}

}  // namespace
}  // namespace quenfold
