#include "platform/context.h"

#include "platform/settings/settings.h"

Procedure::Procedure(Context& ctx, const char* name) : ctx_(ctx) {
    ctx_.chain.emplace_back(name);
    if (ctx_.settings) ctx_.settings->pushScope();
}

Procedure::~Procedure() {
    if (ctx_.settings) ctx_.settings->popScope();
    ctx_.chain.pop_back();
}
