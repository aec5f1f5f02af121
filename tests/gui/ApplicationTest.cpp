#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <string>
#include <utility>
#include <vector>

#include "base/Clock.h"
#include "gui/Application.h"
#include "platform/Locale.h"
#include "platform/MessageBox.h"
#include "tests/support/HangWatch.h"

namespace {

std::vector<std::string> split(const char* line) {
    std::vector<std::string> out;
    for (const orvel_string& w : pellium::splitCommandLine(line))
        out.emplace_back(w.c_str(), w.length());
    return out;
}

using Words = std::vector<std::string>;

std::vector<orvel_string> received;

int recordingMain(const std::vector<orvel_string>& words) {
    received = words;
    return 42;
}

std::string code(const char* abbreviation) {
    char c[16];
    std::memset(c, 'z', sizeof c);
    pellium::makeCountryCode(abbreviation, c);
    return c;
}

}  // namespace

TEST(CommandLineTest, BlanksSeparateAndQuotesGroup) {
    EXPECT_EQ(split("a \"b c\" d"), (Words{"a", "b c", "d"}));
    EXPECT_EQ(split("\"abc"), (Words{"abc"}));
    EXPECT_EQ(split("a  b"), (Words{"a", "b"}));
    EXPECT_EQ(split("x\"y z\""), (Words{"x\"y", "z\""}));
    EXPECT_EQ(split("  lead and trail  "), (Words{"lead", "and", "trail"}));
    EXPECT_EQ(split("\"\" x"), (Words{"", "x"}));
    EXPECT_EQ(split("\"a\"b"), (Words{"a", "b"}));
    EXPECT_EQ(split("tab\tstays"), (Words{"tab\tstays"}));
    EXPECT_TRUE(split("").empty());
    EXPECT_TRUE(split("    ").empty());
    EXPECT_TRUE(split(nullptr).empty());
}

TEST(CommandLineTest, LongWordsSurvive) {
    std::string longWord(5000, 'w');
    std::string line = "a \"" + longWord + " x\" " + longWord;
    Words words = split(line.c_str());
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[1], longWord + " x");
    EXPECT_EQ(words[2], longWord);
}

TEST(CommandLineTest, RandomLinesNeverLoseACharacterOutsideQuotesAndBlanks) {
    // Every character that is neither a blank nor a word-opening quote ends up in a word.
    unsigned seed = 12345;
    const char alphabet[] = "ab \"c";
    for (int round = 0; round < 3000; ++round) {
        std::string line;
        int n = int((seed = seed * 1103515245 + 12345) >> 16) % 24;
        for (int i = 0; i < n; ++i)
            line += alphabet[((seed = seed * 1103515245 + 12345) >> 16) % 5];
        size_t kept = 0;
        for (const std::string& w : split(line.c_str())) {
            if (w.find(' ') != std::string::npos) {
                EXPECT_NE(line.find('"'), std::string::npos) << "blanks only inside quotes: " << line;
            }
            kept += w.size();
        }
        size_t letters = 0;
        for (char c : line)
            letters += c != ' ' && c != '"';
        EXPECT_GE(kept, letters) << line;
        EXPECT_LE(kept, line.size()) << line;
    }
}

TEST(EntryTest, WinMainHandsTheWordsOverAndReturnsTheResult) {
    EXPECT_EQ(pellium::WinMain("-window \"my file\" 3", recordingMain), 42);
    ASSERT_EQ(received.size(), 3u);
    EXPECT_STREQ(received[0].c_str(), "-window");
    EXPECT_STREQ(received[1].c_str(), "my file");
    EXPECT_STREQ(received[2].c_str(), "3");
    EXPECT_EQ(pellium::WinMain("", recordingMain), 42);
    EXPECT_TRUE(received.empty());
}

TEST(CountryCodeTest, Rules) {
    const std::pair<const char*, const char*> cases[] = {
        {"DEU", "DE"}, {"USA", "USA"}, {"gbr", "GB"}, {"usa", "US"}, {"NL", "NL"},
        {"f", "F"},    {"", "US"},     {nullptr, "US"}, {"d1x", "D1"}, {"a very long abbreviation indeed", "A "}};
    for (auto [abbreviation, expected] : cases)
        EXPECT_EQ(code(abbreviation), expected) << (abbreviation ? abbreviation : "(none)");
}

TEST(CountryCodeTest, FollowsTheLocaleAndIsKept) {
    std::string expected = code(platform::countryAbbreviation().c_str());
    const char* first = pellium::countryCode();
    EXPECT_EQ(first, expected);
    EXPECT_EQ(pellium::countryCode(), first);
    EXPECT_GE(std::strlen(first), 1u);
    EXPECT_LE(std::strlen(first), 3u);
}

TEST(MessageBoxTest, TitlesOfTheThreeBoxesAndNoTextIsAnEmptyBox) {
    platform::setMessageBoxRecording(true);
    platform::clearRecordedMessageBoxes();
    EXPECT_EQ(pellium::errorBox("disk on fire", nullptr), 1);
    pellium::errorBox("plain", "My title");
    pellium::userError("wrong use");
    pellium::fatalError("the end");
    pellium::errorBox(nullptr, nullptr);
    const auto& boxes = platform::recordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 5u);
    EXPECT_EQ(boxes[0].title, "Error:");
    EXPECT_EQ(boxes[0].text, "disk on fire");
    EXPECT_EQ(boxes[0].icon, platform::MessageBoxIcon::Error);
    EXPECT_EQ(boxes[1].title, "My title");
    EXPECT_EQ(boxes[2].title, "Pellium API: user error:");
    EXPECT_EQ(boxes[3].title, "Fatal error:");
    EXPECT_EQ(boxes[3].text, "the end");
    EXPECT_EQ(boxes[4].text, "") << "no text is an empty box";
}

TEST(IdleTest, IdleSleepSleepsAboutAMillisecond) {
    double start = orvel::getTime();
    {
        HangWatch watch("five sleeps of a millisecond", 20);
        for (int i = 0; i < 5; ++i)
            pellium::idleSleep();
    }
    EXPECT_GE(orvel::getTime() - start, 0.005);
}

TEST(ShellOpenTest, HandsTheTargetToTheDesktopsOpener) {
    char folder[] = "/tmp/kalvora-shell-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::string record = std::string(folder) + "/opened", opener = std::string(folder) + "/opener";
    {
        std::ofstream script(opener);
        script << "#!/bin/sh\nprintf '%s' \"$1\" > " << record << ".part && mv " << record << ".part " << record
               << "\n";
    }
    ASSERT_EQ(chmod(opener.c_str(), 0755), 0);
    setenv("ORVEL_SHELL_OPENER", opener.c_str(), 1);

    pellium::shellOpen(nullptr);
    pellium::shellOpen("");
    pellium::shellOpen("https://example.org/a page?x=1");
    std::string opened;
    for (int i = 0; i < 3000 && opened.empty(); ++i) {
        std::ifstream in(record);
        std::getline(in, opened);
        if (opened.empty())
            orvel::sleepMs(10);
    }
    EXPECT_EQ(opened, "https://example.org/a page?x=1") << "only the real target was opened";
    unsetenv("ORVEL_SHELL_OPENER");
    std::remove(record.c_str());
    std::remove(opener.c_str());
    rmdir(folder);
}
