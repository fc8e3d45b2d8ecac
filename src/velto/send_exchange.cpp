#include "velto/send_exchange.h"

#include "platform/context.h"
#include "platform/core/error.h"
#include "platform/os/path.h"
#include "platform/screen/screen.h"
#include "velto/exchange.h"

namespace {

constexpr size_t kBuffer = 1 << 18;

}  // namespace

ExchangeWriter::ExchangeWriter(Context& ctx, bool echo) : ctx_(ctx), echo_(echo) {
    std::string path = os::resolve(kExchangeFile);
    file_ = path.empty() ? nullptr : std::fopen(path.c_str(), "wb");
    if (!file_)
        throw core::RuntimeError(core::RuntimeError::Kind::Creation, "cannot write",
                                 std::string(kExchangeFile));
    std::setvbuf(file_, nullptr, _IOFBF, kBuffer);
}

ExchangeWriter::~ExchangeWriter() {
    if (file_) std::fclose(file_);
}

void ExchangeWriter::write(std::string_view record) {
    if (std::fwrite(record.data(), 1, record.size(), file_) != record.size() || std::fputs("\r\n", file_) < 0)
        failed_ = true;
    if (echo_) {
        ctx_.screen->out(record);
        ctx_.screen->newline();
    }
}

void ExchangeWriter::close() {
    if (!file_) return;
    bool ok = std::fclose(file_) == 0 && !failed_;
    file_ = nullptr;
    if (!ok)
        throw core::RuntimeError(core::RuntimeError::Kind::Io, "cannot write", std::string(kExchangeFile));
}
