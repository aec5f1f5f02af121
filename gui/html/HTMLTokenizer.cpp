#include "gui/html/HTMLTokenizer.h"

#include <cstring>

namespace pellium {

namespace {

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool startsIdentifier(char c) {
    return isLetter(c) || c == '_';
}
bool continuesIdentifier(char c) {
    return startsIdentifier(c) || (c >= '0' && c <= '9');
}
// Bytes of 128 and more read as negative characters; a tag cannot hold them.
bool stopsTag(char c) {
    return c == 0 || static_cast<signed char>(c) < 0;
}

std::string lowered(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

std::string readIdentifier(const std::string& text, size_t& i) {
    const size_t start = i;
    while (i < text.size() && continuesIdentifier(text[i]))
        ++i;
    return lowered(text.substr(start, i - start));
}

}  // namespace

const std::string& HTMLToken::attribute(const char* wanted, bool raw) const {
    static const std::string none;
    for (const HTMLAttribute& a : attributes)
        if (a.name == wanted)
            return raw ? a.value : a.lowerValue;
    return none;
}

HTMLTokenizer::HTMLTokenizer(const char* text) {
    const char* end = text ? text : "";
    while (*end && static_cast<unsigned char>(*end) != 255)
        ++end;
    const char* start = text ? text : end;
    text_.assign(start, end);
    // Worked out from the end once, so that a '<' never scans the rest of
    // the text again to learn that no '>' closes it.
    closes_.assign(text_.size() + 1, 0);
    for (size_t i = text_.size(); i-- > 0;) {
        const char c = text_[i];
        const std::uint8_t after = closes_[i + 1];
        if (stopsTag(c))
            closes_[i] = 0;
        else if (c == '>')
            closes_[i] = std::uint8_t(1 | (after & 2));
        else if (c == '"')
            closes_[i] = std::uint8_t(((after & 1) << 1) | ((after & 2) >> 1));
        else
            closes_[i] = after;
    }
}

bool HTMLTokenizer::next(HTMLToken& token) {
    if (pos_ >= text_.size())
        return false;
    if (text_[pos_] == '<' && readTag(token))
        return true;
    token.tag = false;
    token.character = static_cast<unsigned char>(text_[pos_++]);
    return true;
}

bool HTMLTokenizer::readTag(HTMLToken& token) {
    const size_t start = pos_ + 1;
    const size_t size = text_.size();
    const bool closing = start < size && text_[start] == '/';
    const size_t nameAt = start + (closing ? 1 : 0);
    if (nameAt >= size || !isLetter(text_[nameAt]) || !(closes_[start] & 1))
        return false;
    bool quoted = false;
    size_t end = start;
    while (text_[end] != '>' || quoted) {
        if (text_[end] == '"')
            quoted = !quoted;
        ++end;
    }
    const std::string text(&text_[start], end - start);
    pos_ = end + 1;
    token.tag = true;
    token.closing = closing;
    token.attributes.clear();
    size_t i = closing ? 1 : 0;
    token.name = readIdentifier(text, i);
    readAttributes(text, i, token);
    return true;
}

void HTMLTokenizer::readAttributes(const std::string& text, size_t i, HTMLToken& token) {
    const size_t size = text.size();
    while (i < size) {
        if (!startsIdentifier(text[i])) {
            ++i;
            continue;
        }
        std::string name = readIdentifier(text, i);
        while (i < size && text[i] == ' ')
            ++i;
        if (i >= size || text[i] != '=')
            continue;  // a name without a value is dropped
        ++i;
        while (i < size && text[i] == ' ')
            ++i;
        size_t from = i, to;
        if (i < size && (text[i] == '"' || text[i] == '\'')) {
            // An unclosed quote runs to the end of the tag, never beyond it.
            const char quote = text[i];
            from = i + 1;
            to = text.find(quote, from);
            if (to == std::string::npos)
                to = size;
            i = to < size ? to + 1 : size;
        } else {
            to = text.find(' ', from);
            if (to == std::string::npos)
                to = size;
            i = to;
        }
        HTMLAttribute& a = token.attributes.emplace_back();
        a.name = std::move(name);
        a.value = text.substr(from, to - from);
        a.lowerValue = lowered(a.value);
    }
}

}  // namespace pellium
