#include "ui/headless/HeadlessUi.h"

#include <algorithm>

namespace quillon::ui::headless {

bool HeadlessButton::Click() {
    if (!enabled_) {
        return false;
    }
    if (click_) {
        click_();
    }
    return true;
}

void HeadlessTextBox::Changed() {
    ++changes;
    if (change_) {
        change_();
    }
}

void HeadlessTextBox::SetText(const std::string& text) {
    text_ = text;
    Changed();
}

bool HeadlessTextBox::Type(char c) {
    if (maxLength_ > 0 && text_.size() >= static_cast<std::size_t>(maxLength_)) {
        return false;
    }
    text_.push_back(c);
    Changed();
    return true;
}

std::size_t HeadlessTextBox::Type(const std::string& keys) {
    std::size_t taken = 0;
    for (const char c : keys) {
        taken += Type(c) ? 1 : 0;
    }
    return taken;
}

void HeadlessTextBox::Backspace() {
    if (!text_.empty()) {
        text_.pop_back();
        Changed();
    }
}

std::size_t HeadlessTextBox::Retype(const std::string& keys) {
    if (!text_.empty()) {
        text_.clear();
        Changed();
    }
    return Type(keys);
}

void HeadlessMenuItem::Click() const {
    if (click_) {
        click_();
    }
}

HeadlessWindow::HeadlessWindow(HeadlessWindowSystem& system, std::string name, int number, int clientWidth,
                               int clientHeight)
    : system_(system),
      name_(std::move(name)),
      number_(number),
      clientWidth_(clientWidth),
      clientHeight_(clientHeight) {}

HeadlessWindow::~HeadlessWindow() { system_.Forget(this); }

template <typename T, typename... Args>
T& HeadlessWindow::Keep(Args&&... args) {
    auto control = std::make_unique<T>(std::forward<Args>(args)...);
    T& ref = *control;
    order_.push_back(control.get());
    owned_.push_back(std::move(control));
    return ref;
}

Frame& HeadlessWindow::AddFrame(const TwipsRect& bounds) { return Keep<HeadlessFrame>(bounds); }

Button& HeadlessWindow::AddButton(Frame&, const TwipsRect& bounds, int id) {
    return Keep<HeadlessButton>(bounds, id);
}

TextBox& HeadlessWindow::AddTextBox(Frame&, const TwipsRect& bounds, int id) {
    return Keep<HeadlessTextBox>(bounds, id);
}

Label& HeadlessWindow::AddLabel(Frame&, const TwipsRect& bounds, int id) {
    return Keep<HeadlessLabel>(bounds, id);
}

MenuItem& HeadlessWindow::AddMenuItem(const std::string& menuCaption, const std::string& itemCaption,
                                      int id) {
    auto item = std::make_unique<HeadlessMenuItem>(menuCaption, itemCaption, id);
    HeadlessMenuItem& ref = *item;
    menuItems_.push_back(item.get());
    owned_.push_back(std::move(item));
    return ref;
}

HeadlessMenuItem* HeadlessWindow::FindMenuItem(const std::string& itemCaption) const {
    const auto it = std::find_if(menuItems_.begin(), menuItems_.end(), [&](const HeadlessMenuItem* item) {
        return item->itemCaption == itemCaption;
    });
    return it == menuItems_.end() ? nullptr : *it;
}

void HeadlessWindow::Hide() {
    visible_ = false;
    system_.Note("hide " + std::to_string(number_));
}

void HeadlessWindow::Show() {
    if (!closed_) {
        visible_ = true;
    }
    system_.Note("show " + std::to_string(number_));
}

void HeadlessWindow::SetCaption(const std::string& caption) {
    caption_ = caption;
    system_.Note("caption " + std::to_string(number_) + " " + caption);
}

void HeadlessWindow::Close() {
    visible_ = false;
    closed_ = true;
    system_.Note("close " + std::to_string(number_));
}

void HeadlessWindow::ClickCloseBox() const {
    if (closeBox_) {
        closeBox_();
    }
}

std::unique_ptr<Window> HeadlessWindowSystem::CreateTopLevel(const std::string& name, int clientWidth,
                                                             int clientHeight) {
    auto window = std::make_unique<HeadlessWindow>(*this, name, ++created_, clientWidth, clientHeight);
    windows_.push_back(window.get());
    Note("create " + std::to_string(created_));
    return window;
}

void HeadlessWindowSystem::MsgBox(const std::string& prompt, int style, const std::string& title) {
    boxes_.push_back(RecordedBox{prompt, style, title});
    Note("box " + prompt);
    if (whileBoxOpen_) {
        whileBoxOpen_();
    }
}

void HeadlessWindowSystem::EndProgram(int exitCode) {
    if (!exitCode_) {
        exitCode_ = exitCode;
    }
    Note("end " + std::to_string(exitCode));
}

HeadlessWindow* HeadlessWindowSystem::Find(const std::string& name) const {
    const auto it = std::find_if(windows_.begin(), windows_.end(),
                                 [&](const HeadlessWindow* window) { return window->Name() == name; });
    return it == windows_.end() ? nullptr : *it;
}

void HeadlessWindowSystem::Forget(const HeadlessWindow* window) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
}

}  // namespace quillon::ui::headless
