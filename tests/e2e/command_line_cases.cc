// Options, operands, the program's environment variable and the predefined macros.
#include "cases.h"

namespace e2e {
namespace {

const Pairs kABC = {{"a.qf", "A\n"}, {"b.qf", "B\n"}, {"c.qf", "C\n"}};
const std::string kPrint = "@PRINT printed\ntext\n";

std::string many_words(const std::string& word, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += word + " ";
  return s;
}

const std::vector<Case> kCases = {
    // Operands.
    {.name = "no_operand_reads_stdin", .in = "from stdin\n", .out = "from stdin\n"},
    {.name = "last_operand_read_first", .args = {"./a.qf", "./b.qf", "./c.qf"}, .files = kABC, .in = "S\n", .out = "C\nB\nA\n"},
    {.name = "operands_among_options", .args = {"./a.qf", "-q", "./b.qf"}, .files = kABC, .out = "B\nA\n"},
    {.name = "env_operands_come_first", .args = {"./b.qf"}, .env = {{"quenfold", "./a.qf"}}, .files = kABC, .out = "B\nA\n"},
    {.name = "empty_operand_is_stdin", .args = {"./a.qf", "", "./b.qf"}, .files = kABC, .in = "S\n", .out = "B\nS\nA\n"},
    {.name = "operand_through_include_dir", .args = {"x.qf", "-i", "inc"}, .files = {{"inc/x.qf", "X\n"}}, .out = "X\n"},
    {.name = "operand_directory", .args = {"-i", "inc", "d"}, .files = {{"inc/d/script", "D $(__FILE__)\n"}}, .out = "D stdin\n"},
    {.name = "operand_missing", .args = {"./nosuch"}, .in = "S\n", .out = "", .err = bare("Can't stat ./nosuch (No such file or directory)"), .status = 1},
    {.name = "second_operand_missing_names_first", .args = {"./a.qf", "./nosuch", "./b.qf"}, .files = kABC, .out = "",
     .err = at("./a.qf", 0, "Can't stat ./nosuch (No such file or directory)"), .status = 1},
    {.name = "file_macro_after_operands", .args = {"./a.qf", "./b.qf"}, .files = {{"a.qf", "a sees $(__FILE__)\n"}, {"b.qf", "b sees $(__FILE__)\n"}},
     .out = "b sees stdin\na sees ./b.qf\n"},
    {.name = "error_names_operand", .args = {"./a.qf"}, .files = {{"a.qf", "ok\n@ERROR stop\n"}}, .out = "ok\n", .err = at("./a.qf", 2, "stop"), .status = 1},

    // -D
    {.name = "define_option_value", .args = {"-D", "X=1", "-DY=a=b"}, .in = "$X $Y\n", .out = "1 a=b\n"},
    {.name = "define_option_without_value", .args = {"-D", "X", "-DY="}, .in = "[$X][$Y]\n", .out = "[][]\n"},
    {.name = "define_option_blank_in_word", .args = {"-D X=1"}, .in = "$X\n", .out = "1\n"},
    {.name = "define_option_value_unexpanded", .args = {"-DX=$(Y)", "-DY=2"}, .in = "$X\n", .out = "2\n"},
    {.name = "define_option_order_after_predefined", .args = {"-DZ=1"}, .env = {{"USER", "tester"}}, .in = "@CLEAR\n@DEFINE Z 2\n$Z\n", .out = "2\n"},
    {.name = "define_option_empty_name", .args = {"-D", "=v"}, .in = "x\n", .out = "", .err = bare("Macro needs a name"), .status = 1},
    {.name = "define_option_predefined", .args = {"-D", "__INCLUDE__=x"}, .out = "", .err = bare("Macro __INCLUDE__ already defined"), .status = 1},
    {.name = "define_option_twice", .args = {"-DX=1", "-DX=2"}, .out = "", .err = bare("Macro X already defined"), .status = 1},
    {.name = "define_option_takes_next_word", .args = {"-D", "-q"}, .in = "@PRINT p\n[$(-q)]\n", .out = "p\n[]\n"},
    {.name = "define_option_line_macro", .args = {"-DL=$(__LINE__)"}, .in = "\n\n$L\n", .out = "3\n"},
    {.name = "define_option_last_word", .args = {"-D"}, .in = "x\n", .out = "", .err = bare("Unknown option"), .status = 1},
    {.name = "define_option_env_before_command_line", .args = {"-DX=2"}, .env = {{"quenfold", "-DX=1"}}, .out = "",
     .err = bare("Macro X already defined"), .status = 1},

    // -i
    {.name = "include_option_sets_macro", .args = {"-i", "/some/dir"}, .in = "$(__INCLUDE__)\n", .out = "/some/dir\n"},
    {.name = "include_option_second_wins", .args = {"-i", "d1", "-id2"}, .in = "$(__INCLUDE__)\n", .out = "d2\n"},
    {.name = "include_option_last_word", .args = {"-i"}, .out = "", .err = bare("Unknown option"), .status = 1},
    {.name = "include_option_default", .in = "$(__INCLUDE__)\n", .out = "/usr/package\n"},

    // -q and -v
    {.name = "quiet_then_verbose", .args = {"-q", "-v"}, .in = kPrint, .out = "printed\ntext\n"},
    {.name = "verbose_then_quiet", .args = {"-v", "-q"}, .in = kPrint, .out = "text\n"},
    {.name = "grouped_qv", .args = {"-qv"}, .in = kPrint, .out = "printed\ntext\n"},
    {.name = "grouped_vq", .args = {"-vq"}, .in = kPrint, .out = "text\n"},
    {.name = "env_quiet_command_line_verbose", .args = {"-v"}, .env = {{"quenfold", "-q"}}, .in = kPrint, .out = "printed\ntext\n"},
    {.name = "env_verbose_command_line_quiet", .args = {"-q"}, .env = {{"quenfold", "-v"}}, .in = kPrint, .out = "text\n"},
    {.name = "grouped_with_argument", .args = {"-qDX=1"}, .in = "@PRINT p\n$X\n", .out = "1\n"},

    // Malformed command lines.
    {.name = "unknown_option", .args = {"-x"}, .in = "text\n", .out = "", .err = bare("Unknown option"), .status = 1},
    {.name = "unknown_option_after_valid", .args = {"-qx"}, .in = "text\n", .out = "", .err = bare("Unknown option"), .status = 1},
    {.name = "question_mark_option", .args = {"-?"}, .in = "text\n", .out = "", .err = bare("Unknown option"), .status = 1},
    {.name = "colon_option", .args = {"-:"}, .in = "text\n", .out = "", .err = bare("Unknown option"), .status = 1},
    {.name = "long_option", .args = {"--help"}, .in = "text\n", .out = "", .err = bare("Unknown option"), .status = 1},
    {.name = "lone_dash", .args = {"-"}, .in = "text\n", .out = "", .err = bare("Unknown option"), .status = 1},
    {.name = "lone_dash_with_operand", .args = {"./a.qf", "-"}, .files = kABC, .out = "", .err = bare("Unknown option"), .status = 1},
    {.name = "unknown_option_after_operand_opens_nothing", .args = {"./nosuch", "-x"}, .out = "", .err = bare("Unknown option"), .status = 1},
    {.name = "options_before_inputs", .args = {"./nosuch", "-DX=1", "-DX=2"}, .out = "", .err = bare("Macro X already defined"), .status = 1},
    {.name = "double_dash_ends_options", .args = {"-i", ".", "--", "-q", "--"}, .files = {{"-q", "Q\n@PRINT shown\n"}, {"--", "DD\n"}},
     .out = "DD\nQ\nshown\n"},
    {.name = "dash_word_after_double_dash", .args = {"--", "-"}, .out = "", .err = bare("Can't stat /usr/package/- (No such file or directory)"),
     .status = 1},

    // The environment variable.
    {.name = "env_quoting",
     .args = {"-i", "."},
     .env = {{"quenfold", "-q \"a b\" c\\ d 'e''f'"}},
     .files = {{"a b", "@PRINT hidden\nAB\n"}, {"c d", "CD\n"}, {"e'f", "EF\n"}},
     .out = "EF\nCD\nAB\n"},
    {.name = "env_unterminated_quote", .env = {{"quenfold", "\"./a b"}}, .files = {{"a b", "AB\n"}}, .out = "AB\n"},
    {.name = "env_escaped_quote_in_group", .env = {{"quenfold", "\"./a\\\"b\""}}, .files = {{"a\"b", "Q\n"}}, .out = "Q\n"},
    {.name = "env_other_quote_inside_group", .env = {{"quenfold", "\"./a'b\""}}, .files = {{"a'b", "Q\n"}}, .out = "Q\n"},
    {.name = "env_quote_right_after_group_is_plain", .env = {{"quenfold", "'./a'\"b"}}, .files = {{"a\"b", "Q\n"}}, .out = "Q\n"},
    {.name = "env_empty_group_is_stdin", .env = {{"quenfold", "./a.qf \"\" ./b.qf"}}, .files = kABC, .in = "S\n", .out = "B\nS\nA\n"},
    {.name = "env_trailing_empty_group_dropped", .env = {{"quenfold", "./a.qf \"\""}}, .files = kABC, .in = "S\n", .out = "A\n"},
    {.name = "env_blank_only", .env = {{"quenfold", "  \t "}}, .in = "S\n", .out = "S\n"},
    {.name = "env_empty", .env = {{"quenfold", ""}}, .in = "S\n", .out = "S\n"},
    {.name = "env_surrounding_blanks", .env = {{"quenfold", "   ./a.qf   ./b.qf   "}}, .files = kABC, .out = "B\nA\n"},
    {.name = "env_final_backslash_dropped", .env = {{"quenfold", "./a.qf\\"}}, .files = kABC, .out = "A\n"},
    {.name = "env_final_backslash_in_group_dropped", .env = {{"quenfold", "\"./a.qf\\"}}, .files = kABC, .out = "A\n"},
    {.name = "env_define_with_blank_value", .env = {{"quenfold", "-D 'X=a b'"}}, .in = "[$X]\n", .out = "[a b]\n"},
    {.name = "env_many_words_last_wins", .env = {{"quenfold", many_words("-v", 10000) + "-q"}}, .in = kPrint, .out = "text\n"},
    {.name = "env_many_words_operand_at_end", .env = {{"quenfold", many_words("-q", 10000) + "./a.qf"}}, .files = kABC, .out = "A\n"},
    {.name = "env_unknown_option", .env = {{"quenfold", "-z"}}, .in = "S\n", .out = "", .err = bare("Unknown option"), .status = 1},
    {.name = "other_variables_ignored", .env = {{"QUENFOLD", "-z"}, {"quenfold_x", "-z"}}, .in = "S\n", .out = "S\n"},

    // Predefined macros.
    {.name = "predefined_fixed_values", .in = "$(__FILE__)|$(__OFILE__)|$(__INCLUDE__)|$(__V_MAJOR__)|$(__V_MINOR__)|$(__UNIX__)|$(__OS__)\n",
     .out = "stdin|stdout|/usr/package|3|2|UNIX version of quenfold|UNIX\n"},
    {.name = "user_from_user", .env = {{"USER", "alice"}, {"LOGNAME", "bob"}}, .in = "[$(__USER__)]\n", .out = "[alice]\n"},
    {.name = "user_from_logname", .env = {{"LOGNAME", "bob"}}, .in = "[$(__USER__)]\n", .out = "[bob]\n"},
    {.name = "user_empty_beats_logname", .env = {{"USER", ""}, {"LOGNAME", "bob"}}, .in = "[$(__USER__)]\n", .out = "[]\n"},
    {.name = "user_long_name", .env = {{"USER", std::string(100, 'u')}}, .in = "[$(__USER__)]\n", .out = "[" + std::string(100, 'u') + "]\n"},
    {.name = "date_and_time_format", .in = "$(__DATE__)|$(__TIME__)\n",
     .out = "(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) ( [1-9]|[12][0-9]|3[01]) [0-9]{4}\\|"
            "([01][0-9]|2[0-3]):[0-5][0-9]:[0-6][0-9]\n",
     .match = kOutRegex},
    {.name = "line_macro_after_many_lines", .in = std::string(100000, '\n') + "$(__LINE__)\n", .out = "100001\n"},
};

}  // namespace

E2E_TABLE(CommandLine, kCases);

}  // namespace e2e
