// Modal message boxes that work before and without any window. In record
// mode (for tests and unattended runs) a box is kept in a list and answered
// at once instead of waiting for a person.
#pragma once

#include <string>
#include <vector>

namespace platform {

enum class MessageBoxIcon { Error, Warning, Information };

struct MessageBoxRecord {
    std::string title, text;
    MessageBoxIcon icon;
};

// Shows the box and waits for the user; 1 (OK) when shown or recorded, 0 when
// it could not be shown. The environment variable KALVORA_MESSAGE_BOXES=record
// starts the process in record mode.
int messageBox(const char* text, const char* title, MessageBoxIcon icon);

void setMessageBoxRecording(bool on);
const std::vector<MessageBoxRecord>& recordedMessageBoxes();
void clearRecordedMessageBoxes();

}  // namespace platform
