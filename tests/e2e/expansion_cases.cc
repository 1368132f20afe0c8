// Macro references, calls with arguments, positional parameters, quotes and the special forms.
#include "cases.h"

namespace e2e {
namespace {

std::string numbers(int from, int to) {
  std::string s;
  for (int i = from; i <= to; ++i) {
    if (!s.empty()) s += ' ';
    s += std::to_string(i);
  }
  return s;
}

// m0 is "leaf", and each m<k> refers to m<k-1>: `depth` levels of nested macro values.
std::string chain_script(int depth) {
  std::string s = "@DEFINE m0 leaf\n";
  for (int i = 1; i <= depth; ++i)
    s += "@DEFINE m" + std::to_string(i) + " <$(m" + std::to_string(i - 1) + ")>\n";
  s += "$(m" + std::to_string(depth) + ")\n";
  return s;
}
std::string chain_result(int depth) { return std::string(depth, '<') + "leaf" + std::string(depth, '>') + "\n"; }

// A reference whose name is itself built by `depth` nested references: $($($(...n...))).
std::string nested_name_script(int depth) {
  std::string s = "@DEFINE n n\n";
  std::string ref = "n";
  for (int i = 0; i < depth; ++i) ref = "$(" + ref + ")";
  return s + ref + "\n";
}

const std::string kDefs = "@DEFINE x 1\n@DEFINE m [$(0)|$(1)]\n@DEFINE d $(0:none)\n";

const std::vector<Case> kCases = {
    {.name = "dollar_letter", .in = "@DEFINE x 1\n$x\n", .out = "1\n"},
    {.name = "dollar_letter_takes_one_character", .in = "@DEFINE x 1\n$xy\n", .out = "1y\n"},
    {.name = "paren_reference", .in = "@DEFINE x 1\n$(x)y\n", .out = "1y\n"},
    {.name = "long_name", .in = "@DEFINE long_Name.2 v\n[$(long_Name.2)]\n", .out = "[v]\n"},
    {.name = "names_are_case_sensitive", .in = "@DEFINE x 1\n$X\n", .out = "", .err = at(2, "Macro X not defined"), .status = 1},
    {.name = "value_is_expanded_on_use", .in = "@DEFINE x $(y)!\n@DEFINE y 1\n$x\n@REDEFINE y 2\n$x\n", .out = "1!\n2!\n"},
    {.name = "empty_value", .in = "@DEFINE e\n[$e]\n", .out = "[]\n"},
    {.name = "reference_only_line_expanding_to_empty", .in = "@DEFINE e\n$(e)\nz\n", .out = "\nz\n"},
    {.name = "nested_reference_builds_name", .in = "@DEFINE n x\n@DEFINE x 1\n$($(n))\n", .out = "1\n"},
    {.name = "name_built_from_parts", .in = "@DEFINE ab 7\n@DEFINE p a\n$($(p)b)\n", .out = "7\n"},
    {.name = "blank_in_name_is_part_of_name", .in = "@DEFINE x 1\n$( x)\n", .out = "", .err = at(2, "Macro  x not defined"), .status = 1},

    // Escapes in values are decoded when written, also from a line that holds none,
    // and a value's backslash meets the line's n.
    {.name = "escapes_in_values_reach_the_output",
     .in = "@DEFINE nl one\\ntwo\n$(nl)\n@DEFINE d \\$5\n$(d) plain\n@DEFINE bs x\\ \n$(bs)n\n"
           "@DEFINE m [$(0)]\n$(m:a\\,b)\n",
     .out = "one\ntwo\n$5 plain\nx\n\n[a,b]\n"},

    // Quotes protect.
    {.name = "single_quotes_protect", .in = kDefs + "a'$x'b\n", .out = "a'$x'b\n"},
    {.name = "double_quotes_protect", .in = kDefs + "a\"$x\"b\n", .out = "a\"$x\"b\n"},
    {.name = "apostrophe_inside_double_quotes", .in = kDefs + "\"it's $x\" $x\n", .out = "\"it's $x\" 1\n"},
    {.name = "unclosed_quote_protects_rest", .in = kDefs + "$x 'a $x $(nosuch)\n", .out = "1 'a $x $(nosuch)\n"},
    {.name = "quotes_in_macro_value", .in = "@DEFINE x 1\n@DEFINE q '$x' $x\n$q\n", .out = "'$x' 1\n"},
    {.name = "quote_state_does_not_leak_from_value", .in = "@DEFINE x 1\n@DEFINE q it's\n$q $x\n", .out = "it's 1\n"},

    // Calls and positional parameters.
    {.name = "call_with_two_arguments", .in = kDefs + "$(m:a, b)\n", .out = "[a|b]\n"},
    {.name = "argument_keeps_trailing_blank", .in = kDefs + "$(m: a ,b)\n", .out = "[a |b]\n"},
    {.name = "call_without_arguments", .in = kDefs + "$(m)\n", .out = "[|]\n"},
    {.name = "default_used_without_argument", .in = kDefs + "$(d)\n", .out = "none\n"},
    {.name = "default_replaced_by_argument", .in = kDefs + "$(d:x)\n", .out = "x\n"},
    {.name = "empty_argument_beats_default", .in = kDefs + "[$(d:)]\n", .out = "[]\n"},
    {.name = "default_loses_leading_blanks", .in = "@DEFINE d [$(0:  spaced out)]\n$(d)\n", .out = "[spaced out]\n"},
    {.name = "positional_in_ordinary_line_is_empty", .in = "[$(0)][$0][$(0:z)][$(3: w)]\n", .out = "[][][z][w]\n"},
    {.name = "positional_index_forms",
     .in = "@DEFINE m $(1) $1 $(2:r) $(08) $(1abc) $(0x1) $(01)\n$(m:p,q)\n",
     .out = "q q r p q q q\n"},
    {.name = "positional_index_low_32_bits", .in = "@DEFINE m $(4294967296)|$(4294967297:d)|$(4294967298:d)\n$(m:first,second)\n", .out = "first|second|d\n"},
    {.name = "octal_positional_index", .in = "@DEFINE m $(010)\n$(m:0,1,2,3,4,5,6,7,eight,nine)\n", .out = "eight\n"},
    {.name = "trailing_comma_gives_empty_argument", .in = "@DEFINE m [$(1:dflt)]\n$(m:a,)\n", .out = "[]\n"},
    {.name = "arguments_are_expanded_once", .in = kDefs + "$(m:$x,$(x)$(x))\n", .out = "[1|11]\n"},
    {.name = "comma_from_expansion_separates", .in = "@DEFINE m [$(0)|$(1)]\n@DEFINE c a,b\n$(m:$c)\n", .out = "[a|b]\n"},
    {.name = "escaped_comma_does_not_separate", .in = "@DEFINE m [$(0)]\n$(m:a\\,b)\n", .out = "[a,b]\n"},
    {.name = "comma_inside_quotes_still_separates", .in = kDefs + "$(m:'a,b')\n", .out = "['a|b']\n"},
    {.name = "escaped_paren_in_argument", .in = "@DEFINE m [$(0)]\n$(m:a\\)b)\n", .out = "[a)b]\n"},
    {.name = "parens_in_argument_balanced", .in = "@DEFINE m [$(0)]\n$(m:(a)(b))\n", .out = "[(a)(b)]\n"},
    {.name = "colon_in_argument_kept", .in = "@DEFINE m [$(0)]\n$(m:a:b)\n", .out = "[a:b]\n"},
    {.name = "parameters_not_passed_to_plain_reference",
     .in = "@DEFINE inner [$(0:none)]\n@DEFINE outer $(inner) $(inner:$(0))\n$(outer:arg)\n",
     .out = "[none] [arg]\n"},
    {.name = "parameter_reaches_nested_name", .in = "@DEFINE a1 one\n@DEFINE pick $(a$(0))\n$(pick:1)\n", .out = "one\n"},
    {.name = "positional_only_value", .in = "@DEFINE m $(0)\n$(m)\n", .out = "\n"},

    // Errors of references.
    {.name = "missing_close_paren", .in = "@DEFINE x 1\nab $(x\n", .out = "", .err = at(2, "Missing close paren for macro 'x'"), .status = 1},
    {.name = "missing_close_paren_nested", .in = "$(a(b)\n", .out = "", .err = at(1, "Missing close paren for macro 'a(b)'"), .status = 1},
    {.name = "dollar_paren_at_end", .in = "a $(\n", .out = "", .err = at(1, "Missing close paren for macro ''"), .status = 1},
    {.name = "empty_parens_at_end", .in = "$()\n", .out = "", .err = at(1, "Missing close paren for macro ')'"), .status = 1},
    {.name = "macro_named_close_paren", .in = "$())\n", .out = "", .err = at(1, "Macro ) not defined"), .status = 1},
    {.name = "undefined_macro", .in = "ok\n\n$(nosuch)\n", .out = "ok\n", .err = at(3, "Macro nosuch not defined"), .status = 1},
    {.name = "undefined_macro_in_value", .in = "@DEFINE a <$b>\n$a\n", .out = "", .err = at(2, "Macro b not defined"), .status = 1},
    {.name = "double_dollar", .in = "$$\n", .out = "", .err = at(1, "Invalid special macro ''"), .status = 1},
    {.name = "dollar_at_end_of_line", .in = "cost 5$\n", .out = "", .err = at(1, "Invalid special macro ''"), .status = 1},
    {.name = "empty_reference_from_expansion", .in = "@DEFINE e\n$($(e))\n", .out = "", .err = at(2, "Invalid special macro ''"), .status = 1},
    {.name = "self_reference_too_deep", .in = "@DEFINE a <$(a)>\nok\n$(a)\n", .out = "ok\n", .err = at(3, "Macro expansion nested too deeply"), .status = 1},
    {.name = "mutual_reference_too_deep", .in = "@DEFINE a $b\n@DEFINE b $a\n$a\n", .out = "", .err = at(3, "Macro expansion nested too deeply"), .status = 1},
    {.name = "recursion_through_arguments_too_deep", .in = "@DEFINE f $(f:$(0)x)\n$(f:a)\n", .out = "", .err = at(2, "Macro expansion nested too deeply"), .status = 1},
    {.name = "nesting_of_500_values_works", .in = chain_script(500), .out = chain_result(500)},
    {.name = "nesting_of_500_names_works", .in = nested_name_script(500), .out = "n\n"},

    {.name = "name_with_escaped_characters", .in = "@DEFINE a\\,b\\(1 v\n$(a\\,b\\(1)\n", .out = "v\n"},
    {.name = "default_with_escaped_comma", .in = "@DEFINE d [$(0:a\\,b)]\n$(d)\n", .out = "[a,b]\n"},
    {.name = "backslash_n_in_value", .in = "@DEFINE nl a\\nb\n$(nl)\n", .out = "a\nb\n"},

    // $(%:...)
    {.name = "seq_list", .in = "$(%:1 3 5)\n", .out = "1 3 5\n"},
    {.name = "seq_range", .in = "$(%:1-5)\n", .out = "1 2 3 4 5\n"},
    {.name = "seq_leading_range", .in = "$(%:-3)\n", .out = "1 2 3\n"},
    {.name = "seq_two_ranges", .in = "$(%:2-4 8-9)\n", .out = "2 3 4 8 9\n"},
    {.name = "seq_falling_range", .in = "$(%:5-3)\n", .out = "5\n"},
    {.name = "seq_number_below_last", .in = "$(%:3 1-4)\n", .out = "3 1 2 3 4\n"},
    {.name = "seq_hex", .in = "$(%:0x10-0x12)\n", .out = "16 17 18\n"},
    {.name = "seq_octal_and_blanks", .in = "$(%:  010   - 9 )\n", .out = "8 9\n"},
    {.name = "seq_empty", .in = "[$(%:)]\n", .out = "[]\n"},
    {.name = "seq_negative_start", .in = "$(%:-2 -3)\n", .out = "1 2 3\n"},
    {.name = "seq_up_to_largest_long", .in = "$(%:9223372036854775806 -9223372036854775807)\n", .out = "9223372036854775806 9223372036854775807\n"},
    {.name = "seq_saturated_number", .in = "$(%:99999999999999999999 -99999999999999999999)\n", .out = "9223372036854775807\n"},
    {.name = "seq_limit_reached", .in = "$(%:1-2049)\n", .out = numbers(1, 2049) + "\n"},
    {.name = "seq_too_long", .in = "$(%:1-2050)\n", .out = "", .err = at(1, "Sequence too long"), .status = 1},
    {.name = "seq_comma_is_not_separator", .in = "$(%:1,2)\n", .out = "", .err = at(1, "Sequence too long"), .status = 1},
    {.name = "seq_letter_loops_to_limit", .in = "$(%:a)\n", .out = "", .err = at(1, "Sequence too long"), .status = 1},
    {.name = "seq_from_parameter", .in = "@DEFINE m $(%:1-$(0))\n$(m:4)\n", .out = "1 2 3 4\n"},

    // $(?:...)
    {.name = "choice_nonempty_test", .in = "$(?:x:yes:no)\n", .out = "yes\n"},
    {.name = "choice_empty_test", .in = "$(?::yes:no)\n", .out = "no\n"},
    {.name = "choice_blank_test", .in = "$(?: :yes:no)\n", .out = "no\n"},
    {.name = "choice_zero_is_not_empty", .in = "$(?:0:yes:no)\n", .out = "yes\n"},
    {.name = "choice_first_branch_keeps_blanks", .in = "[$(?:x: yes:no)]\n", .out = "[ yes]\n"},
    {.name = "choice_second_branch_loses_blanks", .in = "[$(?::yes: no)]\n", .out = "[no]\n"},
    {.name = "choice_second_branch_keeps_colons", .in = "$(?::b:c:d)\n", .out = "c:d\n"},
    {.name = "choice_on_defined_value", .in = "@DEFINE e\n@DEFINE f 1\n$(?:$e:full:empty) $(?:$f:full:empty)\n", .out = "empty full\n"},
    {.name = "choice_usage", .in = "$(?:a:b)\n", .out = "",
     .err = at(1, "Invalid macro usage for '?' - '$(?:<expr1>:<expr2>:<expr3>)'"), .status = 1},
    {.name = "choice_unchosen_branch_still_expanded", .in = "$(?:x:yes:$(nosuch))\n", .out = "", .err = at(1, "Macro nosuch not defined"), .status = 1},

    // $(@:...)
    {.name = "length_plain", .in = "$(@:hello)\n", .out = "5\n"},
    {.name = "length_leading_blanks_dropped", .in = "$(@:  hi)\n", .out = "2\n"},
    {.name = "length_empty", .in = "$(@:)\n", .out = "0\n"},
    {.name = "length_of_expansion", .in = "@DEFINE w four\n$(@:$w$w)\n", .out = "8\n"},
    {.name = "length_counts_marker_pair_twice", .in = "$(@:a\\$)\n", .out = "3\n"},
    {.name = "length_counts_utf8_bytes", .in = "$(@:\xC3\xA9\xE0\xA4\x95)\n", .out = "5\n"},

    // Invalid special references.
    {.name = "special_without_colon", .in = "$(=1)\n", .out = "", .err = at(1, "Invalid special macro '=1'"), .status = 1},
    {.name = "length_without_colon", .in = "$(@)\n", .out = "", .err = at(1, "Invalid special macro '@'"), .status = 1},
    {.name = "sequence_without_colon", .in = "@DEFINE x 1\n$(%$x)\n", .out = "", .err = at(2, "Invalid special macro '%1'"), .status = 1},
    {.name = "dollar_before_special_char", .in = "a $%\n", .out = "", .err = at(1, "Invalid special macro '%'"), .status = 1},
};

}  // namespace

E2E_TABLE(Expansion, kCases);

}  // namespace e2e
