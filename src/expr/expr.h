// Integer expression evaluator behind the arithmetic form $(=:...).
#pragma once

#include <cstdint>
#include <string_view>

namespace quenfold {

// Deepest nesting of parentheses the evaluator accepts; beyond it the run ends
// with "expr: Expression nested too deeply".
constexpr int kMaxExprNesting = 1000;

// Evaluates `text` with signed 32-bit arithmetic and returns the result
// sign-extended. Every error ends the run through die_prefixed("expr: ", ...).
int64_t eval_expr(std::string_view text);

}  // namespace quenfold
