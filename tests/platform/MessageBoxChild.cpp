// A program that shows one error box, titled by its first word, and ends when
// the box is answered (exit code 0) or could not be shown (1). The box test
// shows it so, and so can end it, whatever it found on the display.
#include "platform/MessageBox.h"

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    platform::setMessageBoxRecording(false);
    return platform::messageBox("The world file is damaged.", argv[1], platform::MessageBoxIcon::Error) == 1 ? 0 : 1;
}
