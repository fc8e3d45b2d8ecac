#pragma once
// A file opened for reading, with a position of its own that the reader moves freely (also past the end,
// where reads give nothing), as the line reader of the driver's files needs.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace os {

class FileHandle {
public:
    FileHandle() = default;
    ~FileHandle() { close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;

    // Opens a DOS name for reading at position 0; false when it cannot be opened.
    bool open(std::string_view dosPath);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // Reads up to n bytes at the position and moves it past them; returns how many were read (0 at or past
    // the end, and after a read error). Reads go through a window of the file, as stdio's do: a line
    // reader that reads a block and seeks back costs one read call per window, not one per line.
    std::size_t read(char* buffer, std::size_t n);
    int64_t position() const { return position_; }
    void seek(int64_t position) { position_ = position < 0 ? 0 : position; }
    // The size of the file now, or -1 when it is not open.
    int64_t size() const;

private:
    std::size_t readFile(char* buffer, std::size_t n, int64_t at) const;
    int fd_ = -1;
    int64_t position_ = 0;
    std::vector<char> window_;  // bytes of the file from windowStart_ on
    int64_t windowStart_ = 0;
};

}  // namespace os
