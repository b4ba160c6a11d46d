#pragma once
// A data link between a table and whoever shows or watches it (a screen, the entry form object,
// a grid). The table calls it back after every change of a field of the current record (with
// that field), after every move to another record or other change of the whole record (without
// a field) and after every change of its state, unless the table's controls are disabled.

#include <functional>
#include <string>

namespace kova {

class TDataSet;
class TField;
enum class TDataSetState;

class TDataSource {
public:
    explicit TDataSource(std::string name = {});
    ~TDataSource();
    TDataSource(const TDataSource&) = delete;
    TDataSource& operator=(const TDataSource&) = delete;

    const std::string& Name() const { return name_; }
    void SetDataSet(TDataSet* dataSet);
    TDataSet* DataSet() const { return dataSet_; }
    TDataSetState State() const;

    // Whether a control bound through this link may start editing by itself.
    bool AutoEdit = true;
    // A disabled link receives no notification.
    bool Enabled = true;

    std::function<void(TDataSource& sender, TField* field)> OnDataChange;
    std::function<void(TDataSource& sender)> OnStateChange;

private:
    friend class TDataSet;
    void DataChanged(TField* field);
    void StateChanged();

    std::string name_;
    TDataSet* dataSet_ = nullptr;
};

}  // namespace kova
