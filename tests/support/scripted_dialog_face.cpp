#if !defined(_WIN32)
#include "scripted_dialog_face.h"

#include "dialog/window_messages.h"

namespace plclink::testing {

ScriptedDialogFace::ScriptedDialogFace() : previous_(linux_dialog::InstallFace(this)) {}

ScriptedDialogFace::~ScriptedDialogFace() { linux_dialog::InstallFace(previous_); }

std::vector<std::string> ScriptedDialogFace::boxTexts() const {
    std::vector<std::string> out;
    for (const Box& b : boxes) out.push_back(b.text);
    return out;
}

bool ScriptedDialogFace::open(Dialog& dialog) {
    if (!canOpen) return false;
    ++opened;
    owners.push_back(dialog.owner());
    return true;
}

void ScriptedDialogFace::run(Dialog& dialog) {
    if (!users.empty()) {
        User user = std::move(users.front());
        users.pop_front();
        user(dialog);
    }
    if (!dialog.ended()) {
        ++leftOpen;
        dialog.pressEscape();
    }
}

void ScriptedDialogFace::close(Dialog&) {}

int ScriptedDialogFace::messageBox(Dialog* owner, const char* text, const char* caption,
                                   std::uint32_t type) {
    boxes.push_back({text, caption, type, owner != nullptr ? owner->handle() : nullptr});
    return static_cast<int>(win::IDOK);
}

const char* ScriptedDialogFace::whyNotShown() const {
    return canOpen || missing.empty() ? nullptr : missing.c_str();
}

}  // namespace plclink::testing

#endif  // !defined(_WIN32)
