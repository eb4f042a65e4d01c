// A dialog face for tests: instead of a user at a terminal, each dialog that
// opens is handed to the next scripted user, a function that performs the
// user's actions on the control model. Message boxes are recorded and
// answered with OK. A dialog the script leaves open is cancelled.
//
// Constructing one installs it; destroying it restores the face before.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/linux_dialog_face.h"

namespace plclink::testing {

class ScriptedDialogFace final : public linux_dialog::DialogFace {
public:
    using Dialog = linux_dialog::DialogModel;
    using User = std::function<void(Dialog&)>;

    struct Box {
        std::string text;
        std::string caption;
        std::uint32_t type;
        WindowHandle owner;
    };

    ScriptedDialogFace();
    ~ScriptedDialogFace() override;
    ScriptedDialogFace(const ScriptedDialogFace&) = delete;
    ScriptedDialogFace& operator=(const ScriptedDialogFace&) = delete;

    std::deque<User> users;          // one per dialog, in the order they open
    bool canOpen = true;             // false: no dialog can be shown
    std::string missing;             // what a dialog that cannot be shown lacks
    std::vector<Box> boxes;          // every message box, in order
    std::vector<WindowHandle> owners;  // the owner window of each dialog shown
    int opened = 0;
    int leftOpen = 0;                // dialogs the script did not end

    std::vector<std::string> boxTexts() const;

    bool open(Dialog& dialog) override;
    void run(Dialog& dialog) override;
    void close(Dialog& dialog) override;
    int messageBox(Dialog* owner, const char* text, const char* caption,
                   std::uint32_t type) override;
    const char* whyNotShown() const override;

private:
    linux_dialog::DialogFace* previous_;
};

}  // namespace plclink::testing
