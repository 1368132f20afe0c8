// Conditional blocks and loops.
#include "cases.h"

namespace e2e {
namespace {

// Runs `body` between "@IFDEF <test>" and "@ENDIF" with X defined as 1, and an @ELSE branch.
Case cond(const std::string& name, const std::string& test, bool taken) {
  return {.name = name, .in = "@DEFINE X 1\n" + test + "\nyes\n@ELSE\nno\n@ENDIF\n", .out = taken ? "yes\n" : "no\n"};
}

std::string big_body_script() {
  std::string s = "@FOR i a b c\n";
  for (int k = 0; k < 2000; ++k) s += "line $i " + std::to_string(k) + " " + std::string(100, 'x') + "\n";
  return s + "@END\ndone\n";
}
std::string big_body_result() {
  std::string s;
  for (const char* v : {"a", "b", "c"})
    for (int k = 0; k < 2000; ++k) s += std::string("line ") + v + " " + std::to_string(k) + " " + std::string(100, 'x') + "\n";
  return s + "done\n";
}

std::string count_lines(int n) {
  std::string s;
  for (int i = 1; i <= n; ++i) s += std::to_string(i) + "\n";
  return s;
}

const std::string kLoop3 = "@FOR i 1 2 3\nv=$i\n@END\n";

const std::vector<Case> kCases = {
    // Definition tests.
    cond("ifdef_defined", "@IFDEF X", true),
    cond("ifdef_with_equal_value", "@IFDEF X 1", true),
    cond("ifdef_with_other_value", "@IFDEF X 2", false),
    cond("ifndef_with_other_value", "@IFNDEF X 2", true),
    cond("ifndef_defined", "@IFNDEF X", false),
    cond("ifdef_undefined", "@IFDEF Y", false),
    cond("ifndef_undefined", "@IFNDEF Y", true),
    cond("ifdef_predefined_value", "@IFDEF __OS__ UNIX", true),
    cond("ifdef_name_case_sensitive", "@IFDEF x", false),
    cond("directive_word_case_insensitive", "@ifdef X", true),
    cond("ifdef_argument_expanded", "@DEFINE n X\n@IFDEF $(n) $(X)", true),
    cond("ifdef_empty_argument", "@DEFINE e\n@IFDEF $(e)", false),
    cond("ifndef_empty_argument", "@DEFINE e\n@IFNDEF $(e)", true),
    cond("ifdef_value_is_expanded", "@DEFINE y X\n@DEFINE v $(y)\n@IFDEF v X", true),
    cond("ifdef_value_keeps_inner_blanks", "@DEFINE v a  b\n@IFDEF v a  b", true),
    cond("ifdef_value_blanks_differ", "@DEFINE v a  b\n@IFDEF v a b", false),
    cond("ifdef_empty_value_needs_no_value", "@DEFINE v\n@IFDEF v", true),
    {.name = "ifdef_undefined_reference_in_value", .in = "@DEFINE v $(nosuch)\n@IFDEF v 1\n@ENDIF\n", .out = "",
     .err = at(2, "Macro nosuch not defined"), .status = 1},
    {.name = "ifdef_loop_variable_first_entry", .in = "@FOR i a b\n@IFDEF i a\nfirst-a $i\n@ENDIF\n@END\n", .out = "first-a a\n"},

    // Branches.
    {.name = "elif_after_taken_branch_skips",
     .in = "@DEFINE X 1\n@IFDEF X\nA\n@ELIFDEF X\nB\n@ELSE\nC\n@ELSE\nD\n@ENDIF\n", .out = "A\n"},
    {.name = "elifndef_taken", .in = "@IFDEF n1\nA\n@ELIFDEF n2\nB\n@ELIFNDEF n3\nC\n@ELSE\nD\n@ENDIF\n", .out = "C\n"},
    {.name = "elifdef_taken", .in = "@DEFINE n2 v\n@IFDEF n1\nA\n@ELIFDEF n2 v\nB\n@ELIFNDEF n3\nC\n@ENDIF\n", .out = "B\n"},
    {.name = "else_taken_after_failed_elifs", .in = "@IFDEF n1\nA\n@ELIFDEF n2\nB\n@ELSE\nD\n@ENDIF\n", .out = "D\n"},
    {.name = "second_else_keeps_skipping", .in = "@IFDEF n1\nA\n@ELSE\nB\n@ELSE\nC\n@ENDIF\n", .out = "B\n"},
    {.name = "nested_block_in_skipped_block",
     .in = "@DEFINE X 1\n@IFDEF nosuch\n@IFDEF X\nA\n@ELSE\nB\n@ENDIF\nC\n@ELSE\nD\n@ENDIF\n", .out = "D\n"},
    {.name = "nested_ifndef_counted_when_skipping",
     .in = "@IFDEF nosuch\n@IFNDEF y\n@IFDEF z\n@ENDIF\n@ENDIF\n@ELSE\nE\n@ENDIF\n", .out = "E\n"},
    {.name = "nested_blocks_taken", .in = "@DEFINE X 1\n@IFDEF X\n@IFNDEF Y\nA\n@ENDIF\nB\n@ENDIF\nC\n", .out = "A\nB\nC\n"},
    {.name = "else_argument_naming_defined_macro", .in = "@DEFINE X 1\n@IFDEF nosuch\nA\n@ELSE X\nB\n@ENDIF\n", .out = "B\n"},
    {.name = "else_argument_expanded", .in = "@IFDEF nosuch\nA\n@ELSE $(nosuch)\nB\n@ENDIF\n", .out = "",
     .err = at(3, "Macro nosuch not defined"), .status = 1},
    {.name = "else_argument_ignored_in_nested_skip", .in = "@IFDEF nosuch\n@IFDEF y\n@ELSE $(nosuch)\n@ENDIF\n@ENDIF\nok\n", .out = "ok\n"},
    {.name = "elif_argument_expanded_only_when_acting", .in = "@IFDEF nosuch\n@IFDEF y\n@ELIFDEF $(nosuch)\n@ENDIF\n@ENDIF\nok\n", .out = "ok\n"},
    {.name = "endif_with_text", .in = "@IFDEF nosuch\nA\n@ENDIF this is ignored $(nosuch)\nB\n", .out = "B\n"},
    {.name = "skipped_lines_not_expanded", .in = "@IFDEF nosuch\n$(undefined) $$ $(\n@ENDIF\nok\n", .out = "ok\n"},
    {.name = "line_number_follows_skipped_lines", .in = "@IFDEF nosuch\na\nb\n@ENDIF\n$(__LINE__)\n", .out = "5\n"},
    {.name = "bang_directive_in_block", .in = "@DEFINE X 1\n!@IFDEF X\nA\n!@ENDIF\n", .out = "A\n"},

    // Messages.
    {.name = "else_without_block", .in = "a\n@ELSE\n", .out = "a\n", .err = at(2, "Unbalanced @ELSE, @ELIFDEF or @ELIFNDEF"), .status = 1},
    {.name = "elifdef_without_block", .in = "@ELIFDEF X\n", .out = "", .err = at(1, "Unbalanced @ELSE, @ELIFDEF or @ELIFNDEF"), .status = 1},
    {.name = "elifndef_without_block", .in = "@ELIFNDEF X\n", .out = "", .err = at(1, "Unbalanced @ELSE, @ELIFDEF or @ELIFNDEF"), .status = 1},
    {.name = "endif_without_block", .in = "@ENDIF\n", .out = "", .err = at(1, "Unmatched @ENDIF"), .status = 1},
    {.name = "endif_without_block_in_loop", .in = "@FOR i 1\n@ENDIF\n@END\n", .out = "", .err = at(2, "Unmatched @ENDIF"), .status = 1},
    {.name = "block_left_open", .in = "@DEFINE X 1\n@IFDEF X\nA\n\n", .out = "A\n", .err = at(4, "Missing @ENDIF (@IFDEF)"), .status = 1},
    {.name = "block_left_open_skipping", .in = "@IFNDEF __OS__\nA\n", .out = "", .err = at(2, "Missing @ENDIF (@IFNDEF)"), .status = 1},
    {.name = "block_left_open_bang_lower_case", .in = "!@ifndef nosuch\n", .out = "", .err = at(1, "Missing @ENDIF (!@ifndef)"), .status = 1},
    {.name = "innermost_open_block_named", .in = "@IFDEF __OS__\n@ifndef nosuch\n@ENDIF\n@ifdef __OS__\n", .out = "",
     .err = at(4, "Missing @ENDIF (@ifdef)"), .status = 1},
    {.name = "nested_count_block_left_open", .in = "@IFDEF nosuch\n@IFDEF y\n@ENDIF\n", .out = "", .err = at(3, "Missing @ENDIF (@IFDEF)"), .status = 1},

    // Loops.
    {.name = "loop_three_values", .in = kLoop3 + "@IFDEF i\nstill\n@ELSE\ngone\n@ENDIF\n", .out = "v=1\nv=2\nv=3\ngone\n"},
    {.name = "loop_over_file_operand", .args = {"./s.qf"}, .files = {{"s.qf", kLoop3}}, .out = "v=1\nv=2\nv=3\n"},
    {.name = "loop_over_stdin_from_file", .files = {{"s.qf", kLoop3}}, .out = "v=1\nv=2\nv=3\n", .stdin_file = "s.qf"},
    {.name = "loop_over_file_without_final_newline", .args = {"./s.qf"}, .files = {{"s.qf", "@FOR i 1 2\n$i\n@END"}}, .out = "1\n2\n"},
    {.name = "loop_values_from_macro", .in = "@DEFINE vals a b  c\n@FOR v $(vals)\n<$v>\n@END\n", .out = "<a>\n<b>\n<c>\n"},
    {.name = "loop_values_from_sequence", .in = "@FOR i $(%:1-2000)\n$i\n@END\n", .out = count_lines(2000)},
    {.name = "loop_quotes_do_not_group", .in = "@FOR v \"a b\"\n[$v]\n@END\n", .out = "[\"a]\n[b\"]\n"},
    {.name = "loop_line_number_same_each_pass", .in = "\n@FOR i 1 2\n$i:$(__LINE__)\n@END\n$(__LINE__)\n", .out = "1:3\n2:3\n5\n"},
    {.name = "loop_variable_defined_before", .in = "@DEFINE i 0\n@FOR i 1 2\n$i\n@END\n@IFDEF i\nstill\n@ENDIF\n", .out = "0\n1\n2\n"},
    {.name = "loop_nested", .in = "@FOR i 1 2\n@FOR j a b\n$i$j\n@END\n@END\n", .out = "1a\n1b\n2a\n2b\n"},
    {.name = "loop_nested_same_name", .in = "@FOR i 1 2\n[$i]\n@FOR i a b\n<$i>\n@END\n@END\n", .out = "[1]\n<1>\n<2>\n<a>\n<b>\n"},
    {.name = "loop_with_conditional_body",
     .in = "@FOR i 1 2 3\n@IFDEF i 2\ntwo\n@ELSE\nnot $i\n@ENDIF\n@END\n", .out = "not 1\ntwo\nnot 3\n"},
    // Block and loop ends in every spelling pair up alike, skipped or not.
    {.name = "block_and_loop_ends_in_any_spelling",
     .in = "@IFDEF nosuch\n@IFDEF x\n!@ELSE\n@endif\nskipped\n!@ELSE\nshown\n@Else\nnot\n!@ENDIF\n"
           "@FOR i 1 2\n@IFDEF nosuch\n@END\n!@END\n@ENDIF\n[$i]\n!@END\nafter\n",
     .out = "shown\n[1]\n[2]\nafter\n"},
    {.name = "loop_in_skipped_block_ignored", .in = "@IFDEF nosuch\n@FOR i 1 2\n$i\n@END\n@ENDIF\nok\n", .out = "ok\n"},
    {.name = "loop_single_value", .in = "@FOR i only\n$i\n@END\n", .out = "only\n"},
    {.name = "loop_body_empty", .in = "@FOR i 1 2 3\n@END\nok\n", .out = "ok\n"},
    {.name = "loop_body_with_comments_and_continuations",
     .in = "@FOR i 1 2\n# comment\na$i\\\nb$i\n\n@END\n", .out = "a1 b1\na2 b2\n"},
    {.name = "loop_directive_lower_case", .in = "@for i 1 2\n$i\n@end\n", .out = "1\n2\n"},
    {.name = "loop_large_body_over_pipe", .in = big_body_script(), .out = big_body_result()},
    {.name = "loop_without_values", .in = "@FOR i\n", .out = "", .err = at(1, "No arguments to @FOR command"), .status = 1},
    {.name = "loop_without_values_after_expansion", .in = "@DEFINE e\n@FOR i $(e)\n", .out = "", .err = at(2, "No arguments to @FOR command"), .status = 1},
    {.name = "loop_end_without_for", .in = "a\n@END\n", .out = "a\n", .err = at(2, "Too many @END statements"), .status = 1},
    {.name = "loop_too_many_ends", .in = "@FOR i 1\n@END\n@END\n", .out = "", .err = at(3, "Too many @END statements"), .status = 1},
    {.name = "loop_left_open", .in = "@FOR i 1 2\nx $i\n", .out = "x 1\n", .err = bare("Missing @END"), .status = 1},
    {.name = "loop_variable_predefined", .in = "@FOR __OS__ x\n$(__OS__)\n@END\n", .out = "UNIX\n",
     .err = at(3, "Can't delete predefined macro __OS__"), .status = 1},
    {.name = "loop_with_readline_over_pipe", .in = "@FOR i 1 2\n@READLINE v\ndata line\n<$i $v>\n@UNDEF v\n@END\n",
     .out = "<1 data line>\n<2 data line>\n"},
    {.name = "loop_with_readline_from_data_on_stdin", .args = {"./s.qf"}, .files = {{"s.qf", "@FOR i 1 2 3\n@READLINE v\n[$i:$v]\n@UNDEF v\n@END\n"}},
     .in = "a\nb\n", .out = "[1:a]\n[2:b]\n[3:]\n"},
    {.name = "loop_over_pipe_without_final_newline", .in = "@FOR i 1 2\n$i\n@END", .out = "1\n2\n"},
    {.name = "loop_in_included_file", .files = {{"a.qf", "@FOR i 1 2\nin $i $(__LINE__)\n@END\n"}}, .in = "@INCLUDE ./a.qf\nafter\n",
     .out = "in 1 2\nin 2 2\nafter\n"},
    {.name = "loop_around_include_over_pipe", .files = {{"a.qf", "in $i\n"}}, .in = "@FOR i 1 2 3\n@INCLUDE ./a.qf\n@END\n",
     .out = "in 1\nin 2\nin 3\n"},
    {.name = "loop_error_inside_body_reports_line", .in = "@FOR i 1 2\nok $i\n@IFDEF i 2\n$(nosuch)\n@ENDIF\n@END\n", .out = "ok 1\nok 2\n",
     .err = at(4, "Macro nosuch not defined"), .status = 1},
};

}  // namespace

E2E_TABLE(Control, kCases);

}  // namespace e2e
