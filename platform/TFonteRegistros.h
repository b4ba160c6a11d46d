#pragma once
// Where the records of a table that stay in their file are read from, one at a time. A table
// loaded this way (TDataSet::LoadResidentRecords) keeps in memory only the fields it needs to
// order, filter and list its records; the first time another field of a record is asked for, the
// whole record is read here.

#include <cstdint>
#include <vector>

#include "TValue.h"

namespace kova {

class TFonteRegistros {
public:
    virtual ~TFonteRegistros() = default;
    // The values of every field of the record at row `linha` of the file, in field order. The
    // values of the resident fields held in memory come along so that a row changed or removed by
    // someone else is not taken for the record. Throws EDatabaseError when the row cannot be read
    // or fails its check.
    virtual std::vector<TValue> Ler(int64_t linha, const std::vector<TValue>& residentes) = 0;
};

}  // namespace kova
