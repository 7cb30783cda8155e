// Scripts in the host's syntax, parsed into statements. No host types here.
//
//   one statement a line:      name = expression   |   expression
//   expression:                -expression | primary { .Name [ ( arguments ) ] }
//   primary:                   Name [ ( arguments ) ] | integer | "string" | ( expression )
//   integers:                  decimal (123, -5) or hexadecimal ($FF)
//   comments:                  from # to the end of the line
//
// Names are compared without regard to case when evaluated. parseScript
// throws LocatedError (line and column, 1-based) for the first fault.
#ifndef QUORVANT_RUNNER_SCRIPT_SYNTAX_H
#define QUORVANT_RUNNER_SCRIPT_SYNTAX_H

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorvant::script {

struct Location {
  int line = 0;
  int column = 0;
};

// A fault in a script: its text and where it was found.
class LocatedError : public std::runtime_error {
 public:
  LocatedError(const std::string& message, Location where)
      : std::runtime_error(message), where(where) {}
  Location where;
};

// Deepest nesting of calls, methods, parentheses and signs in one expression.
constexpr int kMaxNesting = 200;

struct Expression {
  enum class Kind {
    integer,  // value
    string,   // text
    name,     // text: a variable, else a call without arguments
    call,     // text(arguments...)
    method,   // arguments[0].text(arguments[1]...)
    negate,   // -arguments[0]
  };
  Kind kind = Kind::integer;
  Location where;  // of the literal, the name, or the sign
  int value = 0;
  std::string text;
  std::vector<Expression> arguments;
};

struct Statement {
  Location where;
  std::string target;  // the assigned name; empty for a bare expression
  Expression value;
};

struct Script {
  std::vector<Statement> statements;
};

Script parseScript(std::string_view text);

}  // namespace quorvant::script

#endif  // QUORVANT_RUNNER_SCRIPT_SYNTAX_H
