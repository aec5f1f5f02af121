// Puts a test font backend in place for the life of the object, so fonts made
// meanwhile get its exact numbers.
#pragma once

#include "platform/FontBackend.h"
#include "platform/TestFontBackend.h"

class TestFonts {
public:
    explicit TestFonts(const platform::TestFontBackend::Metrics& metrics = {}) : backend(metrics) {
        platform::setFontBackend(&backend);
    }
    ~TestFonts() { platform::setFontBackend(nullptr); }
    TestFonts(const TestFonts&) = delete;
    TestFonts& operator=(const TestFonts&) = delete;

    platform::TestFontBackend backend;
};
