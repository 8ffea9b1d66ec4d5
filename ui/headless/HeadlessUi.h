#pragma once
// A window system without a display. Typing (a user's keystrokes, held to the
// box's maximum length, each change notified) is distinct from the program
// setting the text (not held to the maximum, notified once). A click on a
// disabled button does nothing. Every message box is recorded and returns at
// once. A journal keeps the order of what the program did to its windows.

#include <optional>
#include <string>
#include <vector>

#include "ui/WindowServices.h"

namespace quillon::ui::headless {

struct RecordedBox {
    std::string prompt;
    int style = 0;
    std::string title;
    bool operator==(const RecordedBox&) const = default;
};

class HeadlessWindowSystem;

class HeadlessFrame final : public Frame {
public:
    explicit HeadlessFrame(const TwipsRect& bounds) : bounds_(bounds) {}
    [[nodiscard]] TwipsRect Bounds() const override { return bounds_; }

private:
    TwipsRect bounds_;
};

class HeadlessLabel final : public Label {
public:
    HeadlessLabel(const TwipsRect& where, int controlId) : bounds(where), id(controlId) {}
    void SetCaption(const std::string& text) override { caption = text; }
    TwipsRect bounds;
    int id;
    std::string caption;
};

class HeadlessButton final : public Button {
public:
    HeadlessButton(const TwipsRect& where, int controlId) : bounds(where), id(controlId) {}
    void SetCaption(const std::string& text) override { caption = text; }
    void SetEnabled(bool value) override { enabled_ = value; }
    [[nodiscard]] bool Enabled() const override { return enabled_; }
    void OnClick(Handler handler) override { click_ = std::move(handler); }
    // A user's click; false when the button was disabled and nothing ran.
    bool Click();

    TwipsRect bounds;
    int id;
    std::string caption;

private:
    bool enabled_ = true;
    Handler click_;
};

class HeadlessTextBox final : public TextBox {
public:
    HeadlessTextBox(const TwipsRect& where, int controlId) : bounds(where), id(controlId) {}
    void SetMaxLength(int characters) override { maxLength_ = characters; }
    [[nodiscard]] int MaxLength() const { return maxLength_; }
    [[nodiscard]] std::string Text() const override { return text_; }
    void SetText(const std::string& text) override;
    void OnChange(Handler handler) override { change_ = std::move(handler); }

    // A user's keystroke at the end of the text; false when the box is full.
    bool Type(char c);
    // Types each character in turn; returns how many the box took.
    std::size_t Type(const std::string& keys);
    // A user's backspace at the end of the text.
    void Backspace();
    // Selects all the text and types over it, as a user replacing the value.
    std::size_t Retype(const std::string& keys);

    TwipsRect bounds;
    int id;
    int changes = 0;

private:
    void Changed();

    std::string text_;
    int maxLength_ = 0;
    Handler change_;
};

class HeadlessMenuItem final : public MenuItem {
public:
    HeadlessMenuItem(std::string menu, std::string item, int controlId)
        : menuCaption(std::move(menu)), itemCaption(std::move(item)), id(controlId) {}
    void OnClick(Handler handler) override { click_ = std::move(handler); }
    void Click() const;

    std::string menuCaption;
    std::string itemCaption;
    int id;

private:
    Handler click_;
};

class HeadlessWindow final : public Window {
public:
    HeadlessWindow(HeadlessWindowSystem& system, std::string name, int number, int clientWidth,
                   int clientHeight);
    ~HeadlessWindow() override;

    Frame& AddFrame(const TwipsRect& bounds) override;
    Button& AddButton(Frame& parent, const TwipsRect& bounds, int id) override;
    TextBox& AddTextBox(Frame& parent, const TwipsRect& bounds, int id) override;
    Label& AddLabel(Frame& parent, const TwipsRect& bounds, int id) override;
    MenuItem& AddMenuItem(const std::string& menuCaption, const std::string& itemCaption, int id) override;

    void Hide() override;
    void Show() override;
    void SetCaption(const std::string& caption) override;
    void Close() override;
    void OnCloseBox(Handler handler) override { closeBox_ = std::move(handler); }
    // The user clicks the window's close box.
    void ClickCloseBox() const;

    [[nodiscard]] bool Visible() const { return visible_; }
    [[nodiscard]] bool Closed() const { return closed_; }
    [[nodiscard]] const std::string& Caption() const { return caption_; }
    [[nodiscard]] int Number() const { return number_; }
    [[nodiscard]] const std::string& Name() const { return name_; }
    [[nodiscard]] int ClientWidth() const { return clientWidth_; }
    [[nodiscard]] int ClientHeight() const { return clientHeight_; }
    // Controls in creation order, which is the tab order.
    [[nodiscard]] const std::vector<Control*>& Controls() const { return order_; }
    [[nodiscard]] const std::vector<HeadlessMenuItem*>& MenuItems() const { return menuItems_; }
    [[nodiscard]] HeadlessMenuItem* FindMenuItem(const std::string& itemCaption) const;

private:
    template <typename T, typename... Args>
    T& Keep(Args&&... args);

    HeadlessWindowSystem& system_;
    std::string name_;
    int number_;
    int clientWidth_;
    int clientHeight_;
    bool visible_ = false;
    bool closed_ = false;
    std::string caption_;
    Handler closeBox_;
    std::vector<std::unique_ptr<Control>> owned_;
    std::vector<Control*> order_;
    std::vector<HeadlessMenuItem*> menuItems_;
};

class HeadlessWindowSystem final : public WindowSystem {
public:
    std::unique_ptr<Window> CreateTopLevel(const std::string& name, int clientWidth,
                                           int clientHeight) override;
    void MsgBox(const std::string& prompt, int style, const std::string& title) override;
    void EndProgram(int exitCode) override;

    [[nodiscard]] const std::vector<RecordedBox>& Boxes() const { return boxes_; }
    void ClearBoxes() { boxes_.clear(); }
    [[nodiscard]] std::optional<int> ExitCode() const { return exitCode_; }
    // Windows alive now, in creation order.
    [[nodiscard]] const std::vector<HeadlessWindow*>& Windows() const { return windows_; }
    [[nodiscard]] HeadlessWindow* Find(const std::string& name) const;
    // What was done to the windows, in order, for example "show 1",
    // "caption 1 Quillon MTU Tool (X)", "box Your MTU setting has been removed.".
    [[nodiscard]] const std::vector<std::string>& Journal() const { return journal_; }
    void Note(std::string entry) { journal_.push_back(std::move(entry)); }
    // Runs inside each message box, while it is open.
    void WhileBoxOpen(Handler handler) { whileBoxOpen_ = std::move(handler); }

private:
    friend class HeadlessWindow;
    void Forget(const HeadlessWindow* window);

    std::vector<HeadlessWindow*> windows_;
    std::vector<RecordedBox> boxes_;
    std::vector<std::string> journal_;
    std::optional<int> exitCode_;
    Handler whileBoxOpen_;
    int created_ = 0;
};

}  // namespace quillon::ui::headless
