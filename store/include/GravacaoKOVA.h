#pragma once
// The failure of a save of the slips file, apart from the data module: what callers that only
// report a failed save need.

#include "Errors.h"

namespace kova {

// A save of the slips file that did not happen: the file on disk is still the previous one.
class EGravacaoKOVA : public Exception {
public:
    using Exception::Exception;
};

}  // namespace kova
