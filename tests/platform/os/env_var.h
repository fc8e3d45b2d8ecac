#pragma once
// Sets (or, with nullptr, removes) an environment variable for the lifetime of the object.
#include <stdlib.h>

#include <string>

class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = ::getenv(name)) {
            old_ = old;
            had_ = true;
        }
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~EnvVar() {
        if (had_)
            ::setenv(name_.c_str(), old_.c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }
    EnvVar(const EnvVar&) = delete;
    EnvVar& operator=(const EnvVar&) = delete;

private:
    std::string name_;
    std::string old_;
    bool had_ = false;
};
