// The exception the embedded host raises for a script error (ThrowError).
#ifndef QUORVANT_EMBEDDED_HOST_SCRIPT_ERROR_H
#define QUORVANT_EMBEDDED_HOST_SCRIPT_ERROR_H

#include <stdexcept>
#include <string>

namespace quorvant::host {

class ScriptError : public std::runtime_error {
 public:
  explicit ScriptError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace quorvant::host

#endif  // QUORVANT_EMBEDDED_HOST_SCRIPT_ERROR_H
