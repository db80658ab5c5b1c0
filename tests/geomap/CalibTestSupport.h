// Small helpers shared by the calibration tests.
#pragma once

#include <string>

#include "GeoMapRecords.h"

namespace vek::testing {

// The message of the map error F throws, or "(no exception)".
template <class Fn>
std::string MessageOf(Fn F) {
  try {
    F();
  } catch (const EVEKGeoMapError& E) {
    return E.what();
  }
  return "(no exception)";
}

}  // namespace vek::testing
