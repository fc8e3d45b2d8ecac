#pragma once
// Fatal run-time errors: a missing table or index file, a damaged file, a missing field, a failed
// creation, a setting that nobody created. Every layer throws this one type; the program's error handler
// shows the box (Quit, Retry, Default) and, on Quit, the procedure chain, and ends with status 1.
#include <stdexcept>
#include <string>

namespace core {

class RuntimeError : public std::runtime_error {
public:
    enum class Kind { Missing, Damaged, Creation, NoField, Expression, Setting, Io, Other };

    RuntimeError(Kind kind, std::string description, std::string file = {})
        : std::runtime_error(file.empty() ? description : description + ": " + file),
          kind_(kind),
          description_(std::move(description)),
          file_(std::move(file)) {}

    Kind kind() const { return kind_; }
    const std::string& description() const { return description_; }
    // The file concerned, as the program named it, or empty.
    const std::string& file() const { return file_; }

private:
    Kind kind_;
    std::string description_;
    std::string file_;
};

}  // namespace core
