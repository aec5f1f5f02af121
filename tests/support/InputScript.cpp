#include "tests/support/InputScript.h"

#include "platform/Windows.h"

namespace guitest {

namespace {

const char* typeName(int type) {
    namespace T = pellium::EventType;
    switch (type) {
    case T::Move: return "Move";
    case T::Enter: return "Enter";
    case T::Leave: return "Leave";
    case T::DoubleClick: return "DoubleClick";
    case T::Hover: return "Hover";
    case T::LeftDown: return "LeftDown";
    case T::LeftUp: return "LeftUp";
    case T::MiddleDown: return "MiddleDown";
    case T::MiddleUp: return "MiddleUp";
    case T::RightDown: return "RightDown";
    case T::RightUp: return "RightUp";
    case T::Wheel: return "Wheel";
    case T::Key: return "Key";
    case T::Shortcut: return "Shortcut";
    case T::Activate: return "Activate";
    case T::Deactivate: return "Deactivate";
    default: return nullptr;
    }
}

void inject(const InputRow& row, const pellium::Window& window) {
    using platform::MessageType;
    platform::Message m = message(row.type, window);
    switch (row.type) {
    case MessageType::KeyDown:
    case MessageType::KeyUp: m.key = row.code; break;
    case MessageType::SysKeyDown:
    case MessageType::SysKeyUp:
        m.key = row.code;
        m.altContext = m.alt = true;
        break;
    case MessageType::Char: m.character = row.code; break;
    case MessageType::ActivateApp: m.activate = row.code != 0; break;
    case MessageType::MouseWheel:
        m.x = row.x;
        m.y = row.y;
        m.wheel = row.code;
        break;
    default:
        m.x = row.x;
        m.y = row.y;
        m.buttons = std::uint8_t(row.code);
        break;
    }
    platform::injectMessage(m);
}

}  // namespace

std::string describe(const std::vector<pellium::Event>& events) {
    std::string out;
    for (const pellium::Event& e : events) {
        if (!out.empty())
            out += "; ";
        const char* name = typeName(e.type);
        out += name ? name : "type" + std::to_string(e.type);
        if (e.x != -1 || e.y != -1)
            out += " " + std::to_string(e.x) + "," + std::to_string(e.y);
        if (e.code)
            out += " code=" + std::to_string(e.code);
        if (e.wheel)
            out += " wheel=" + std::to_string(e.wheel);
        if (e.shift)
            out += " +shift";
        if (e.ctrl)
            out += " +ctrl";
        if (e.alt)
            out += " +alt";
    }
    return out;
}

::testing::AssertionResult playInput(FakeClock& clock, const pellium::Window& window,
                                     std::initializer_list<InputRow> rows,
                                     const std::function<std::string()>& observe) {
    int n = 0;
    for (const InputRow& row : rows) {
        ++n;
        clock.advance(row.wait);
        inject(row, window);
        std::string got;
        if (observe) {
            dispatchAll();
            got = observe();
        } else {
            got = describe(takeEvents());
        }
        if (got != row.expect)
            return ::testing::AssertionFailure() << "row " << n << ": \"" << got << "\" vs \"" << row.expect << "\"";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace guitest
