#pragma once
// Named settings: values keyed by upper-case name. Public settings live for the run; a flow opens a scope
// on entry (pushScope) and may create private settings in it, which hide same-named ones for that flow and
// every flow it calls, and vanish when the scope closes (popScope).
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/core/value.h"

namespace settings {

class Settings {
public:
    Settings();
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // Creates or replaces a public setting (a public setting created without a value holds false).
    void declarePublic(std::string_view name, core::Value value = core::Value::ofLogical(false));
    // Creates a private setting in the innermost scope, hiding any same-named one outside it.
    void declarePrivate(std::string_view name, core::Value value = core::Value::ofLogical(false));

    void pushScope();
    void popScope();  // drops the innermost scope's private settings
    int depth() const;

    bool exists(std::string_view name) const;
    // The visible setting: the innermost private one, else the public one. Reading a setting that nobody
    // created is a fatal run-time error (core::RuntimeError, Kind::Setting, naming it).
    const core::Value& get(std::string_view name) const;
    // Assigns to the visible setting, changing its value and type; creates a public one when none exists.
    void set(std::string_view name, core::Value value);

    // Typed reads; a setting of another type is a fatal run-time error.
    const std::string& text(std::string_view name) const;
    double number(std::string_view name) const;
    core::Date date(std::string_view name) const;
    bool logical(std::string_view name) const;

    // The public settings whose names begin with prefix ("J_"), sorted by name.
    std::vector<std::pair<std::string, core::Value>> publicsWithPrefix(std::string_view prefix) const;

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace settings
