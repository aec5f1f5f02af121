#include "Application.h"

#include <cstring>

#include "base/Clock.h"
#include "base/Library.h"
#include "gui/Event.h"
#include "gui/EventQueue.h"
#include "gui/Idler.h"
#include "gui/TipWindow.h"
#include "platform/Locale.h"
#include "platform/MessageBox.h"
#include "platform/Shell.h"

namespace pellium {

int WinMain(const char* commandLine, ProgramMain programMain) {
    std::vector<orvel_string> words = splitCommandLine(commandLine);
    countryCode();
    TipWindow::install();
    return programMain(words);
}

std::vector<orvel_string> splitCommandLine(const char* line) {
    std::vector<orvel_string> words;
    const char* p = line ? line : "";
    while (*p) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        const char* start = p;
        if (*p == '"') {
            start = ++p;
            while (*p && *p != '"')
                ++p;
            words.emplace_back(start, unsigned(p - start));
            if (*p)
                ++p;
        } else {
            while (*p && *p != ' ')
                ++p;
            words.emplace_back(start, unsigned(p - start));
        }
    }
    return words;
}

void makeCountryCode(const char* abbreviation, char code[16]) {
    if (!abbreviation || !*abbreviation) {
        std::strcpy(code, "US");
        return;
    }
    std::strncpy(code, abbreviation, 15);
    code[15] = 0;
    if (std::strcmp(code, "USA") != 0 && std::strlen(code) > 2)
        code[2] = 0;
    for (char* c = code; *c; ++c)
        if (*c >= 'a' && *c <= 'z')
            *c = char(*c - 'a' + 'A');
}

const char* countryCode() {
    static char code[16];
    if (!code[0])
        makeCountryCode(platform::countryAbbreviation().c_str(), code);
    return code;
}

void runEventLoop(Idler* idler) {
    static IdleThing nothing;
    Event event;
    while (getNextEvent(event, idler ? idler : &nothing))
        dispatchEvent(event);
}

void processPendingEvents() {
    IdleDetector detector;
    Event event;
    while (getNextEvent(event, &detector) && !detector.called)
        if (event.type != EventType::None)
            dispatchEvent(event);
}

int errorBox(const char* text, const char* title) {
    return platform::messageBox(text, title ? title : "Error:", platform::MessageBoxIcon::Error);
}

int userError(const char* text) { return errorBox(text, "Pellium API: user error:"); }

int fatalError(const char* text) { return errorBox(text, "Fatal error:"); }

void shellOpen(const char* target) {
    orvel::Library shell("shell32.dll");
    auto execute = reinterpret_cast<platform::ShellExecuteFunction>(shell.symbol("ShellExecuteEx"));
    if (!execute)
        return;
    platform::ShellExecuteRecord record{};
    record.size = 60;
    record.mask = 0x140;  // keep the process handle, wait for the hand-over
    record.verb = "";
    record.file = target;
    record.show = 0;
    execute(&record);
}

void idleSleep() { orvel::sleepMs(1); }

}  // namespace pellium
