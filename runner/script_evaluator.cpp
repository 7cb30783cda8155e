#include "runner/script_evaluator.h"

#include <cstdint>
#include <exception>
#include <utility>

#include "embedded_host/script_error.h"

namespace quorvant::script {
namespace {

const char* typeName(char letter) {
  switch (letter) {
    case 'c':
      return "clip";
    case 'i':
      return "int";
    case 'f':
      return "float";
    case 's':
      return "string";
    case 'b':
      return "bool";
    case '.':
      return "any";
    default:
      return "?";
  }
}

}  // namespace

std::string describeParameters(const std::string& params) {
  std::string words;
  for (size_t i = 0; i < params.size(); ++i) {
    std::string word;
    if (params[i] == '[') {  // a named, optional parameter: [name]t
      const size_t close = params.find(']', i);
      if (close == std::string::npos || close + 1 >= params.size()) break;
      word = params.substr(i + 1, close - i - 1) + "=";
      i = close + 1;
    }
    if (params[i] == '*' || params[i] == '+') {
      words += "...";
      continue;
    }
    word += typeName(params[i]);
    words += (words.empty() ? "" : ", ") + word;
  }
  return words;
}

std::string describeArguments(const std::vector<AVSValue>& arguments) {
  std::string words;
  for (const AVSValue& value : arguments) {
    if (!words.empty()) words += ", ";
    words += value.IsClip()     ? "clip"
             : value.IsInt()    ? "int"
             : value.IsFloat()  ? "float"
             : value.IsString() ? "string"
             : value.IsBool()   ? "bool"
                                : "nothing";
  }
  return words;
}

AVSValue Evaluator::run(const Script& script) {
  for (const Statement& statement : script.statements) {
    const AVSValue value = evaluate(statement.value);
    if (!statement.target.empty()) {
      env.SetVar(statement.target.c_str(), value);
    } else if (value.IsClip()) {
      env.SetVar("last", value);
    }
  }
  AVSValue last;
  lookUp("last", last);
  return last;
}

bool Evaluator::lookUp(const std::string& name, AVSValue& value) {
  try {
    value = env.GetVar(name.c_str());
    return true;
  } catch (const IScriptEnvironment::NotFound&) {
    return false;
  }
}

AVSValue Evaluator::evaluate(const Expression& expression) {
  switch (expression.kind) {
    case Expression::Kind::integer:
      return AVSValue(expression.value);
    case Expression::Kind::string:
      return AVSValue(env.SaveString(expression.text.c_str(), int(expression.text.size())));
    case Expression::Kind::name: {
      AVSValue value;
      if (lookUp(expression.text, value)) return value;
      if (!env.findFunction(expression.text)) {
        throw LocatedError("there is no variable or function named \"" + expression.text + "\"",
                           expression.where);
      }
      return call(expression.text, {}, true, expression.where);
    }
    case Expression::Kind::call:
    case Expression::Kind::method: {
      std::vector<AVSValue> arguments;
      for (const Expression& argument : expression.arguments) {
        arguments.push_back(evaluate(argument));
      }
      return call(expression.text, std::move(arguments), expression.kind == Expression::Kind::call,
                  expression.where);
    }
    case Expression::Kind::negate: {
      const AVSValue value = evaluate(expression.arguments.at(0));
      if (!value.IsInt()) {
        throw LocatedError("'-' needs an integer, not a " + describeArguments({value}),
                           expression.where);
      }
      return AVSValue(int(uint32_t(0) - uint32_t(value.AsInt())));
    }
  }
  throw LocatedError("unknown expression", expression.where);
}

AVSValue Evaluator::call(const std::string& name, std::vector<AVSValue> arguments, bool mayPassLast,
                         Location where) {
  const host::RegisteredFunction* function = env.findFunction(name);
  if (!function) throw LocatedError("there is no function named \"" + name + "\"", where);
  // As the host does: the arguments as given first; only when they do not
  // match, `last` followed by them.
  if (!host::Environment::argumentsMatch(function->params, arguments)) {
    std::vector<AVSValue> withLast;
    AVSValue last;
    if (mayPassLast && lookUp("last", last)) {
      withLast.push_back(last);
      withLast.insert(withLast.end(), arguments.begin(), arguments.end());
    }
    if (withLast.empty() || !host::Environment::argumentsMatch(function->params, withLast)) {
      throw LocatedError("invalid arguments to function \"" + function->name + "\": it takes (" +
                             describeParameters(function->params) + "), given (" +
                             describeArguments(arguments) + ")",
                         where);
    }
    arguments = std::move(withLast);
  }
  try {
    return env.call(function->name, arguments);
  } catch (const IScriptEnvironment::NotFound&) {
    throw LocatedError(function->name + ": a function that it called does not exist", where);
  } catch (const std::exception& error) {
    throw LocatedError(error.what(), where);
  }
}

AVSValue runScript(std::string_view text, host::Environment& env) {
  const Script script = parseScript(text);
  return Evaluator(env).run(script);
}

}  // namespace quorvant::script
