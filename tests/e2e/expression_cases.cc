// The integer expressions of $(=:...).
#include "cases.h"

namespace e2e {
namespace {

Case value(const std::string& name, const std::string& expr, const std::string& result) {
  return {.name = name, .in = "$(=:" + expr + ")\n", .out = result + "\n"};
}

Case fails(const std::string& name, const std::string& expr, const std::string& msg) {
  // Expressions that cannot be written inside $(=:...) directly come through a macro.
  return {.name = name, .in = "before\n@DEFINE e " + expr + "\n$(=:$e)\nafter\n", .out = "before\n",
          .err = "expr: " + msg + "\n", .status = 1};
}

std::string parens(int depth) { return std::string(depth, '(') + "7" + std::string(depth, ')'); }

const std::vector<Case> kCases = {
    value("precedence", "2 + 3 * 4", "14"),
    value("parentheses", "(2 + 3) * 4", "20"),
    value("parentheses_without_blanks", "(1+2)*3", "9"),
    value("subtraction_left_to_right", "10 - 2 - 3", "5"),
    value("division_truncates", "7 / 2", "3"),
    value("negative_division_truncates", "-7 / 2", "-3"),
    value("remainder_sign_of_dividend", "-7 % 2", "-1"),
    value("remainder_negative_divisor", "7 % -2", "1"),
    value("negative_number_operand", "2 * -3", "-6"),
    value("less_equal", "1<=2", "1"),
    value("minus_then_negative", "3--2", "5"),
    value("single_number", "5", "5"),
    value("and_gives_one", "5 & 3", "1"),
    value("or_gives_one", "5 | 0", "1"),
    value("or_gives_zero", "0 | 0", "0"),
    value("paren_number", "(4)", "4"),
    value("paren_or", "(4 | 0)", "1"),
    value("comparison_binds_tighter_than_and", "1 = 1 & 0", "0"),
    value("and_binds_tighter_than_or", "1 & 0 | 1", "1"),
    value("not_equal", "1 != 2", "1"),
    value("octal", "010", "8"),
    value("hex", "0x1F", "31"),
    value("negative_hex", "-0x10", "-16"),
    value("subtraction_with_blanks", "3 - 2", "1"),
    value("negative_parenthesised", "(1 - 2)*3", "-3"),
    value("compare_chain_rising", "1 < 2 < 3", "1"),
    value("compare_chain_falling", "3 > 2 > 1", "0"),
    value("equality_chain_of_twos", "2 = 2 = 2", "0"),
    value("equality_chain_of_ones", "1 = 1 = 1", "1"),
    value("greater_equal_false", "1 >= 2", "0"),
    value("signed_comparison", "-1 < 1", "1"),
    value("and_with_zero", "1 & 2 & 0", "0"),
    value("blanks_leading_and_inner", "   4   *   5   ", "20"),
    value("tab_separates_words", "4\t*\t5", "20"),
    value("int_max_plus_one_wraps", "2147483647 + 1", "-2147483648"),
    value("product_wraps", "65536 * 65536", "0"),
    value("number_keeps_low_32_bits", "4294967297", "1"),
    value("huge_number_saturates_then_truncates", "99999999999999999999", "-1"),
    value("int_min_divided_by_minus_one", "-2147483648 / -1", "-2147483648"),
    value("int_min_remainder_minus_one", "-2147483648 % -1", "0"),
    value("hundred_nested_parentheses", parens(100), "7"),
    {.name = "expression_from_macros", .in = "@DEFINE base 8000\n@DEFINE i 3\n$(=:$(base) + $i * 2)\n", .out = "8006\n"},
    {.name = "expression_from_parameters", .in = "@DEFINE add $(=:$(0) + $(1))\n$(add:40,2)\n", .out = "42\n"},

    fails("unary_minus_word", "3-2", "Syntax error - token != EOI"),
    fails("negative_number_after_blank", "3 -2", "Syntax error - token != EOI"),
    fails("negative_in_parentheses", "(1-2)*3", "Syntax error - token != RP"),
    fails("no_unary_minus_before_paren", "-(2)", "Syntax error - token != LP"),
    fails("minus_alone_then_number", "- 2", "Syntax error - token != LP"),
    fails("no_unary_plus", "+2", "Syntax error - token != LP"),
    {.name = "empty_expression", .in = "$(=:)\n", .out = "", .err = "expr: Syntax error - token != LP\n", .status = 1},
    {.name = "blank_expression", .in = "$(=:   )\n", .out = "", .err = "expr: Syntax error - token != LP\n", .status = 1},
    fails("unclosed_parenthesis", "(1", "Syntax error - token != RP"),
    fails("extra_close_parenthesis", "1)", "Syntax error - token != EOI"),
    fails("colon_token", "1 : 2", "Syntax error - token != EOI"),
    fails("double_equals", "1 == 1", "Syntax error - token != LP"),
    fails("bad_octal_digit", "08", "Syntax error - token != EOI"),
    fails("invalid_operator_word", "2 x 3", "Invalid operator x"),
    fails("invalid_operator_rest_of_word", "2x3", "Invalid operator x3"),
    fails("lone_exclamation", "1 ! 2", "Invalid operator !"),
    fails("exclamation_not_followed_by_equals", "1 !< 2", "Invalid operator !<"),
    fails("division_by_zero", "1 / 0", "division by zero"),
    fails("remainder_by_zero", "5 % 0", "division by zero"),
    fails("and_evaluates_every_operand", "0 & 1/0", "division by zero"),
    fails("or_evaluates_every_operand", "1 | 1/0", "division by zero"),
    fails("operator_at_end", "1 +", "Syntax error - token != LP"),
    {.name = "deep_parentheses_refused", .in = "$(=:" + parens(200000) + ")\n", .out = "",
     .err = "expr: Expression nested too deeply\n", .status = 1},
};

}  // namespace

E2E_TABLE(Expression, kCases);

}  // namespace e2e
