#include "TField.h"

#include <cmath>

#include "Errors.h"
#include "TDataSet.h"

namespace kova {

TField::TField(TDataSet& dataSet, int index, TFieldDef def)
    : dataSet_(dataSet), index_(index), def_(std::move(def)) {}

int TField::DisplayWidth() const {
    if (def_.displayWidth > 0) return def_.displayWidth;
    switch (def_.type) {
        case TFieldType::ftString:
            return def_.size > 0 ? def_.size : 20;
        case TFieldType::ftSmallint:
            return 6;
        case TFieldType::ftInteger:
            return 11;
        case TFieldType::ftDate:
            return 10;
        case TFieldType::ftDateTime:
            return 18;
        default:
            return 10;
    }
}

std::string TField::DisplayLabel() const {
    return def_.displayLabel.empty() ? def_.name : def_.displayLabel;
}

const TValue& TField::Value() const { return dataSet_.GetFieldValue(index_); }

void TField::SetValue(const TValue& v) {
    TValue c = ConvertValue(v, def_.type);
    if (auto s = std::get_if<std::string>(&c); s && def_.size > 0 && int(s->size()) > def_.size) {
        s->resize(size_t(def_.size));
    }
    if (def_.type == TFieldType::ftSmallint) {
        if (auto i = std::get_if<int32_t>(&c); i && (*i < -32768 || *i > 32767)) {
            throw EConvertError(IntToStr(*i) + " não é um valor válido para o campo '" + def_.name +
                                "': os valores permitidos vão de -32768 a 32767");
        }
    }
    dataSet_.SetFieldValue(*this, std::move(c));
}

bool TField::IsNull() const { return kova::IsNull(Value()); }

void TField::Clear() { dataSet_.SetFieldValue(*this, TValue{}); }

std::string TField::AsString() const { return ValueToString(Value()); }

void TField::SetAsString(const std::string& s) { SetValue(s); }

void TField::SetAsString(std::string&& s) {
    if (def_.type != TFieldType::ftString) return SetValue(TValue(std::move(s)));
    if (def_.size > 0 && s.size() > size_t(def_.size)) s.resize(size_t(def_.size));
    dataSet_.SetFieldValue(*this, TValue(std::move(s)));
}

int32_t TField::AsInteger() const {
    const TValue& v = Value();
    if (const auto* i = std::get_if<int32_t>(&v)) return *i;
    if (kova::IsNull(v)) return 0;
    return std::get<int32_t>(ConvertValue(v, TFieldType::ftInteger));
}

void TField::SetAsInteger(int32_t v) { SetValue(v); }

double TField::AsFloat() const {
    const TValue& v = Value();
    if (const auto* d = std::get_if<double>(&v)) return *d;
    if (kova::IsNull(v)) return 0;
    return std::get<double>(ConvertValue(v, TFieldType::ftFloat));
}

void TField::SetAsFloat(double v) { SetValue(v); }

TDate TField::AsDate() const { return DateOf(AsDateTime()); }

void TField::SetAsDate(TDate d) { SetValue(d); }

TDateTime TField::AsDateTime() const {
    const TValue& v = Value();
    if (kova::IsNull(v)) return TDateTime{};
    return std::get<TDateTime>(ConvertValue(v, TFieldType::ftDateTime));
}

void TField::SetAsDateTime(TDateTime dt) { SetValue(dt); }

bool TField::AsBoolean() const {
    const TValue& v = Value();
    if (kova::IsNull(v)) return false;
    return std::get<bool>(ConvertValue(v, TFieldType::ftBoolean));
}

void TField::SetAsBoolean(bool b) { SetValue(b); }

TBytes TField::AsBytes() const {
    const TValue& v = Value();
    if (kova::IsNull(v)) return {};
    return std::get<TBytes>(ConvertValue(v, TFieldType::ftGraphic));
}

std::string TField::Text() const {
    if (OnGetText) {
        std::string t = AsString();
        OnGetText(const_cast<TField&>(*this), t, false);
        return t;
    }
    return AsString();
}

std::string TField::DisplayText() const {
    if (OnGetText) {
        std::string t = AsString();
        OnGetText(const_cast<TField&>(*this), t, true);
        return t;
    }
    if (def_.type == TFieldType::ftCurrency && !IsNull()) return FormatarMoeda(AsFloat());
    return AsString();
}

void TField::SetText(const std::string& text) {
    if (OnSetText) {
        OnSetText(*this, text);
    } else {
        SetAsString(text);
    }
}

}  // namespace kova
