// The Linux control model answers the window operations as the Windows
// controls do, and refuses handles of no open dialog.
// The dialog runs on the Linux control model here; on Windows the dialog
// operations are the real window calls.
#if !defined(_WIN32)
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "dialog/tag_format_dialog.h"
#include "dialog/tag_format_template.h"
#include "dialog/window_messages.h"
#include "platform/terminal_dialog/linux_dialog_model.h"
#include "platform/platform.h"
#include "scripted_dialog_face.h"

namespace plclink {
namespace {

using linux_dialog::DialogModel;

MessageResult Quiet(WindowHandle, std::uint32_t, MessageWParam, MessageLParam) { return 0; }

MessageLParam Text(const char* s) { return reinterpret_cast<MessageLParam>(s); }

class LinuxDialogModel : public ::testing::Test {
protected:
    const PlatformOps& os = Platform();
    testing::ScriptedDialogFace face;
    DialogModel dialog{kTagFormatTemplate, nullptr, Quiet, 0};
    WindowHandle d = dialog.handle();
};

TEST_F(LinuxDialogModel, TextIsCopiedWithinTheRoomGiven) {
    os.setWindowText(os.getDlgItem(d, kAddressEdit), "1234");
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(os.getDlgItemText(d, kAddressEdit, buffer, 3), 2u);
    EXPECT_STREQ(buffer, "12");
    EXPECT_EQ(buffer[3], 'x');
    EXPECT_EQ(os.getDlgItemText(d, kAddressEdit, buffer, 1), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(os.getDlgItemText(d, kAddressEdit, buffer, 0), 0u);
    EXPECT_EQ(os.getDlgItemText(d, kAddressEdit, nullptr, 5), 0u);
    EXPECT_EQ(os.getWindowText(os.getDlgItem(d, 1057), buffer, sizeof buffer), 7u);
    EXPECT_STREQ(buffer, "PLC num");
}

TEST_F(LinuxDialogModel, DropDownListTextIsTheChosenItem) {
    char buffer[8] = "zz";
    os.sendDlgItemMessage(d, kMemoryAreaCombo, win::CB_ADDSTRING, 0, Text("V (virtual)"));
    EXPECT_EQ(os.getDlgItemText(d, kMemoryAreaCombo, buffer, 2), 0u) << "nothing chosen";
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(os.sendDlgItemMessage(d, kMemoryAreaCombo, win::CB_SETCURSEL, 0, 0), 0);
    EXPECT_EQ(os.getDlgItemText(d, kMemoryAreaCombo, buffer, 2), 1u);
    EXPECT_STREQ(buffer, "V");
    EXPECT_FALSE(os.setWindowText(os.getDlgItem(d, kMemoryAreaCombo), "M"));
    os.sendDlgItemMessage(d, kMemoryAreaCombo, win::CB_RESETCONTENT, 0, 0);
    EXPECT_EQ(os.getDlgItemText(d, kMemoryAreaCombo, buffer, 2), 0u);
    EXPECT_EQ(os.sendDlgItemMessage(d, kMemoryAreaCombo, win::CB_GETCURSEL, 0, 0), -1);
}

TEST_F(LinuxDialogModel, ListAnswersItsMessages) {
    EXPECT_EQ(os.sendDlgItemMessage(d, kBitNumberList, win::LB_ADDSTRING, 0, Text("None")), 0);
    EXPECT_EQ(os.sendDlgItemMessage(d, kBitNumberList, win::LB_ADDSTRING, 0, Text("00")), 1);
    EXPECT_EQ(os.sendDlgItemMessage(d, kBitNumberList, win::LB_ADDSTRING, 0, 0), win::LB_ERR);
    EXPECT_EQ(os.sendDlgItemMessage(d, kBitNumberList, win::LB_SETTOPINDEX, 1, 0), 0);
    EXPECT_EQ(os.sendDlgItemMessage(d, kBitNumberList, win::LB_GETTOPINDEX, 0, 0), 1);
    char buffer[8];
    EXPECT_EQ(os.sendDlgItemMessage(d, kBitNumberList, win::LB_GETTEXT, 1, Text(buffer)), 2);
    EXPECT_STREQ(buffer, "00");
    EXPECT_EQ(os.sendDlgItemMessage(d, kBitNumberList, win::LB_GETTEXT, 2, Text(buffer)),
              win::LB_ERR);
    EXPECT_EQ(os.sendDlgItemMessage(d, kBitNumberList, win::LB_GETTEXTLEN, 0, 0), 4);
    os.sendDlgItemMessage(d, kBitNumberList, win::LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(os.sendDlgItemMessage(d, kBitNumberList, win::LB_GETTOPINDEX, 0, 0), 0);
    EXPECT_EQ(os.sendDlgItemMessage(d, kBitNumberList, win::LB_GETCOUNT, 0, 0), 0);
}

TEST_F(LinuxDialogModel, EditsFilterWhatIsTyped) {
    os.sendDlgItemMessage(d, kAddressEdit, win::EM_LIMITTEXT, 4, 0);
    EXPECT_FALSE(dialog.typeText(kAddressEdit, "12a34x5"));
    EXPECT_EQ(dialog.item(kAddressEdit)->text, "1234");
    dialog.moveCaret(kAddressEdit, -2);
    dialog.eraseBack(kAddressEdit);
    dialog.typeChar(kAddressEdit, '9');
    EXPECT_EQ(dialog.item(kAddressEdit)->text, "1934");
    dialog.eraseForward(kAddressEdit);
    EXPECT_EQ(dialog.item(kAddressEdit)->text, "194");
    EXPECT_TRUE(dialog.typeText(kPlcNumberEdit, "q7"));
    EXPECT_EQ(dialog.item(kPlcNumberEdit)->text, "Q7");
    EXPECT_FALSE(dialog.typeChar(kPlcNumberEdit, '\x7F'));
}

TEST_F(LinuxDialogModel, TabOrderIsTemplateOrderAndSkipsDisabledControls) {
    dialog.initialize();
    std::vector<int> order;
    for (int i = 0; i < 6; ++i) {
        order.push_back(dialog.focused()->id);
        dialog.focusNext(false);
    }
    EXPECT_EQ(order, (std::vector<int>{kPlcNumberEdit, kOkButton, kCancelButton,
                                       kMemoryAreaCombo, kAddressEdit, kPlcNumberEdit}));
    dialog.focusNext(true);
    dialog.focusNext(true);
    EXPECT_EQ(dialog.focused()->id, kAddressEdit);
    os.enableWindow(os.getDlgItem(d, kBitNumberList), true);
    dialog.focusNext(false);
    dialog.focusNext(false);
    EXPECT_EQ(dialog.focused()->id, kBitNumberList);
}

TEST_F(LinuxDialogModel, HandlesOfNoOpenDialogAreRefused) {
    WindowHandle edit = os.getDlgItem(d, kAddressEdit);
    int stranger = 0;
    char buffer[4] = "abc";
    EXPECT_EQ(os.getDlgItem(&stranger, kAddressEdit), nullptr);
    EXPECT_EQ(os.getDlgItem(d, 4711), nullptr);
    EXPECT_EQ(os.getWindowText(&stranger, buffer, sizeof buffer), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_FALSE(os.setWindowText(&stranger, "x"));
    EXPECT_FALSE(os.setWindowText(nullptr, "x"));
    EXPECT_EQ(os.sendMessage(&stranger, win::LB_GETCOUNT, 0, 0), 0);
    EXPECT_FALSE(os.endDialog(edit, 1)) << "a control is no dialog";
    EXPECT_FALSE(dialog.ended());
    EXPECT_TRUE(os.endDialog(d, 7));
    EXPECT_EQ(dialog.result(), 7);
    {
        DialogModel gone(kTagFormatTemplate, nullptr, Quiet, 0);
        edit = os.getDlgItem(gone.handle(), kAddressEdit);
        d = gone.handle();
    }
    EXPECT_FALSE(os.setWindowText(edit, "x"));
    EXPECT_FALSE(os.endDialog(d, 1));
}

}  // namespace
}  // namespace plclink

#endif  // !defined(_WIN32)
