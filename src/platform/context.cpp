#include "platform/context.h"

#include <exception>

#include "platform/settings/settings.h"

Procedure::Procedure(Context& ctx, const char* name) : ctx_(ctx), uncaught_(std::uncaught_exceptions()) {
    ctx_.chain.emplace_back(name);
    if (ctx_.settings) ctx_.settings->pushScope();
}

Procedure::~Procedure() {
    // An error leaving this procedure: keep the chain where it arose, for the report on Quit.
    if (std::uncaught_exceptions() > uncaught_ && ctx_.failedChain.empty()) ctx_.failedChain = ctx_.chain;
    if (ctx_.settings) ctx_.settings->popScope();
    ctx_.chain.pop_back();
}
