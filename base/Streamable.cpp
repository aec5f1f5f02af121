#include "Streamable.h"

namespace orvel {

void Streamable::registerTypes(DataSource&) {}

void Streamable::postRead() {}

}  // namespace orvel
