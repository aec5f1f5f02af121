// What every streamable type must do, checked in one call: it reads back
// equal, writes the same bytes again, survives its stream cut at every
// length and damaged by seeded edits, and passes over a block tag it does
// not know. Also the damage and the cuts themselves, for cases of their own.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <random>
#include <string>

#include "base/DataSource.h"
#include "base/Streamable.h"
#include "tests/support/StreamRoundTrip.h"

namespace support {

struct StreamContract {
    // Registers the factories a read needs.
    std::function<void(orvel::DataSource&)> registerTypes;
    // A text of an object that must come back equal from a stream (for a
    // scene, sceneShape).
    std::function<std::string(orvel::Streamable*)> shape;
    // Uses what a read gave, the way the program would (cleans it, walks
    // it); every cut or damaged stream's result goes through it.
    std::function<void(orvel::Streamable*)> use;
    int mutations = 1000;
    unsigned seed = 1;
    // Leaves the stream's header and declarations alone when damaging it.
    std::size_t keepHead = 0;
    // A block tag no reader knows, put at the start of the body of every
    // record whose type tag begins with taggedTypes (the types whose bodies
    // are tagged blocks); 0 leaves this check out.
    unsigned unknownTag = 0;
    std::string taggedTypes;
};

::testing::AssertionResult meetsStreamContract(orvel::Streamable* original, const StreamContract& contract);

// One to four random edits past the first `from` bytes: another byte, a
// small value (a tag, a count, an id), a large count, an inserted byte (an
// unknown tag, a shifted body) or a lost byte.
void mutateStream(StreamBytes& bytes, std::mt19937& random, std::size_t from = 0);

// Hands use every proper prefix of whole.
template <class Use>
void forEachCut(const StreamBytes& whole, Use use) {
    for (std::size_t n = 0; n < whole.size(); ++n)
        use(StreamBytes(whole.begin(), whole.begin() + long(n)));
}

// The stream with `tag` (a compact value) put at the start of the body of
// every record whose type tag begins with `types`, each such record's length
// grown to match. Empty when the bytes are not a version 1.01 stream.
StreamBytes withTagInEveryBody(const StreamBytes& bytes, unsigned tag, const std::string& types);

}  // namespace support
