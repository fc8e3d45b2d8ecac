#pragma once
// The exchange file written record by record, for requests too long to gather in memory first (the PLU
// records of a whole goods table). Same form as writeExchangeFile: created anew, every record ended by
// CR LF, no end-of-file byte.
#include <cstdio>
#include <string>
#include <string_view>

struct Context;

class ExchangeWriter {
  public:
    // Creates "velto\data_in.txt" anew. With `echo` every record also appears on the screen at the
    // cursor, scrolling it. A file that cannot be created is a fatal run-time error.
    ExchangeWriter(Context& ctx, bool echo);
    ~ExchangeWriter();  // closes without reporting errors (call close() to see them)
    ExchangeWriter(const ExchangeWriter&) = delete;
    ExchangeWriter& operator=(const ExchangeWriter&) = delete;

    void write(std::string_view record);
    void close();

  private:
    Context& ctx_;
    bool echo_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};
