#include "TValue.h"

#include <cmath>

#include "Errors.h"
#include "Texto.h"

namespace kova {

const char* FieldTypeName(TFieldType t) {
    switch (t) {
        case TFieldType::ftString:
            return "String";
        case TFieldType::ftSmallint:
            return "Smallint";
        case TFieldType::ftInteger:
            return "Integer";
        case TFieldType::ftFloat:
            return "Float";
        case TFieldType::ftCurrency:
            return "Currency";
        case TFieldType::ftDate:
            return "Date";
        case TFieldType::ftDateTime:
            return "DateTime";
        case TFieldType::ftBoolean:
            return "Boolean";
        case TFieldType::ftGraphic:
            return "Graphic";
    }
    return "?";
}

bool FieldTypeFromName(const std::string& name, TFieldType& out) {
    for (TFieldType t : {TFieldType::ftString, TFieldType::ftSmallint, TFieldType::ftInteger,
                         TFieldType::ftFloat, TFieldType::ftCurrency, TFieldType::ftDate,
                         TFieldType::ftDateTime, TFieldType::ftBoolean, TFieldType::ftGraphic}) {
        if (SameText(name, FieldTypeName(t))) {
            out = t;
            return true;
        }
    }
    return false;
}

std::string ValueToString(const TValue& v) {
    struct Visitor {
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(int32_t i) const { return IntToStr(i); }
        std::string operator()(double d) const { return FloatToStr(d); }
        std::string operator()(bool b) const { return b ? "True" : "False"; }
        std::string operator()(TDate d) const { return DateToStr(d); }
        std::string operator()(TDateTime d) const { return DateTimeToStr(d); }
        std::string operator()(const TBytes& b) const { return std::string(b.begin(), b.end()); }
    };
    return std::visit(Visitor{}, v);
}

namespace {

// The text a person typed or a program sent, and what it should have been.
[[noreturn]] void FalhaConversao(const std::string& texto, const char* tipo) {
    throw EConvertError("'" + texto + "' não é " + tipo);
}

double ComoNumero(const TValue& v) {
    if (auto p = std::get_if<int32_t>(&v)) return *p;
    if (auto p = std::get_if<double>(&v)) return *p;
    if (auto p = std::get_if<bool>(&v)) return *p ? 1 : 0;
    if (auto p = std::get_if<std::string>(&v)) {
        double d;
        if (!TryStrToFloat(*p, d)) FalhaConversao(*p, "um número válido");
        return d;
    }
    throw EConvertError("Não foi possível converter o valor em número");
}

}  // namespace

TValue ConvertValue(const TValue& v, TFieldType type) {
    if (IsNull(v)) return v;
    switch (type) {
        case TFieldType::ftString:
            return ValueToString(v);
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger: {
            if (auto p = std::get_if<int32_t>(&v)) return *p;
            if (auto p = std::get_if<std::string>(&v)) {
                if (Trim(*p).empty()) return TValue{};
                int32_t i;
                if (!TryStrToInt(*p, i)) FalhaConversao(*p, "um número inteiro válido");
                return i;
            }
            double d = ComoNumero(v);
            if (std::isnan(d) || d > 2147483647.0 || d < -2147483648.0) {
                throw EConvertError("Não foi possível converter o valor em número inteiro");
            }
            return int32_t(std::llround(d));
        }
        case TFieldType::ftFloat:
        case TFieldType::ftCurrency:
            if (auto p = std::get_if<std::string>(&v); p && Trim(*p).empty()) return TValue{};
            return ComoNumero(v);
        case TFieldType::ftDate:
        case TFieldType::ftDateTime: {
            TDateTime dt;
            if (auto p = std::get_if<TDate>(&v)) {
                dt = TDateTime(*p);
            } else if (auto p = std::get_if<TDateTime>(&v)) {
                dt = *p;
            } else if (auto p = std::get_if<std::string>(&v)) {
                if (Trim(*p).empty()) return TValue{};
                if (!TryStrToDateTime(*p, dt)) FalhaConversao(*p, "uma data válida");
            } else {
                throw EConvertError("Não foi possível converter o valor em data");
            }
            if (type == TFieldType::ftDate) return DateOf(dt);
            return dt;
        }
        case TFieldType::ftBoolean: {
            if (auto p = std::get_if<bool>(&v)) return *p;
            if (auto p = std::get_if<std::string>(&v)) {
                if (SameText(*p, "True") || SameText(*p, "T")) return true;
                if (SameText(*p, "False") || SameText(*p, "F")) return false;
                FalhaConversao(*p, "um valor lógico válido");
            }
            return ComoNumero(v) != 0;
        }
        case TFieldType::ftGraphic: {
            if (auto p = std::get_if<TBytes>(&v)) return *p;
            std::string s = ValueToString(v);
            return TBytes(s.begin(), s.end());
        }
    }
    return v;
}

int CompareValues(const TValue& a, const TValue& b, bool caseInsensitive) {
    bool na = IsNull(a), nb = IsNull(b);
    if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
    if (a.index() == b.index()) {
        if (auto p = std::get_if<std::string>(&a)) {
            const auto& q = std::get<std::string>(b);
            return caseInsensitive ? CompareText(*p, q) : CompareStr(*p, q);
        }
        if (auto p = std::get_if<int32_t>(&a)) {
            int32_t q = std::get<int32_t>(b);
            return *p < q ? -1 : (*p > q ? 1 : 0);
        }
        if (auto p = std::get_if<double>(&a)) {
            double q = std::get<double>(b);
            return *p < q ? -1 : (*p > q ? 1 : 0);
        }
        if (auto p = std::get_if<bool>(&a)) return int(*p) - int(std::get<bool>(b));
        if (auto p = std::get_if<TDate>(&a)) {
            auto q = std::get<TDate>(b);
            return *p < q ? -1 : (*p > q ? 1 : 0);
        }
        if (auto p = std::get_if<TDateTime>(&a)) {
            auto q = std::get<TDateTime>(b);
            return *p < q ? -1 : (*p > q ? 1 : 0);
        }
        const auto& x = std::get<TBytes>(a);
        const auto& y = std::get<TBytes>(b);
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    std::string sa = ValueToString(a), sb = ValueToString(b);
    return caseInsensitive ? CompareText(sa, sb) : CompareStr(sa, sb);
}

}  // namespace kova
