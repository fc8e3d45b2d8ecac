#pragma once
// The line reader for the text files the register driver leaves.
#include <string>

#include "platform/os/file_handle.h"

// Reads the next line ended by CR LF (a lone CR or LF is text) from up to 1000 bytes at the file position
// and moves the position just past its line end. When those bytes hold no CR LF, the result is empty and
// the position moves on by one byte only, so a last line without a line end never comes back as text, a
// line longer than 998 characters comes back as its last 998 after one empty result per extra character,
// and at the end of the file the position passes the size. Callers read while the position is below the
// size they took before reading, and skip empty results.
std::string FREADLINE(os::FileHandle& file);
