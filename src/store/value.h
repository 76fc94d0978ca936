// One field's value as the store holds it.
#pragma once
#include <cstdint>
#include <string>
#include <variant>

namespace store {

// One field's value: empty, a whole number (Short, Logical, AutoInc) or text.
using Value = std::variant<std::monostate, std::int64_t, std::string>;

inline bool isEmpty(const Value& v) { return std::holds_alternative<std::monostate>(v); }

}  // namespace store
