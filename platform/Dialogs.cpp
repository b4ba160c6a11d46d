#include "Dialogs.h"

namespace kova {
namespace {

class HeadlessDialogs : public IDialogService {
public:
    TModalResult MessageDlg(const std::string&, TMsgDlgType, TMsgDlgButtons buttons) override {
        return buttons == TMsgDlgButtons::mbOK ? TModalResult::mrOk : TModalResult::mrYes;
    }
};

HeadlessDialogs headless;
IDialogService* current = &headless;

}  // namespace

IDialogService& Dialogs() { return *current; }

IDialogService* SetDialogService(IDialogService* service) {
    IDialogService* previous = current == &headless ? nullptr : current;
    current = service ? service : &headless;
    return previous;
}

TModalResult MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) {
    return Dialogs().MessageDlg(text, kind, buttons);
}

TModalResult ScriptedDialogs::MessageDlg(const std::string& text, TMsgDlgType kind,
                                         TMsgDlgButtons buttons) {
    TModalResult r = TModalResult::mrOk;
    if (buttons != TMsgDlgButtons::mbOK) {
        if (answers_.empty()) {
            unexpected_.push_back(text);
            r = buttons == TMsgDlgButtons::mbYesNo ? TModalResult::mrNo : TModalResult::mrCancel;
        } else {
            r = answers_.front();
            answers_.pop_front();
        }
    }
    history_.push_back({kind, text, buttons, r});
    return r;
}

void ScriptedDialogs::SetBusy(bool busy) {
    busyDepth_ += busy ? 1 : -1;
    ++busyCalls_;
}

std::vector<std::string> ScriptedDialogs::Texts() const {
    std::vector<std::string> r;
    for (const auto& s : history_) r.push_back(s.text);
    return r;
}

void ScriptedDialogs::Clear() {
    answers_.clear();
    history_.clear();
    unexpected_.clear();
}

}  // namespace kova
