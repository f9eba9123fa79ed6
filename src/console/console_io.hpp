// The console conventions every interactive screen shares.
//
// Output: a message is its text and a line end; a line end is a newline followed
// at once by a flush, so each line is on screen as soon as it is complete. Only
// the prompts "Filename: " and "Enter Selection:" leave the cursor on their line.
//
// Input: one stream of whitespace-separated tokens shared by every prompt. A read
// takes one token and leaves the rest for the next read, whichever prompt that is;
// every read flushes the output first, so a prompt is visible before the wait.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <string>
#include <string_view>

namespace tagwright {

// Writes the text and a line end (an empty text gives an empty line).
void writeLine(std::ostream& out, std::string_view text = {});

// Longest word kept: the rest of a longer word is read and dropped, so no input can
// make a prompt hold more than this.
inline constexpr std::size_t kMaxWordLength = 4096;

// Reads one whitespace-delimited word into target, its first kMaxWordLength bytes.
// On end of input the target is left as it was and the result is false.
bool readWord(std::string& target, std::istream& in = std::cin, std::ostream& out = std::cout);

// Reads one optionally signed decimal integer that fits 32 bits into target. On
// failure the target is left as it was; a rejected entry (a word, a number out of
// range) is discarded up to the end of its line, so the next read waits for new input.
bool readInteger(std::int32_t& target, std::istream& in = std::cin, std::ostream& out = std::cout);

// True once the input can deliver nothing more: a read that failed for this reason
// will fail again, so callers give up instead of asking again.
bool endOfInput(const std::istream& in);

}  // namespace tagwright
