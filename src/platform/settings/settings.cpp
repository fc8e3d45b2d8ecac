#include "platform/settings/settings.h"

#include <map>

#include "platform/core/error.h"

namespace settings {

namespace {

using Store = std::map<std::string, core::Value, std::less<>>;

char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string key(std::string_view name) {
    std::string out(name);
    for (char& c : out) c = upperAscii(c);
    return out;
}

// Names are nearly always written in upper case already; only the others need a copy for the lookup.
template <typename Fn>
auto withKey(std::string_view name, Fn fn) {
    for (char c : name)
        if (c >= 'a' && c <= 'z') return fn(std::string_view(key(name)));
    return fn(name);
}

const char* typeName(core::Type type) {
    switch (type) {
        case core::Type::Text:
            return "text";
        case core::Type::Number:
            return "a number";
        case core::Type::Date:
            return "a date";
        case core::Type::Logical:
            return "a logical";
    }
    return "?";
}

}  // namespace

// scopes[0] belongs to the outermost flow (private settings made before any scope opened) and never
// closes; every pushScope adds one above it.
struct Settings::Impl {
    Store publics;
    std::vector<Store> scopes = std::vector<Store>(1);

    core::Value* find(std::string_view name) {
        for (auto scope = scopes.rbegin(); scope != scopes.rend(); ++scope)
            if (auto it = scope->find(name); it != scope->end()) return &it->second;
        if (auto it = publics.find(name); it != publics.end()) return &it->second;
        return nullptr;
    }

    const core::Value& typed(std::string_view name, core::Type type) {
        const core::Value* v = withKey(name, [&](std::string_view k) { return find(k); });
        if (!v) throw core::RuntimeError(core::RuntimeError::Kind::Setting, "undefined setting " + key(name));
        if (v->type != type)
            throw core::RuntimeError(core::RuntimeError::Kind::Setting,
                                     "setting " + key(name) + " is not " + typeName(type));
        return *v;
    }
};

Settings::Settings() : impl_(new Impl) {}
Settings::~Settings() {
    delete impl_;
}

void Settings::declarePublic(std::string_view name, core::Value value) {
    impl_->publics.insert_or_assign(key(name), std::move(value));
}

void Settings::declarePrivate(std::string_view name, core::Value value) {
    impl_->scopes.back().insert_or_assign(key(name), std::move(value));
}

void Settings::pushScope() {
    impl_->scopes.emplace_back();
}

void Settings::popScope() {
    if (impl_->scopes.size() > 1) impl_->scopes.pop_back();
}

int Settings::depth() const {
    return static_cast<int>(impl_->scopes.size()) - 1;
}

bool Settings::exists(std::string_view name) const {
    return withKey(name, [&](std::string_view k) { return impl_->find(k) != nullptr; });
}

const core::Value& Settings::get(std::string_view name) const {
    const core::Value* v = withKey(name, [&](std::string_view k) { return impl_->find(k); });
    if (!v) throw core::RuntimeError(core::RuntimeError::Kind::Setting, "undefined setting " + key(name));
    return *v;
}

void Settings::set(std::string_view name, core::Value value) {
    core::Value* v = withKey(name, [&](std::string_view k) { return impl_->find(k); });
    if (v)
        *v = std::move(value);
    else
        impl_->publics.insert_or_assign(key(name), std::move(value));
}

const std::string& Settings::text(std::string_view name) const {
    return impl_->typed(name, core::Type::Text).text;
}
double Settings::number(std::string_view name) const {
    return impl_->typed(name, core::Type::Number).number;
}
core::Date Settings::date(std::string_view name) const {
    return impl_->typed(name, core::Type::Date).date;
}
bool Settings::logical(std::string_view name) const {
    return impl_->typed(name, core::Type::Logical).logical;
}

std::vector<std::pair<std::string, core::Value>> Settings::publicsWithPrefix(std::string_view prefix) const {
    std::string p = key(prefix);
    std::vector<std::pair<std::string, core::Value>> out;
    for (auto it = impl_->publics.lower_bound(p); it != impl_->publics.end() && it->first.starts_with(p);
         ++it)
        out.emplace_back(it->first, it->second);
    return out;
}

}  // namespace settings
