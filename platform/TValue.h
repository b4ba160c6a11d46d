#pragma once
// A field value of the table engine: null, text (Windows-1252), integer, number, flag, date,
// date and time, or bytes (pictures).

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "Conversoes.h"

namespace kova {

enum class TFieldType {
    ftString,
    ftSmallint,
    ftInteger,
    ftFloat,
    ftCurrency,
    ftDate,
    ftDateTime,
    ftBoolean,
    ftGraphic,
};

using TBytes = std::vector<unsigned char>;
using TValue =
    std::variant<std::monostate, std::string, int32_t, double, bool, TDate, TDateTime, TBytes>;

inline bool IsNull(const TValue& v) { return std::holds_alternative<std::monostate>(v); }

const char* FieldTypeName(TFieldType t);
bool FieldTypeFromName(const std::string& name, TFieldType& out);

// Text of a value as AsString gives it (empty for null).
std::string ValueToString(const TValue& v);
// Converts a value to the storage form of a field type; a text is parsed through the regional
// formats. Throws EConvertError when it cannot be converted.
TValue ConvertValue(const TValue& v, TFieldType type);
// Orders two values of the same field: null first; text with or without regard to case.
int CompareValues(const TValue& a, const TValue& b, bool caseInsensitive);

}  // namespace kova
