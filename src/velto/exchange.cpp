#include "velto/exchange.h"


#include "platform/context.h"
#include "platform/core/error.h"
#include "platform/os/files.h"
#include "platform/screen/screen.h"

const std::vector<std::string>& departmentRecords() {
    static const std::vector<std::string> records{
        "H;1;01;Dzial 1;0;A;1000;00;", "H;1;02;Dzial 2;0;B;1000;00;", "H;1;03;Dzial 3;0;C;1000;00;",
        "H;1;04;Dzial 4;0;D;1000;00;", "H;1;05;Dzial 5;0;E;1000;00;", "H;1;06;Dzial 6;0;F;1000;00;",
        "H;1;07;Dzial 7;0;Z;1000;00;",
    };
    return records;
}

void writeExchangeFile(Context& ctx, const std::vector<std::string>& records, bool echo) {
    std::string bytes;
    for (const auto& r : records) bytes += r + "\r\n";
    if (!os::writeFile(kExchangeFile, bytes))
        throw core::RuntimeError(core::RuntimeError::Kind::Io, "cannot write", std::string(kExchangeFile));
    if (echo) {
        for (const auto& r : records) {
            ctx.screen->out(r);
            ctx.screen->newline();
        }
        ctx.screen->flush();
    }
}
