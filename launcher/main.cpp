#include <string>

#include "gui/Application.h"
#include "launcher/startProgram.h"

// The toolkit splits the command line itself, so the words are joined back
// into one line; a word with a blank in it is quoted to stay one word.
int main(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (i > 1)
            line += ' ';
        line += word.find(' ') != std::string::npos || word.empty() ? '"' + word + '"' : word;
    }
    return pellium::WinMain(line.c_str(), startProgram);
}
