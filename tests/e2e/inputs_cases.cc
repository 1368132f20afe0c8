// @INCLUDE, @RETURN, @PRINT, @ERROR, @QUOTE, opening inputs by name and __FILE__.
#include "cases.h"

namespace e2e {
namespace {

const std::vector<Case> kCases = {
    // @INCLUDE and names.
    {.name = "include_file", .files = {{"a.qf", "in a\n"}}, .in = "before\n@INCLUDE ./a.qf\nafter\n", .out = "before\nin a\nafter\n"},
    {.name = "include_only_first_word", .files = {{"a.qf", "A\n"}, {"b.qf", "B\n"}}, .in = "@INCLUDE ./a.qf ./b.qf\n", .out = "A\n"},
    {.name = "include_argument_expanded", .files = {{"a.qf", "A\n"}}, .in = "@DEFINE f ./a.qf\n@INCLUDE $(f)\n", .out = "A\n"},
    {.name = "include_shares_macros", .files = {{"a.qf", "@DEFINE y 2\n$x\n"}}, .in = "@DEFINE x 1\n@INCLUDE ./a.qf\n$y\n", .out = "1\n2\n"},
    {.name = "include_nested", .files = {{"a.qf", "a1\n@INCLUDE ./b.qf\na2\n"}, {"b.qf", "b\n"}}, .in = "s\n@INCLUDE ./a.qf\ns2\n",
     .out = "s\na1\nb\na2\ns2\n"},
    {.name = "include_via_include_dir", .args = {"-i", "inc"}, .files = {{"inc/x.qf", "X\n"}}, .in = "@INCLUDE x.qf\n", .out = "X\n"},
    {.name = "include_subpath_via_include_dir", .args = {"-i", "inc"}, .files = {{"inc/sub/x.qf", "X\n"}}, .in = "@INCLUDE sub/x.qf\n", .out = "X\n"},
    {.name = "include_dot_name_in_current_dir", .args = {"-i", "inc"}, .files = {{".x", "dot\n"}, {"inc/.x", "wrong\n"}}, .in = "@INCLUDE .x\n",
     .out = "dot\n"},
    {.name = "include_plain_name_not_in_current_dir", .args = {"-i", "inc"}, .files = {{"x.qf", "wrong\n"}}, .in = "@INCLUDE x.qf\n",
     .out = "", .err = at(1, "Can't stat inc/x.qf (No such file or directory)"), .status = 1, .dirs = {"inc"}},
    {.name = "include_default_dir", .in = "@INCLUDE nosuch_qf_file\n", .out = "",
     .err = at(1, "Can't stat /usr/package/nosuch_qf_file (No such file or directory)"), .status = 1},
    {.name = "include_dir_from_option", .args = {"-i", "inc2"}, .files = {{"inc2/x.qf", "two\n"}},
     .in = "$(__INCLUDE__)\n@INCLUDE x.qf\n", .out = "inc2\ntwo\n"},
    {.name = "include_directory_reads_script", .args = {"-i", "inc"}, .files = {{"inc/dir/script", "S $(__LINE__)\n"}},
     .in = "@INCLUDE dir\n$(__FILE__)\n", .out = "S 1\ninc/dir/script\n"},
    {.name = "include_directory_with_slash", .files = {{"dir/script", "S\n"}}, .in = "@INCLUDE ./dir/\n$(__FILE__)\n", .out = "S\n./dir//script\n"},
    {.name = "include_directory_without_script", .in = "@INCLUDE ./empty\n", .out = "",
     .err = at(1, "Can't open ./empty/script (No such file or directory)"), .status = 1, .dirs = {"empty"}},
    {.name = "include_missing_file", .in = "ok\n@INCLUDE ./nosuch\n", .out = "ok\n", .err = at(2, "Can't stat ./nosuch (No such file or directory)"), .status = 1},
    {.name = "include_missing_from_included_file", .files = {{"a.qf", "\n\n@INCLUDE ./nosuch\n"}}, .in = "@INCLUDE ./a.qf\n", .out = "",
     .err = at("./a.qf", 3, "Can't stat ./nosuch (No such file or directory)"), .status = 1},
    {.name = "include_long_path",
     .files = {{std::string(200, 'd') + "/" + std::string(200, 'e') + "/" + std::string(200, 'f') + "/" + std::string(200, 'g') + "/" +
                    std::string(200, 'h') + "/" + std::string(200, 'i') + "/" + std::string(200, 'j') + "/" + std::string(200, 'k') + "/" +
                    std::string(200, 'l') + "/" + std::string(200, 'm') + "/" + std::string(200, 'n') + "/x.qf",
                "deep\n"}},
     .in = "@INCLUDE ./" + std::string(200, 'd') + "/" + std::string(200, 'e') + "/" + std::string(200, 'f') + "/" + std::string(200, 'g') + "/" +
           std::string(200, 'h') + "/" + std::string(200, 'i') + "/" + std::string(200, 'j') + "/" + std::string(200, 'k') + "/" +
           std::string(200, 'l') + "/" + std::string(200, 'm') + "/" + std::string(200, 'n') + "/x.qf\n",
     .out = "deep\n"},
    {.name = "include_long_path_through_include_dir",
     .args = {"-i", std::string(250, 'p') + "/" + std::string(250, 'q') + "/" + std::string(250, 'r') + "/" + std::string(250, 's') + "/" +
                        std::string(250, 't') + "/" + std::string(250, 'u') + "/" + std::string(250, 'v') + "/" + std::string(250, 'w') + "/" +
                        std::string(250, 'y')},
     .files = {{std::string(250, 'p') + "/" + std::string(250, 'q') + "/" + std::string(250, 'r') + "/" + std::string(250, 's') + "/" +
                    std::string(250, 't') + "/" + std::string(250, 'u') + "/" + std::string(250, 'v') + "/" + std::string(250, 'w') + "/" +
                    std::string(250, 'y') + "/" + std::string(200, 'z') + "/script",
                "found\n"}},
     .in = "@INCLUDE " + std::string(200, 'z') + "\n",
     .out = "found\n"},
    {.name = "include_empty_name_reads_stdin",
     .args = {"./s.qf"},
     .files = {{"s.qf", "@DEFINE e\nbefore\n@INCLUDE $(e)\nafter $(__FILE__)\n"}},
     .in = "from stdin $(__LINE__)\n",
     .out = "before\nfrom stdin 1\nafter stdin\n"},
    {.name = "stdin_exhausted_stays_empty",
     .args = {"./s.qf"},
     .files = {{"s.qf", "@DEFINE e\n@INCLUDE $(e)\nmid\n@INCLUDE $(e)\nend\n"}},
     .in = "data\n",
     .out = "data\nmid\nend\n"},

    {.name = "include_last_line_without_newline", .files = {{"a.qf", "A"}}, .in = "@INCLUDE ./a.qf\nafter\n", .out = "A\nafter\n"},
    {.name = "include_dir_with_final_slash", .args = {"-i", "inc/"}, .files = {{"inc/x.qf", "X\n"}}, .in = "@INCLUDE x.qf\n$(__FILE__)\n",
     .out = "X\ninc//x.qf\n"},

    // __FILE__
    {.name = "file_macro_follows_closed_inputs", .files = {{"a.qf", "in $(__FILE__)\n"}},
     .in = "$(__FILE__)\n@INCLUDE ./a.qf\n$(__FILE__)\n", .out = "stdin\nin stdin\n./a.qf\n"},
    {.name = "error_prefix_names_included_file", .files = {{"a.qf", "fine\n$(nosuch)\n"}}, .in = "@INCLUDE ./a.qf\n", .out = "fine\n",
     .err = at("./a.qf", 2, "Macro nosuch not defined"), .status = 1},
    {.name = "line_numbers_per_input", .files = {{"a.qf", "\na $(__LINE__)\n"}}, .in = "\n\n@INCLUDE ./a.qf\ns $(__LINE__)\n",
     .out = "a 2\ns 4\n"},

    // Blocks and inputs.
    {.name = "included_file_leaves_block_open", .files = {{"inc.qf", "@IFDEF __OS__\n"}}, .in = "@INCLUDE ./inc.qf\n@ENDIF\n", .out = "",
     .err = at("./inc.qf", 1, "Missing @ENDIF (@IFDEF)"), .status = 1},
    {.name = "included_file_closes_outer_block", .files = {{"inc.qf", "@ENDIF\n"}},
     .in = "@ifdef __OS__\n@IFDEF __OS__\n@INCLUDE ./inc.qf\n@ENDIF\n@ENDIF\n", .out = "",
     .err = at("./inc.qf", 1, "Missing @ENDIF (@ifdef)"), .status = 1},
    {.name = "included_file_closes_only_block", .files = {{"inc.qf", "@ENDIF\n"}}, .in = "@IFDEF __OS__\n@INCLUDE ./inc.qf\n@ENDIF\n",
     .out = "", .err = at("./inc.qf", 1, "Missing @ENDIF ((null))"), .status = 1},
    {.name = "included_else_switches_outer_block", .files = {{"inc.qf", "B\n@ELSE\nE\n"}},
     .in = "@DEFINE X 1\n@IFDEF X\nA\n@INCLUDE ./inc.qf\nC\n@ENDIF\nD\n", .out = "A\nB\nD\n"},
    {.name = "include_in_skipped_block_ignored", .in = "@IFDEF nosuch\n@INCLUDE ./nosuch\n@ENDIF\nok\n", .out = "ok\n"},

    // @RETURN
    {.name = "return_in_only_input", .in = "a\n@RETURN\nb\n", .out = "a\n", .err = at(2, "No file to return to"), .status = 1},
    {.name = "return_leaves_included_file", .files = {{"a.qf", "A\n@RETURN\nB\n"}}, .in = "@INCLUDE ./a.qf\nafter $(__FILE__)\n",
     .out = "A\nafter ./a.qf\n"},
    {.name = "return_discards_open_blocks", .files = {{"a.qf", "@IFDEF __OS__\n@IFNDEF nosuch\nA\n@RETURN\n@ENDIF\n@ENDIF\n"}},
     .in = "@IFDEF __OS__\n@INCLUDE ./a.qf\nafter\n@ELSE\nwrong\n@ENDIF\nend\n", .out = "A\nafter\nend\n"},
    {.name = "return_in_skipped_block_ignored", .files = {{"a.qf", "@IFDEF nosuch\n@RETURN\n@ENDIF\nB\n"}}, .in = "@INCLUDE ./a.qf\nS\n",
     .out = "B\nS\n"},
    {.name = "return_between_operands", .args = {"./a.qf", "./b.qf"}, .files = {{"a.qf", "A\n"}, {"b.qf", "B1\n@RETURN\nB2\n"}},
     .out = "B1\nA\n"},
    {.name = "return_after_closing_outer_block", .files = {{"a.qf", "@ENDIF\n@RETURN\n"}}, .in = "@IFDEF __OS__\n@INCLUDE ./a.qf\n@ENDIF\n",
     .out = "", .err = at("./a.qf", 2, "Missing @ENDIF ((null))"), .status = 1},
    {.name = "return_inside_loop_keeps_loop", .files = {{"a.qf", "in $i\n@RETURN\n"}},
     .in = "@FOR i 1 2\n@INCLUDE ./a.qf\n@END\n", .out = "in 1\nin 2\n"},

    // @PRINT
    {.name = "print_writes_line", .in = "@DEFINE x 1\na\n@PRINT hello $x\nb\n", .out = "a\nhello 1\nb\n"},
    {.name = "print_decodes_escapes", .in = "@PRINT a\\$b\\nc\n", .out = "a$b\nc\n"},
    {.name = "print_quiet", .args = {"-q"}, .in = "@PRINT hidden\nshown\n", .out = "shown\n"},
    {.name = "print_quiet_still_expands", .args = {"-q"}, .in = "@PRINT $(nosuch)\n", .out = "", .err = at(1, "Macro nosuch not defined"), .status = 1},
    {.name = "print_keeps_inner_blanks", .in = "@PRINT   a   b\n", .out = "a   b\n"},

    // @ERROR
    {.name = "error_message", .in = "@DEFINE x 1\nok\n@ERROR bad value $x\nnot reached\n", .out = "ok\n", .err = at(3, "bad value 1"), .status = 1},
    {.name = "error_percent_literal", .in = "@ERROR 100% %s %d %n\n", .out = "", .err = at(1, "100% %s %d %n"), .status = 1},
    {.name = "error_in_included_file", .files = {{"a.qf", "\n@ERROR stop\n"}}, .in = "@INCLUDE ./a.qf\n", .out = "",
     .err = at("./a.qf", 2, "stop"), .status = 1},
    {.name = "error_without_final_newline", .in = "@ERROR last", .out = "", .err = at(0, "last"), .status = 1},
    {.name = "error_backslash_n_not_decoded", .in = "@ERROR a\\nb\n", .out = "", .err = at(1, "a\\nb"), .status = 1},
    {.name = "error_escapes_kept_raw", .in = "@ERROR a\\$b\n", .out = "", .err = at(1, "a\xFF\xA4" "b"), .status = 1},

    // @QUOTE
    {.name = "quote_writes_nothing", .in = "@DEFINE x 1\n@QUOTE any $x text\nok\n", .out = "ok\n"},
    {.name = "quote_expansion_errors", .in = "@QUOTE $(nosuch)\n", .out = "", .err = at(1, "Macro nosuch not defined"), .status = 1},
};

}  // namespace

E2E_TABLE(Inputs, kCases);

}  // namespace e2e
