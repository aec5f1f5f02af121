// Splits a text of the HTML subset into tokens: single text characters and
// tags with their attributes. A '<' that does not start a well-formed tag is
// text like any other character. No character references are decoded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pellium {

struct HTMLAttribute {
    std::string name;        // lower case
    std::string value;       // as written
    std::string lowerValue;  // letters A to Z lowered
};

struct HTMLToken {
    bool tag = false;
    bool closing = false;
    unsigned char character = 0;  // of a text token
    std::string name;             // of a tag, lower case
    std::vector<HTMLAttribute> attributes;

    // The attribute's lower-case value, or its value as written; empty when
    // the tag has no such attribute.
    const std::string& attribute(const char* name, bool raw = false) const;
};

class HTMLTokenizer {
public:
    // The text is copied; it ends at its NUL or at its first byte 255.
    explicit HTMLTokenizer(const char* text);

    // The next token; false at the end of the text.
    bool next(HTMLToken& token);

private:
    // Collects the tag at the '<' at pos_, false when there is none there.
    bool readTag(HTMLToken& token);
    static void readAttributes(const std::string& text, size_t i, HTMLToken& token);

    std::vector<char> text_;
    size_t pos_ = 0;
    // Per position: bit 0 when a '>' outside double quotes lies ahead before
    // any byte that stops a tag, starting outside quotes; bit 1 starting inside.
    std::vector<std::uint8_t> closes_;
};

}  // namespace pellium
