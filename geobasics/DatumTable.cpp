// Geodetic datum table.
#include "DatumTable.h"

#include <stdexcept>

namespace vek {

namespace {

const TDatumEntry Datums[NumDatums] = {
    {"ACCRA", "Ghana", gelWarOffice, -199, 32, 322, 0, 0, 0, 0},
};

}  // namespace

const TDatumEntry& DatumEntry(int number) {
  if (number < 1 || number > NumDatums)
    throw std::out_of_range("datum number out of range");
  return Datums[number - 1];
}

}  // namespace vek
