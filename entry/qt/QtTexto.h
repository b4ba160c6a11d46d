#pragma once
// Text between the engine (Windows-1252) and Qt (Unicode).

#include <QString>
#include <string>

#include "Texto.h"

namespace kova {

inline QString Q(const std::string& cp1252) { return QString::fromStdString(Cp1252ToUtf8(cp1252)); }
inline std::string C(const QString& texto) { return Utf8ToCp1252(texto.toStdString()); }

}  // namespace kova
