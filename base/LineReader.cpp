#include "LineReader.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace orvel {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

char folded(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Conversions as in the C locale, whatever the process has set.
locale_t cLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return c;
}

}  // namespace

bool LineReader::nextLine() {
    cursor_ = 0;
    if (!source_ || !source_->readLine(line_)) {
        line_.clear();
        keyword_ = noLine;
        return false;
    }
    keyword_ = 0;
    while (keyword_ < line_.length() && isBlank(line_[keyword_]))
        ++keyword_;
    return true;
}

bool LineReader::matchKeyword(const char* keyword, bool caseSensitive, bool wholeWord) {
    if (keyword_ == noLine || !keyword)
        return false;
    unsigned p = keyword_;
    unsigned end = line_.length();
    char last = 0;
    for (const char* k = keyword; *k; ++k, ++p) {
        if (p == end)
            return false;
        char a = line_[p];
        char b = *k;
        if (caseSensitive ? a != b : folded(a) != folded(b))
            return false;
        last = a;
    }
    if (wholeWord && p != end && !isBlank(line_[p]) && !isBlank(last))
        return false;
    cursor_ = p;
    skip();
    return true;
}

void LineReader::skip() {
    while (cursor_ < line_.length() && isBlank(line_[cursor_]))
        ++cursor_;
}

void LineReader::advance(unsigned n) {
    unsigned rest = line_.length() - cursor_;
    cursor_ += n < rest ? n : rest;
}

const char* LineReader::numberText() {
    error_ = false;
    if (cursor_ >= line_.length()) {
        error_ = true;
        return nullptr;
    }
    return line_.c_str() + cursor_;
}

bool LineReader::took(const char* start, const char* end) {
    if (end == start) {
        error_ = true;
        return false;
    }
    cursor_ += unsigned(end - start);
    return true;
}

LineReader& LineReader::operator>>(bool& value) {
    int number;
    *this >> number;
    value = number != 0;
    return *this;
}

LineReader& LineReader::operator>>(int& value) {
    value = 0;
    const char* text = numberText();
    if (!text)
        return *this;
    char* end;
    long n = strtol_l(text, &end, 10, cLocale());
    if (took(text, end))
        value = n > INT_MAX ? INT_MAX : n < INT_MIN ? INT_MIN : int(n);
    return *this;
}

// As a 32-bit strtoul: a negative number is negated in 32 bits, and one out
// of range gives the largest value.
bool LineReader::readUnsigned(unsigned& value, int base) {
    value = 0;
    const char* text = numberText();
    if (!text)
        return false;
    char* end;
    errno = 0;
    unsigned long long n = strtoull_l(text, &end, base, cLocale());
    if (!took(text, end))
        return false;
    const char* sign = text;
    while (*sign == ' ' || (*sign >= '\t' && *sign <= '\r'))
        ++sign;
    if (errno == ERANGE) {
        value = UINT_MAX;
    } else if (*sign == '-') {
        unsigned long long magnitude = 0 - n;
        value = magnitude > UINT_MAX ? UINT_MAX : 0u - unsigned(magnitude);
    } else {
        value = n > UINT_MAX ? UINT_MAX : unsigned(n);
    }
    return true;
}

LineReader& LineReader::operator>>(unsigned& value) {
    readUnsigned(value, 10);
    return *this;
}

LineReader& LineReader::operator>>(double& value) {
    value = 0;
    const char* text = numberText();
    if (!text)
        return *this;
    char* end;
    double n = strtod_l(text, &end, cLocale());
    if (took(text, end))
        value = n;
    return *this;
}

LineReader& LineReader::operator>>(float& value) {
    double n;
    *this >> n;
    if (std::isfinite(n) && std::fabs(n) > FLT_MAX)
        n = std::copysign(HUGE_VAL, n);
    value = float(n);
    return *this;
}

bool LineReader::readHex(unsigned& value) { return readUnsigned(value, 16); }

LineReader& LineReader::operator>>(orvel_string& text) {
    skip();
    unsigned end = line_.length();
    if (cursor_ < end && line_[cursor_] == '"') {
        unsigned start = cursor_ + 1;
        unsigned close = line_.find_first_of('"', start);
        if (close >= end) {
            text = line_.substr(start);
            cursor_ = end;
        } else {
            text = line_.substr(start, close - start);
            cursor_ = close + 1;
        }
        return *this;
    }
    text = line_.substr(cursor_);
    cursor_ = end;
    return *this;
}

LineReader& LineReader::operator>>(const char* expected) {
    skip();
    unsigned p = cursor_;
    for (const char* e = expected; e && *e; ++e, ++p) {
        if (p >= line_.length() || line_[p] != *e) {
            error_ = true;
            return *this;
        }
    }
    cursor_ = p;
    return *this;
}

orvel_string LineReader::quotedString() {
    unsigned end = line_.length();
    unsigned first = line_.find_first_of('"', cursor_ < end ? cursor_ : end);
    unsigned last = line_.find_last_of('"');
    if (first >= end || last >= end || last == first)
        return orvel_string();
    cursor_ = last + 1;
    return line_.substr(first + 1, last - first - 1);
}

}  // namespace orvel
