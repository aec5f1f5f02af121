// Reads keyword-driven text line by line: whether the current line starts
// with a keyword, then the values after it, with a cursor that moves along
// the line. Nothing throws; the error flag tells whether the last value
// failed. Each number read clears it first, so a caller tests it after each
// number it needs.
//
// Numbers are 32-bit (larger ones clamp) and decimals use '.' whatever the
// process locale.
#pragma once

#include "base/DataSource.h"
#include "base/orvel_string.h"

namespace orvel {

class LineReader {
public:
    explicit LineReader(DataSource* source = nullptr) : source_(source) {}
    void setSource(DataSource* source) { source_ = source; }

    // The next line, without its line end; false at the end of the data.
    // The cursor is at the start of the line.
    bool nextLine();
    const orvel_string& line() const { return line_; }
    unsigned cursor() const { return cursor_; }

    // Whether the line, from its first non-blank character, starts with
    // keyword ('A'..'Z' folded to lower case unless caseSensitive). A whole
    // word must be followed by the end of the line or a blank, unless the
    // keyword itself ends in a blank. On a match the cursor moves past the
    // keyword and the blanks after it.
    bool matchKeyword(const char* keyword, bool caseSensitive, bool wholeWord);
    // Past blanks (space and tab).
    void skip();
    // n characters on, at most to the end of the line.
    void advance(unsigned n);

    // A decimal integer, true when not 0.
    LineReader& operator>>(bool& value);
    LineReader& operator>>(int& value);
    LineReader& operator>>(unsigned& value);
    LineReader& operator>>(float& value);
    LineReader& operator>>(double& value);
    // After blanks: a text in double quotes (without them; to the end of the
    // line when the closing one is missing), the cursor behind it; or else
    // the rest of the line.
    LineReader& operator>>(orvel_string& text);
    // After blanks, expected must follow; otherwise the error flag is set
    // and the cursor stays before it.
    LineReader& operator>>(const char* expected);
    // A hexadecimal number ("1f", "0x1F"); false when there is none. A
    // negative one wraps as the decimal reader's does ("-2" is 0xFFFFFFFE).
    bool readHex(unsigned& value);
    // The text between the first double quote from the cursor and the last
    // one of the line, the cursor behind it; empty, the cursor unmoved,
    // without two quotes.
    orvel_string quotedString();

    bool error() const { return error_; }

private:
    static constexpr unsigned noLine = 0xFFFFFFFF;

    // The text at the cursor for a conversion, or null at the end of the
    // line; clears the error flag first.
    const char* numberText();
    // Moves the cursor past a conversion's characters; false (and the
    // error flag) when it took none.
    bool took(const char* start, const char* end);
    // An unsigned number in base 10 or 16, as a 32-bit strtoul gives it.
    bool readUnsigned(unsigned& value, int base);

    bool error_ = false;
    unsigned cursor_ = 0;
    // The line's first non-blank character.
    unsigned keyword_ = noLine;
    DataSource* source_;
    orvel_string line_;
};

}  // namespace orvel
