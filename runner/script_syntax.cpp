#include "runner/script_syntax.h"

#include <cstdint>
#include <cstdio>
#include <utility>

namespace quorvant::script {
namespace {

struct Token {
  enum class Kind { name, integer, string, open, close, comma, dot, equals, minus, newline, end };
  Kind kind = Kind::end;
  Location where;
  std::string text;     // name or string contents; the source text of others
  uint32_t number = 0;  // integer magnitude (decimal at most 2^31)
  bool hexadecimal = false;
};

bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNamePart(char c) { return isNameStart(c) || isDigit(c); }
int hexValue(char c) {
  if (isDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string describe(char c) {
  if (c >= 0x21 && c < 0x7F) return std::string("'") + c + "'";
  char code[16];
  std::snprintf(code, sizeof code, "byte 0x%02X", unsigned(uint8_t(c)));
  return code;
}

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text(text) {}

  Token next() {
    skipBlanksAndComment();
    Token token;
    token.where = Location{line, column()};
    if (at >= text.size()) return token;
    const char c = text[at];
    if (c == '\n') {
      ++at;
      ++line;
      lineStart = at;
      token.kind = Token::Kind::newline;
      return token;
    }
    if (isNameStart(c)) {
      const size_t start = at;
      while (at < text.size() && isNamePart(text[at])) ++at;
      token.kind = Token::Kind::name;
      token.text = std::string(text.substr(start, at - start));
      return token;
    }
    if (isDigit(c)) return decimal(token);
    if (c == '$') return hexadecimal(token);
    if (c == '"') return string(token);
    ++at;
    token.text = std::string(1, c);
    switch (c) {
      case '(':
        token.kind = Token::Kind::open;
        return token;
      case ')':
        token.kind = Token::Kind::close;
        return token;
      case ',':
        token.kind = Token::Kind::comma;
        return token;
      case '.':
        token.kind = Token::Kind::dot;
        return token;
      case '=':
        token.kind = Token::Kind::equals;
        return token;
      case '-':
        token.kind = Token::Kind::minus;
        return token;
      default:
        throw LocatedError("unexpected " + describe(c), token.where);
    }
  }

 private:
  int column() const { return int(at - lineStart) + 1; }

  void skipBlanksAndComment() {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r')) ++at;
    if (at < text.size() && text[at] == '#') {
      while (at < text.size() && text[at] != '\n') ++at;
    }
  }

  Token decimal(Token& token) {
    const size_t start = at;
    uint64_t value = 0;
    while (at < text.size() && isDigit(text[at])) {
      value = value * 10 + uint64_t(text[at] - '0');
      if (value > (uint64_t(1) << 31)) throw LocatedError("integer out of range", token.where);
      ++at;
    }
    if (at < text.size() && isNamePart(text[at])) {
      throw LocatedError("unexpected " + describe(text[at]) + " in a number",
                         Location{line, column()});
    }
    token.kind = Token::Kind::integer;
    token.number = uint32_t(value);
    token.text = std::string(text.substr(start, at - start));
    return token;
  }

  // $ and one to eight hexadecimal digits: the 32 bits of an integer.
  Token hexadecimal(Token& token) {
    const size_t start = at++;
    uint32_t value = 0;
    int digits = 0;
    for (; at < text.size() && hexValue(text[at]) >= 0; ++at, ++digits) {
      if (digits == 8) throw LocatedError("integer out of range", token.where);
      value = value << 4 | uint32_t(hexValue(text[at]));
    }
    if (digits == 0) throw LocatedError("expected hexadecimal digits after '$'", token.where);
    if (at < text.size() && isNamePart(text[at])) {
      throw LocatedError("unexpected " + describe(text[at]) + " in a number",
                         Location{line, column()});
    }
    token.kind = Token::Kind::integer;
    token.number = value;
    token.hexadecimal = true;
    token.text = std::string(text.substr(start, at - start));
    return token;
  }

  Token string(Token& token) {
    const size_t start = ++at;
    while (at < text.size() && text[at] != '"' && text[at] != '\n') ++at;
    if (at >= text.size() || text[at] != '"') {
      throw LocatedError("unterminated string", token.where);
    }
    token.kind = Token::Kind::string;
    token.text = std::string(text.substr(start, at - start));
    ++at;
    return token;
  }

  std::string_view text;
  size_t at = 0;
  size_t lineStart = 0;
  int line = 1;
};

std::string describe(const Token& token) {
  switch (token.kind) {
    case Token::Kind::name:
      return "name \"" + token.text + "\"";
    case Token::Kind::integer:
      return "number " + token.text;
    case Token::Kind::string:
      return "string \"" + token.text + "\"";
    case Token::Kind::newline:
      return "end of line";
    case Token::Kind::end:
      return "end of script";
    default:
      return "'" + token.text + "'";
  }
}

class Parser {
 public:
  explicit Parser(std::string_view text) : lexer(text) {
    current = lexer.next();
    following = lexer.next();
  }

  Script script() {
    Script result;
    while (current.kind != Token::Kind::end) {
      if (current.kind == Token::Kind::newline) {
        advance();
        continue;
      }
      result.statements.push_back(statement());
      if (current.kind != Token::Kind::newline && current.kind != Token::Kind::end) {
        throw LocatedError("expected end of line, found " + describe(current), current.where);
      }
    }
    return result;
  }

 private:
  Token advance() {
    Token taken = std::move(current);
    current = std::move(following);
    following = lexer.next();  // at the end, the end again
    return taken;
  }

  Token expect(Token::Kind kind, const char* what) {
    if (current.kind != kind) {
      throw LocatedError(std::string("expected ") + what + ", found " + describe(current),
                         current.where);
    }
    return advance();
  }

  Statement statement() {
    Statement result;
    result.where = current.where;
    if (current.kind == Token::Kind::name && following.kind == Token::Kind::equals) {
      result.target = advance().text;
      advance();
    }
    result.value = expression(0);
    return result;
  }

  void checkNesting(int depth, Location where) {
    if (depth > kMaxNesting) {
      throw LocatedError(
          "expression nested too deeply (more than " + std::to_string(kMaxNesting) + " levels)",
          where);
    }
  }

  Expression expression(int depth) {
    checkNesting(depth, current.where);
    if (current.kind != Token::Kind::minus) return postfix(depth);
    const Token sign = advance();
    // A sign before a decimal literal makes a negative literal, so that the
    // most negative integer can be written.
    if (current.kind == Token::Kind::integer && !current.hexadecimal &&
        following.kind != Token::Kind::dot) {
      Expression literal;
      literal.kind = Expression::Kind::integer;
      literal.where = sign.where;
      literal.value = int(uint32_t(0) - advance().number);
      return literal;
    }
    Expression negated;
    negated.kind = Expression::Kind::negate;
    negated.where = sign.where;
    negated.arguments.push_back(expression(depth + 1));
    return negated;
  }

  Expression postfix(int depth) {
    Expression result = primary(depth);
    while (current.kind == Token::Kind::dot) {
      advance();
      checkNesting(++depth, current.where);
      const Token name = expect(Token::Kind::name, "a function name after '.'");
      Expression method;
      method.kind = Expression::Kind::method;
      method.where = name.where;
      method.text = name.text;
      method.arguments.push_back(std::move(result));
      if (current.kind == Token::Kind::open) arguments(method.arguments, depth);
      result = std::move(method);
    }
    return result;
  }

  Expression primary(int depth) {
    Expression result;
    result.where = current.where;
    switch (current.kind) {
      case Token::Kind::integer: {
        const Token literal = advance();
        if (!literal.hexadecimal && literal.number > uint32_t(INT32_MAX)) {
          throw LocatedError("integer out of range", literal.where);
        }
        result.kind = Expression::Kind::integer;
        result.value = int(literal.number);
        return result;
      }
      case Token::Kind::string:
        result.kind = Expression::Kind::string;
        result.text = advance().text;
        return result;
      case Token::Kind::name:
        result.text = advance().text;
        result.kind = Expression::Kind::name;
        if (current.kind == Token::Kind::open) {
          result.kind = Expression::Kind::call;
          arguments(result.arguments, depth);
        }
        return result;
      case Token::Kind::open: {
        advance();
        Expression inner = expression(depth + 1);
        expect(Token::Kind::close, "')'");
        return inner;
      }
      default:
        throw LocatedError("expected an expression, found " + describe(current), current.where);
    }
  }

  // ( [ expression { , expression } ] ), appended to `into`.
  void arguments(std::vector<Expression>& into, int depth) {
    expect(Token::Kind::open, "'('");
    if (current.kind == Token::Kind::close) {
      advance();
      return;
    }
    for (;;) {
      into.push_back(expression(depth + 1));
      if (current.kind == Token::Kind::close) break;
      expect(Token::Kind::comma, "',' or ')'");
    }
    advance();
  }

  Lexer lexer;
  Token current;
  Token following;
};

}  // namespace

Script parseScript(std::string_view text) { return Parser(text).script(); }

}  // namespace quorvant::script
