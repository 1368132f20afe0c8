// Directive dispatch and the macro-definition directives.
#include "cases.h"

namespace e2e {
namespace {

Case no_arg(const std::string& word, int code) {
  return {.name = "missing_argument_" + word, .in = "ok\n@" + word + "\n", .out = "ok\n",
          .err = at(2, "No macro name for " + std::to_string(code)), .status = 1};
}

const std::string kShowFresh =
    "\\[__PID__\\] = \\[[0-9]+\\]\n"
    "\\[__DATE__\\] = \\[(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 123][0-9] [0-9]{4}\\]\n"
    "\\[__TIME__\\] = \\[[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\]\n"
    "\\[__USER__\\] = \\[tester\\]\n"
    "\\[__LINE__\\] = \\[LINE\\]\n"
    "\\[__FILE__\\] = \\[stdin\\]\n"
    "\\[__OFILE__\\] = \\[stdout\\]\n"
    "\\[__INCLUDE__\\] = \\[/usr/package\\]\n"
    "\\[__V_MAJOR__\\] = \\[3\\]\n"
    "\\[__V_MINOR__\\] = \\[2\\]\n"
    "\\[__UNIX__\\] = \\[UNIX version of quenfold\\]\n"
    "\\[__OS__\\] = \\[UNIX\\]\n";

std::string show_fresh(int line) {
  std::string s = kShowFresh;
  s.replace(s.find("LINE\\]"), 4, std::to_string(line));
  return s;
}

const std::vector<Case> kCases = {
    // Dispatch.
    {.name = "directive_word_any_case", .in = "@define a 1\n@DeFiNe b 2\n@DEFINE c 3\n$a$b$c\n", .out = "123\n"},
    // The usual spellings of @DEFINE and @IFDEF have a path of their own;
    // white space of any kind and amount after the word means the same there
    // as elsewhere.
    {.name = "define_spacing",
     .in = "@DEFINE   a  1 2\n@DEFINE\tb\t3\n!@DEFINE c 4\n@DEFINE \t d 5\n[$a|$b|$c|$d]\n",
     .out = "[1 2|3|4|5]\n"},
    {.name = "ifdef_spacing",
     .in = "@DEFINE x 1\n@IFDEF   x\na\n@ENDIF\n@IFDEF\tx 1\nb\n@ENDIF\n@IFDEF x  1\nc\n@ENDIF\n@IFDEF x 2\nd\n@ENDIF\n"
           "!@IFDEF nosuch\ne\n@ELSE\nf\n@ENDIF\n",
     .out = "a\nb\nc\nf\n"},
    {.name = "blank_after_at_is_unknown", .in = "@ DEFINE x 1\n", .out = "", .err = at(1, "Unknown directive '@' (-1)"), .status = 1},
    {.name = "unknown_directive_with_argument", .in = "a\n@FOO bar\n", .out = "a\n", .err = at(2, "Unknown directive '@FOO' (-1)"), .status = 1},
    {.name = "unknown_directive_keeps_case", .in = "@foo bar\n", .out = "", .err = at(1, "Unknown directive '@foo' (-1)"), .status = 1},
    {.name = "unknown_directive_without_bang", .in = "!@Foo bar\n", .out = "", .err = at(1, "Unknown directive '@Foo' (-1)"), .status = 1},
    {.name = "unknown_directive_without_argument", .in = "@FOO\n", .out = "", .err = at(1, "No macro name for -1"), .status = 1},
    {.name = "unknown_directive_ignored_when_skipping", .in = "@IFDEF nosuch\n@FOO bar\n@ENDIF\nok\n", .out = "ok\n"},
    {.name = "unknown_directive_without_argument_fails_when_skipping", .in = "@IFDEF nosuch\n@FOO\n@ENDIF\n", .out = "",
     .err = at(2, "No macro name for -1"), .status = 1},
    {.name = "missing_argument_checked_when_skipping", .in = "@IFDEF nosuch\n@INCLUDE\n@ENDIF\n", .out = "",
     .err = at(2, "No macro name for 7"), .status = 1},
    {.name = "directive_word_is_prefix_only", .in = "@DEFINEx 1\n", .out = "", .err = at(1, "Unknown directive '@DEFINEx' (-1)"), .status = 1},
    {.name = "tab_separates_directive_word", .in = "@DEFINE\tx\t1\n$x\n", .out = "1\n"},
    no_arg("GETENV", 0),
    no_arg("READLINE", 1),
    no_arg("DEFINE", 2),
    no_arg("DEFAULT", 3),
    no_arg("REDEFINE", 4),
    no_arg("EXTEND", 5),
    no_arg("UNDEF", 6),
    no_arg("INCLUDE", 7),
    no_arg("PRINT", 8),
    no_arg("IFDEF", 11),
    no_arg("IFNDEF", 12),
    no_arg("QUOTE", 14),
    no_arg("FOR", 15),
    no_arg("ERROR", 17),
    no_arg("ELIFDEF", 20),
    no_arg("ELIFNDEF", 21),
    {.name = "argument_expanded_for_show", .in = "@SHOW $(nosuch)\n", .out = "", .err = at(1, "Macro nosuch not defined"), .status = 1},
    {.name = "argument_expanded_for_end", .in = "@FOR i 1\n@END $(nosuch)\n", .out = "", .err = at(2, "Macro nosuch not defined"), .status = 1},
    {.name = "argument_expanded_for_return", .in = "@RETURN $(nosuch)\n", .out = "", .err = at(1, "Macro nosuch not defined"), .status = 1},
    {.name = "argument_expanded_for_undef", .in = "@UNDEF $(nosuch)\n", .out = "", .err = at(1, "Macro nosuch not defined"), .status = 1},
    {.name = "argument_expanded_for_extend", .in = "@DEFINE l a\n@EXTEND l $(nosuch)\n", .out = "", .err = at(2, "Macro nosuch not defined"), .status = 1},
    {.name = "define_argument_not_expanded", .in = "@DEFINE x $(nosuch)\nok\n", .out = "ok\n"},
    {.name = "directives_not_carried_out_when_skipping",
     .in = "@IFDEF nosuch\n@DEFINE z 1\n@ERROR boom\n@PRINT hidden\n@SHOW\n@UNDEF __OS__\n@ENDIF\n@IFDEF z\nA\n@ELSE\nB\n@ENDIF\n",
     .out = "B\n"},

    // @DEFINE
    {.name = "define_empty", .in = "@DEFINE x\n[$x]\n", .out = "[]\n"},
    {.name = "define_keeps_inner_blanks", .in = "@DEFINE x a  \t b\n[$x]\n", .out = "[a  \t b]\n"},
    {.name = "define_blanks_after_name_skipped", .in = "@DEFINE x    v\n[$x]\n", .out = "[v]\n"},
    {.name = "define_name_of_any_characters", .in = "@DEFINE a$b:c v\n[$(a$b:c)]\n", .out = "", .err = at(2, "Macro b not defined"), .status = 1},
    {.name = "define_name_with_punctuation", .in = "@DEFINE a.b-c v\n[$(a.b-c)]\n", .out = "[v]\n"},
    {.name = "define_twice", .in = "@DEFINE x 1\n@DEFINE x 2\n", .out = "", .err = at(2, "Macro x already defined"), .status = 1},
    {.name = "define_predefined", .in = "@DEFINE __OS__ y\n", .out = "", .err = at(1, "Macro __OS__ already defined"), .status = 1},
    {.name = "define_lower_case_predefined_name", .in = "@DEFINE __os__ y\n$(__os__) $(__OS__)\n", .out = "y UNIX\n"},
    {.name = "define_escaped_dollar_in_value", .in = "@DEFINE price \\$5\n$(price)\n", .out = "$5\n"},

    // @DEFAULT
    {.name = "default_keeps_existing", .in = "@DEFINE x 1\n@DEFAULT x 2\n@DEFAULT z 3\n$x $z\n", .out = "1 3\n"},
    {.name = "default_keeps_predefined", .in = "@DEFAULT __OS__ other\n$(__OS__)\n", .out = "UNIX\n"},
    {.name = "default_empty", .in = "@DEFAULT z\n[$z]\n", .out = "[]\n"},

    // @REDEFINE
    {.name = "redefine_changes_value", .in = "@DEFINE x 1\n@REDEFINE x 2 3\n$x\n@REDEFINE x\n[$x]\n", .out = "2 3\n[]\n"},
    {.name = "redefine_predefined", .in = "@REDEFINE __OS__ x\n", .out = "", .err = at(1, "Can't modify macro __OS__"), .status = 1},
    {.name = "redefine_missing", .in = "@REDEFINE nosuch 1\n", .out = "", .err = at(1, "Macro nosuch not found"), .status = 1},
    {.name = "redefine_uses_raw_argument", .in = "@DEFINE n x\n@DEFINE x 1\n@REDEFINE $(n) 2\n", .out = "", .err = at(3, "Macro $(n) not found"), .status = 1},
    {.name = "redefine_changes_first_loop_entry",
     .in = "@FOR i a b\n@REDEFINE i z\n$i\n@END\n", .out = "z\nz\n"},

    // @EXTEND
    {.name = "extend_appends_with_blank", .in = "@DEFINE l a\n@EXTEND l b\n[$l]\n", .out = "[a b]\n"},
    {.name = "extend_empty_value", .in = "@DEFINE l\n@EXTEND l b\n[$l]\n", .out = "[ b]\n"},
    {.name = "extend_without_text", .in = "@DEFINE l a\n@EXTEND l\n[$l]\n", .out = "[a ]\n"},
    {.name = "extend_freezes_old_value", .in = "@DEFINE l $(__LINE__)\n\n\n\n@EXTEND l x\n\n[$l]\n", .out = "[5 x]\n"},
    {.name = "extend_keeps_new_text_unexpanded", .in = "@DEFINE y 5\n@DEFINE l a\n@EXTEND l $y\n@REDEFINE y 7\n[$l]\n", .out = "[a 7]\n"},
    {.name = "extend_predefined", .in = "@EXTEND __OS__ x\n", .out = "", .err = at(1, "Can't modify macro __OS__"), .status = 1},
    {.name = "extend_missing", .in = "@EXTEND nosuch x\n", .out = "", .err = at(1, "Macro nosuch not found"), .status = 1},
    {.name = "extend_uses_raw_argument", .in = "@DEFINE n l\n@DEFINE l a\n@EXTEND $(n) x\n", .out = "", .err = at(3, "Macro $(n) not found"), .status = 1},
    {.name = "extend_value_with_undefined_reference", .in = "@DEFINE l $(nosuch)\n@EXTEND l x\n", .out = "", .err = at(2, "Macro nosuch not defined"), .status = 1},

    // @UNDEF
    {.name = "undef_removes", .in = "@DEFINE x 1\n@UNDEF x\n@IFDEF x\nyes\n@ELSE\nno\n@ENDIF\n", .out = "no\n"},
    {.name = "undef_missing_is_fine", .in = "@UNDEF nosuch\nok\n", .out = "ok\n"},
    {.name = "undef_ignores_rest", .in = "@DEFINE x 1\n@DEFINE y 2\n@UNDEF x y\n$y\n", .out = "2\n"},
    {.name = "undef_predefined", .in = "@UNDEF __FILE__\n", .out = "", .err = at(1, "Can't delete predefined macro __FILE__"), .status = 1},
    {.name = "undef_uses_raw_argument", .in = "@DEFINE n x\n@DEFINE x 1\n@UNDEF $(n)\n$x\n", .out = "1\n"},
    {.name = "undef_then_define_again", .in = "@DEFINE x 1\n@UNDEF x\n@DEFINE x 2\n$x\n", .out = "2\n"},
    {.name = "undef_removes_oldest_entry", .in = "@DEFINE i 0\n@FOR i 1 2 3\n@UNDEF i\n[$i]\n@END\n", .out = "[1]\n[3]\n"},

    // @GETENV
    {.name = "getenv_set", .env = {{"QF_VAR", "from env"}}, .in = "@GETENV QF_VAR\n[$(QF_VAR)]\n", .out = "[from env]\n"},
    {.name = "getenv_unset_defines_nothing", .in = "@GETENV QF_VAR\n@IFDEF QF_VAR\nyes\n@ELSE\nno\n@ENDIF\n", .out = "no\n"},
    {.name = "getenv_unset_with_default", .in = "@GETENV QF_VAR fall back\n[$(QF_VAR)]\n", .out = "[fall back]\n"},
    {.name = "getenv_set_empty_beats_default", .env = {{"QF_VAR", ""}}, .in = "@GETENV QF_VAR fallback\n[$(QF_VAR)]\n", .out = "[]\n"},
    {.name = "getenv_already_defined", .env = {{"QF_VAR", "v"}}, .in = "@DEFINE QF_VAR 1\n@GETENV QF_VAR\n", .out = "",
     .err = at(2, "Macro QF_VAR already defined"), .status = 1},
    {.name = "getenv_unset_already_defined_is_fine", .in = "@DEFINE QF_VAR 1\n@GETENV QF_VAR\n$(QF_VAR)\n", .out = "1\n"},
    {.name = "getenv_value_stored_unexpanded", .env = {{"QF_VAR", "$(nosuch)"}}, .in = "@GETENV QF_VAR\nok\n$(QF_VAR)\n", .out = "ok\n",
     .err = at(3, "Macro nosuch not defined"), .status = 1},

    // @SHOW
    {.name = "show_fresh", .env = {{"USER", "tester"}}, .in = "@SHOW\n", .out = show_fresh(1), .match = kOutRegex},
    {.name = "show_user_macros_unexpanded_in_order",
     .env = {{"USER", "tester"}},
     .in = "a\n@DEFINE z $(y) \\$\n@DEFINE y 1\n@SHOW ignored\nb\n",
     .out = "a\n" + show_fresh(4) + "\\[z\\] = \\[\\$\\(y\\) \xFF\xA4\\]\n\\[y\\] = \\[1\\]\nb\n",
     .match = kOutRegex},
    {.name = "show_ignores_quiet", .args = {"-q"}, .env = {{"USER", "tester"}}, .in = "@SHOW\n", .out = show_fresh(1), .match = kOutRegex},

    // @CLEAR
    {.name = "clear_after_name", .in = "@DEFINE a 1\n@DEFINE b 2\n@DEFINE c 3\n@CLEAR b\n$a$b\n$c\n", .out = "12\n",
     .err = at(6, "Macro c not defined"), .status = 1},
    {.name = "clear_all", .in = "@DEFINE a 1\n@DEFINE b 2\n@CLEAR\n@DEFINE a 3\n$a $(__OS__)\n$b\n", .out = "3 UNIX\n",
     .err = at(6, "Macro b not defined"), .status = 1},
    {.name = "clear_expands_argument", .in = "@DEFINE a 1\n@DEFINE n a\n@DEFINE c 3\n@CLEAR $(n) junk\n$c\n", .out = "",
     .err = at(5, "Macro c not defined"), .status = 1},
    {.name = "clear_predefined", .in = "@CLEAR __OS__\n", .out = "", .err = at(1, "Can't clear from predefined macro __OS__"), .status = 1},
    {.name = "clear_missing", .in = "@CLEAR nosuch\n", .out = "", .err = at(1, "Macro nosuch not found"), .status = 1},
    {.name = "clear_keeps_loop_values", .in = "@FOR i 1 2 3\n@DEFINE z <$i>\n$z\n@CLEAR i\n@END\n", .out = "<1>\n<2>\n<3>\n"},
    {.name = "clear_then_redefine_lookup",
     .in = "@DEFINE a 1\n@DEFINE b 2\n@CLEAR a\n@DEFINE b 3\n@DEFINE c 4\n$a$b$c\n", .out = "134\n"},

    // @READLINE (the script comes from a file so that standard input holds only data)
    {.name = "readline_reads_logical_lines",
     .args = {"./s.qf"},
     .files = {{"s.qf", "@READLINE a\n@READLINE b no\n@READLINE c\n@READLINE d dflt\n[$a][$b][$c][$d]\n"}},
     .in = "\n  first \\\n line  \n# comment\nsecond \\$x # note\n",
     .out = "[first   line][second $x][][dflt]\n"},
    {.name = "readline_empty_input", .args = {"./s.qf"}, .files = {{"s.qf", "@READLINE a\n@READLINE b no\n[$a][$b]\n"}},
     .out = "[][no]\n"},
    {.name = "readline_takes_next_script_line", .in = "@READLINE a\n  this is data $x\n[$a]\n", .out = "",
     .err = at(2, "Macro x not defined"), .status = 1},
    {.name = "readline_already_defined", .args = {"./s.qf"}, .files = {{"s.qf", "@DEFINE a 1\n@READLINE a\n"}}, .in = "x\n",
     .out = "", .err = at("./s.qf", 2, "Macro a already defined"), .status = 1},
    {.name = "readline_line_not_counted",
     .in = "@READLINE a\ndata\n$(__LINE__) [$a]\n", .out = "2 [data]\n"},
};

}  // namespace

E2E_TABLE(Directives, kCases);

}  // namespace e2e
