#pragma once
// A field of a table: its definition (name, type, size, display properties) and typed access to
// its value in the table's active record, with the get-text and set-text events through which a
// screen reads and writes the field as text. Owned by its TDataSet.

#include <functional>
#include <string>

#include "TValue.h"

namespace kova {

class TDataSet;

struct TFieldDef {
    TFieldDef() = default;
    TFieldDef(std::string n, TFieldType t, int sz = 0, bool calc = false)
        : name(std::move(n)), type(t), size(sz), calculated(calc) {}

    std::string name;
    TFieldType type = TFieldType::ftString;
    int size = 0;             // characters, for text fields
    bool calculated = false;  // filled by the table's calculation event, never stored
    int displayWidth = 0;     // grid column width in characters; 0 = from the size
    std::string editMask;
    std::string displayLabel;
};

class TField {
public:
    TField(TDataSet& dataSet, int index, TFieldDef def);
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    const std::string& FieldName() const { return def_.name; }
    TFieldType DataType() const { return def_.type; }
    int Size() const { return def_.size; }
    bool Calculated() const { return def_.calculated; }
    int Index() const { return index_; }
    const TFieldDef& Def() const { return def_; }
    int DisplayWidth() const;
    const std::string& EditMask() const { return def_.editMask; }
    std::string DisplayLabel() const;
    void SetDisplayWidth(int w) { def_.displayWidth = w; }
    void SetEditMask(std::string m) { def_.editMask = std::move(m); }
    void SetDisplayLabel(std::string l) { def_.displayLabel = std::move(l); }
    TDataSet& DataSet() const { return dataSet_; }

    const TValue& Value() const;
    // A text value read in place; null when the value is of another kind.
    const std::string* TextoGuardado() const { return std::get_if<std::string>(&Value()); }
    // Converts the value to the field's type; text is cut to the field size.
    void SetValue(const TValue& v);
    bool IsNull() const;
    void Clear();

    std::string AsString() const;
    void SetAsString(const std::string& s);
    // The same, taking the text over: a text field stores it without a copy.
    void SetAsString(std::string&& s);
    int32_t AsInteger() const;
    void SetAsInteger(int32_t v);
    double AsFloat() const;
    void SetAsFloat(double v);
    TDate AsDate() const;
    void SetAsDate(TDate d);
    TDateTime AsDateTime() const;
    void SetAsDateTime(TDateTime dt);
    bool AsBoolean() const;
    void SetAsBoolean(bool b);
    TBytes AsBytes() const;

    // The text a screen edits: OnGetText when assigned, else AsString.
    std::string Text() const;
    // The text a screen shows: OnGetText (display) when assigned, else AsString.
    std::string DisplayText() const;
    // Assignment of a typed text: OnSetText when assigned, else AsString.
    void SetText(const std::string& text);

    std::function<void(TField& sender, std::string& text, bool displayText)> OnGetText;
    std::function<void(TField& sender, const std::string& text)> OnSetText;
    std::function<void(TField& sender)> OnChange;

private:
    TDataSet& dataSet_;
    int index_;
    TFieldDef def_;
};

}  // namespace kova
