#include "ui/SettingsForm.h"

#include "net/Mtu.h"
#include "settings/MtuNumber.h"
#include "ui/ControlIds.h"

namespace quillon::ui {

SettingsForm::SettingsForm(WindowSystem& system, const std::string& name, settings::Module1& module,
                           Handler exit)
    : window_(system.CreateTopLevel(name, kClientWidth, kClientHeight)),
      frame_(window_->AddFrame(kFrameBounds)),
      apply_(window_->AddButton(frame_, kApplyBounds, kIdApply)),
      mtuBox_(window_->AddTextBox(frame_, kMtuBoxBounds, kIdMtuBox)),
      label_(window_->AddLabel(frame_, kLabelBounds, kIdLabel)),
      remove_(window_->AddButton(frame_, kRemoveBounds, kIdRemove)),
      module_(module),
      exit_(std::move(exit)) {
    MenuItem& retrieve = window_->AddMenuItem("&File", "Retrieve &MTU", kIdRetrieve);
    MenuItem& exitItem = window_->AddMenuItem("&File", "E&xit", kIdExit);
    window_->SetCaption(settings::kToolTitle);

    mtuBox_.OnChange([this] { MtuInputCheck(); });
    apply_.OnClick([this] { ApplyClicked(); });
    remove_.OnClick([this] { RemoveClicked(); });
    retrieve.OnClick([this] { RetrieveChosen(); });
    exitItem.OnClick([this] { exit_(); });
    window_->OnCloseBox([this] { exit_(); });
}

void SettingsForm::SetUpControls() {
    apply_.SetCaption("Apply");
    remove_.SetCaption("Remove");
    apply_.SetEnabled(false);
    remove_.SetEnabled(false);
    label_.SetCaption("MTU");
    mtuBox_.SetMaxLength(kMtuMaxLength);
}

void SettingsForm::MtuInputCheck() {
    const std::optional<settings::MtuNumber> value = settings::ReadAsNumber(mtuBox_.Text());
    if (value) {
        if (settings::Compare(*value, 87) > 0) {
            apply_.SetEnabled(true);
        }
        if (settings::Compare(*value, net::kLargestStoredMtu) > 0) {
            apply_.SetEnabled(false);
        }
        if (settings::Compare(*value, net::kSmallestStoredMtu) < 0) {
            apply_.SetEnabled(false);
        }
    } else {
        // Text that is not a number never leaves Apply enabled.
        apply_.SetEnabled(false);
    }
    if (apply_.Enabled()) {
        remove_.SetEnabled(true);
    }
    if (!apply_.Enabled()) {
        remove_.SetEnabled(false);
    }
}

}  // namespace quillon::ui
