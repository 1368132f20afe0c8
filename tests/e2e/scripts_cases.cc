// Whole scripts of the kind people write: templates with includes, loops and conditionals.
#include "cases.h"

namespace e2e {
namespace {

const std::string kPage =
    "# Report page\n"
    "@DEFAULT who world\n"
    "@DEFINE title Report for $(who)\n"
    "@DEFINE row <tr><td>$(0)</td><td>$(1:n/a)</td></tr>\n"
    "@INCLUDE ./header.qf\n"
    "@FOR n 1 2 3\n"
    "@IFDEF n 2\n"
    "    $(row:$n,two)\n"
    "@ELSE\n"
    "    $(row:$n)    # no second column\n"
    "@ENDIF\n"
    "@END\n"
    "</table>\n"
    "@IFDEF footer\n"
    "<p>$(footer)</p>\n"
    "@ENDIF\n"
    "</body></html>\n";
const std::string kHeader = "<html><head><title>$(title)</title></head>\n<body><table>\n";
const std::string kRows =
    "<tr><td>1</td><td>n/a</td></tr>\n"
    "<tr><td>2</td><td>two</td></tr>\n"
    "<tr><td>3</td><td>n/a</td></tr>\n"
    "</table>\n";

const std::string kServers =
    "@INCLUDE common\n"
    "# one server per index\n"
    "@FOR i $(%:1-3)\n"
    "$(server:web$i,$i)\n"
    "@END\n"
    "$(server:db,100,5)\n"
    "total=$(=:3 + 1) servers, last port $(=:$(base) + 100)\n";
const std::string kCommon =
    "@DEFINE base 8000\n"
    "@DEFINE server server $(0) listen=$(=:$(base) + $(1)) weight=$(2:1)\n";

const std::string kLetter =
    "@READLINE name Nobody\n"
    "@READLINE city\n"
    "Dear $(name),\n"
    "!  $(?:$(city):we hear $(city) is lovely.:where do you live?)\n"
    "@PRINT -- sent from $(__FILE__) --\n";

const std::vector<Case> kCases = {
    {.name = "html_page_with_option",
     .args = {"-Dwho=Ann", "./page.qf"},
     .files = {{"page.qf", kPage}, {"header.qf", kHeader}},
     .out = "<html><head><title>Report for Ann</title></head>\n<body><table>\n" + kRows + "</body></html>\n"},
    {.name = "html_page_defaults_and_footer",
     .args = {"./page.qf", "-D", "footer=made by $(who)"},
     .files = {{"page.qf", kPage}, {"header.qf", kHeader}},
     .out = "<html><head><title>Report for world</title></head>\n<body><table>\n" + kRows + "<p>made by world</p>\n</body></html>\n"},
    {.name = "html_page_from_stdin",
     .files = {{"header.qf", kHeader}},
     .in = kPage,
     .out = "<html><head><title>Report for world</title></head>\n<body><table>\n" + kRows + "</body></html>\n"},
    {.name = "server_config",
     .args = {"-i", "inc"},
     .files = {{"inc/common/script", kCommon}},
     .in = kServers,
     .out = "server web1 listen=8001 weight=1\n"
            "server web2 listen=8002 weight=1\n"
            "server web3 listen=8003 weight=1\n"
            "server db listen=8100 weight=5\n"
            "total=4 servers, last port 8100\n"},
    {.name = "extend_in_loop_freezes_each_pass",
     .in = "@DEFINE list start\n@FOR w alpha beta gamma\n@EXTEND list $w\n@END\n@DEFINE w end\n[$(list)]\n",
     .out = "[start beta gamma end]\n"},
    {.name = "letter_with_answers",
     .args = {"./letter.qf"},
     .files = {{"letter.qf", kLetter}},
     .in = "Ann\nParis\n",
     .out = "Dear Ann,\n  we hear Paris is lovely.\n-- sent from stdin --\n"},
    {.name = "letter_without_answers",
     .args = {"./letter.qf"},
     .files = {{"letter.qf", kLetter}},
     .out = "Dear Nobody,\n  where do you live?\n-- sent from stdin --\n"},
    {.name = "include_guard_with_ifndef",
     .files = {{"guard.qf", "@IFNDEF GUARD_LIB\n@DEFINE GUARD_LIB\n@DEFINE greet Hello, $(0:you)!\n@ENDIF\n"}},
     .in = "@INCLUDE ./guard.qf\n@INCLUDE ./guard.qf\n$(greet:Bob)\n$(greet)\n",
     .out = "Hello, Bob!\nHello, you!\n"},
    {.name = "include_guard_with_return",
     .files = {{"lib.qf", "@IFDEF LIB_LOADED\n@RETURN\n@ENDIF\n@DEFINE LIB_LOADED\n@DEFINE twice $(0)$(0)\n"}},
     .in = "@INCLUDE ./lib.qf\n@INCLUDE ./lib.qf\n$(twice:ab)\n",
     .out = "abab\n"},
    {.name = "table_with_nested_loops_and_arithmetic",
     .in = "@DEFINE row $(0): $(=:$(0) * 1) $(=:$(0) * 2) $(=:$(0) * 3)\n@FOR r 1 2 3\n$(row:$r)\n@END\n",
     .out = "1: 1 2 3\n2: 2 4 6\n3: 3 6 9\n"},
    {.name = "per_file_includes_in_loop",
     .files = {{"part1.qf", "@DEFINE title1 First\n"}, {"part2.qf", "@DEFINE title2 Second\n"}},
     .in = "@FOR p 1 2\n@INCLUDE ./part$p.qf\n# $(__FILE__) is the previous input\nsection $p: $(title$p) (after $(__FILE__))\n@END\n",
     .out = "section 1: First (after ./part1.qf)\nsection 2: Second (after ./part2.qf)\n"},
    {.name = "escapes_in_generated_shell_script",
     .in = "@DEFINE var HOME\n\\#!/bin/sh\necho \\\"\\$$(var)\\\" \\# 100\\% \\(sure\\)\n",
     .out = "#!/bin/sh\necho \"$HOME\" # 100% (sure)\n"},
};

}  // namespace

E2E_TABLE(Scripts, kCases);

}  // namespace e2e
