// Logical lines, escapes, the writer's decoding, the leading '!' and __LINE__.
#include "cases.h"

namespace e2e {
namespace {

const std::vector<Case> kCases = {
    {.name = "plain_lines_pass_through", .in = "hello\nworld\n", .out = "hello\nworld\n"},
    {.name = "empty_input_writes_nothing", .in = "", .out = ""},
    {.name = "only_blank_and_comment_lines", .in = "\n\n   \n\t\n# note\n  # indented note\n", .out = ""},
    {.name = "leading_and_trailing_white_space_dropped", .in = "  \tabc \t \n", .out = "abc\n"},
    {.name = "inner_white_space_kept", .in = "a  \t b\n", .out = "a  \t b\n"},
    {.name = "comment_after_text", .in = "a # note\n", .out = "a\n"},
    {.name = "comment_inside_quotes_still_a_comment", .in = "\"a#b\"\n", .out = "\"a\n"},
    {.name = "continuation_joins_lines", .in = "a\\\n  b\n", .out = "a   b\n"},
    {.name = "continuation_ends_comment", .in = "a #c \\\n d\n", .out = "a   d\n"},
    {.name = "continuation_at_line_start_dropped", .in = "\\\nx\n", .out = "x\n"},
    {.name = "continuation_then_end_of_input", .in = "a\n\\\n", .out = "a\n"},
    {.name = "line_counts_blank_comment_and_continued_lines",
     .in = "\n\n  \n#c\n$(__LINE__)\na\\\nb\n$(__LINE__)\n",
     .out = "5\na b\n8\n"},
    {.name = "line_count_on_continued_line_is_its_last_line", .in = "x\\\n$(__LINE__)\n", .out = "x 2\n"},
    {.name = "last_line_without_newline", .in = "abc\nlast", .out = "abc\nlast\n"},
    {.name = "last_line_without_newline_keeps_trailing_blanks", .in = "abcd  ", .out = "abcd  \n"},
    {.name = "last_line_without_newline_keeps_line_count", .in = "a\n$(__LINE__)", .out = "a\n1\n"},
    {.name = "carriage_return_inside_line_kept", .in = "a\rb\n", .out = "a\rb\n"},
    {.name = "crlf_line_ends", .in = "a\r\nb\r\n", .out = "a\nb\n"},
    {.name = "other_control_white_space_trimmed", .in = "\v\fa\v\f\n", .out = "a\n"},

    // Escapes become marker pairs and are written back as the character, never as syntax.
    {.name = "escaped_dollar_is_not_a_reference", .in = "cost \\$x\n", .out = "cost $x\n"},
    {.name = "escaped_number_sign_is_not_a_comment", .in = "a \\# b\n", .out = "a # b\n"},
    {.name = "every_escapable_character",
     .in = "\\!\\\"\\#\\$\\%\\&\\'\\(\\)\\,\\@\\|\\~\n",
     .out = "!\"#$%&'(),@|~\n"},
    {.name = "escaped_at_sign_is_not_a_directive", .in = "\\@DEFINE x\n", .out = "@DEFINE x\n"},
    {.name = "escaped_bang_at_line_start", .in = "\\!x\n", .out = "!x\n"},
    {.name = "escaped_quote_does_not_protect", .in = "@DEFINE x 1\n\\'$x\\'\n", .out = "'1'\n"},
    {.name = "double_backslash_then_dollar", .in = "@DEFINE x 1\n\\\\$x\n", .out = "\\\\1\n"},
    {.name = "backslash_n_writes_newline", .in = "a\\nb\n", .out = "a\nb\n"},
    {.name = "backslash_t_written_as_is", .in = "a\\tb\n", .out = "a\\tb\n"},
    {.name = "double_backslash_n", .in = "a\\\\nb\n", .out = "a\\\\nb\n"},
    {.name = "backslash_colon_written_as_is", .in = "a\\:b\n", .out = "a\\:b\n"},
    {.name = "escaped_char_before_backslash_n", .in = "\\$\\n\n", .out = "$\n\n"},
    {.name = "lone_backslash_at_end_of_input", .in = "abc\\", .out = "abc\\\n"},
    {.name = "backslash_before_trailing_blank", .in = "x\\ \n", .out = "x\\\n"},
    {.name = "backslash_in_middle_of_plain_text", .in = "a\\b\n", .out = "a\\b\n"},

    // Bytes that are not ASCII pass through unchanged, UTF-8 and 0xFF included.
    {.name = "utf8_three_byte_e0_sequences_unchanged",
     .in = "Devanagari \xE0\xA4\x95\xE0\xA4\xBE, Thai \xE0\xB8\x81\n",
     .out = "Devanagari \xE0\xA4\x95\xE0\xA4\xBE, Thai \xE0\xB8\x81\n"},
    {.name = "utf8_mixed_text_unchanged",
     .in = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xE0\xA4\xA4\n",
     .out = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xE0\xA4\xA4\n"},
    {.name = "raw_ff_bytes_unchanged", .in = "a\xFF" "b\xFF\xA4\xFF\xFF" "c\n", .out = "a\xFF" "b\xFF\xA4\xFF\xFF" "c\n"},
    {.name = "all_high_bytes_unchanged",
     .in = [] {
       std::string s;
       for (int c = 0x80; c <= 0xFF; ++c) s += static_cast<char>(c);
       return s + "\n";
     }(),
     .out = [] {
       std::string s;
       for (int c = 0x80; c <= 0xFF; ++c) s += static_cast<char>(c);
       return s + "\n";
     }()},
    {.name = "utf8_in_macro_value_and_argument",
     .in = "@DEFINE m \xE0\xA4\x95[$(0)]\n$(m:\xE0\xB8\x81\xFF)\n",
     .out = "\xE0\xA4\x95[\xE0\xB8\x81\xFF]\n"},
    {.name = "escape_next_to_utf8", .in = "\xE0\xA4\x95\\$\xE0\xA4\x95\n", .out = "\xE0\xA4\x95$\xE0\xA4\x95\n"},

    // NUL bytes end the visible line.
    {.name = "nul_byte_ends_line", .in = "ab\0cd\nnext\n"s, .out = "ab\nnext\n"},
    {.name = "line_starting_with_nul_is_ignored", .in = "\0xyz\nx\n"s, .out = "x\n"},

    // The leading '!'.
    {.name = "bang_keeps_leading_blanks", .in = "!   word\n", .out = "   word\n"},
    {.name = "lone_bang_writes_empty_line", .in = "a\n!\nb\n", .out = "a\n\nb\n"},
    {.name = "double_bang_writes_at_sign", .in = "!!@DEFINE x 1\n", .out = "@DEFINE x 1\n"},
    {.name = "triple_bang_writes_one_bang", .in = "!!!x\n", .out = "!x\n"},
    {.name = "bang_then_directive", .in = "!@DEFINE x 1\n$x\n", .out = "1\n"},
    {.name = "bang_line_is_expanded", .in = "@DEFINE x 1\n!  $x\n", .out = "  1\n"},
    {.name = "bang_in_middle_is_plain", .in = "a!b\n", .out = "a!b\n"},
    {.name = "blanks_before_directive_dropped", .in = "   @DEFINE x 1\n$x\n", .out = "1\n"},
    {.name = "blanks_between_bang_and_at_make_text", .in = "! @DEFINE x\n", .out = " @DEFINE x\n"},
};

}  // namespace

E2E_TABLE(ReaderWriter, kCases);

}  // namespace e2e
