#pragma once
// What the program asks of the window system: top-level windows with a menu
// bar, a frame, static labels, a single-line text box, push buttons, menu
// items and the modal message box. The Win32 back end gives real windows; the
// headless one serves tests and builds without a display.
//
// Every notification (change, click, close) arrives on the one thread that
// owns the windows, and a text box's change handler runs before the call that
// changed the text returns.

#include <functional>
#include <memory>
#include <string>

namespace quillon::ui {

// Positions and sizes in twips (1/1440 inch), relative to the parent.
struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const TwipsRect&) const = default;
};

using Handler = std::function<void()>;

class Control {
public:
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;
};

class Frame : public Control {
public:
    [[nodiscard]] virtual TwipsRect Bounds() const = 0;
};

class Label : public Control {
public:
    virtual void SetCaption(const std::string& caption) = 0;
};

class Button : public Control {
public:
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetEnabled(bool enabled) = 0;
    [[nodiscard]] virtual bool Enabled() const = 0;
    // Runs on a click; a disabled button cannot be clicked.
    virtual void OnClick(Handler handler) = 0;
};

class TextBox : public Control {
public:
    // The most characters the user can type; the program may set longer text.
    virtual void SetMaxLength(int characters) = 0;
    [[nodiscard]] virtual std::string Text() const = 0;
    // Runs the change handler before it returns.
    virtual void SetText(const std::string& text) = 0;
    virtual void OnChange(Handler handler) = 0;
};

class MenuItem : public Control {
public:
    virtual void OnClick(Handler handler) = 0;
};

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window() = default;

    // Controls are created in tab order. An ampersand in a caption marks the
    // access key.
    virtual Frame& AddFrame(const TwipsRect& bounds) = 0;
    virtual Button& AddButton(Frame& parent, const TwipsRect& bounds, int id) = 0;
    virtual TextBox& AddTextBox(Frame& parent, const TwipsRect& bounds, int id) = 0;
    virtual Label& AddLabel(Frame& parent, const TwipsRect& bounds, int id) = 0;
    // Adds an item to the menu-bar entry of that caption, making the entry
    // when it is new.
    virtual MenuItem& AddMenuItem(const std::string& menuCaption, const std::string& itemCaption, int id) = 0;

    virtual void Hide() = 0;
    // Modeless, with no owner; returns at once.
    virtual void Show() = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // Unloads the window.
    virtual void Close() = 0;
    // Runs when the user closes the window through the window system.
    virtual void OnCloseBox(Handler handler) = 0;
};

// Message box styles: one OK button with an icon.
inline constexpr int kMbIconError = 16;
inline constexpr int kMbIconWarning = 48;
inline constexpr int kMbIconInformation = 64;

class MessageBoxes {
public:
    MessageBoxes() = default;
    MessageBoxes(const MessageBoxes&) = delete;
    MessageBoxes& operator=(const MessageBoxes&) = delete;
    virtual ~MessageBoxes() = default;
    // Modal: returns when the user has closed the box; no window of the
    // program takes input until then.
    virtual void MsgBox(const std::string& prompt, int style, const std::string& title) = 0;
};

class WindowSystem : public MessageBoxes {
public:
    // A hidden top-level window whose client area has this size in twips.
    // The name tells automation which window it is.
    virtual std::unique_ptr<Window> CreateTopLevel(const std::string& name, int clientWidth,
                                                   int clientHeight) = 0;
    // Ends the program with this exit code once its handlers have returned.
    virtual void EndProgram(int exitCode) = 0;
};

}  // namespace quillon::ui
