// The program's text is single bytes in Windows-1252; the system speaks
// UTF-8. These convert between the two where text leaves or enters.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The Unicode code point of a Windows-1252 byte. The five bytes the code page
// leaves undefined map to the C1 controls of the same value.
uint32_t cp1252ToUnicode(unsigned char c);

std::string utf8FromCodePage(const std::string& text);
// Characters the code page has no byte for, and bytes that are not UTF-8,
// become '?' (counted in replaced); nothing is dropped.
std::string codePageFromUtf8(const std::string& text, int& replaced);

}  // namespace platform
