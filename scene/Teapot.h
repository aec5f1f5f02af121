// The built-in teapot: a ready-made object to show without any data file.
#pragma once

#include "base/counted_ptr.h"

namespace kessa {

class Material;
class Object;

// An object "Teapot" whose root group "teapot" holds one polygon branch
// "teapot" of the 32 Newell patches, each cut into subdivision x
// subdivision cells, bound to material (null: a new lit white material
// named "Teapot"). Its points are the eight corners of the cube of
// half-size 0.2 around it.
orvel::counted_ptr<Object> makeTeapot(int subdivision, const orvel::counted_ptr<Material>& material);

}  // namespace kessa
