// A stand-in for the system's visual-styles functions: it notes every call
// as "CLASS part/state", answers part sizes from a table, gives one colour,
// and fails for the classes it is told to.
#pragma once

#include <deque>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "gui/ThemeFunctions.h"
#include "platform/DynamicLibrary.h"

namespace faketheme {

struct State {
    std::deque<std::string> handles;  // a handle points at its class name
    std::set<std::string> unopened, failing;
    std::vector<std::string> closed, calls;
    std::vector<pellium::ThemeRect> rects, clips;
    std::map<std::pair<int, int>, pellium::ThemeSize> sizes;  // by (part, state); others fail
};

inline State& state() {
    static State s;
    return s;
}

inline const std::string& nameOf(pellium::ThemeHandle h) { return *static_cast<std::string*>(h); }

inline pellium::ThemeFunctions functions() {
    pellium::ThemeFunctions f;
    f.openThemeData = [](void*, const wchar_t* wide) -> pellium::ThemeHandle {
        std::string name(wide, wide + std::char_traits<wchar_t>::length(wide));
        if (state().unopened.count(name))
            return nullptr;
        state().handles.push_back(name);
        return &state().handles.back();
    };
    f.closeThemeData = [](pellium::ThemeHandle h) -> long {
        state().closed.push_back(nameOf(h));
        return 0;
    };
    f.drawThemeBackground = [](pellium::ThemeHandle h, void*, int part, int s, const pellium::ThemeRect* rect,
                               const pellium::ThemeRect* clip) -> long {
        state().calls.push_back(nameOf(h) + " " + std::to_string(part) + "/" + std::to_string(s));
        state().rects.push_back(*rect);
        state().clips.push_back(*clip);
        return state().failing.count(nameOf(h)) ? -1 : 0;
    };
    f.getThemePartSize = [](pellium::ThemeHandle, void*, int part, int s, const pellium::ThemeRect*, int,
                            pellium::ThemeSize* size) -> long {
        auto found = state().sizes.find({part, s});
        return found == state().sizes.end() ? -1 : (*size = found->second, 0);
    };
    f.getThemeColor = [](pellium::ThemeHandle, int part, int s, int property, std::uint32_t* c) -> long {
        return part == 4 && s == 1 && property == 3803 ? (*c = 0xFF336699u, 0) : -1;
    };
    return f;
}

// Puts the stand-ins in the library loader's place of "uxtheme.dll": the
// process-wide theme renderer, once made, finds them.
inline void installAsLibrary() {
    const pellium::ThemeFunctions f = functions();
    const std::pair<const char*, void*> symbols[] = {
        {"OpenThemeData", reinterpret_cast<void*>(f.openThemeData)},
        {"CloseThemeData", reinterpret_cast<void*>(f.closeThemeData)},
        {"DrawThemeBackground", reinterpret_cast<void*>(f.drawThemeBackground)},
        {"GetThemePartSize", reinterpret_cast<void*>(f.getThemePartSize)},
        {"GetThemeColor", reinterpret_cast<void*>(f.getThemeColor)}};
    for (auto [name, address] : symbols)
        platform::addBuiltinSymbol("uxtheme.dll", name, address);
}

}  // namespace faketheme
