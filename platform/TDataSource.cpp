#include "TDataSource.h"

#include "TDataSet.h"

namespace kova {

TDataSource::TDataSource(std::string name) : name_(std::move(name)) {}

TDataSource::~TDataSource() { SetDataSet(nullptr); }

void TDataSource::SetDataSet(TDataSet* dataSet) {
    if (dataSet_ == dataSet) return;
    if (dataSet_) dataSet_->DetachSource(this);
    dataSet_ = dataSet;
    if (dataSet_) dataSet_->AttachSource(this);
}

TDataSetState TDataSource::State() const {
    return dataSet_ ? dataSet_->State() : TDataSetState::dsInactive;
}

void TDataSource::DataChanged(TField* field) {
    if (Enabled && OnDataChange) {
        auto handler = OnDataChange;  // the handler may replace itself while it runs
        handler(*this, field);
    }
}

void TDataSource::StateChanged() {
    if (Enabled && OnStateChange) {
        auto handler = OnStateChange;
        handler(*this);
    }
}

}  // namespace kova
