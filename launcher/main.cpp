#include <vector>

#include "launcher/startProgram.h"

int main(int argc, char** argv) {
    std::vector<orvel_string> words;
    for (int i = 1; i < argc; ++i)
        words.emplace_back(argv[i]);
    return startProgram(words);
}
