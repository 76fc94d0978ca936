#pragma once
#include <stdexcept>
#include <string>

namespace store {

// Every failure of the store reaches its caller as this exception; its text
// is what the user is shown.
class StoreError : public std::runtime_error {
public:
    explicit StoreError(const std::string& message) : std::runtime_error(message) {}
};

// Messages the rest of the program relies on word for word.
namespace msg {
inline constexpr const char* emptyDataset = "Cannot perform this operation on an empty dataset";
inline constexpr const char* keyViolation = "Key violation";
inline constexpr const char* notEditing = "Dataset not in edit or insert mode";
inline constexpr const char* notOpen = "Cannot perform this operation on a closed dataset";
inline constexpr const char* recordNotFound = "Record not found";
}  // namespace msg

}  // namespace store
